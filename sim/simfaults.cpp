#include "simfaults.h"

bool SimFaults::hits(SimFault fault, int ordinal, std::optional<quint16> address) const
{
    const auto it = perRequest.find(fault);
    return it != perRequest.end() && it->second.matches(ordinal, address);
}

std::chrono::milliseconds SimFaults::lineTime(qsizetype characters) const
{
    if (baud <= 0)
        return std::chrono::milliseconds(0);
    const qint64 bitMilliseconds = qint64(characters) * 10 * 1000;
    return std::chrono::milliseconds((bitMilliseconds + baud - 1) / baud);
}
