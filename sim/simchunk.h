#pragma once

#include <QByteArray>

#include <chrono>

// Bytes that leave the simulated PLC together, and the time on the caller's
// clock by which they have left it.
struct SimChunk
{
    std::chrono::milliseconds at{0};
    QByteArray bytes;

    friend bool operator==(const SimChunk &, const SimChunk &) = default;
};
