#include "auxmodeword.h"

#include <array>

namespace AuxModeWord {

namespace {

constexpr quint16 oneWireBits = 0xC000;
constexpr quint16 fieldNetBit = 0x8000;
constexpr std::array<quint16, 5> speedCodes = {0x0000, 0x0080, 0x0100, 0x0180, 0x0380};
constexpr std::array<quint16, 3> parityCodes = {0x0000, 0x0400, 0x0800};
constexpr quint16 eightBits = 0x1000;
constexpr quint16 twoStopBits = 0x2000;

template <std::size_t N> quint16 code(const std::array<quint16, N> &codes, int index)
{
    return index >= 0 && std::size_t(index) < N ? codes.at(std::size_t(index)) : 0;
}

// The most specific speed whose code bits are all set.
int speedOf(quint16 word)
{
    for (int index = int(speedCodes.size()) - 1; index > 0; --index) {
        if ((word & speedCodes.at(std::size_t(index))) == speedCodes.at(std::size_t(index)))
            return index;
    }
    return 0;
}

} // namespace

quint16 encode(const AuxSettings &settings)
{
    switch (settings.mode) {
    case AuxMode::OneWireMaster:
        return quint16(oneWireBits + settings.sensors.size());
    case AuxMode::FieldNet:
        return fieldNetBit | code(speedCodes, settings.fieldNetSpeed) |
               code(parityCodes, settings.fieldNetParity) |
               (settings.fieldNetDataBits == 1 ? eightBits : 0) |
               (settings.fieldNetStopBits == 1 ? twoStopBits : 0);
    case AuxMode::NotUsed:
        break;
    }
    return 0;
}

Decoded decode(quint16 word)
{
    Decoded decoded;
    if ((word & oneWireBits) == oneWireBits) {
        decoded.mode = AuxMode::OneWireMaster;
        decoded.sensors = word & 0xFF;
    } else if (word & fieldNetBit) {
        decoded.mode = AuxMode::FieldNet;
        decoded.stopBits = word & twoStopBits ? 1 : 0;
        decoded.dataBits = word & eightBits ? 1 : 0;
        decoded.parity = word & 0x0800 ? 2 : (word & 0x0400 ? 1 : 0);
        decoded.speed = speedOf(word);
    }
    return decoded;
}

int sensorCount(quint16 word)
{
    const Decoded decoded = decode(word);
    return decoded.mode == AuxMode::OneWireMaster ? decoded.sensors : 0;
}

} // namespace AuxModeWord
