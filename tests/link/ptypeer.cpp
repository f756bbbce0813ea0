#include "ptypeer.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    termios raw{};
    tcgetattr(m_slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_slave, TCSANOW, &raw);
    tcsetattr(m_master, TCSANOW, &raw);
    m_path = QString::fromLocal8Bit(name);
}

PtyPeer::~PtyPeer()
{
    vanish();
}

QByteArray PtyPeer::read(qsizetype count, std::chrono::milliseconds timeout)
{
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < timeout.count()) {
        pollfd fd{m_master, POLLIN, 0};
        if (poll(&fd, 1, int(timeout.count() - timer.elapsed())) <= 0)
            break;
        char buffer[512];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, n);
    }
    return got;
}

void PtyPeer::write(const QByteArray &bytes)
{
    [[maybe_unused]] const ssize_t n = ::write(m_master, bytes.constData(), size_t(bytes.size()));
}

void PtyPeer::vanish()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}
