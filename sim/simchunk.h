#pragma once

#include <QByteArray>

#include <chrono>

// The simulator's clock: microseconds, fine enough to time single characters
// on a fast line (a character takes 87 µs at 115200 baud).
using SimTime = std::chrono::microseconds;

// Bytes that leave the simulated PLC together, and the time on the caller's
// clock by which they have left it.
struct SimChunk
{
    SimTime at{0};
    QByteArray bytes;

    friend bool operator==(const SimChunk &, const SimChunk &) = default;
};
