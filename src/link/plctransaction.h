#pragma once

#include "link/plcframe.h"
#include "link/plcresult.h"

#include <chrono>

class PlcPort;

// The four PLC transactions. Each discards what is waiting in the receive
// buffer, sends one request on the already opened port and blocks until the
// answer is complete or the line has been silent for `timeout`: every chunk
// received restarts the timeout, so a slow but steady answer completes.

// Reads `count` bytes (at most 0xFF) from `address` with command "E00".
// Answered: data holds the bytes; text is the whole answer, STX to checksum,
// and anything beyond.
PlcResult Plc_read(PlcPort &port, std::chrono::milliseconds timeout, quint16 address, int count);

// Reads the 16-bit word at `address` (command "0", count "02"). Answered:
// word holds it, the first byte the low one; text is its unsigned decimal
// value.
PlcResult Plc_read_word(PlcPort &port, std::chrono::milliseconds timeout, quint16 address);

// Writes the bytes (count from their number) with command "E10" or "E11".
// code is the first answer character's; text the answer code: "6" ACK,
// "15" NAK, "16" no answer in time, or the hex code of whatever other
// character came first.
PlcResult Plc_write(PlcPort &port, std::chrono::milliseconds timeout, PlcCommand command,
                    quint16 address, QByteArrayView data);

// Sends the single character `code` (ENQ) with no frame. text is the hex code
// of the first answer character, "" when none came in time.
PlcResult Plc_enq(PlcPort &port, std::chrono::milliseconds timeout, char code);
