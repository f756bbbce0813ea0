#include "link/inifile.h"
#include "link/plcframe.h"
#include "link/plctransaction.h"
#include "link/qtplcport.h"
#include "ptypeer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <thread>

using namespace std::chrono_literals;
using Outcome = PlcResult::Outcome;

namespace {

double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

} // namespace

class TestQtPlcPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stableNamesComeFirst();
    void init();
    void cleanup();
    void opensMappedDeviceWithSettings();
    void openFailuresNameTheCause_data();
    void openFailuresNameTheCause();
    void silentWaitCostsNoCpu();
    void splitAnswerAcrossChunks();
    void vanishingPortFailsAtOnce();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PtyPeer> m_peer;
    std::unique_ptr<QtPlcPort> m_port;
};

void TestQtPlcPort::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    const QString ini = m_dir->path() + QStringLiteral("/set.ini");
    m_peer = std::make_unique<PtyPeer>();
    QVERIFY(m_peer->isValid());
    Ini_write(ini, QStringLiteral("PORTS"), QStringLiteral("COM3"), m_peer->devicePath());
    Ini_write(ini, QStringLiteral("PORTS"), QStringLiteral("COM9"),
              QStringLiteral("/dev/serial/by-id/usb-gone-if00-port0"));
    Ini_write(ini, QStringLiteral("PORTS"), QStringLiteral("COM6"), QStringLiteral("nowhere/plc"));
    Ini_write(ini, QStringLiteral("PORTS"), QStringLiteral("COM8"), QStringLiteral("tty-gone"));
    m_port = std::make_unique<QtPlcPort>(ini);
    m_port->setPortNumber(3);
    m_port->setSettings(QStringLiteral("115200,N,8,1"));
}

void TestQtPlcPort::cleanup()
{
    m_port.reset();
    m_peer.reset();
}

void TestQtPlcPort::opensMappedDeviceWithSettings()
{
    QVERIFY2(m_port->open(), qPrintable(m_port->errorString()));
    QVERIFY(m_port->isOpen());
    QVERIFY(m_port->write(QByteArray(1, PlcFrame::ENQ)));
    QCOMPARE(m_peer->read(1, 500ms), QByteArray(1, PlcFrame::ENQ));
    m_peer->write(QByteArray(1, PlcFrame::ACK));
    QCOMPARE(m_port->waitForData(500ms), PlcPort::Wait::Data);
    QCOMPARE(m_port->takeReceived(), QByteArray(1, PlcFrame::ACK));
    m_port->close();
    QVERIFY(!m_port->isOpen());
    QVERIFY(!m_port->write("x"));
}

void TestQtPlcPort::openFailuresNameTheCause_data()
{
    QTest::addColumn<int>("portNumber");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("named");
    QTest::newRow("no such device") << 7 << "9600,N,8,1"
                                    << "/dev/ttyS6";
    QTest::newRow("a mapped adapter unplugged")
        << 9 << "9600,N,8,1"
        << "Cannot open /dev/serial/by-id/usb-gone-if00-port0: there is no such device. If it "
           "is a USB adapter, it may be unplugged.";
    // A name with a slash is a path from the current folder, a bare name a
    // device under /dev.
    QTest::newRow("a path from the current folder")
        << 6 << "9600,N,8,1"
        << "Cannot open " + QDir::currentPath() + "/nowhere/plc: there is no";
    QTest::newRow("a bare name") << 8 << "9600,N,8,1"
                                 << "Cannot open /dev/tty-gone: there is no such device";
    QTest::newRow("9 data bits") << 3 << "9600,N,9,1"
                                 << "9 data bits";
    QTest::newRow("broken settings") << 3 << "9600,N,8"
                                     << "9600,N,8";
}

void TestQtPlcPort::openFailuresNameTheCause()
{
    QFETCH(int, portNumber);
    QFETCH(QString, settings);
    QFETCH(QString, named);
    m_port->setPortNumber(portNumber);
    m_port->setSettings(settings);
    QVERIFY(!m_port->open());
    QVERIFY(!m_port->isOpen());
    QVERIFY2(m_port->errorString().contains(named), qPrintable(m_port->errorString()));
}

// A transaction waiting a whole second for a silent PLC sleeps in the system,
// it does not poll.
void TestQtPlcPort::silentWaitCostsNoCpu()
{
    QVERIFY(m_port->open());
    QElapsedTimer wall;
    wall.start();
    const double before = processCpuMs();
    const PlcResult result = Plc_read(*m_port, 1000ms, 0x2006, 0x02);
    const double cpu = processCpuMs() - before;
    QCOMPARE(result.outcome, Outcome::Timeout);
    QVERIFY(wall.elapsed() >= 990 && wall.elapsed() < 1500);
    QVERIFY2(cpu < 50.0, qPrintable(QStringLiteral("%1 ms of CPU").arg(cpu)));
}

// Chunks 60 ms apart under a 100 ms timeout: the answer takes longer than the
// timeout and still completes.
void TestQtPlcPort::splitAnswerAcrossChunks()
{
    QVERIFY(m_port->open());
    std::thread plc([this] {
        const QByteArray request = m_peer->read(12, 1000ms);
        if (request != PlcFrame::request("E00", "2006", "02"))
            return;
        for (char c : PlcFrame::dataAnswer("0145")) {
            std::this_thread::sleep_for(100ms);
            m_peer->write(QByteArray(1, c));
        }
    });
    // The whole answer takes twice the timeout; each character restarts it,
    // with room for a busy machine's scheduling.
    const PlcResult result = Plc_read(*m_port, 400ms, 0x2006, 0x02);
    plc.join();
    QCOMPARE(result.outcome, Outcome::Answered);
    QCOMPARE(result.text.toLatin1(), PlcFrame::dataAnswer("0145"));
}

void TestQtPlcPort::vanishingPortFailsAtOnce()
{
    QVERIFY(m_port->open());
    std::thread pull([this] {
        std::this_thread::sleep_for(100ms);
        m_peer->vanish();
    });
    QElapsedTimer wall;
    wall.start();
    const PlcResult result = Plc_read(*m_port, 1000ms, 0x2006, 0x02);
    pull.join();
    QCOMPARE(result.outcome, Outcome::PortError);
    QVERIFY2(wall.elapsed() < 600, qPrintable(QString::number(wall.elapsed())));
    QVERIFY(!result.error.isEmpty());
    QVERIFY(!m_port->write("x"));
}

// Names under /dev/serial/by-id survive unplugging: they come first.
void TestQtPlcPort::stableNamesComeFirst()
{
    const QString byId = m_dir->filePath(QStringLiteral("by-id"));
    QVERIFY(QDir().mkpath(byId));
    const QString link = byId + QStringLiteral("/usb-FTDI_adapter-if00-port0");
    QVERIFY(QFile::link(m_peer->devicePath(), link));
    const QList<SerialDevice> devices = serialDevices(byId);
    QVERIFY(!devices.isEmpty());
    QCOMPARE(devices.first().path, link);
    QCOMPARE(serialDevices(m_dir->filePath(QStringLiteral("none"))).size(), devices.size() - 1);
}

QTEST_GUILESS_MAIN(TestQtPlcPort)
#include "tst_qtplcport.moc"
