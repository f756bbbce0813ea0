#include "cancellableport.h"

using std::chrono::milliseconds;

namespace {
// Long waits and pauses are taken in slices so that a cancel is seen soon.
constexpr milliseconds slice{50};
} // namespace

CancellablePort::CancellablePort(std::unique_ptr<PlcPort> port) : m_port(std::move(port)) {}

bool CancellablePort::open()
{
    return !m_cancelled && m_port->open();
}

bool CancellablePort::write(const QByteArray &data)
{
    return !m_cancelled && m_port->write(data);
}

PlcPort::Wait CancellablePort::waitForData(milliseconds timeout)
{
    if (m_cancelled)
        return Wait::Error;
    const Wait wait = m_port->waitForData(timeout);
    return m_cancelled ? Wait::Error : wait;
}

void CancellablePort::pause(milliseconds duration)
{
    while (duration > milliseconds::zero() && !m_cancelled) {
        const milliseconds step = std::min(duration, slice);
        m_port->pause(step);
        duration -= step;
    }
}

QString CancellablePort::errorString() const
{
    return m_cancelled ? QStringLiteral("The operation was cancelled.") : m_port->errorString();
}
