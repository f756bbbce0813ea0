#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// One request of a Modbus master table as numbers.
struct RequestRow
{
    int address = 0;       // Modbus address of the slave device
    int count = 0;         // registers or coils to move ("Num word")
    int slaveAddress = 0;  // first register or coil in the slave
    int masterAddress = 0; // first register or bit in the PLC
    int function = 0;      // function index 0 to 4
    int timeout = 0;       // answer timeout in ms, 12 bits

    bool operator==(const RequestRow &) const = default;
};

namespace RequestRecord {

inline constexpr int bytes = 8;

// The 8-byte record the PLC keeps for a request: address and count as one
// byte each, then the slave address, the master address and the word
// function x 0x1000 + timeout, each low byte first. Values must lie within
// their fields (as Check_grid makes sure): Address 1, Num word 10, Address
// slave 0, Address master 100, Function 1, Timeout 1000 is the bytes
// 01 0A 00 00 64 00 E8 13.
QByteArray encode(const RequestRow &row);
// The inverse; empty unless there are exactly 8 bytes. Values are taken as
// they come, without range checks.
std::optional<RequestRow> decode(QByteArrayView record);

// The records of the rows, one after the other.
QByteArray encodeAll(const QList<RequestRow> &rows);
// The rows of a table's bytes, whose number is a multiple of 8.
std::optional<QList<RequestRow>> decodeAll(QByteArrayView data);

} // namespace RequestRecord
