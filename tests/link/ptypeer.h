#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// The far end of a pseudo-terminal, for tests that drive a real serial port:
// the port under test opens devicePath(); the test reads what it sent and
// answers through this object.
class PtyPeer
{
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString devicePath() const { return m_path; }

    // Reads until `count` bytes came or the time is up.
    QByteArray read(qsizetype count, std::chrono::milliseconds timeout);
    void write(const QByteArray &bytes);
    // Closes both ends, as when the adapter is pulled out.
    void vanish();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};
