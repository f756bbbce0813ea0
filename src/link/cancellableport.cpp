#include "cancellableport.h"

using std::chrono::milliseconds;

namespace {
// Long waits and pauses are taken in slices so that a cancel is seen soon.
constexpr milliseconds slice{50};
} // namespace

CancellablePort::CancellablePort(std::unique_ptr<PlcPort> port) : ForwardingPort(std::move(port)) {}

bool CancellablePort::open()
{
    return !isCancelled() && inner().open();
}

bool CancellablePort::write(const QByteArray &data)
{
    return !isCancelled() && inner().write(data);
}

// Waited in slices: the underlying wait cannot be interrupted, a slice can
// be left after it.
PlcPort::Wait CancellablePort::waitForData(milliseconds timeout)
{
    do {
        if (isCancelled())
            return Wait::Error;
        const milliseconds step = std::min(timeout, slice);
        const Wait wait = inner().waitForData(step);
        if (wait != Wait::Timeout)
            return isCancelled() ? Wait::Error : wait;
        timeout -= step;
    } while (timeout > milliseconds::zero());
    return isCancelled() ? Wait::Error : Wait::Timeout;
}

void CancellablePort::pause(milliseconds duration)
{
    while (duration > milliseconds::zero() && !isCancelled()) {
        const milliseconds step = std::min(duration, slice);
        inner().pause(step);
        duration -= step;
    }
}

QString CancellablePort::errorString() const
{
    return isCancelled() ? QStringLiteral("The operation was cancelled.") : inner().errorString();
}
