#pragma once

#include "link/plcresult.h"

#include <chrono>

class PlcPort;

// The four PLC transactions. Each discards what is waiting in the receive
// buffer, sends one request on the already opened port and blocks until the
// answer is complete or the line has been silent for `timeout`: every chunk
// received restarts the timeout, so a slow but steady answer completes.

// Reads `count` (two hex digits) bytes from `address` with command "E00".
// Answered: text is the whole answer, STX to checksum, and anything beyond.
PlcResult Plc_read(PlcPort &port, std::chrono::milliseconds timeout, const QString &address,
                   const QString &count);

// Reads the 16-bit word at `address` (command "0", count "02"). Answered:
// text is the word's unsigned decimal value; the first byte is the low byte.
PlcResult Plc_read_word(PlcPort &port, std::chrono::milliseconds timeout, const QString &address);

// Writes `data` (two hex digits per byte) with command "E10" or "E11".
// text is the answer code: "6" ACK, "15" NAK, "16" no answer in time, or the
// hex code of whatever other character came first.
PlcResult Plc_write(PlcPort &port, std::chrono::milliseconds timeout, const QString &command,
                    const QString &address, const QString &count, const QString &data);

// Sends the single character `code` (ENQ) with no frame. text is the hex code
// of the first answer character, "" when none came in time.
PlcResult Plc_enq(PlcPort &port, std::chrono::milliseconds timeout, char code);
