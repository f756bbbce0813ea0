#pragma once

#include "link/plcport.h"

// A port that lends another, owned elsewhere, to whatever takes ports by
// unique_ptr: a recording port, or a form that makes its own. Every call
// goes to the lent port.
class BorrowedPort : public PlcPort
{
public:
    explicit BorrowedPort(PlcPort &port) : m_port(port) {}

    void setSettings(const QString &settings) override { m_port.setSettings(settings); }
    QString settings() const override { return m_port.settings(); }
    void setPortNumber(int number) override { m_port.setPortNumber(number); }
    int portNumber() const override { return m_port.portNumber(); }
    bool open() override { return m_port.open(); }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    bool write(const QByteArray &data) override { return m_port.write(data); }
    QByteArray takeReceived() override { return m_port.takeReceived(); }
    void discardInput() override { m_port.discardInput(); }
    Wait waitForData(std::chrono::milliseconds timeout) override
    {
        return m_port.waitForData(timeout);
    }
    void pause(std::chrono::milliseconds duration) override { m_port.pause(duration); }
    QString errorString() const override { return m_port.errorString(); }
    Line &line() override { return m_port.line(); }

private:
    PlcPort &m_port;
};
