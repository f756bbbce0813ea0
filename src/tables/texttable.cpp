#include "texttable.h"

#include <QRegularExpression>

QStringList headerFromFormat(const QString &format)
{
    QStringList header = format.split(QLatin1Char('|'));
    for (QString &text : header)
        text = text.trimmed();
    return header;
}

QString tableText(const QStringList &header, const TextTable &rows)
{
    QStringList lines{header.join(QLatin1Char('\t'))};
    for (const QStringList &row : rows)
        lines << row.join(QLatin1Char('\t'));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

PastedRows pastedRows(const QString &text, const QStringList &header)
{
    const QStringList lines =
        text.split(QRegularExpression(QStringLiteral("\r?\n")), Qt::SkipEmptyParts);
    const QChar separator =
        lines.value(0).contains(QLatin1Char('\t')) ? QLatin1Char('\t') : QLatin1Char(',');
    PastedRows pasted;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QStringList cells = lines.at(n).split(separator);
        for (QString &cell : cells)
            cell = cell.trimmed();
        if (cells == header || cells == header.mid(1))
            continue;
        if (cells.size() == header.size())
            cells.removeFirst();
        if (cells.size() != header.size() - 1)
            return {{},
                    QStringLiteral("Line %1 has %2 columns; the table takes %3.")
                        .arg(n + 1)
                        .arg(cells.size())
                        .arg(header.size() - 1)};
        pasted.rows << (QStringList{QString::number(pasted.rows.size() + 1)} + cells);
    }
    return pasted;
}
