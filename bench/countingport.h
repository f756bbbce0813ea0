#pragma once

#include "link/plcport.h"

#include <memory>

// Passes everything to a port and counts what crosses the line: the bytes
// each way and the time spent in pauses the protocol demands.
class CountingPort : public PlcPort
{
public:
    explicit CountingPort(std::unique_ptr<PlcPort> port) : m_port(std::move(port)) {}

    qint64 bytesSent = 0;
    qint64 bytesReceived = 0;
    std::chrono::milliseconds paused{0};

    void setSettings(const QString &settings) override { m_port->setSettings(settings); }
    QString settings() const override { return m_port->settings(); }
    void setPortNumber(int number) override { m_port->setPortNumber(number); }
    int portNumber() const override { return m_port->portNumber(); }
    bool open() override { return m_port->open(); }
    void close() override { m_port->close(); }
    bool isOpen() const override { return m_port->isOpen(); }

    bool write(const QByteArray &data) override
    {
        bytesSent += data.size();
        return m_port->write(data);
    }
    QByteArray takeReceived() override
    {
        const QByteArray data = m_port->takeReceived();
        bytesReceived += data.size();
        return data;
    }
    void discardInput() override { m_port->discardInput(); }
    Wait waitForData(std::chrono::milliseconds timeout) override
    {
        return m_port->waitForData(timeout);
    }
    void pause(std::chrono::milliseconds duration) override
    {
        paused += duration;
        m_port->pause(duration);
    }
    QString errorString() const override { return m_port->errorString(); }

private:
    std::unique_ptr<PlcPort> m_port;
};
