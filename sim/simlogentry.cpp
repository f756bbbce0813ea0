#include "simlogentry.h"

#include "link/plcframe.h"

namespace {

QString kindName(SimLogEntry::Kind kind)
{
    switch (kind) {
    case SimLogEntry::Kind::Request:
        return QStringLiteral("request");
    case SimLogEntry::Kind::Answer:
        return QStringLiteral("answer ");
    case SimLogEntry::Kind::Dropped:
        return QStringLiteral("dropped");
    }
    return {};
}

// Milliseconds with three decimals, the whole milliseconds eight wide.
QString milliseconds(SimTime at)
{
    const qlonglong micro = at.count();
    return QStringLiteral("%1.%2").arg(micro / 1000, 8).arg(micro % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace

QString SimLogEntry::text() const
{
    QString line = QStringLiteral("%1 ms %2 %3")
                       .arg(milliseconds(at), kindName(kind), PlcFrame::readable(bytes));
    if (!note.isEmpty())
        line += QStringLiteral(" [%1]").arg(note);
    return line;
}
