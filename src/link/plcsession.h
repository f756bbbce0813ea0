#pragma once

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
    using Progress = std::function<void(int percent)>;
    using Operation = std::function<void(PlcPort &port, const Progress &progress)>;

    // The port is used only on the session's thread from now on.
    explicit PlcSession(std::unique_ptr<PlcPort> port, QObject *parent = nullptr);
    // Cancels a running operation (its next transaction fails at once), waits
    // for it to end and closes the port.
    ~PlcSession() override;

    bool isBusy() const { return m_busy; }

    // Starts the operation unless another one runs (then returns false and
    // runs nothing). `done` runs on the session's thread once it has ended.
    bool run(Operation operation, std::function<void()> done = {});

Q_SIGNALS:
    void busyChanged(bool busy);
    void progressChanged(int percent);
    void finished();

private:
    void execute(const Operation &operation, const std::function<void()> &done);
    void complete(const std::function<void()> &done);

    std::unique_ptr<CancellablePort> m_port;
    QThread m_thread;
    QObject *m_worker = nullptr;
    bool m_busy = false;
};
