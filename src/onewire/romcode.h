#pragma once

#include <QByteArrayView>
#include <QString>

// What a 1-wire ROM code tells of itself: its family (byte 0) and whether
// its last byte is the CRC of the seven before it.
namespace RomCode {

// The CRC-8 1-wire devices compute (polynomial x^8 + x^5 + x^4 + 1, taken
// least significant bit first, starting from 0).
quint8 crc8(QByteArrayView bytes);
// True when byte 7 of the 8-byte code is the CRC of bytes 0 to 6.
bool crcMatches(QByteArrayView code);
// The device family of a family code, "unknown family (0x99)" for one not
// known.
QString family(quint8 code);

inline const QString crcMismatch = QStringLiteral("ROM code CRC does not match: check the digits");

} // namespace RomCode
