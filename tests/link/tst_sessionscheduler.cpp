// Who runs on the window's session and when: the user's operations one at a
// time, background reads only while the user asks for nothing, and the
// user's operation that finds one under way next after it.
#include "link/sessionscheduler.h"
#include "support/idleport.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// Runs until released.
PlcSession::CancellableOperation held(std::atomic<bool> &release)
{
    return [&release](PlcPort &, const TransferProgress &, const PlcSession::CancelToken &) {
        while (!release)
            std::this_thread::sleep_for(1ms);
    };
}

struct Scheduled
{
    SessionScheduler scheduler{std::make_unique<PlcSession>(std::make_unique<IdlePort>())};
    QSignalSpy running{&scheduler, &SessionScheduler::userOperationRunning};
    QSignalSpy idle{&scheduler, &SessionScheduler::idle};

    QList<bool> runningSeen() const
    {
        QList<bool> seen;
        for (const QList<QVariant> &signal : running)
            seen << signal.at(0).toBool();
        return seen;
    }
};

} // namespace

class TestSessionScheduler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void userOperationsRunOneAtATime();
    void userOperationWaitsForBackgroundRead();
    void askedOperationHoldsBackgroundReads();
    void chainedOperationKeepsRunning();
    void whenFreeWaitsForTheSession();
};

void TestSessionScheduler::userOperationsRunOneAtATime()
{
    Scheduled s;
    std::atomic<bool> release = false;
    QStringList steps;
    QVERIFY(s.scheduler.run({held(release), [&] { steps << u"starting"_s; },
                             [&] {
                                 steps << u"done"_s;
                             }}));
    QCOMPARE(steps, QStringList{u"starting"_s});
    QVERIFY(s.scheduler.userOperationPending() && s.scheduler.userOperationRuns());
    QVERIFY(!s.scheduler.run({held(release), {}, [&] {
                                  steps << u"second"_s;
                              }}));
    QVERIFY(!s.scheduler.runInBackground({held(release), {}, {}}));
    release = true;
    QTRY_VERIFY(!s.scheduler.userOperationPending());
    QCOMPARE(steps, (QStringList{u"starting"_s, u"done"_s}));
    QCOMPARE(s.runningSeen(), (QList<bool>{true, false}));
    QCOMPARE(s.idle.size(), 1);
}

// A background read leaves the user's operations free to be asked for: the
// first waits for it and runs next (running from the moment it is asked),
// another is refused until then, and no second read starts meanwhile.
void TestSessionScheduler::userOperationWaitsForBackgroundRead()
{
    Scheduled s;
    std::atomic<bool> releaseRead = false;
    std::atomic<bool> releaseUser = false;
    bool readDone = false;
    QVERIFY(s.scheduler.runInBackground({held(releaseRead), {}, [&] {
                                             readDone = true;
                                         }}));
    QVERIFY(!s.scheduler.userOperationPending() && s.running.isEmpty());
    QVERIFY(!s.scheduler.runInBackground({held(releaseRead), {}, {}}));

    bool started = false;
    bool ran = false;
    QVERIFY(s.scheduler.run({held(releaseUser), [&] { started = true; },
                             [&] {
                                 ran = true;
                             }}));
    QVERIFY(!started && s.scheduler.userOperationPending());
    QCOMPARE(s.runningSeen(), QList<bool>{true});
    QVERIFY(!s.scheduler.run({held(releaseUser), {}, {}}));
    QVERIFY(!s.scheduler.runInBackground({held(releaseRead), {}, {}}));

    releaseRead = true;
    QTRY_VERIFY(started);
    QVERIFY(readDone && !ran && s.scheduler.session().isBusy());
    QVERIFY(!s.scheduler.runInBackground({held(releaseRead), {}, {}}));
    releaseUser = true;
    QTRY_VERIFY(ran && !s.scheduler.session().isBusy());
    QCOMPARE(s.runningSeen(), (QList<bool>{true, false}));
    QCOMPARE(s.idle.size(), 1);
}

// While the user is asked (a confirmation open), no background read
// starts; once the question is gone, idle() says one may.
void TestSessionScheduler::askedOperationHoldsBackgroundReads()
{
    Scheduled s;
    std::atomic<bool> release = true;
    {
        const SessionScheduler::UserOperation asked(s.scheduler);
        QVERIFY(s.scheduler.userOperationPending());
        QVERIFY(!s.scheduler.runInBackground({held(release), {}, {}}));
        QVERIFY(s.idle.isEmpty() && s.running.isEmpty());
    }
    QCOMPARE(s.idle.size(), 1);
    QVERIFY(s.scheduler.runInBackground({held(release), {}, {}}));
    QTRY_VERIFY(!s.scheduler.session().isBusy());
    QVERIFY(s.running.isEmpty());

    // A guard outliving its scheduler does nothing on its way out.
    auto gone = std::make_unique<SessionScheduler>(
        std::make_unique<PlcSession>(std::make_unique<IdlePort>()));
    const SessionScheduler::UserOperation late(*gone);
    gone.reset();
}

// An operation started from the end of another keeps the user's operation
// running throughout: no flicker of the controls.
void TestSessionScheduler::chainedOperationKeepsRunning()
{
    Scheduled s;
    std::atomic<bool> releaseFirst = false;
    std::atomic<bool> releaseSecond = false;
    bool chained = false;
    QVERIFY(s.scheduler.run({held(releaseFirst), {}, [&] {
                                 chained = s.scheduler.run({held(releaseSecond), {}, {}});
                             }}));
    releaseFirst = true;
    QTRY_VERIFY(chained);
    QVERIFY(s.scheduler.session().isBusy());
    QCOMPARE(s.runningSeen(), QList<bool>{true});
    releaseSecond = true;
    QTRY_VERIFY(!s.scheduler.session().isBusy());
    QCOMPARE(s.runningSeen(), (QList<bool>{true, false}));
}

// A form with a port of its own on the device waits until the session is
// free; one closed meanwhile is not called.
void TestSessionScheduler::whenFreeWaitsForTheSession()
{
    Scheduled s;
    int called = 0;
    QObject receiver;
    s.scheduler.whenFree(&receiver, [&] { ++called; });
    QCOMPARE(called, 1);

    std::atomic<bool> release = false;
    QVERIFY(s.scheduler.runInBackground({held(release), {}, {}}));
    auto gone = std::make_unique<QObject>();
    s.scheduler.whenFree(&receiver, [&] { ++called; });
    s.scheduler.whenFree(gone.get(), [&] { called += 10; });
    gone.reset();
    QCOMPARE(called, 1);
    release = true;
    QTRY_COMPARE(called, 2);
}

QTEST_GUILESS_MAIN(TestSessionScheduler)
#include "tst_sessionscheduler.moc"
