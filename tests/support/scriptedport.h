#pragma once

#include "support/fakeport.h"

#include <QList>

#include <deque>

// A port whose answers are scripted per request, on simulated time: each
// write takes the next script, a list of chunks with their delay after the
// write. Waits advance the simulated clock instead of sleeping.
class ScriptedPort : public FakePort
{
public:
    ScriptedPort() : FakePort(1) {}

    struct Chunk
    {
        std::chrono::milliseconds delay;
        QByteArray bytes;
    };
    using Script = QList<Chunk>;

    void addScript(Script script) { m_scripts.push_back(std::move(script)); }
    void failWaitsAfter(std::chrono::milliseconds time) { m_failAt = time; }

    QList<QByteArray> written;
    std::chrono::milliseconds now{0};
    int waits = 0;

    bool write(const QByteArray &data) override
    {
        written.append(data);
        if (!m_scripts.empty()) {
            for (const Chunk &chunk : m_scripts.front())
                m_pending.push_back({now + chunk.delay, chunk.bytes});
            m_scripts.pop_front();
        }
        return true;
    }

    QByteArray takeReceived() override
    {
        QByteArray out;
        while (!m_pending.empty() && m_pending.front().at <= now) {
            out += m_pending.front().bytes;
            m_pending.pop_front();
        }
        return out;
    }

    void discardInput() override { takeReceived(); }

    Wait waitForData(std::chrono::milliseconds timeout) override
    {
        ++waits;
        if (m_failAt && now + timeout >= *m_failAt) {
            now = *m_failAt;
            return Wait::Error;
        }
        if (!m_pending.empty() && m_pending.front().at <= now + timeout) {
            now = std::max(now, m_pending.front().at);
            return Wait::Data;
        }
        now += timeout;
        return Wait::Timeout;
    }

    void pause(std::chrono::milliseconds duration) override { now += duration; }
    QString errorString() const override { return QStringLiteral("device vanished"); }

private:
    struct Timed
    {
        std::chrono::milliseconds at;
        QByteArray bytes;
    };
    std::deque<Script> m_scripts;
    std::deque<Timed> m_pending;
    std::optional<std::chrono::milliseconds> m_failAt;
};
