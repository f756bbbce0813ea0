#pragma once

#include <QtGlobal>

#include <optional>

class TransferRun;

// The role of a Modbus port, as the index of its role button.
enum class ModbusRole { Master = 0, Slave = 1, NotUsed = 2 };

namespace ModeWord {

inline constexpr int speedCount = 8;  // "9600" to "500000"
inline constexpr int parityCount = 3; // "Odd", "Even", "None"
inline constexpr int maxRows = 128;   // request rows a port's table area holds

// The mode word the PLC keeps for a port: bit 15 master, bit 14 master or
// slave, bits 12-11 parity index, bits 10-8 speed index, bits 7-0 the row
// count of a master or the address of a slave. An unused port's word is 0.
quint16 encode(ModbusRole role, int speed, int parity, int lowByte);

// What a mode word read back from the PLC says.
struct Decoded
{
    enum class Kind {
        Master,  // bits 15 and 14 set
        Slave,   // 0x4000 to 0x6FFF
        NotUsed, // 0
        Other,   // any other value: says nothing about the port
    };
    Kind kind = Kind::Other;
    int speed = 0;
    int parity = 0;
    int lowByte = 0; // row count of a master, address of a slave
};

Decoded decode(quint16 word);

// Reads a port's mode word (350 ms) and decodes it; nothing when the read
// failed, and then the run has failed with its message.
std::optional<Decoded> read(TransferRun &run, quint16 address);

// True when the word is a master or slave word whose fields the tool can
// show: a parity index with a list item and, for a master, at most 128 rows.
bool isValid(const Decoded &decoded);

} // namespace ModeWord
