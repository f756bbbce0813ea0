#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The commands of the PLC's frames.
enum class PlcCommand {
    ReadWord, // "0": a word read (the CPU type)
    Read,     // "E00": a block read
    Command,  // "E10": a command word
    Write,    // "E11": a configuration block or settings word
};

// Characters and frames of the PLC's ASCII protocol, shared by the tool and
// the simulator.
namespace PlcFrame {

inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr char ENQ = 0x05;
inline constexpr char ACK = 0x06;
inline constexpr char NAK = 0x15;

// Low byte of the sum of the character codes, as two upper-case hex digits.
QByteArray checksum(QByteArrayView text);

// STX, command, address, count, data, ETX and the checksum of everything
// between STX and the checksum, from the texts of the fields.
QByteArray request(QByteArrayView command, QByteArrayView address, QByteArrayView count,
                   QByteArrayView data = {});
// The same from their values: the command's text, the address as four and
// the count as two upper-case hex digits, each data byte as two.
QByteArray request(PlcCommand command, quint16 address, int count, QByteArrayView data = {});

QByteArray commandText(PlcCommand command);
// The value as upper-case hex digits, left-padded with "0" to `width`.
QByteArray hexDigits(unsigned value, int width);

// A data answer as the PLC sends it: STX, the digits, ETX and their checksum.
QByteArray dataAnswer(QByteArrayView digits);

// True when every character is 0-9 or A-F (upper case only, as on the wire).
bool isHexDigits(QByteArrayView text);

// The bytes with control characters spelled out: "<STX>E00200602<ETX>D2".
QString readable(QByteArrayView bytes);

} // namespace PlcFrame

// The protocol's hex reader: upper-case digits only; any other character, and
// the empty text, gives 0. Values above 7FFFFFFF give 0 as well.
qint32 Hex_to_int(QStringView text);
