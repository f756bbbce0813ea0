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

// Rows as a spreadsheet takes them: the header line, then one line a row,
// cells separated by tabs.
QString tableText(const QStringList &header, const TextTable &rows);

// Rows pasted from a spreadsheet: lines of tab- (or, without tabs, comma-)
// separated cells, each with the table's cells after the row number, or
// with the number too; a line that repeats the header is skipped. Rows come
// back numbered from 1; a line with another number of cells refuses them.
struct PastedRows
{
    TextTable rows;
    QString refusal;
};
PastedRows pastedRows(const QString &text, const QStringList &header);
