#pragma once

#include "tables/texttable.h"
#include "widgets/gridview.h"

#include <QLineEdit>
#include <QValidator>

// Every row a grid shows, the header first and the open row last.
inline TextTable shownRows(const GridView *view)
{
    TextTable rows;
    for (int r = 0; r < view->rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < view->grid()->columns(); ++c)
            cells << view->text(r, c);
        rows << cells;
    }
    return rows;
}

// The rows a grid of this format shows for these entries: the header, the
// entries and the open row numbered after them.
inline TextTable framedRows(const QString &format, const TextTable &entries)
{
    const QStringList header = headerFromFormat(format);
    QStringList open(header.size());
    open[0] = QString::number(entries.size() + 1);
    return TextTable{header} + entries + TextTable{open};
}

// How many characters the user may type into a box: its maximum length, or
// the most its validator takes.
inline int typingLimit(const QLineEdit *box)
{
    const QValidator *validator = box->validator();
    if (!validator)
        return box->maxLength();
    for (int n = 0; n <= 64; ++n) {
        QString text(n + 1, QLatin1Char('1'));
        int at = 0;
        if (validator->validate(text, at) == QValidator::Invalid)
            return n;
    }
    return box->maxLength();
}
