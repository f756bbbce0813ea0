// The demo PLC of sim/demo, which ./scripts/run starts and the user guide
// shows: its options file, its configuration, its bus and its error bytes.
#include "config/configurationjson.h"
#include "config/configurationupload.h"
#include "configload.h"
#include "diag/modbuserrorbuffer.h"
#include "diag/onewireerrorbuffer.h"
#include "link/connectiontest.h"
#include "link/qtplcport.h"
#include "modbus/uartdescription.h"
#include "onewire/romcode.h"
#include "plcsimulator.h"
#include "simoptions.h"
#include "simport.h"
#include "simprocess.h"
#include "support/buildpath.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestDemoPlc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void holdsTheDemoConfiguration();
    void hasFiveDevicesOnItsBus();
    void reportsItsErrors();
    void answersAtItsSpeedOnly();
    void refusesABrokenOptionsFile();

private:
    std::unique_ptr<PlcSimulator> m_plc;
    Configuration m_demo;
};

void TestDemoPlc::init()
{
    m_plc = std::make_unique<PlcSimulator>();
    SimOptions options;
    QVERIFY2(options.parse({u"plc-sim"_s, u"--link"_s, u"unused"_s, u"--options"_s,
                            buildPath(PLC_DEMO_OPTIONS)}),
             qPrintable(options.errorString()));
    QCOMPARE(options.lineSpeed(), 9600);
    QVERIFY(options.configPath().endsWith(u"/sim/demo/demo.json"_s));
    const QString error = loadConfiguration(*m_plc, options.configPath());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    options.apply(*m_plc);

    QFile file(options.configPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const ConfigurationJson::Read read = ConfigurationJson::read(file.readAll());
    QVERIFY2(read.configuration, qPrintable(read.error));
    m_demo = *read.configuration;
}

// The tool's own verify finds the PLC holding the demo configuration.
void TestDemoPlc::holdsTheDemoConfiguration()
{
    QCOMPARE(m_demo.uart1.role, ModbusRole::Master);
    QCOMPARE(m_demo.uart1.table.size(), 4);
    QCOMPARE(m_demo.uart2.role, ModbusRole::Slave);
    QCOMPARE(m_demo.aux.mode, AuxMode::OneWireMaster);
    QCOMPARE(m_demo.aux.sensors.size(), 3);
    SimPort port(*m_plc);
    const ConfigurationCheck check = verifyConfiguration(port, {}, m_demo, [](int) {});
    QVERIFY2(check.result.ok, qPrintable(check.result.message));
    QCOMPARE(check.differences, QStringList());
}

// Four temperature sensors and one other device, every code with its CRC;
// the sensor table holds three of them.
void TestDemoPlc::hasFiveDevicesOnItsBus()
{
    const QList<QByteArray> codes = m_plc->romCodes();
    QCOMPARE(codes.size(), 5);
    int sensors = 0;
    for (const QByteArray &code : codes) {
        QVERIFY2(RomCode::crcMatches(code), code.toHex().constData());
        sensors += quint8(code.at(0)) == 0x28 ? 1 : 0;
    }
    QCOMPARE(sensors, 4);
    for (const QStringList &row : m_demo.aux.sensors) {
        QByteArray code;
        for (int column = 1; column <= 8; ++column)
            code.append(char(row.at(column).toUInt(nullptr, 16)));
        QVERIFY2(codes.contains(code), code.toHex().constData());
    }
}

void TestDemoPlc::reportsItsErrors()
{
    SimPort port(*m_plc);
    const ErrorBufferRead modbus = readModbusErrorBuffer(port, {}, UartDescription::uart1());
    QVERIFY(modbus.table);
    QCOMPARE(modbus.table->size(), 4);
    QCOMPARE(modbus.table->at(1).at(1), u"Active error"_s);
    QCOMPARE(modbus.table->at(3).at(1), u"Inactive error"_s);
    const ErrorBufferRead oneWire = readOneWireErrorBuffer(port, {});
    QVERIFY(oneWire.table);
    QCOMPARE(oneWire.table->size(), 3);
    QCOMPARE(oneWire.table->at(1).at(2), u"Timeout error number :2"_s);
}

// plc-sim itself takes the options file and answers at 9600 baud only.
void TestDemoPlc::answersAtItsSpeedOnly()
{
    SimProcess plc(buildPath(PLC_SIM_PATH));
    QVERIFY(plc.start({u"--options"_s, buildPath(PLC_DEMO_OPTIONS)}));
    const QString ini = plc.path(u"set.ini"_s);
    QtPlcPort port(ini);
    port.setDevice(plc.link());
    QVERIFY(testConnection(port, 1, u"9600,N,7,1"_s).answered);
    QVERIFY(!testConnection(port, 1, u"19200,N,7,1"_s).answered);
}

// A missing options file, one that names another, and a configuration file
// that cannot be read stop plc-sim with the file named.
void TestDemoPlc::refusesABrokenOptionsFile()
{
    QTemporaryDir dir;
    const QString nested = dir.filePath(u"nested.options"_s);
    const QString broken = dir.filePath(u"broken.options"_s);
    QFile file(nested);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("--speed 9600 # comment\n--options other.options\n");
    file.close();
    QFile other(broken);
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("--config missing.apc\n");
    other.close();
    const QStringList start = {u"plc-sim"_s, u"--link"_s, u"unused"_s, u"--options"_s};

    SimOptions missing;
    QVERIFY(!missing.parse(start + QStringList{dir.filePath(u"none.options"_s)}));
    QVERIFY(missing.errorString().contains(u"none.options"_s));
    SimOptions twice;
    QVERIFY(!twice.parse(start + QStringList{nested}));
    QCOMPARE(twice.errorString(), u"--options: an options file cannot name another"_s);
    SimOptions relative;
    QVERIFY(relative.parse(start + QStringList{broken}));
    QCOMPARE(relative.configPath(), dir.filePath(u"missing.apc"_s));
    PlcSimulator plc;
    QVERIFY(loadConfiguration(plc, relative.configPath()).startsWith(u"--config "_s));
}

QTEST_MAIN(TestDemoPlc)
#include "tst_demoplc.moc"
