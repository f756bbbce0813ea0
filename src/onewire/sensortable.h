#pragma once

#include "tables/gridmodel.h"

#include <QByteArray>

#include <optional>

// The table of 1-wire sensors the PLC polls: per sensor its 8-byte ROM code,
// a byte a cell as two hex digits, and the data register that receives its
// reading. At most 128 sensors.
namespace SensorTable {

enum Column { Num = 0, Byte0 = 1, Byte7 = 8, Register = 9 };
inline constexpr int columnCount = 10;
inline constexpr int maxSensors = 128;
inline constexpr int maxRegister = 7997; // the register and the next must lie below 7999

inline const QString format =
    QStringLiteral("Num | Byte 0 | Byte 1 | Byte 2 | Byte 3 | Byte 4 | Byte 5 | Byte 6 | "
                   "Byte 7 |  Dxxxx  ");

// Title of the message boxes that show a sensor table error.
inline const QString errorTitle = QStringLiteral("Error in configuration");

// The ROM code of a row, when all eight byte cells are hex pairs.
std::optional<QByteArray> romCode(const QStringList &cells);

// Each sensor's record as the PLC keeps it, 10 bytes: the ROM code bytes
// pairwise swapped (byte 1, byte 0, byte 3, byte 2, ...), then the data
// register low byte first. A negative register is sent as 0. Meant for rows
// Check_grid_1w has passed.
QByteArray encodeAll(const TextTable &sensors);
inline constexpr int recordBytes = 10;
// Where the PLC keeps the first record; the others follow it.
inline constexpr quint16 recordStart = 0x200C;
// The rows of the records, numbered from 1: the ROM bytes as two upper-case
// hex digits, the register as a signed decimal number. Nothing unless the
// data is whole records.
std::optional<TextTable> decodeAll(QByteArrayView data);

// What a row's byte cells tell of its ROM code: the device family, and a
// warning where the last byte is not the CRC of the others.
GridModel::CellNote codeNote(const QStringList &cells, int column);

// The register the add dialog proposes: "3000" when the chosen row's
// register cell is empty, or when there is no last sensor with a whole
// number there; otherwise the last sensor's register + 2, so that
// consecutive sensors lie two registers apart.
QString proposedRegister(const QString &chosenRegister, const TextTable &sensors);

} // namespace SensorTable

// True (an error) unless the first two characters are hex digits, upper or
// lower case.
bool Check_hex_pair(QStringView text);

// A fault Check_grid_1w found: the row (1 to N; 128 for too many sensors)
// and its code: 0 to 7 the byte column, 8 the register, 9 too many sensors.
struct SensorGridError
{
    enum Code { Register = 8, TooManySensors = 9 };

    int row = 0;
    int code = 0;

    bool operator==(const SensorGridError &) const = default;
};

// Checks the sensor rows in order, and within a row the byte cells (exactly
// two hex digits each) before the register (a 16-bit whole number of at
// most 7997), stopping at the first fault.
std::optional<SensorGridError> Check_grid_1w(const TextTable &sensors);

// Every cell Check_grid_1w refuses, row by row in the check's order (too
// many sensors not among them); the first is what Check_grid_1w gives.
QList<SensorGridError> sensorGridFaults(const TextTable &sensors);
// The values a download takes in a fault's cell: "two hex digits, 00 to FF".
QString sensorGridErrorRange(int code);

// The text shown for a fault, with the row and the code in decimal.
QString sensorGridErrorMessage(const SensorGridError &error);
