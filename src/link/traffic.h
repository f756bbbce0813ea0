#pragma once

#include "link/forwardingport.h"

#include <QElapsedTimer>
#include <QObject>

#include <atomic>
#include <memory>

// What the traffic monitor shows: every frame sent and every answer
// received, on every port that reports to it, as text lines. Lines come
// from the sessions' threads; connect to line() to take them on another.
// While off, nothing is recorded.
class TrafficRecorder : public QObject
{
    Q_OBJECT

public:
    explicit TrafficRecorder(QObject *parent = nullptr);

    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }

    // "<ms> <port> <direction> <frame>", and the decoding after two blanks
    // when there is one.
    void record(const QString &port, const char *direction, QByteArrayView bytes,
                const QString &decoding = {});

Q_SIGNALS:
    void line(const QString &text);

private:
    std::atomic<bool> m_enabled = false;
    QElapsedTimer m_clock;
};

// A port whose traffic goes to a recorder, each answer with what it means
// for its request: "write 3000 <- 0FFF: ACK", "read 2008 (2): D403", "no
// answer after 650 ms".
class RecordingPort : public ForwardingPort
{
public:
    RecordingPort(std::unique_ptr<PlcPort> port, TrafficRecorder &recorder);

    void close() override;
    bool write(const QByteArray &data) override;
    QByteArray takeReceived() override;
    Wait waitForData(std::chrono::milliseconds timeout) override;

private:
    QString name() const;
    // A request whose answer never came is told once the line moves on.
    void reportSilence();

    TrafficRecorder &m_recorder;
    QByteArray m_request;
    QByteArray m_answer;
    bool m_answered = true;
    std::chrono::milliseconds m_silence{0}; // since the request or the last chunk
};
