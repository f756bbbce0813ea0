#pragma once

#include "link/forwardingport.h"

#include <QElapsedTimer>
#include <QMutex>

#include <memory>

class QIODevice;

// A log of the frames on the lines of a run: one text line for every frame
// sent and every chunk received, with the milliseconds since the log began,
// the line's name, the direction and the bytes with their control
// characters spelled out ("<STX>E00200602<ETX>D2"). Lines from several
// threads are written whole.
class FrameLog
{
public:
    explicit FrameLog(QIODevice &device);

    void record(const QString &line, const char *direction, QByteArrayView bytes);

private:
    QIODevice &m_device;
    QElapsedTimer m_clock;
    QMutex m_mutex;
};

// A port whose traffic goes into a frame log.
class LoggingPort : public ForwardingPort
{
public:
    LoggingPort(std::unique_ptr<PlcPort> port, FrameLog &log, QString name);

    bool write(const QByteArray &data) override;
    QByteArray takeReceived() override;
    Wait waitForData(std::chrono::milliseconds timeout) override;

private:
    FrameLog &m_log;
    QString m_name;
};
