#pragma once

#include <QMetaObject>

#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#define PLC_TSAN_RELEASE(address)                                                                  \
    __tsan_release(const_cast<void *>(static_cast<const void *>(address)))
#define PLC_TSAN_ACQUIRE(address)                                                                  \
    __tsan_acquire(const_cast<void *>(static_cast<const void *>(address)))
#else
#define PLC_TSAN_RELEASE(address)
#define PLC_TSAN_ACQUIRE(address)
#endif

// Work handed from one thread to another through Qt's event queue. The queue
// orders the two threads with Qt's own locks, which ThreadSanitizer does not
// see unless Qt itself is built with it; the hand-over is told to it here, so
// that what it reports is about this program's data. Otherwise a plain call.
template <typename Function> class HandedOver
{
public:
    HandedOver(const QObject *receiver, Function function)
        : m_receiver(receiver), m_function(std::move(function))
    {
        PLC_TSAN_RELEASE(this);
    }
    HandedOver(HandedOver &&other) noexcept
        : m_receiver(other.m_receiver), m_function(std::move(other.m_function))
    {
        PLC_TSAN_RELEASE(this);
    }
    HandedOver(const HandedOver &other) : m_receiver(other.m_receiver), m_function(other.m_function)
    {
        PLC_TSAN_RELEASE(this);
    }
    HandedOver &operator=(const HandedOver &) = delete;
    HandedOver &operator=(HandedOver &&) = delete;
    ~HandedOver() = default;

    // Sees everything the sender wrote before handing over; what the
    // function does is seen by a sender that waits for it.
    void operator()()
    {
        PLC_TSAN_ACQUIRE(this);
        m_function();
        PLC_TSAN_RELEASE(m_receiver);
    }

private:
    const QObject *m_receiver;
    Function m_function;
};

// Runs the function on the receiver's thread, as QMetaObject::invokeMethod.
template <typename Function>
void handOver(QObject *receiver, Function function, Qt::ConnectionType type = Qt::AutoConnection)
{
    QMetaObject::invokeMethod(receiver, HandedOver<Function>(receiver, std::move(function)), type);
    if (type == Qt::BlockingQueuedConnection) {
        PLC_TSAN_ACQUIRE(receiver);
    }
}
