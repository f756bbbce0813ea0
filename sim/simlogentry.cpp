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

} // namespace

QString SimLogEntry::text() const
{
    QString line = QStringLiteral("%1 ms %2 %3")
                       .arg(qlonglong(at.count()), 8)
                       .arg(kindName(kind), PlcFrame::readable(bytes));
    if (!note.isEmpty())
        line += QStringLiteral(" [%1]").arg(note);
    return line;
}
