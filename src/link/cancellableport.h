#pragma once

#include "link/plcport.h"

#include <atomic>
#include <memory>

// Wraps a port so that an operation can be stopped from another thread: once
// cancelled, writes fail, waits end with an error and pauses return at once,
// so the running transaction ends within its current wait.
//
// Operations are numbered: a cancel names the operation it stops, so one
// that comes too late to stop its own operation never stops the next.
class CancellablePort : public PlcPort
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

    void setSettings(const QString &settings) override { m_port->setSettings(settings); }
    QString settings() const override { return m_port->settings(); }
    void setPortNumber(int number) override { m_port->setPortNumber(number); }
    int portNumber() const override { return m_port->portNumber(); }

    bool open() override;
    void close() override { m_port->close(); }
    bool isOpen() const override { return m_port->isOpen(); }

    bool write(const QByteArray &data) override;
    QByteArray takeReceived() override { return m_port->takeReceived(); }
    void discardInput() override { m_port->discardInput(); }
    Wait waitForData(std::chrono::milliseconds timeout) override;
    void pause(std::chrono::milliseconds duration) override;

    QString errorString() const override;

private:
    std::unique_ptr<PlcPort> m_port;
    std::atomic<quint64> m_current = 0;
    std::atomic<quint64> m_cancelled = 0; // 0 names no operation
    std::atomic<bool> m_closing = false;
};
