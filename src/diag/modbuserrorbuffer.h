#pragma once

#include "link/transferresult.h"
#include "tables/texttable.h"

#include <optional>

class PlcPort;
struct UartDescription;

// The error bytes the PLC keeps for the request slots of a Modbus master
// UART, and the "Modbus diag" table that shows them decoded.
namespace ModbusErrorBuffer {

inline const QString format =
    QStringLiteral("Slot  |  Errors  type   |   Short descriptions of error    ");

// "No error" for 0, "Inactive error" for 0x80, "Active error" otherwise.
QString errorType(int errorByte);
// The description of the low seven bits; none for the codes without one.
std::optional<QString> description(int errorByte);

// The rows of the table for the error bytes of slots 1 to n: one a slot
// (number, type, description; empty where there is none).
TextTable table(const QList<int> &errorBytes);

} // namespace ModbusErrorBuffer

// What a read of the buffer gave: the table to show, nothing when it is to
// stay as it is (the read failed, or the UART is not a Modbus master); the
// error bytes behind it; and whether the mode word said the port is in the
// mode the buffer belongs to (a Modbus master, a 1-wire master).
struct ErrorBufferRead
{
    TransferResult result;
    std::optional<TextTable> table;
    QList<int> errorBytes;
    bool inMode = true;
};

class TransferRun;

// The error bytes of slots (or sensors) 1 to `count`, at most 128, read from
// `start`: 64 bytes always, 128 when there are more than 64 (550 ms each).
// Nothing when a read failed, and then the run has failed with its message.
std::optional<QList<int>> readErrorBytes(TransferRun &run, quint16 start, int count);

// "Read modbus buffer 1" / "2": applies the settings file to the port, reads
// the UART's mode word and, for a master, the error bytes of its request
// slots (slots 1-64 from the first block, 65-128 from the second, read only
// when needed). A refused, malformed or missing answer, or a master word with
// more than 128 slots, gives "Wrong answer from PLC" or "Answer timeout from
// PLC" and no table. The port is closed at the end.
ErrorBufferRead readModbusErrorBuffer(PlcPort &port, const QString &iniFile,
                                      const UartDescription &uart);

// What a read of a UART that is not a master says: "UART 2 is not a Modbus
// master".
QString notMasterMessage(const UartDescription &uart);
