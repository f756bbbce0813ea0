#pragma once

#include "modbus/requestrecord.h"
#include "modbus/texttable.h"

// A Modbus master request table as the grid holds it: the header row 0, the
// request rows 1 to N and one open row, so N is the row count minus 2.
// Column 0 holds the row number, the open row's included.
namespace RequestTable {

enum Column { Slot = 0, Address, NumWord, AddressSlave, AddressMaster, Function, Timeout };
inline constexpr int columnCount = 7;

inline const QString format = QStringLiteral(
    "Slot | Address | Num word | Address slave | Address master | Function | Timeout,[ms] ");

// The function list of the add/modify dialog; the table holds the index.
inline const QStringList functions = {
    QStringLiteral("Read coils"), QStringLiteral("Read holding register"),
    QStringLiteral("Write multiply register"), QStringLiteral("Write coils"),
    QStringLiteral("Read input register")};

// N: the request rows, without the header and the open row.
int requestCount(const TextTable &table);

// The header and the open row numbered 1.
TextTable empty();
// The header, the rows numbered from 1 and the open row numbered N + 1.
TextTable fromRows(const QList<RequestRow> &rows);
// The cells of one request row, column 0 the slot number.
QStringList cells(int slot, const RequestRow &row);

// Rows 1 to N as numbers. Meant for a table Check_grid has passed; a cell
// that is not a whole number reads as 0.
QList<RequestRow> rows(const TextTable &table);

} // namespace RequestTable
