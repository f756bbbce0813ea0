#include "link/connectiontest.h"
#include "link/inifile.h"
#include "link/plcframe.h"
#include "link/plctransaction.h"
#include "link/qtplcport.h"
#include "simprocess.h"
#include "support/buildpath.h"

#include <QElapsedTimer>
#include <QTest>

#include <thread>

using namespace std::chrono_literals;
using Outcome = PlcResult::Outcome;

// The real serial port against plc-sim on a pseudo-terminal, reached as COM10
// through the settings file's port mapping.
class TestLinkEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void writeThenReadBack();
    void cpuTypeAndConnectionTest();
    void refusedWrite();
    void silentPlc();
    void splitAndSlowAnswers();
    void simulatorExitFailsTheTransaction();

private:
    bool startSim(const QStringList &arguments = {});

    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<QtPlcPort> m_port;
};

void TestLinkEndToEnd::init()
{
    m_sim = std::make_unique<SimProcess>(buildPath(PLC_SIM_PATH));
}

void TestLinkEndToEnd::cleanup()
{
    m_port.reset();
    m_sim.reset();
}

bool TestLinkEndToEnd::startSim(const QStringList &arguments)
{
    if (!m_sim->start(arguments))
        return false;
    const QString ini = m_sim->path(QStringLiteral("set.ini"));
    Ini_write(ini, QStringLiteral("PORTS"), QStringLiteral("COM10"), m_sim->link());
    m_port = std::make_unique<QtPlcPort>(ini);
    m_port->setPortNumber(10);
    m_port->setSettings(QStringLiteral("115200,N,8,1"));
    return m_port->open();
}

void TestLinkEndToEnd::writeThenReadBack()
{
    QVERIFY(startSim());
    const PlcResult write = Plc_write(*m_port, 650ms, PlcCommand::Write, 0x2502,
                                      QByteArray::fromHex("010A00006400E813"));
    QCOMPARE(write.text, QStringLiteral("6"));
    const PlcResult read = Plc_read(*m_port, 350ms, 0x2502, 0x08);
    QCOMPARE(read.outcome, Outcome::Answered);
    QCOMPARE(read.text.toLatin1(), PlcFrame::dataAnswer("010A00006400E813"));
}

void TestLinkEndToEnd::cpuTypeAndConnectionTest()
{
    QVERIFY(startSim({QStringLiteral("--cpu-type"), QStringLiteral("0A0B")}));
    QCOMPARE(Plc_read_word(*m_port, 100ms, 0x0E02).text, QStringLiteral("2571"));
    QCOMPARE(connectionTest(*m_port, 10, QStringLiteral("19200,E,8,1")),
             QStringLiteral("Successful connect to the CPU with type 2571"));
    QVERIFY(!m_port->isOpen());
    // Line choices mean nothing on a pseudo-terminal and are not refused
    // there, but a choice no serial port can carry out still is.
    QCOMPARE(connectionTest(*m_port, 10, QStringLiteral("9600,N,7,1")),
             QStringLiteral("Successful connect to the CPU with type 2571"));
    m_port->setSettings(QStringLiteral("9600,N,9,1"));
    QVERIFY(!m_port->open());
    QVERIFY(m_port->errorString().contains(QStringLiteral("9 data bits")));
}

void TestLinkEndToEnd::refusedWrite()
{
    QVERIFY(startSim({QStringLiteral("--refuse"), QStringLiteral("@3000")}));
    const PlcResult write =
        Plc_write(*m_port, 1000ms, PlcCommand::Write, 0x3000, QByteArray::fromHex("0FFF"));
    QCOMPARE(write.text, QStringLiteral("15"));
    QCOMPARE(write.outcome, Outcome::Refused);
}

void TestLinkEndToEnd::silentPlc()
{
    QVERIFY(startSim({QStringLiteral("--silent"), QStringLiteral("1,2")}));
    QCOMPARE(Plc_enq(*m_port, 100ms, PlcFrame::ENQ).text, QString());
    const PlcResult write =
        Plc_write(*m_port, 150ms, PlcCommand::Command, 0x2002, QByteArray::fromHex("0080"));
    QCOMPARE(write.text, QStringLiteral("16"));
    // The line is fine again for the next request.
    QCOMPARE(Plc_enq(*m_port, 100ms, PlcFrame::ENQ).text, QStringLiteral("6"));
}

// One byte every 40 ms: 132 characters take over five seconds at 100 ms of
// timeout; a shorter read keeps the test quick and still outlasts the timeout.
void TestLinkEndToEnd::splitAndSlowAnswers()
{
    QVERIFY(startSim({QStringLiteral("--chunk"), QStringLiteral("3"), QStringLiteral("--gap"),
                      QStringLiteral("40")}));
    QElapsedTimer timer;
    timer.start();
    const PlcResult read = Plc_read(*m_port, 100ms, 0x0E02, 0x08);
    QCOMPARE(read.outcome, Outcome::Answered);
    QCOMPARE(read.text.size(), 20);
    QVERIFY2(timer.elapsed() > 200, qPrintable(QString::number(timer.elapsed())));
}

void TestLinkEndToEnd::simulatorExitFailsTheTransaction()
{
    QVERIFY(startSim({QStringLiteral("--silent"), QStringLiteral("1")}));
    std::thread stopper([this] {
        std::this_thread::sleep_for(150ms);
        m_sim->stop();
    });
    QElapsedTimer timer;
    timer.start();
    const PlcResult read = Plc_read(*m_port, 1000ms, 0x2006, 0x02);
    stopper.join();
    QCOMPARE(read.outcome, Outcome::PortError);
    QVERIFY2(timer.elapsed() < 900, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(Plc_enq(*m_port, 100ms, PlcFrame::ENQ).outcome, Outcome::PortError);
}

QTEST_GUILESS_MAIN(TestLinkEndToEnd)
#include "tst_linkendtoend.moc"
