#pragma once

#include "simchunk.h"
#include "simframeselector.h"

#include <QByteArray>

#include <chrono>
#include <map>

// Faults one request can be hit by.
enum class SimFault {
    Refuse,   // answer NAK and leave the memory alone
    Silent,   // ignore the request: no effect, no answer
    Garbage,  // send SimFaults::garbage before the answer
    EarlyEtx, // data answers: ETX swapped with the last data digit, same length
    Late,     // answer SimFaults::lateBy later than usual
    Digit,    // data answers: one data digit changed, the checksum left the sender's
    Lost,     // the request takes effect, its answer is lost on the line
};

// What the simulated PLC does wrong. The default is a faultless PLC on an
// infinitely fast line.
struct SimFaults
{
    // The requests each fault hits. Refuse hits any request chosen by ordinal
    // but, chosen by address, only writes: reads of a refused area still answer.
    std::map<SimFault, SimFrameSelector> perRequest;
    QByteArray garbage = QByteArrayLiteral("\xFF\xFE");
    std::chrono::milliseconds lateBy{1000};

    // Every answer leaves in chunks of chunkSize bytes (0: in one piece),
    // chunkGap apart, and starts `delay` after the request was taken in.
    int chunkSize = 0;
    std::chrono::milliseconds chunkGap{0};
    std::chrono::milliseconds delay{0};

    // Line rate in baud at 10 bits a character, both ways; 0 for none.
    int baud = 0;

    // A noisy line: the share (0 to 1) of data answers that arrive with one
    // data digit changed (checksum left the sender's), and the share of all
    // answers that are lost, drawn from a generator started from noiseSeed.
    double digitShare = 0;
    double lostShare = 0;
    quint64 noiseSeed = 1;

    bool hits(SimFault fault, int ordinal, std::optional<quint16> address) const;
    // The time `characters` take on the line, rounded up to whole microseconds.
    SimTime lineTime(qsizetype characters) const;
};
