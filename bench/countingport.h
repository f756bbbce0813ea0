#pragma once

#include "link/forwardingport.h"

#include <memory>

// Passes everything to a port and counts what crosses the line: the bytes
// each way and the time spent in pauses the protocol demands.
class CountingPort : public ForwardingPort
{
public:
    using ForwardingPort::ForwardingPort;

    qint64 bytesSent = 0;
    qint64 bytesReceived = 0;
    std::chrono::milliseconds paused{0};

    bool write(const QByteArray &data) override
    {
        bytesSent += data.size();
        return inner().write(data);
    }
    QByteArray takeReceived() override
    {
        const QByteArray data = inner().takeReceived();
        bytesReceived += data.size();
        return data;
    }
    void pause(std::chrono::milliseconds duration) override
    {
        paused += duration;
        inner().pause(duration);
    }
};
