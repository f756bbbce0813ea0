#pragma once

#include "simchunk.h"

#include <QByteArray>
#include <QString>

// One line of the simulated PLC's frame log.
struct SimLogEntry
{
    enum class Kind {
        Request, // a frame or ENQ received from the tool
        Answer,  // an answer sent to the tool, all its chunks together
        Dropped, // an incomplete frame received and given up on
    };

    SimTime at{0}; // when the request was taken in or the answer began to leave
    Kind kind = Kind::Request;
    QByteArray bytes;
    QString note; // why a request was refused, which faults hit it

    bool isReceived() const { return kind != Kind::Answer; }
    // "    1234.567 ms request <STX>E00200602<ETX>D2", the note appended in brackets.
    QString text() const;
};
