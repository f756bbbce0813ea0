#pragma once

#include <QList>
#include <QStringList>

// The entry rows of a table as the core works on them: each a list of cell
// texts, column 0 (the row number) first. The header and the open row below
// the entries belong to the table on screen, not to its content.
using TextTable = QList<QStringList>;

// The header texts of a grid format string: the parts between the '|'
// separators without their surrounding blanks.
QStringList headerFromFormat(const QString &format);
