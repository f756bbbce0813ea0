#pragma once

#include "link/forwardingport.h"

#include <atomic>
#include <memory>

// Wraps a port so that an operation can be stopped from another thread: once
// cancelled, writes fail, waits end with an error and pauses return at once,
// so the running transaction ends within its current wait.
//
// Operations are numbered: a cancel names the operation it stops, so one
// that comes too late to stop its own operation never stops the next.
class CancellablePort : public ForwardingPort
{
public:
    explicit CancellablePort(std::unique_ptr<PlcPort> port);

    // The operation numbered `operation` starts using the port.
    void begin(quint64 operation) { m_current = operation; }
    // Stops the operation numbered `operation` if it runs or is still to run.
    void cancel(quint64 operation) { m_cancelled = operation; }
    // Stops every operation, now and later.
    void cancelAll() { m_closing = true; }
    bool isCancelled() const { return m_closing || m_cancelled == m_current; }

    bool open() override;
    bool write(const QByteArray &data) override;
    Wait waitForData(std::chrono::milliseconds timeout) override;
    void pause(std::chrono::milliseconds duration) override;

    QString errorString() const override;

private:
    std::atomic<quint64> m_current = 0;
    std::atomic<quint64> m_cancelled = 0; // 0 names no operation
    std::atomic<bool> m_closing = false;
};
