#pragma once

#include "support/fakeport.h"

#include <thread>

// A port with nothing on the line: it keeps its settings, opens at once and
// never receives anything. Waits take real time, in short steps, as a silent
// line does.
class IdlePort : public FakePort
{
public:
    bool write(const QByteArray &) override { return isOpen(); }
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
};
