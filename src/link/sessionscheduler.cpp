#include "sessionscheduler.h"

SessionScheduler::SessionScheduler(std::unique_ptr<PlcSession> session, QObject *parent)
    : QObject(parent), m_session(std::move(session))
{
    connect(m_session.get(), &PlcSession::busyChanged, this, [this] { settle(); });
}

SessionScheduler::~SessionScheduler() = default;

bool SessionScheduler::run(Job job)
{
    if (m_next || (m_session->isBusy() && !m_background))
        return false;
    if (m_session->isBusy()) {
        m_next = std::move(job);
        settle();
        return true;
    }
    start(std::move(job), true);
    return true;
}

bool SessionScheduler::runInBackground(Job job)
{
    if (m_session->isBusy() || userOperationPending())
        return false;
    start(std::move(job), false);
    return true;
}

void SessionScheduler::whenFree(QObject *receiver, std::function<void()> then)
{
    if (!m_session->isBusy())
        return then();
    connect(
        m_session.get(), &PlcSession::finished, receiver,
        [this, receiver, then = std::move(then)] { whenFree(receiver, then); },
        Qt::SingleShotConnection);
}

SessionScheduler::UserOperation::UserOperation(SessionScheduler &scheduler)
    : m_scheduler(&scheduler)
{
    ++scheduler.m_asked;
}

SessionScheduler::UserOperation::~UserOperation()
{
    if (!m_scheduler)
        return;
    --m_scheduler->m_asked;
    m_scheduler->settle();
}

bool SessionScheduler::userOperationPending() const
{
    return m_asked > 0 || m_next || (m_session->isBusy() && !m_background);
}

void SessionScheduler::start(Job job, bool user)
{
    m_background = !user;
    if (job.starting)
        job.starting();
    const bool started =
        m_session->run(std::move(job.operation), [this, done = std::move(job.done)] {
            m_background = false;
            if (done)
                done();
        });
    Q_ASSERT(started);
    settle();
}

// The session's own state, not a signal's value, decides: an operation
// started from the end of another keeps the user's operation running. A
// background read is not the user's: what the user starts waits for it.
void SessionScheduler::settle()
{
    if (!m_session->isBusy() && m_next) {
        Job next = std::move(*m_next);
        m_next.reset();
        return start(std::move(next), true);
    }
    const bool userRuns = (m_session->isBusy() && !m_background) || m_next;
    if (userRuns != m_userRuns) {
        m_userRuns = userRuns;
        Q_EMIT userOperationRunning(userRuns);
    }
    if (!m_session->isBusy() && !userOperationPending())
        Q_EMIT idle();
}
