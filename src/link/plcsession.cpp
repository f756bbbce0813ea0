#include "plcsession.h"

#include "link/cancellableport.h"
#include "link/handover.h"

PlcSession::PlcSession(std::unique_ptr<PlcPort> port, QObject *parent)
    : QObject(parent), m_port(std::make_unique<CancellablePort>(std::move(port))),
      m_worker(new QObject)
{
    m_thread.setObjectName(QStringLiteral("plc-session"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

PlcSession::~PlcSession()
{
    m_port->cancelAll();
    // Runs after the current operation, if any, on the session's thread.
    handOver(
        m_worker, [this] { m_port->close(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

bool PlcSession::run(Operation operation, std::function<void()> done)
{
    if (m_busy)
        return false;
    m_busy = true;
    Q_EMIT busyChanged(true);
    handOver(m_worker, [this, number = ++m_operations, operation = std::move(operation),
                        done = std::move(done)] { execute(number, operation, done); });
    return true;
}

bool PlcSession::run(CancellableOperation operation, std::function<void()> done)
{
    return run(
        [this, operation = std::move(operation)](PlcPort &port, const TransferProgress &progress) {
            operation(port, progress, [this] { return m_port->isCancelled(); });
        },
        std::move(done));
}

void PlcSession::cancel()
{
    if (m_busy)
        m_port->cancel(m_operations);
}

void PlcSession::execute(quint64 number, const Operation &operation,
                         const std::function<void()> &done)
{
    const TransferProgress progress = [this](int percent) {
        handOver(this, [this, percent] { Q_EMIT progressChanged(percent); });
    };
    m_port->begin(number);
    operation(*m_port, progress);
    if (m_port->isOpen())
        m_port->close();
    handOver(this, [this, done] { complete(done); });
}

void PlcSession::complete(const std::function<void()> &done)
{
    m_busy = false;
    if (done)
        done();
    Q_EMIT busyChanged(false);
    Q_EMIT finished();
}
