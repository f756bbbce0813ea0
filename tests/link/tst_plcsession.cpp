#include "link/plcsession.h"
#include "link/plctransaction.h"
#include "support/scriptedport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <thread>

using namespace std::chrono_literals;

namespace {

// Waits in real time, as a silent line does.
class SilentPort : public ScriptedPort
{
public:
    Wait waitForData(std::chrono::milliseconds timeout) override
    {
        std::this_thread::sleep_for(timeout);
        return Wait::Timeout;
    }
};

} // namespace

class TestPlcSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runsOperationsOneAtATime();
    void reportsProgressAndEnds();
    void destroyingCancelsRunningOperation();
    void cancelEndsOperationAndKeepsSession();
    void cancelWithoutOperationChangesNothing();
};

void TestPlcSession::runsOperationsOneAtATime()
{
    PlcSession session(std::make_unique<ScriptedPort>());
    QSignalSpy busy(&session, &PlcSession::busyChanged);
    QThread *operationThread = nullptr;
    QThread *doneThread = nullptr;
    QVERIFY(session.run(
        [&](PlcPort &, const TransferProgress &) {
            operationThread = QThread::currentThread();
            std::this_thread::sleep_for(50ms);
        },
        [&] { doneThread = QThread::currentThread(); }));
    QVERIFY(session.isBusy());
    bool secondRan = false;
    QVERIFY(!session.run([&](PlcPort &, const TransferProgress &) { secondRan = true; }));
    QTRY_VERIFY(!session.isBusy());
    QVERIFY(!secondRan);
    QVERIFY(operationThread && operationThread != QThread::currentThread());
    QCOMPARE(doneThread, QThread::currentThread());
    QCOMPARE(busy.size(), 2);
    QCOMPARE(busy.at(0).at(0).toBool(), true);
    QCOMPARE(busy.at(1).at(0).toBool(), false);

    QVERIFY(session.run([&](PlcPort &, const TransferProgress &) { secondRan = true; }));
    // Read only once the session has handed the operation back.
    QTRY_VERIFY(!session.isBusy());
    QVERIFY(secondRan);
}

void TestPlcSession::reportsProgressAndEnds()
{
    PlcSession session(std::make_unique<ScriptedPort>());
    QSignalSpy progress(&session, &PlcSession::progressChanged);
    QSignalSpy finished(&session, &PlcSession::finished);
    session.run([](PlcPort &, const TransferProgress &report) {
        for (int percent : {25, 50, 100})
            report(percent);
    });
    QVERIFY(finished.wait(2000));
    QCOMPARE(progress.size(), 3);
    QCOMPARE(progress.last().at(0).toInt(), 100);
}

// Closing a window while its operation waits on a silent line ends within the
// current timeout; the operation's later transactions fail at once.
void TestPlcSession::destroyingCancelsRunningOperation()
{
    auto session = std::make_unique<PlcSession>(std::make_unique<SilentPort>());
    std::atomic<int> transactions = 0;
    std::atomic<int> portErrors = 0;
    session->run([&](PlcPort &port, const TransferProgress &) {
        port.open();
        for (int i = 0; i < 10; ++i) {
            ++transactions;
            const PlcResult result = Plc_read(port, 400ms, 0x2502, 0x40);
            portErrors += result.outcome == PlcResult::Outcome::PortError;
        }
        port.close();
    });
    std::this_thread::sleep_for(100ms);
    QElapsedTimer timer;
    timer.start();
    session.reset();
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(transactions.load(), 10);
    QCOMPARE(portErrors.load(), 10);
}

// The wait in progress fails at once, the operation ends with the cancel as
// its port's error, the port closes, and the next operation runs as usual.
void TestPlcSession::cancelEndsOperationAndKeepsSession()
{
    auto port = std::make_unique<SilentPort>();
    const PlcPort *line = port.get();
    PlcSession session(std::move(port));
    std::atomic<bool> waiting = false;
    PlcResult first;
    bool done = false;
    session.run(
        [&](PlcPort &p, const TransferProgress &) {
            p.open();
            waiting = true;
            first = Plc_read(p, 1000ms, 0x2502, 0x40);
        },
        [&] { done = true; });
    QTRY_VERIFY(waiting);
    QElapsedTimer timer;
    timer.start();
    session.cancel();
    QTRY_VERIFY(done);
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(first.outcome, PlcResult::Outcome::PortError);
    QCOMPARE(first.error, QStringLiteral("The operation was cancelled."));
    QVERIFY(!line->isOpen());

    PlcResult second;
    session.run([&](PlcPort &p, const TransferProgress &) {
        p.open();
        second = Plc_read(p, 100ms, 0x2502, 0x40);
    });
    QTRY_VERIFY(!session.isBusy());
    QCOMPARE(second.outcome, PlcResult::Outcome::Timeout);
}

void TestPlcSession::cancelWithoutOperationChangesNothing()
{
    PlcSession session(std::make_unique<ScriptedPort>());
    session.cancel();
    bool opened = false;
    session.run([&](PlcPort &p, const TransferProgress &) { opened = p.open(); });
    QTRY_VERIFY(!session.isBusy());
    QVERIFY(opened);
}

QTEST_GUILESS_MAIN(TestPlcSession)
#include "tst_plcsession.moc"
