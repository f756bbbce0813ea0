#pragma once

#include "link/plcsession.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

// Who runs on a session, and when. The user's operations run one at a time;
// reads the user did not ask for just now (a watch's) run only while the
// user asks for nothing; an operation of the user that finds such a read
// under way waits for it and runs next.
class SessionScheduler : public QObject
{
    Q_OBJECT

public:
    struct Job
    {
        PlcSession::CancellableOperation operation;
        std::function<void()> starting; // on this thread, just before it runs
        std::function<void()> done;     // on this thread, once it has run
    };

    explicit SessionScheduler(std::unique_ptr<PlcSession> session, QObject *parent = nullptr);
    ~SessionScheduler() override;

    PlcSession &session() { return *m_session; }

    // An operation of the user. False, and nothing run, while another
    // operation of the user runs or waits.
    [[nodiscard]] bool run(Job job);
    // A read the user did not ask for just now. False, and nothing run,
    // while the session is busy or an operation of the user is asked for,
    // waits or runs; idle() tells when to try again.
    [[nodiscard]] bool runInBackground(Job job);
    // Calls `then` once no operation runs (at once when none does), unless
    // `receiver` is gone by then.
    void whenFree(QObject *receiver, std::function<void()> then);

    // While one lives, an operation of the user is asked for (its
    // confirmation is open, say): no background read starts.
    class UserOperation
    {
    public:
        explicit UserOperation(SessionScheduler &scheduler);
        ~UserOperation();
        UserOperation(const UserOperation &) = delete;
        UserOperation &operator=(const UserOperation &) = delete;

    private:
        QPointer<SessionScheduler> m_scheduler;
    };

    // Whether an operation of the user is asked for, waits or runs.
    bool userOperationPending() const;
    // Whether an operation of the user runs or waits, as last told by
    // userOperationRunning().
    bool userOperationRuns() const { return m_userRuns; }

Q_SIGNALS:
    // An operation of the user starts (true) or the last one ends (false).
    void userOperationRunning(bool running);
    // No operation runs, and none of the user's is asked for or waits: a
    // background read may start.
    void idle();

private:
    void start(Job job, bool user);
    void settle();

    std::unique_ptr<PlcSession> m_session;
    int m_asked = 0;           // operations of the user asked for
    std::optional<Job> m_next; // the user's, waiting for a background read
    bool m_background = false; // the running operation is a background read
    bool m_userRuns = false;
};
