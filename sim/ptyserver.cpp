#include "ptyserver.h"

#include "plcsimulator.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Written by the signal handler to end the poll() of run().
int wakePipe[2] = {-1, -1};

// 's' for SIGINT and SIGTERM, 'h' for SIGHUP.
void wake(int signal)
{
    const char byte = signal == SIGHUP ? 'h' : 's';
    [[maybe_unused]] const ssize_t n = ::write(wakePipe[1], &byte, 1);
}

bool installStopHandlers()
{
    if (wakePipe[0] < 0 && ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = wake;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGHUP, &action, nullptr) == 0;
}

bool makeRaw(int fd)
{
    termios attributes = {};
    if (::tcgetattr(fd, &attributes) != 0)
        return false;
    ::cfmakeraw(&attributes);
    return ::tcsetattr(fd, TCSANOW, &attributes) == 0;
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

PtyServer::PtyServer(PlcSimulator &simulator) : m_simulator(simulator) {}

PtyServer::~PtyServer()
{
    close();
}

SimTime PtyServer::now() const
{
    return std::chrono::duration_cast<SimTime>(std::chrono::steady_clock::now() - m_start);
}

bool PtyServer::fail(const QString &what)
{
    m_error = QStringLiteral("%1: %2").arg(what, errnoText());
    return false;
}

bool PtyServer::open(const QString &linkPath)
{
    // From here on a stop signal waits in the pipe for run(), so that the
    // link, once made, is always removed again.
    if (!installStopHandlers())
        return fail(QStringLiteral("cannot install the signal handlers"));
    m_linkPath = linkPath;
    // The line's clock goes on from where the simulator's is: a
    // configuration loaded before (--config) has taken its time on the
    // simulated line, and a request now must not wait for that time.
    m_start = std::chrono::steady_clock::now() -
              std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                  m_simulator.lineFreeAt());
    if (!openPty()) {
        close();
        return false;
    }
    return makeLink();
}

bool PtyServer::openPty()
{
    if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
        return fail(QStringLiteral("cannot open a pseudo-terminal"));
    char name[PATH_MAX] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail(QStringLiteral("cannot name the pseudo-terminal"));
    m_slavePath = QFile::decodeName(name);
    if (!makeRaw(m_master) || !makeRaw(m_slave))
        return fail(QStringLiteral("cannot put %1 in raw mode").arg(m_slavePath));
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    if (::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0)
        return fail(QStringLiteral("cannot make %1 non-blocking").arg(m_slavePath));
    return true;
}

bool PtyServer::makeLink()
{
    const QByteArray link = QFile::encodeName(m_linkPath);
    struct stat status = {};
    if (::lstat(link.constData(), &status) == 0) {
        if (!S_ISLNK(status.st_mode)) {
            m_error = QStringLiteral("%1 exists and is not a symbolic link").arg(m_linkPath);
            return false;
        }
        if (::unlink(link.constData()) != 0)
            return fail(QStringLiteral("cannot replace %1").arg(m_linkPath));
    }
    if (::symlink(QFile::encodeName(m_slavePath).constData(), link.constData()) != 0)
        return fail(QStringLiteral("cannot create %1").arg(m_linkPath));
    return true;
}

// Removes the link only while it still leads to this server's device.
void PtyServer::removeLink()
{
    if (m_linkPath.isEmpty() || m_slavePath.isEmpty())
        return;
    if (QFile::symLinkTarget(m_linkPath) == m_slavePath)
        ::unlink(QFile::encodeName(m_linkPath).constData());
    m_linkPath.clear();
}

void PtyServer::close()
{
    removeLink();
    for (int *fd : {&m_master, &m_slave}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool PtyServer::run()
{
    // The kernel may wake a waiting process up to 50 µs late to save power
    // (timer slack); a character at 115200 baud lasts 87 µs, so the line's
    // timing asks for the wake-up at the moment asked.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    bool stop = false;
    while (!stop) {
        if (!serveOnce(wakePipe[0], stop))
            return false;
    }
    return true;
}

bool PtyServer::serveOnce(int wakeFd, bool &stop)
{
    const short out = m_unsent.isEmpty() ? 0 : POLLOUT;
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {m_master, short(POLLIN | out), 0}};
    const std::optional<SimTime> wake = nextWake();
    const timespec timeout = wake ? timeUntil(*wake) : timespec{};
    if (::ppoll(fds, 2, wake ? &timeout : nullptr, nullptr) < 0 && errno != EINTR)
        return fail(QStringLiteral("poll"));
    if (fds[0].revents & POLLIN) {
        char signals[16];
        const ssize_t n = ::read(wakeFd, signals, sizeof signals);
        for (ssize_t k = 0; k < n; ++k) {
            if (signals[k] == 'h' && m_hangup)
                m_hangup();
            else if (signals[k] != 'h')
                stop = true;
        }
    }
    // The server holds the slave side open itself, so a hangup means the line is gone.
    if (fds[1].revents & (POLLERR | POLLNVAL | POLLHUP))
        return fail(QStringLiteral("%1 failed").arg(m_slavePath));
    if ((fds[1].revents & POLLIN) && !readInput())
        return false;
    m_queue.add(m_simulator.receive({}, now()));
    return writeDue();
}

// When the next answer chunk is due or the simulator has something to do on
// its own; none when only input can bring work. While bytes wait to be
// written, POLLOUT wakes the loop as well.
std::optional<SimTime> PtyServer::nextWake() const
{
    std::optional<SimTime> next = m_queue.nextDue();
    if (const auto deadline = m_simulator.nextDeadline())
        next = next ? std::min(*next, *deadline) : *deadline;
    return next;
}

// The time left until `due`, to the nanosecond, so that a chunk due in a
// fraction of a millisecond is written then; zero when `due` has passed.
timespec PtyServer::timeUntil(SimTime due) const
{
    using namespace std::chrono;
    const nanoseconds left = std::max(nanoseconds(0), m_start + due - steady_clock::now());
    const seconds whole = duration_cast<seconds>(left);
    return {time_t(whole.count()), long((left - whole).count())};
}

bool PtyServer::readInput()
{
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (n <= 0)
        return fail(QStringLiteral("reading %1").arg(m_slavePath));
    if (m_lineSpeed > 0 && clientSpeed() != m_lineSpeed)
        return true;
    m_queue.add(m_simulator.receive(QByteArrayView(buffer, n), now()));
    return true;
}

// The speed the client set on its end of the pseudo-terminal.
int PtyServer::clientSpeed() const
{
    termios settings{};
    if (::tcgetattr(m_slave, &settings) != 0)
        return 0;
    static const std::pair<speed_t, int> speeds[] = {
        {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
        {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    const speed_t speed = ::cfgetospeed(&settings);
    for (const auto &[code, baud] : speeds) {
        if (code == speed)
            return baud;
    }
    return 0;
}

bool PtyServer::writeDue()
{
    m_unsent += m_queue.takeDue(now());
    while (!m_unsent.isEmpty()) {
        const ssize_t n = ::write(m_master, m_unsent.constData(), size_t(m_unsent.size()));
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        if (n < 0)
            return fail(QStringLiteral("writing %1").arg(m_slavePath));
        m_unsent.remove(0, n);
    }
    return true;
}
