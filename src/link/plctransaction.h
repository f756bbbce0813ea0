#pragma once

#include "link/plcframe.h"
#include "link/plcresult.h"

#include <chrono>

class PlcPort;

// The four PLC transactions. Each discards what is waiting in the receive
// buffer, sends one request on the already opened port and blocks until the
// answer is complete or the line has been silent for `timeout`: every chunk
// received restarts the timeout, so a slow but steady answer completes.

//
// A data answer must be framed (STX, the digits, ETX) and, unless the port's
// line says otherwise, carry the checksum of its characters after STX up to
// and including ETX; otherwise it is Malformed (badChecksum for the latter).
//
// After a request met by silence or by a wrong answer, the next request on
// the port first waits until the line is quiet, dropping what arrives: an
// answer that comes late is never taken for the answer to the next request,
// whether it comes before or after the port was closed and opened again.
//
// Each transaction tells the port's watcher, if it has one, what it sent,
// received and dropped, and how it judged the answer.

// After silence, the line is quiet once nothing has come for this long since
// the request (at least wrongAnswerQuiet more); after each chunk that comes
// meanwhile, for the request's own timeout.
inline constexpr std::chrono::milliseconds lateAnswerWindow{2000};
// After a wrong answer, the line is quiet once nothing has come for this long
// (or the request's timeout, when shorter): some 40 character times at 9600
// baud, and more than the 16 ms a USB adapter may hold back a piece of an
// answer, but short enough that a read sent again on a noisy line costs
// little more than its own characters.
inline constexpr std::chrono::milliseconds wrongAnswerQuiet{40};

// What a read's bytes are, for whoever watches the line: a block as it lies
// in the PLC, or a 16-bit word, its low byte first.
enum class PlcData { Bytes, Word };

// Reads `count` bytes (at most 0xFF) from `address` with command "E00".
// Answered: data holds the bytes; text is the whole answer, STX to checksum,
// and anything beyond.
PlcResult Plc_read(PlcPort &port, std::chrono::milliseconds timeout, quint16 address, int count,
                   PlcData shape = PlcData::Bytes);

// Plc_read sent again, the same frame, once the line is quiet: after a wrong
// answer (framing or checksum) up to two more times, after silence once
// more, at most three tries in all. A refusal or a failing port ends it at
// once. tries says how many were made; the result is the last one's.
PlcResult Plc_read_retried(PlcPort &port, std::chrono::milliseconds timeout, quint16 address,
                           int count, PlcData shape = PlcData::Bytes);

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
