#pragma once

#include "modbus/requestrecord.h"
#include "tables/texttable.h"

#include <optional>

// The checks of a Modbus master request table: the whole-table check every
// download runs, the in-cell editor's column limits and the add/modify
// dialog's field checks.

// Title of the message boxes that show a table or slave-address error.
inline const QString configurationErrorTitle = QStringLiteral("Error in configurations");
// Title of the add/modify dialog's refusals.
inline const QString dataErrorTitle = QStringLiteral("Error in data");

// A fault Check_grid found: the row (1 to N; 128 for too many rows) and the
// code of what is wrong.
struct GridError
{
    enum Code {
        Address = 0,       // not 0 to 248
        NumWord = 1,       // negative or above the function's limit
        AddressSlave = 2,  // negative, or with Num word beyond the area
        AddressMaster = 3, // as Address slave
        Function = 4,      // not 0 to 4
        Timeout = 5,       // not 1 to 4095 ms (the PLC field has 12 bits)
        TooManyRows = 6,   // more than 128 request rows
    };

    int row = 0;
    int code = Address;

    bool operator==(const GridError &) const = default;
};

// Checks the rows of the table, numbered from 1, stopping at the first fault. Within a row
// the function comes first, then columns 1 to 4 and the timeout. A cell that
// is empty, not a whole number or outside the signed 16-bit range is a fault
// of its column.
std::optional<GridError> Check_grid(const TextTable &table);

// Every cell Check_grid refuses, row by row, each row's in the order the
// check takes them (so the first is what Check_grid gives); a row's limits
// that hang on a cell at fault (Num word on the function, the addresses on
// Num word) are then taken at their widest. Too many rows are not among them.
QList<GridError> gridFaults(const TextTable &table);
// The table column a fault's code is of (-1 for too many rows).
int gridErrorColumn(int code);
// The values a download takes in the fault's cell of a row with these
// cells: "0 to 4", "0 to 7989".
QString gridErrorRange(int code, const QStringList &cells);

// The text shown for a fault: what is wrong, the row, a line break and the
// column's name; for too many rows the largest number allowed.
QString gridErrorMessage(const GridError &error);

// The in-cell editor's check of a value confirmed with Enter: an unsigned
// whole number of at most 255 in columns 1, 2 and 5, at most 65535 in columns
// 3, 4 and 6. Other columns take anything.
bool cellValueAccepted(int column, QStringView text);

// The texts of the add/modify dialog's fields and the function list's index.
struct RequestDialogFields
{
    QString address;
    QString slaveAddress;
    QString count;
    QString masterAddress;
    QString timeout;
    int function = 1;
};

// The dialog's OK check: Address 1 to 254, Address slave 0 to 32767, Num word
// 1 to 254, Address master 0 to 32767, Timeout 1 to 4095, in that order. The
// first field that fails gives the refusal "You put wrong value  " and its
// text; otherwise the row to write into the table.
struct DialogCheck
{
    std::optional<RequestRow> row;
    QString refusal;
};
DialogCheck checkDialogFields(const RequestDialogFields &fields);

// Every field the OK check refuses, in the check's order, each with the
// values it takes ("1 to 254"); the first is the one the refusal names.
struct DialogFieldFault
{
    enum Field { Address, SlaveAddress, Count, MasterAddress, Timeout };

    Field field = Address;
    QString range;

    bool operator==(const DialogFieldFault &) const = default;
};
QList<DialogFieldFault> dialogFieldFaults(const RequestDialogFields &fields);

// The slave address a download sends, from its text box: a whole number from
// 1 to 247. Otherwise the refusal to show (title "Error in configurations").
struct SlaveAddressCheck
{
    int address = 0;
    QString refusal;
};
SlaveAddressCheck checkSlaveAddress(const QString &text);

// The UART2 slave timeout: a whole number of milliseconds from 0 to 65535.
// Otherwise the refusal to show (title "Error in configurations").
struct SlaveTimeoutCheck
{
    quint16 timeout = 0;
    QString refusal;
};
SlaveTimeoutCheck checkSlaveTimeout(const QString &text);
