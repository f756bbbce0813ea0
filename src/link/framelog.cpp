#include "framelog.h"

#include "link/plcframe.h"

#include <QIODevice>

FrameLog::FrameLog(QIODevice &device) : m_device(device)
{
    m_clock.start();
}

void FrameLog::record(const QString &line, const char *direction, QByteArrayView bytes)
{
    const QMutexLocker lock(&m_mutex);
    m_device.write(QStringLiteral("%1 %2 %3 %4\n")
                       .arg(m_clock.elapsed())
                       .arg(line, QLatin1String(direction), PlcFrame::readable(bytes))
                       .toUtf8());
}

LoggingPort::LoggingPort(std::unique_ptr<PlcPort> port, FrameLog &log, QString name)
    : ForwardingPort(std::move(port)), m_log(log), m_name(std::move(name))
{}

bool LoggingPort::write(const QByteArray &data)
{
    m_log.record(m_name, "sent", data);
    return inner().write(data);
}

QByteArray LoggingPort::takeReceived()
{
    const QByteArray received = inner().takeReceived();
    if (!received.isEmpty())
        m_log.record(m_name, "received", received);
    return received;
}

PlcPort::Wait LoggingPort::waitForData(std::chrono::milliseconds timeout)
{
    const Wait wait = inner().waitForData(timeout);
    if (wait == Wait::Timeout)
        m_log.record(m_name, "silent", QByteArray());
    return wait;
}
