#include "simfaults.h"

bool SimFaults::hits(SimFault fault, int ordinal, std::optional<quint16> address) const
{
    const auto it = perRequest.find(fault);
    return it != perRequest.end() && it->second.matches(ordinal, address);
}

SimTime SimFaults::lineTime(qsizetype characters) const
{
    if (baud <= 0)
        return SimTime(0);
    const qint64 bitMicroseconds = qint64(characters) * 10 * 1'000'000;
    return SimTime((bitMicroseconds + baud - 1) / baud);
}
