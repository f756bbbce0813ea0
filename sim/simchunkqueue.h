#pragma once

#include "simchunk.h"

#include <QList>

#include <optional>

// Answer chunks still on their way, in the order they become due. Chunks due
// at the same time keep the order they were added in.
class SimChunkQueue
{
public:
    void add(const QList<SimChunk> &chunks);
    // The bytes of every chunk due by `now`, removed from the queue.
    QByteArray takeDue(SimTime now);
    std::optional<SimTime> nextDue() const;

    bool isEmpty() const { return m_chunks.isEmpty(); }
    qsizetype size() const { return m_chunks.size(); }
    void clear() { m_chunks.clear(); }

private:
    QList<SimChunk> m_chunks;
};
