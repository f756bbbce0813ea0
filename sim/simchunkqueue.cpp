#include "simchunkqueue.h"

#include <algorithm>

void SimChunkQueue::add(const QList<SimChunk> &chunks)
{
    for (const SimChunk &chunk : chunks) {
        const auto later =
            std::upper_bound(m_chunks.begin(), m_chunks.end(), chunk.at,
                             [](SimTime at, const SimChunk &queued) { return at < queued.at; });
        m_chunks.insert(later, chunk);
    }
}

QByteArray SimChunkQueue::takeDue(SimTime now)
{
    QByteArray due;
    qsizetype taken = 0;
    while (taken < m_chunks.size() && m_chunks.at(taken).at <= now)
        due += m_chunks.at(taken++).bytes;
    m_chunks.remove(0, taken);
    return due;
}

std::optional<SimTime> SimChunkQueue::nextDue() const
{
    if (m_chunks.isEmpty())
        return std::nullopt;
    return m_chunks.front().at;
}
