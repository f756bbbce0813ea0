#include "modeword.h"

#include "link/transferrun.h"

using namespace std::chrono_literals;

namespace ModeWord {

namespace {

constexpr quint16 masterBit = 0x8000;
constexpr quint16 activeBit = 0x4000;
constexpr quint16 masterBits = masterBit | activeBit;

} // namespace

quint16 encode(ModbusRole role, int speed, int parity, int lowByte)
{
    if (role == ModbusRole::NotUsed)
        return 0;
    const quint16 roleBits = role == ModbusRole::Master ? masterBits : activeBit;
    return quint16(roleBits | (parity & 0x3) << 11 | (speed & 0x7) << 8 | (lowByte & 0xFF));
}

Decoded decode(quint16 word)
{
    Decoded decoded{Decoded::Kind::Other, (word >> 8) & 0x7, (word >> 11) & 0x3, word & 0xFF};
    if ((word & masterBits) == masterBits)
        decoded.kind = Decoded::Kind::Master;
    else if (word >= 0x4000 && word <= 0x6FFF)
        decoded.kind = Decoded::Kind::Slave;
    else if (word == 0)
        decoded.kind = Decoded::Kind::NotUsed;
    return decoded;
}

std::optional<Decoded> read(TransferRun &run, quint16 address)
{
    const std::optional<quint16> word = run.readWord(350ms, address);
    return word ? std::optional(decode(*word)) : std::nullopt;
}

bool isValid(const Decoded &decoded)
{
    switch (decoded.kind) {
    case Decoded::Kind::Master:
        return decoded.parity < parityCount && decoded.lowByte <= maxRows;
    case Decoded::Kind::Slave:
        return decoded.parity < parityCount;
    case Decoded::Kind::NotUsed:
    case Decoded::Kind::Other:
        break;
    }
    return true;
}

} // namespace ModeWord
