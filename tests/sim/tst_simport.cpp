#include "link/plctransaction.h"
#include "plcsimulator.h"
#include "simframes.h"
#include "simport.h"

#include <QTest>

#include <thread>

using namespace std::chrono_literals;
using namespace SimFrames;
using Wait = PlcPort::Wait;

class TestSimPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void opensWithSettings_data();
    void opensWithSettings();
    void failsOnMissingPort();
    void refusesWriteWhenClosed();
    void waitsOnSimulatedTime();
    void waitReturnsAtOnceWhenDataWaits();
    void lateAnswerSurvivesDiscardOnlyInFlight();
    void transactionsSeeSimulatedPlc();
    void pauseLetsSearchFinish();
    void vanishesBeforeAnswer();
    void vanishesAfterAnswer();
    void runsOnWorkerThread();
};

namespace {

SimFaults chunked(int size, std::chrono::milliseconds gap, std::chrono::milliseconds delay)
{
    SimFaults faults;
    faults.chunkSize = size;
    faults.chunkGap = gap;
    faults.delay = delay;
    return faults;
}

} // namespace

void TestSimPort::opensWithSettings_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("error");
    QTest::newRow("9600,N,8,1") << QStringLiteral("9600,N,8,1") << QString();
    QTest::newRow("loose") << QStringLiteral("115200, e ,7,1.5") << QString();
    QTest::newRow("9 bits") << QStringLiteral("9600,N,9,1")
                            << QStringLiteral("COM2: 9 data bits are not supported");
    QTest::newRow("parity") << QStringLiteral("9600,X,8,1")
                            << QStringLiteral("COM2: parity X is not supported");
    QTest::newRow("three fields") << QStringLiteral("9600,N,8")
                                  << QStringLiteral("COM2: invalid port settings \"9600,N,8\"");
}

void TestSimPort::opensWithSettings()
{
    QFETCH(QString, settings);
    QFETCH(QString, error);
    PlcSimulator sim;
    SimPort port(sim);
    port.setPortNumber(2);
    port.setSettings(settings);
    QCOMPARE(port.open(), error.isEmpty());
    QCOMPARE(port.isOpen(), error.isEmpty());
    QCOMPARE(port.errorString(), error);
}

void TestSimPort::failsOnMissingPort()
{
    PlcSimulator sim;
    SimPort port(sim);
    port.setMissingPorts({7});
    port.setPortNumber(7);
    QVERIFY(!port.open());
    QVERIFY(port.errorString().startsWith(QStringLiteral("COM7: ")));
    port.setPortNumber(6);
    QVERIFY(port.open());
    port.setOpenError(QStringLiteral("access denied"));
    QVERIFY(!port.open());
    QCOMPARE(port.errorString(), QStringLiteral("COM6: access denied"));
}

void TestSimPort::refusesWriteWhenClosed()
{
    PlcSimulator sim;
    SimPort port(sim);
    QVERIFY(!port.write(enq));
    QCOMPARE(port.waitForData(100ms), Wait::Error);
    QVERIFY(sim.requests().isEmpty());
}

// An answer in chunks of 4 bytes 50 ms apart, the first 100 ms after the request:
// waits end when a chunk arrives, or after their full time when none does.
void TestSimPort::waitsOnSimulatedTime()
{
    PlcSimulator sim;
    sim.setFaults(chunked(4, 50ms, 100ms));
    SimPort port(sim);
    QVERIFY(port.open());
    port.pause(1000ms);
    QVERIFY(port.write(read("0E02", "02")));
    QCOMPARE(port.waitForData(60ms), Wait::Timeout);
    QCOMPARE(port.now(), 1060ms);
    QCOMPARE(port.waitForData(60ms), Wait::Data);
    QCOMPARE(port.now(), 1100ms);
    QCOMPARE(port.takeReceived(), QByteArray("\x02"
                                             "341"));
    QCOMPARE(port.waitForData(30ms), Wait::Timeout);
    QCOMPARE(port.waitForData(30ms), Wait::Data);
    QCOMPARE(port.now(), 1150ms);
    QCOMPARE(port.takeReceived(), QByteArray("2\x03"
                                             "CD"));
    QCOMPARE(port.waitForData(500ms), Wait::Timeout);
    QCOMPARE(port.now(), 1650ms);
}

void TestSimPort::waitReturnsAtOnceWhenDataWaits()
{
    PlcSimulator sim;
    SimPort port(sim);
    QVERIFY(port.open());
    port.write(enq);
    QCOMPARE(port.waitForData(100ms), Wait::Data);
    QCOMPARE(port.waitForData(100ms), Wait::Data);
    QCOMPARE(port.now(), 0ms);
    QCOMPARE(port.takeReceived(), ack);
    QCOMPARE(port.waitForData(100ms), Wait::Timeout);
}

// A late answer is still on its way after the tool has given up: discarding
// the input then keeps it, discarding once it has arrived drops it.
void TestSimPort::lateAnswerSurvivesDiscardOnlyInFlight()
{
    PlcSimulator sim;
    SimFaults faults;
    faults.perRequest[SimFault::Late].ordinals = {1, 2};
    faults.lateBy = 1000ms;
    sim.setFaults(faults);
    SimPort port(sim);
    QVERIFY(port.open());
    port.write(enq);
    QCOMPARE(port.waitForData(350ms), Wait::Timeout);
    port.discardInput();
    QCOMPARE(port.chunksInFlight(), 1);
    QCOMPARE(port.waitForData(1000ms), Wait::Data);
    QCOMPARE(port.now(), 1000ms);
    QCOMPARE(port.takeReceived(), ack);
    port.write(enq);
    port.pause(1000ms);
    port.discardInput();
    QCOMPARE(port.chunksInFlight(), 0);
    QCOMPARE(port.waitForData(100ms), Wait::Timeout);
}

// The tool's transactions against the simulated PLC: a write answered too late
// still takes effect, and its late ACK, arrived between transactions, does not
// pass for the next answer.
void TestSimPort::transactionsSeeSimulatedPlc()
{
    PlcSimulator sim;
    SimFaults faults;
    faults.perRequest[SimFault::Late].ordinals = {2};
    faults.lateBy = 500ms;
    sim.setFaults(faults);
    SimPort port(sim);
    QVERIFY(port.open());
    QCOMPARE(Plc_read_word(port, 100ms, 0x0E02).text, QStringLiteral("4660"));
    QCOMPARE(Plc_write(port, 350ms, PlcCommand::Write, 0x3000, QByteArray::fromHex("0FFF")).text,
             QStringLiteral("16"));
    QCOMPARE(sim.word(0x3000), 0xFF0F);
    port.pause(200ms);
    QCOMPARE(Plc_read_word(port, 100ms, 0x3000).text, QStringLiteral("65295"));
    QCOMPARE(sim.requests(),
             (QList<QByteArray>{"\x02"
                                "00E0202\x03"
                                "6C",
                                write("3000", "0FFF"), PlcFrame::request("0", "3000", "02")}));
}

void TestSimPort::pauseLetsSearchFinish()
{
    PlcSimulator sim;
    sim.setRomCodes({QByteArray::fromHex("28FF4C5D0300009A")});
    SimPort port(sim);
    QVERIFY(port.open());
    QCOMPARE(Plc_write(port, 350ms, PlcCommand::Command, 0x2000, QByteArray::fromHex("0180")).text,
             QStringLiteral("6"));
    QCOMPARE(Plc_read(port, 350ms, 0x3000, 0x02).text.mid(1, 2), QStringLiteral("00"));
    port.pause(3500ms);
    QCOMPARE(Plc_read(port, 350ms, 0x3000, 0x02).text.mid(1, 2), QStringLiteral("01"));
}

void TestSimPort::vanishesBeforeAnswer()
{
    PlcSimulator sim;
    SimPort port(sim);
    QVERIFY(port.open());
    port.vanishAfter(2);
    QCOMPARE(Plc_enq(port, 100ms, PlcFrame::ENQ).text, QStringLiteral("6"));
    const PlcResult result = Plc_read_word(port, 100ms, 0x0E02);
    QCOMPARE(result.outcome, PlcResult::Outcome::PortError);
    QVERIFY(result.error.contains(QStringLiteral("vanished")));
    QCOMPARE(sim.requests().size(), 2);
    QVERIFY(!port.write(enq));
    port.close();
    QVERIFY(!port.open());
}

void TestSimPort::vanishesAfterAnswer()
{
    PlcSimulator sim;
    sim.setFaults(chunked(2, 10ms, 0ms));
    SimPort port(sim);
    QVERIFY(port.open());
    port.vanishAfter(1, SimPort::Vanish::AfterAnswer);
    QCOMPARE(Plc_read_word(port, 100ms, 0x0E02).text, QStringLiteral("4660"));
    QCOMPARE(port.waitForData(100ms), Wait::Error);
    QCOMPARE(Plc_enq(port, 100ms, PlcFrame::ENQ).outcome, PlcResult::Outcome::PortError);
    QCOMPARE(sim.requests().size(), 1);
}

// Created here, used by another thread, inspected here once it is done.
void TestSimPort::runsOnWorkerThread()
{
    PlcSimulator sim;
    SimPort port(sim);
    QVERIFY(port.open());
    PlcResult result;
    std::thread worker([&] { result = Plc_read_word(port, 100ms, 0x0E02); });
    worker.join();
    QCOMPARE(result.text, QStringLiteral("4660"));
    QCOMPARE(sim.requests().size(), 1);
}

QTEST_GUILESS_MAIN(TestSimPort)
#include "tst_simport.moc"
