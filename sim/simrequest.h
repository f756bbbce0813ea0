#pragma once

#include "simchunk.h"

#include <QByteArray>
#include <QString>

#include <optional>

// One request as the simulated PLC parsed it from the bytes on the line.
struct SimRequest
{
    enum class Kind {
        Enq,     // a bare ENQ outside a frame
        Read,    // command "0" or "E00"
        Write,   // command "E10" or "E11"
        Broken,  // a frame that cannot be carried out; answered NAK (see error)
        Dropped, // an incomplete frame given up on; not answered (see error)
    };

    Kind kind = Kind::Broken;
    QByteArray frame; // the bytes as received, STX to checksum (or the single ENQ)
    SimTime firstByteAt{0};
    SimTime endedAt{0};             // last byte received, or when it was dropped
    QByteArray command;             // "0", "E00", "E10", "E11"; empty for ENQ
    std::optional<quint16> address; // known once its four digits have arrived
    int count = 0;
    QByteArray data; // the bytes a write carries
    QString error;   // why a Broken or Dropped frame was not carried out

    bool isWrite() const { return kind == Kind::Write; }
};
