#include "texttable.h"

QStringList headerFromFormat(const QString &format)
{
    QStringList header = format.split(QLatin1Char('|'));
    for (QString &text : header)
        text = text.trimmed();
    return header;
}
