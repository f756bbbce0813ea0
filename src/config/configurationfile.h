#pragma once

#include "config/configuration.h"

#include <QByteArray>

#include <optional>

// The configuration file: one 15046-byte record, written and read whole.
//
// Four sections of 3754 bytes (UART1, UART2, the auxiliary port, and one
// left zero), each a request table of 129 entries of 9 bytes, a sensor table
// of 129 entries of 11 bytes, a spare table of 1161 bytes and a 13-byte
// settings block; then 30 reserved bytes. Numbers are little-endian, 16-bit
// fields signed, the slave timeout a single-precision float. The file holds
// neither the I/O assignment, nor the Field Net settings, nor UART2's data
// and stop bits.
namespace ConfigurationFile {

inline constexpr int recordSize = 15046;

inline const QString filter = QStringLiteral("Ardel technology PLC config (*.apc);;All file (*.*)");
inline const QString suffix = QStringLiteral("apc");

// What of the configuration a file holds: the parts it does not hold (the
// I/O assignment, the Field Net settings, UART2's data and stop bits) set to
// the defaults. Two configurations with the same part held save alike.
Configuration held(Configuration configuration);

// The record of a configuration, or why there is none: the table, row and
// column or the field, the value, and what is wrong with it.
struct Encoded
{
    QByteArray record;
    QString error;
};
Encoded encode(const Configuration &configuration);

// The configuration a record gives, the parts the file does not hold taken
// from `current`; or why the record cannot be taken (a count above 128, a
// mode or list index out of its range, a slave timeout not whole or beyond what its box
// takes), in which case nothing of it is. A shorter record reads as if padded with zeros; bytes
// beyond the record are ignored.
struct Decoded
{
    std::optional<Configuration> configuration;
    QString error;
};
Decoded decode(QByteArrayView record, const Configuration &current);

// Writes the record to the file whole, or not at all: a file already there is
// replaced only once everything has been written. Returns the error, empty on
// success.
QString save(const QString &path, const Configuration &configuration);
// Reads and decodes the file; one that is not exactly a record long is refused.
Decoded load(const QString &path, const Configuration &current);

} // namespace ConfigurationFile
