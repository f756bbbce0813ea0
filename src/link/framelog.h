#pragma once

#include "link/plcport.h"

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
class LoggingPort : public PlcPort
{
public:
    LoggingPort(std::unique_ptr<PlcPort> port, FrameLog &log, QString name);

    void setSettings(const QString &settings) override { m_port->setSettings(settings); }
    QString settings() const override { return m_port->settings(); }
    void setPortNumber(int number) override { m_port->setPortNumber(number); }
    int portNumber() const override { return m_port->portNumber(); }
    bool open() override { return m_port->open(); }
    void close() override { m_port->close(); }
    bool isOpen() const override { return m_port->isOpen(); }
    bool write(const QByteArray &data) override;
    QByteArray takeReceived() override;
    void discardInput() override { m_port->discardInput(); }
    Wait waitForData(std::chrono::milliseconds timeout) override;
    void pause(std::chrono::milliseconds duration) override { m_port->pause(duration); }
    QString errorString() const override { return m_port->errorString(); }

private:
    std::unique_ptr<PlcPort> m_port;
    FrameLog &m_log;
    QString m_name;
};
