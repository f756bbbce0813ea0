#pragma once

#include "link/plcport.h"

#include <thread>

// A port with nothing on the line: it keeps its settings, opens at once and
// never receives anything. Waits take real time, in short steps, as a silent
// line does.
class IdlePort : public PlcPort
{
public:
    void setSettings(const QString &settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }
    void setPortNumber(int number) override { m_number = number; }
    int portNumber() const override { return m_number; }
    bool open() override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &) override { return m_open; }
    QByteArray takeReceived() override { return {}; }
    void discardInput() override {}
    Wait waitForData(std::chrono::milliseconds timeout) override
    {
        std::this_thread::sleep_for(std::min(timeout, std::chrono::milliseconds(10)));
        return Wait::Timeout;
    }
    void pause(std::chrono::milliseconds duration) override
    {
        std::this_thread::sleep_for(duration);
    }
    QString errorString() const override { return QStringLiteral("no line"); }

private:
    QString m_settings;
    int m_number = 0;
    bool m_open = false;
};
