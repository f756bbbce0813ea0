#pragma once

#include "link/plcframe.h"

#include <QByteArray>

// Request frames as the tool sends them, for feeding the simulator.
namespace SimFrames {

inline QByteArray read(QByteArrayView address, QByteArrayView count)
{
    return PlcFrame::request("E00", address, count);
}

inline QByteArray write(QByteArrayView address, QByteArrayView data, QByteArrayView command = "E11")
{
    const QByteArray count =
        QByteArray::number(data.size() / 2, 16).toUpper().rightJustified(2, '0');
    return PlcFrame::request(command, address, count, data);
}

inline const QByteArray ack(1, PlcFrame::ACK);
inline const QByteArray nak(1, PlcFrame::NAK);
inline const QByteArray enq(1, PlcFrame::ENQ);

} // namespace SimFrames
