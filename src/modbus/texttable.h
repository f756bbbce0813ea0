#pragma once

#include <QList>
#include <QStringList>

// A table as the grids on screen hold it: row 0 the header, then the entry
// rows, each a list of cell texts, column 0 first.
using TextTable = QList<QStringList>;

// The header texts of a grid format string: the parts between the '|'
// separators without their surrounding blanks.
QStringList headerFromFormat(const QString &format);
