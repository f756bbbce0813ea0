#pragma once

#include "onewire/auxsettings.h"

#include <QStringList>

#include <optional>

// The auxiliary port's mode word at 200A and the Field Net lists it encodes.
namespace AuxModeWord {

inline constexpr quint16 address = 0x200A;

inline const QStringList speeds = {QStringLiteral("9600"), QStringLiteral("19200"),
                                   QStringLiteral("38400"), QStringLiteral("57600"),
                                   QStringLiteral("115200")};
inline const QStringList parities = {QStringLiteral("None"), QStringLiteral("Odd"),
                                     QStringLiteral("Even")};
inline const QStringList dataBits = {QStringLiteral("7"), QStringLiteral("8")};
inline const QStringList stopBits = {QStringLiteral("1"), QStringLiteral("2")};

// 1-wire master: C000 + the sensor count. Field Net: 8000 with the codes of
// the four lists (a list with nothing chosen counts as its first item). Not
// used: 0.
quint16 encode(const AuxSettings &settings);

// What a mode word read back says: a 1-wire master with its sensor count
// (bits 0 to 7), a Field Net port with its list indexes, or an unused port.
struct Decoded
{
    AuxMode mode = AuxMode::NotUsed;
    int sensors = 0;
    int speed = 0;
    int parity = 0;
    int dataBits = 0;
    int stopBits = 0;
};
Decoded decode(quint16 word);

// The sensor count of a word, 0 unless it is a 1-wire master's.
int sensorCount(quint16 word);

} // namespace AuxModeWord
