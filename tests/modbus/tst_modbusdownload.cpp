#include "link/inifile.h"
#include "link/transferrun.h"
#include "modbus/modbusdownload.h"
#include "modbus/slavesettingstransfer.h"
#include "modbusfixture.h"

#include <QTest>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(SimFault)

namespace {

const QString wrongAnswer = QStringLiteral("Wrong answer from PLC");
const QString answerTimeout = QStringLiteral("Answer timeout from PLC");
const QString configurationTitle = QStringLiteral("Error in configurations");

const QByteArray begin = writeFrame("3000", "0FFF");
const QByteArray end = writeFrame("3000", "0000");
const QByteArray command = writeFrame("2002", "0080", "E10");

const UartDescription &uart(int number)
{
    return number == 1 ? UartDescription::uart1() : UartDescription::uart2();
}

UartSettings slaveSettings(const QString &address)
{
    UartSettings settings;
    settings.role = ModbusRole::Slave;
    settings.slaveAddress = address;
    return settings;
}

} // namespace

class TestModbusDownload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesMasterTables_data();
    void writesMasterTables();
    void pausesAfterEachBlock();
    void writesModeWords_data();
    void writesModeWords();
    void refusesBeforeSending_data();
    void refusesBeforeSending();
    void stopsAtFirstFailedWrite_data();
    void stopsAtFirstFailedWrite();
    void commandWordAnswerIsNotExamined();
    void reportsPortFaults();
    void appliesSettingsFile();
    void writesSlaveSettings();
    void refusesSlaveSettings_data();
    void refusesSlaveSettings();
    void stopsSlaveSettingsAtFailure_data();
    void stopsSlaveSettingsAtFailure();
};

void TestModbusDownload::writesMasterTables_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("blocks"); // address and count of each table write
    QTest::addColumn<QList<int>>("progress");

    QTest::newRow("empty") << 1 << 0 << QStringList{"2502 00"} << QList<int>{100};
    QTest::newRow("7 rows in one write") << 1 << 7 << QStringList{"2502 38"} << QList<int>{100};
    QTest::newRow("8 rows, one block") << 1 << 8 << QStringList{"2502 40"} << QList<int>{100};
    QTest::newRow("9 rows, two blocks")
        << 1 << 9 << QStringList{"2502 40", "2542 08"} << QList<int>{88, 100};
    QTest::newRow("UART2 9 rows") << 2 << 9 << QStringList{"2902 40", "2942 08"}
                                  << QList<int>{88, 100};
    QStringList full;
    QList<int> steps;
    for (int k = 0; k < 16; ++k) {
        full.append(QStringLiteral("%1 40").arg(0x2902 + 64 * k, 4, 16).toUpper());
        steps.append(100 * (k + 1) / 16);
    }
    QCOMPARE(full.last(), QStringLiteral("2CC2 40"));
    QTest::newRow("UART2 128 rows") << 2 << 128 << full << steps;
}

void TestModbusDownload::writesMasterTables()
{
    QFETCH(int, number);
    QFETCH(int, rows);
    QFETCH(QStringList, blocks);
    QFETCH(QList<int>, progress);
    ModbusBench bench;
    const QList<RequestRow> table = sampleRows(rows);
    const TransferResult result =
        downloadUart(bench.port, bench.ini, uart(number), masterSettings(table), bench.recorder());
    QVERIFY(result.ok);
    QCOMPARE(result.message, QString());

    const QString text = QString::fromLatin1(RequestRecord::encodeAll(table).toHex().toUpper());
    const QString modeWord =
        QString::fromLatin1(wordData(quint16(0xD400 + rows)).toHex().toUpper());
    QList<QByteArray> expected{begin, writeFrame(uart(number).modeWordAddress, modeWord)};
    for (int k = 0; k < blocks.size(); ++k) {
        const QStringList parts = blocks.at(k).split(QLatin1Char(' '));
        const QString data = text.mid(128 * k, 2 * parts.at(1).toInt(nullptr, 16));
        QCOMPARE(writeFrame(parts.at(0), data).mid(8, 2), parts.at(1).toLatin1());
        expected.append(writeFrame(parts.at(0), data));
    }
    expected << end << command;
    QCOMPARE(bench.sim.requests(), expected);
    QCOMPARE(bench.sim.memory(uart(number).tableStart, 8 * rows), recordBytes(table));
    QCOMPARE(bench.progress, progress);
    QVERIFY(!bench.port.isOpen());
}

void TestModbusDownload::pausesAfterEachBlock()
{
    ModbusBench bench;
    QVERIFY(downloadUart(bench.port, bench.ini, UartDescription::uart1(),
                         masterSettings(sampleRows(9)), {})
                .ok);
    QList<SimTime> at;
    for (const SimLogEntry &entry : bench.sim.log()) {
        if (entry.kind == SimLogEntry::Kind::Request)
            at.append(entry.at);
    }
    QCOMPARE(at.size(), 6);
    QVERIFY(at[3] - at[2] >= 100ms); // between the two blocks
    QVERIFY(at[4] - at[3] >= 100ms); // after the last block, before "0000"
    QVERIFY(bench.port.now() - at[5] >= 100ms);
}

void TestModbusDownload::writesModeWords_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("modeWord");
    QTest::addColumn<QString>("commandWord");
    QTest::newRow("master 3 rows") << 1 << 0 << ""
                                   << "03D4"
                                   << "0080";
    QTest::newRow("slave 12") << 1 << 1 << "12"
                              << "0C54"
                              << "0080";
    QTest::newRow("UART2 slave 247") << 2 << 1 << "247"
                                     << "F754"
                                     << "0080";
    QTest::newRow("not used") << 1 << 2 << "0"
                              << "0000"
                              << "8000";
    QTest::newRow("UART2 not used") << 2 << 2 << "x"
                                    << "0000"
                                    << "8000";
}

void TestModbusDownload::writesModeWords()
{
    QFETCH(int, number);
    QFETCH(int, role);
    QFETCH(QString, address);
    QFETCH(QString, modeWord);
    QFETCH(QString, commandWord);
    ModbusBench bench;
    UartSettings settings = masterSettings(sampleRows(3));
    settings.role = ModbusRole(role);
    settings.slaveAddress = address;
    QVERIFY(downloadUart(bench.port, bench.ini, uart(number), settings, {}).ok);
    const QList<QByteArray> requests = bench.sim.requests();
    QCOMPARE(requests.at(1), writeFrame(uart(number).modeWordAddress, modeWord));
    QCOMPARE(requests.mid(requests.size() - 2),
             (QList<QByteArray>{end, writeFrame("2002", commandWord, "E10")}));
    QCOMPARE(requests.size(), settings.role == ModbusRole::Master ? 5 : 4);
}

void TestModbusDownload::refusesBeforeSending_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("badCell"); // Timeout of row 2, empty for a good table
    QTest::addColumn<QString>("message");
    const QString grid = QStringLiteral(
        "You configuration has error in the Timeout - row 2\r\nColumn [Timeout,[ms]]");
    const QString range = QStringLiteral("Please, use valid range - address range from 1 to 247 ");
    const QString digits = QStringLiteral("Please, use only digit n the address field ");
    QTest::newRow("slave 0") << 1 << "0"
                             << "" << range;
    QTest::newRow("slave 248") << 1 << "248"
                               << "" << range;
    QTest::newRow("slave letters") << 1 << "1a"
                                   << "" << digits;
    QTest::newRow("slave empty") << 1 << ""
                                 << "" << digits;
    QTest::newRow("bad row, master") << 0 << "5"
                                     << "0" << grid;
    QTest::newRow("bad row, slave") << 1 << "5"
                                    << "4096" << grid;
    QTest::newRow("bad row, not used") << 2 << "5"
                                       << "" << grid;
    QTest::newRow("bad row before bad address") << 1 << "0"
                                                << "x" << grid;
}

void TestModbusDownload::refusesBeforeSending()
{
    QFETCH(int, role);
    QFETCH(QString, address);
    QFETCH(QString, badCell);
    QFETCH(QString, message);
    ModbusBench bench;
    UartSettings settings = masterSettings(sampleRows(3));
    settings.role = ModbusRole(role);
    settings.slaveAddress = address;
    if (message.startsWith(QLatin1String("You configuration")))
        settings.table[1][RequestTable::Timeout] = badCell;
    const TransferResult result =
        downloadUart(bench.port, bench.ini, UartDescription::uart1(), settings, {});
    QVERIFY(!result.ok);
    QCOMPARE(result.message, message);
    QCOMPARE(result.title, configurationTitle);
    QCOMPARE(bench.sim.requests(), QList<QByteArray>());
    QVERIFY(!bench.port.isOpen());
}

void TestModbusDownload::stopsAtFirstFailedWrite_data()
{
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("progressSteps");
    // The command word's answer is not examined: the PLC acts on it.
    const QStringList writes = {"0FFF", "mode word", "block 1", "block 2", "0000"};
    const QList<int> steps = {0, 0, 0, 1, 2};
    for (int k = 1; k <= 5; ++k) {
        const QByteArray name = writes.at(k - 1).toLatin1();
        QTest::addRow("NAK %s", name.constData())
            << k << SimFault::Refuse << wrongAnswer << steps.at(k - 1);
        QTest::addRow("silent %s", name.constData())
            << k << SimFault::Silent << answerTimeout << steps.at(k - 1);
    }
    QTest::newRow("garbage before ACK") << 2 << SimFault::Garbage << wrongAnswer << 0;
}

void TestModbusDownload::stopsAtFirstFailedWrite()
{
    QFETCH(int, ordinal);
    QFETCH(SimFault, fault);
    QFETCH(QString, message);
    QFETCH(int, progressSteps);
    ModbusBench bench;
    bench.fault(fault, ordinal);
    const TransferResult result = downloadUart(bench.port, bench.ini, UartDescription::uart1(),
                                               masterSettings(sampleRows(9)), bench.recorder());
    QVERIFY(!result.ok);
    QCOMPARE(result.message, failedWriteMessage(message, bench.sim.requests(), ordinal, fault != SimFault::Refuse));
    QCOMPARE(result.title, QString());
    QCOMPARE(bench.sim.requests().size(), ordinal);
    QCOMPARE(bench.progress.size(), progressSteps);
    QVERIFY(!bench.port.isOpen());
}

void TestModbusDownload::commandWordAnswerIsNotExamined()
{
    for (SimFault fault : {SimFault::Refuse, SimFault::Silent}) {
        ModbusBench bench;
        bench.fault(fault, 6);
        const TransferResult result = downloadUart(bench.port, bench.ini, UartDescription::uart1(),
                                                   masterSettings(sampleRows(9)), {});
        QVERIFY(result.ok);
        QCOMPARE(result.message, QString());
        QCOMPARE(bench.sim.requests().size(), 6);
        QVERIFY(!bench.port.isOpen());
    }
}

void TestModbusDownload::reportsPortFaults()
{
    ModbusBench bench;
    bench.port.setOpenError(QStringLiteral("access denied"));
    TransferResult result = downloadUart(bench.port, bench.ini, UartDescription::uart1(),
                                         masterSettings(sampleRows(2)), {});
    QVERIFY(!result.ok);
    QCOMPARE(result.message, QStringLiteral("COM1: access denied"));
    QCOMPARE(bench.sim.requests().size(), 0);

    ModbusBench vanishing;
    vanishing.port.vanishAfter(3);
    result = downloadUart(vanishing.port, vanishing.ini, UartDescription::uart1(),
                          masterSettings(sampleRows(2)), {});
    QVERIFY(!result.ok);
    QCOMPARE(result.message, failedWriteMessage(QStringLiteral("COM1: the device has vanished"),
                                                vanishing.sim.requests(), 3));
    QCOMPARE(vanishing.sim.requests().size(), 3);
    QVERIFY(!vanishing.port.isOpen());
}

void TestModbusDownload::appliesSettingsFile()
{
    ModbusBench bench;
    Ini_write(bench.ini, QStringLiteral("COM"), QStringLiteral("Port_num"), QStringLiteral("2"));
    QVERIFY(downloadUart(bench.port, bench.ini, UartDescription::uart1(), UartSettings(), {}).ok);
    QCOMPARE(bench.port.portNumber(), 3);
    // The slave-settings download keeps the port as it is set up.
    bench.port.setPortNumber(1);
    UartSettings settings = slaveSettings(QStringLiteral("5"));
    settings.slaveTimeout = QStringLiteral("2");
    QVERIFY(downloadSlaveSettings(bench.port, settings).ok);
    QCOMPARE(bench.port.portNumber(), 1);
}

void TestModbusDownload::writesSlaveSettings()
{
    ModbusBench bench;
    UartSettings settings = slaveSettings(QStringLiteral("5"));
    settings.role = ModbusRole::Master; // not consulted: the word always says slave
    settings.speed = 7;
    settings.parity = 1;
    settings.slaveTimeout = QStringLiteral("2000");
    QVERIFY(downloadSlaveSettings(bench.port, settings).ok);
    QCOMPARE(bench.sim.requests(), (QList<QByteArray>{begin, writeFrame("2006", "054F"),
                                                      writeFrame("2004", "D007"), end}));
    QCOMPARE(bench.sim.word(0x2006), quint16(0x4F05));
    QVERIFY(!bench.port.isOpen());
}

void TestModbusDownload::refusesSlaveSettings_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<QString>("message"); // its start
    QTest::newRow("address 0") << "0"
                               << "2"
                               << "Please, use valid range - address range";
    QTest::newRow("address 248") << "248"
                                 << "2"
                                 << "Please, use valid range - address range";
    QTest::newRow("address letters") << "a"
                                     << "2"
                                     << "Please, use only digit n the address";
    QTest::newRow("timeout 65536") << "5"
                                   << "65536"
                                   << "Please, use a whole number";
    QTest::newRow("timeout -1") << "5"
                                << "-1"
                                << "Please, use a whole number";
    QTest::newRow("timeout fraction") << "5"
                                      << "1.5"
                                      << "Please, use a whole number";
}

void TestModbusDownload::refusesSlaveSettings()
{
    QFETCH(QString, address);
    QFETCH(QString, timeout);
    QFETCH(QString, message);
    ModbusBench bench;
    UartSettings settings = slaveSettings(address);
    settings.slaveTimeout = timeout;
    const TransferResult result = downloadSlaveSettings(bench.port, settings);
    QVERIFY(!result.ok);
    QVERIFY2(result.message.startsWith(message), qPrintable(result.message));
    QCOMPARE(result.title, configurationTitle);
    QCOMPARE(bench.sim.requests().size(), 0);
}

void TestModbusDownload::stopsSlaveSettingsAtFailure_data()
{
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<QString>("message");
    for (int k = 1; k <= 4; ++k) {
        QTest::addRow("NAK %d", k) << k << SimFault::Refuse << wrongAnswer;
        QTest::addRow("silent %d", k) << k << SimFault::Silent << answerTimeout;
    }
}

void TestModbusDownload::stopsSlaveSettingsAtFailure()
{
    QFETCH(int, ordinal);
    QFETCH(SimFault, fault);
    QFETCH(QString, message);
    ModbusBench bench;
    bench.fault(fault, ordinal);
    UartSettings settings = slaveSettings(QStringLiteral("5"));
    settings.slaveTimeout = QStringLiteral("2000");
    const TransferResult result = downloadSlaveSettings(bench.port, settings);
    QVERIFY(!result.ok);
    QCOMPARE(result.message, failedWriteMessage(message, bench.sim.requests(), ordinal, fault != SimFault::Refuse));
    QCOMPARE(bench.sim.requests().size(), ordinal);
    QVERIFY(!bench.port.isOpen());
}

QTEST_GUILESS_MAIN(TestModbusDownload)
#include "tst_modbusdownload.moc"
