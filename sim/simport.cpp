#include "simport.h"

#include "plcsimulator.h"

#include <QStringList>

#include <utility>

SimPort::SimPort(PlcSimulator &simulator) : m_simulator(simulator), m_now(simulator.lineFreeAt()) {}

QString SimPort::deviceName() const
{
    return QStringLiteral("COM%1").arg(m_portNumber);
}

bool SimPort::fail(const QString &error)
{
    m_error = QStringLiteral("%1: %2").arg(deviceName(), error);
    return false;
}

PlcPort::Wait SimPort::failWait(const QString &error)
{
    fail(error);
    return Wait::Error;
}

bool SimPort::open()
{
    close();
    m_error.clear();
    if (!m_openError.isEmpty())
        return fail(m_openError);
    if (m_vanished || m_missingPorts.contains(m_portNumber))
        return fail(QStringLiteral("no such device"));
    if (!checkSettings())
        return false;
    m_open = true;
    return true;
}

// The settings text as a real serial port takes it: speed, parity, data bits
// and stop bits; 9 data bits cannot be set on a serial device.
bool SimPort::checkSettings()
{
    const QStringList parts = m_settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        return fail(QStringLiteral("invalid port settings \"%1\"").arg(m_settings));
    bool ok = false;
    if (parts[0].trimmed().toInt(&ok) <= 0 || !ok)
        return fail(QStringLiteral("speed %1 is not supported").arg(parts[0]));
    if (!QStringList{QStringLiteral("N"), QStringLiteral("O"), QStringLiteral("E")}.contains(
            parts[1].trimmed(), Qt::CaseInsensitive))
        return fail(QStringLiteral("parity %1 is not supported").arg(parts[1]));
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return fail(QStringLiteral("%1 data bits are not supported").arg(parts[2]));
    if (!QStringList{QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")}.contains(
            parts[3].trimmed()))
        return fail(QStringLiteral("%1 stop bits are not supported").arg(parts[3]));
    return true;
}

// As on a real line, the PLC does not know the port was closed: what has
// arrived by now is dropped with the port's buffer, what is still on its way
// arrives once the port is open again.
void SimPort::close()
{
    m_open = false;
    m_inFlight.takeDue(m_now);
    m_received.clear();
}

bool SimPort::write(const QByteArray &data)
{
    if (!m_open)
        return fail(QStringLiteral("the port is not open"));
    if (m_vanished)
        return fail(QStringLiteral("the device has vanished"));
    m_inFlight.add(m_simulator.receive(data, m_now));
    ++m_written;
    checkVanish();
    return true;
}

void SimPort::vanishAfter(int requests, Vanish when)
{
    m_vanishAfter = requests;
    m_vanishWhen = when;
    checkVanish();
}

void SimPort::checkVanish()
{
    if (!m_vanishAfter || m_written < *m_vanishAfter)
        return;
    if (m_vanishWhen == Vanish::AfterAnswer && !m_inFlight.isEmpty())
        return;
    m_vanished = true;
    m_inFlight.clear();
}

void SimPort::deliverDue()
{
    m_received += m_inFlight.takeDue(m_now);
    checkVanish();
}

QByteArray SimPort::takeReceived()
{
    deliverDue();
    return std::exchange(m_received, {});
}

void SimPort::discardInput()
{
    deliverDue();
    m_received.clear();
}

PlcPort::Wait SimPort::waitForData(std::chrono::milliseconds timeout)
{
    if (!m_open)
        return failWait(QStringLiteral("the port is not open"));
    deliverDue();
    if (!m_received.isEmpty())
        return Wait::Data;
    if (m_vanished)
        return failWait(QStringLiteral("the device has vanished"));
    const auto next = m_inFlight.nextDue();
    if (!next || *next > m_now + timeout) {
        m_now += timeout;
        return Wait::Timeout;
    }
    m_now = std::max(m_now, *next);
    deliverDue();
    return Wait::Data;
}

void SimPort::pause(std::chrono::milliseconds duration)
{
    m_now += duration;
}
