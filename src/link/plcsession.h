#pragma once

#include "link/transferresult.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

class PlcPort;
class CancellablePort;

// Owns one port and runs PLC operations on it, one at a time, on a thread of
// its own, so the window that submits them never blocks. An operation is a
// whole sequence of transactions (set-up, open, writes and reads, close); it
// reports progress and ends by calling back on the session's own thread.
class PlcSession : public QObject
{
    Q_OBJECT

public:
    using Operation = std::function<void(PlcPort &port, const TransferProgress &progress)>;
    // Whether the operation has been cancelled, for one that loops on its own
    // (with ports of its own) rather than on the session's port.
    using CancelToken = std::function<bool()>;
    using CancellableOperation = std::function<void(PlcPort &port, const TransferProgress &progress,
                                                    const CancelToken &cancelled)>;

    // The port is used only on the session's thread from now on.
    explicit PlcSession(std::unique_ptr<PlcPort> port, QObject *parent = nullptr);
    // Cancels a running operation (its next transaction fails at once), waits
    // for it to end and closes the port.
    ~PlcSession() override;

    bool isBusy() const { return m_busy; }

    // Starts the operation unless another one runs (then returns false and
    // runs nothing). `done` runs on the session's thread once it has ended.
    // The port is closed after every operation.
    bool run(Operation operation, std::function<void()> done = {});
    bool run(CancellableOperation operation, std::function<void()> done = {});
    // Ends the running operation: its current wait fails at once, so it ends
    // with "The operation was cancelled." as its port's error, and the port
    // closes. `done` still runs. The session takes the next operation as
    // usual; nothing happens when none runs.
    void cancel();

Q_SIGNALS:
    void busyChanged(bool busy);
    void progressChanged(int percent);
    void finished();

private:
    void execute(quint64 number, const Operation &operation, const std::function<void()> &done);
    void complete(const std::function<void()> &done);

    std::unique_ptr<CancellablePort> m_port;
    QThread m_thread;
    QObject *m_worker = nullptr;
    bool m_busy = false;
    quint64 m_operations = 0; // operations started so far; the last one's number
};
