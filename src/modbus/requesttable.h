#pragma once

#include "modbus/requestrecord.h"
#include "tables/texttable.h"

// A Modbus master request table: its request rows 1 to N, column 0 the row
// number.
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

// The name of the function a Function cell holds; empty for a cell that
// holds no function index.
QString functionName(const QString &cell);

// The conventional Modbus reference of a row's first slave item, 1-based as
// device manuals number them: coils 0xxxx, holding registers 4xxxx, input
// registers 3xxxx ("holding register 40101 (protocol address 100)"), with a
// fifth digit above 9999. Empty when the function or the address is not one.
QString modbusReference(const QStringList &row);

// The rows numbered from 1.
TextTable fromRows(const QList<RequestRow> &rows);
// The cells of one request row, column 0 the slot number.
QStringList cells(int slot, const RequestRow &row);

// The rows as numbers. Meant for a table Check_grid has passed; a cell
// that is not a whole number reads as 0.
QList<RequestRow> rows(const TextTable &table);

} // namespace RequestTable
