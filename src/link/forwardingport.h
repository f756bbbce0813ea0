#pragma once

#include "link/plcport.h"

#include <memory>

// A port that passes everything to another one; the ports that watch or
// steer a line (logging, recording, cancelling, counting) override only what
// they add to. The other port is its own, or one lent by whoever owns it
// (and outlives this one), for whatever takes ports by unique_ptr.
class ForwardingPort : public PlcPort
{
public:
    explicit ForwardingPort(std::unique_ptr<PlcPort> port)
        : m_owned(std::move(port)), m_port(m_owned.get())
    {}
    explicit ForwardingPort(PlcPort &lent) : m_port(&lent) {}

    void setSettings(const QString &settings) override { m_port->setSettings(settings); }
    QString settings() const override { return m_port->settings(); }
    void setPortNumber(int number) override { m_port->setPortNumber(number); }
    int portNumber() const override { return m_port->portNumber(); }
    bool open() override { return m_port->open(); }
    void close() override { m_port->close(); }
    bool isOpen() const override { return m_port->isOpen(); }
    bool write(const QByteArray &data) override { return m_port->write(data); }
    QByteArray takeReceived() override { return m_port->takeReceived(); }
    void discardInput() override { m_port->discardInput(); }
    Wait waitForData(std::chrono::milliseconds timeout) override
    {
        return m_port->waitForData(timeout);
    }
    void pause(std::chrono::milliseconds duration) override { m_port->pause(duration); }
    QString errorString() const override { return m_port->errorString(); }
    Line &line() override { return m_port->line(); }
    TransactionWatcher *watcher() override { return m_port->watcher(); }

protected:
    PlcPort &inner() const { return *m_port; }

private:
    std::unique_ptr<PlcPort> m_owned; // none for a lent port
    PlcPort *m_port;
};
