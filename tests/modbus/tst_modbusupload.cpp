#include "config/configurationupload.h"
#include "modbus/modbusdownload.h"
#include "modbus/modbusupload.h"
#include "modbus/slavesettingstransfer.h"
#include "modbusfixture.h"

#include <QTest>

Q_DECLARE_METATYPE(SimFault)

namespace {

const QString wrongAnswer = QStringLiteral("Wrong answer from PLC");
const QString answerTimeout = QStringLiteral("Answer timeout from PLC");

const UartDescription &uart(int number)
{
    return number == 1 ? UartDescription::uart1() : UartDescription::uart2();
}

// What the tab shows before an upload: a slave with a table of its own.
UartSettings shownBefore()
{
    UartSettings settings = masterSettings(sampleRows(2));
    settings.role = ModbusRole::Slave;
    settings.speed = 1;
    settings.parity = 0;
    settings.slaveAddress = QStringLiteral("9");
    settings.slaveTimeout = QStringLiteral("30");
    return settings;
}

Configuration before()
{
    return {shownBefore(), shownBefore(), {}, {}};
}

// A PLC holding a master configuration of `rows` rows for the UART.
void storeMaster(PlcSimulator &sim, const UartDescription &uart, const QList<RequestRow> &rows)
{
    sim.setWord(uart.modeWordAddress, quint16(0xD400 + rows.size()));
    sim.setMemory(uart.tableStart, recordBytes(rows));
}

} // namespace

class TestModbusUpload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsMasterTables_data();
    void readsMasterTables();
    void decodesModeWords_data();
    void decodesModeWords();
    void fillsRowFromRecord();
    void writesBackWhatItRead();
    void changesNothingOnFailure_data();
    void changesNothingOnFailure();
    void uploadsBothUarts();
    void stopsBothAtFirstFailure();
    void readsSlaveSettings();
    void slaveSettingsChangeNothingOnFailure_data();
    void slaveSettingsChangeNothingOnFailure();
};

void TestModbusUpload::readsMasterTables_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("blocks");
    QTest::newRow("empty") << 1 << 0 << QStringList{};
    QTest::newRow("3 rows") << 1 << 3 << QStringList{"2502 18"};
    QTest::newRow("8 rows") << 1 << 8 << QStringList{"2502 40"};
    QTest::newRow("9 rows") << 1 << 9 << QStringList{"2502 40", "2542 08"};
    QTest::newRow("UART2 9 rows") << 2 << 9 << QStringList{"2902 40", "2942 08"};
    QStringList full;
    for (int k = 0; k < 16; ++k)
        full.append(QStringLiteral("%1 40").arg(0x2902 + 64 * k, 4, 16).toUpper());
    QCOMPARE(full.last(), QStringLiteral("2CC2 40"));
    QTest::newRow("UART2 128 rows") << 2 << 128 << full;
}

void TestModbusUpload::readsMasterTables()
{
    QFETCH(int, number);
    QFETCH(int, rows);
    QFETCH(QStringList, blocks);
    ModbusBench bench;
    const QList<RequestRow> table = sampleRows(rows);
    storeMaster(bench.sim, uart(number), table);
    const UartSettings before = shownBefore();
    const UartUpload upload =
        uploadUart(bench.port, bench.ini, uart(number), before, bench.recorder());
    QVERIFY(upload.result.ok);
    QVERIFY(upload.settings);

    QList<QByteArray> expected{readFrame(uart(number).modeWordAddress, "02")};
    for (const QString &block : blocks)
        expected.append(readFrame(block.left(4), block.mid(5)));
    QCOMPARE(bench.sim.requests(), expected);
    QCOMPARE(upload.settings->role, ModbusRole::Master);
    QCOMPARE(upload.settings->speed, 4);
    QCOMPARE(upload.settings->parity, 2);
    QCOMPARE(upload.settings->table, RequestTable::fromRows(table));
    QCOMPARE(upload.settings->table.size(), rows);
    QCOMPARE(upload.settings->slaveAddress, before.slaveAddress);
    QCOMPARE(upload.settings->slaveTimeout, before.slaveTimeout);
    QCOMPARE(bench.progress.size(), blocks.size());
    if (!blocks.isEmpty())
        QCOMPARE(bench.progress.last(), 100);
    QVERIFY(!bench.port.isOpen());
}

void TestModbusUpload::decodesModeWords_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<bool>("changes");
    QTest::addColumn<int>("role");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("parity");
    QTest::addColumn<QString>("address");
    QTest::newRow("slave 540C") << 0x540C << true << 1 << 4 << 2 << "12";
    QTest::newRow("slave 4F05") << 0x4F05 << true << 1 << 7 << 1 << "5";
    QTest::newRow("not used keeps line settings") << 0 << true << 2 << 1 << 0 << "9";
    QTest::newRow("2000 changes nothing") << 0x2000 << false << 0 << 0 << 0 << "";
    QTest::newRow("8003 changes nothing") << 0x8003 << false << 0 << 0 << 0 << "";
}

void TestModbusUpload::decodesModeWords()
{
    QFETCH(int, word);
    QFETCH(bool, changes);
    QFETCH(int, role);
    QFETCH(int, speed);
    QFETCH(int, parity);
    QFETCH(QString, address);
    ModbusBench bench;
    bench.sim.setWord(0x2008, quint16(word));
    UartSettings before = shownBefore();
    before.role = ModbusRole::Master;
    const UartUpload upload =
        uploadUart(bench.port, bench.ini, UartDescription::uart1(), before, {});
    QVERIFY(upload.result.ok);
    QCOMPARE(upload.result.message, QString());
    QCOMPARE(bench.sim.requests(), QList<QByteArray>{readFrame("2008", "02")});
    QCOMPARE(upload.settings.has_value(), changes);
    if (!changes)
        return;
    QCOMPARE(int(upload.settings->role), role);
    QCOMPARE(upload.settings->speed, speed);
    QCOMPARE(upload.settings->parity, parity);
    QCOMPARE(upload.settings->slaveAddress, address);
    QCOMPARE(upload.settings->table, before.table);
}

void TestModbusUpload::fillsRowFromRecord()
{
    ModbusBench bench;
    bench.sim.setWord(0x2008, 0xC001);
    bench.sim.setMemory(0x2502, QByteArray::fromHex("010A00006400E813"));
    const UartUpload upload =
        uploadUart(bench.port, bench.ini, UartDescription::uart1(), UartSettings(), {});
    QVERIFY(upload.settings);
    QCOMPARE(upload.settings->table,
             TextTable({QStringList{"1", "1", "10", "0", "100", "1", "1000"}}));
}

void TestModbusUpload::writesBackWhatItRead()
{
    for (int rows : {3, 9, 128}) {
        ModbusBench source;
        storeMaster(source.sim, UartDescription::uart2(), sampleRows(rows));
        const UartUpload upload =
            uploadUart(source.port, source.ini, UartDescription::uart2(), UartSettings(), {});
        QVERIFY(upload.settings);

        ModbusBench target;
        QVERIFY(
            downloadUart(target.port, target.ini, UartDescription::uart2(), *upload.settings, {})
                .ok);
        QCOMPARE(target.sim.word(0x2006), source.sim.word(0x2006));
        QCOMPARE(target.sim.memory(0x2902, 1024), source.sim.memory(0x2902, 1024));
    }
}

void TestModbusUpload::changesNothingOnFailure_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("requests");
    const int master = 0xD409;
    QTest::newRow("mode word silent") << master << SimFault::Silent << 1 << answerTimeout << 1;
    QTest::newRow("mode word refused") << master << SimFault::Refuse << 1 << wrongAnswer << 1;
    QTest::newRow("mode word garbled") << master << SimFault::Garbage << 1 << wrongAnswer << 1;
    QTest::newRow("mode word ETX early") << master << SimFault::EarlyEtx << 1 << wrongAnswer << 1;
    QTest::newRow("block 1 silent") << master << SimFault::Silent << 2 << answerTimeout << 2;
    QTest::newRow("block 2 refused") << master << SimFault::Refuse << 3 << wrongAnswer << 3;
    QTest::newRow("block 2 ETX early") << master << SimFault::EarlyEtx << 3 << wrongAnswer << 3;
    QTest::newRow("block 2 late") << master << SimFault::Late << 3 << answerTimeout << 3;
    QTest::newRow("129 rows") << 0xD481 << SimFault::Silent << 99 << wrongAnswer << 1;
    QTest::newRow("master parity 3") << 0xDC03 << SimFault::Silent << 99 << wrongAnswer << 1;
    QTest::newRow("slave parity 3") << 0x5805 << SimFault::Silent << 99 << wrongAnswer << 1;
}

void TestModbusUpload::changesNothingOnFailure()
{
    QFETCH(int, word);
    QFETCH(SimFault, fault);
    QFETCH(int, ordinal);
    QFETCH(QString, message);
    QFETCH(int, requests);
    ModbusBench bench;
    storeMaster(bench.sim, UartDescription::uart1(), sampleRows(9));
    bench.sim.setWord(0x2008, quint16(word));
    bench.faultEveryTry(fault, ordinal);
    const UartUpload upload =
        uploadUart(bench.port, bench.ini, UartDescription::uart1(), shownBefore(), {});
    QVERIFY(!upload.result.ok);
    QCOMPARE(upload.result.message.section(u'\n', 0, 0), message);
    QCOMPARE(upload.settings, std::nullopt);
    // A read whose answer is wrong or missing is sent again before it fails.
    QCOMPARE(bench.sim.requests().size(),
             ordinal == 99 ? requests : requests + ModbusBench::triesOf(fault) - 1);
    QVERIFY(!bench.port.isOpen());

    ModbusBench closed;
    closed.port.setOpenError(QStringLiteral("busy"));
    const UartUpload refused =
        uploadUart(closed.port, closed.ini, UartDescription::uart1(), shownBefore(), {});
    QCOMPARE(refused.result.message, QStringLiteral("COM1: busy"));
    QCOMPARE(refused.settings, std::nullopt);
}

void TestModbusUpload::uploadsBothUarts()
{
    ModbusBench bench;
    storeMaster(bench.sim, UartDescription::uart1(), sampleRows(9));
    bench.sim.setWord(0x2006, 0x4F05);
    const ConfigurationUpload both =
        uploadConfiguration(bench.port, bench.ini, before(), bench.recorder());
    QVERIFY(both.result.ok);
    QCOMPARE(bench.sim.requests(),
             (QList<QByteArray>{readFrame("2008", "02"), readFrame("2502", "40"),
                                readFrame("2542", "08"), readFrame("2006", "02"),
                                readFrame("200A", "02")}));
    QVERIFY(both.uart1 && both.uart2 && both.aux);
    QCOMPARE(both.uart1->table, RequestTable::fromRows(sampleRows(9)));
    QCOMPARE(both.uart2->slaveAddress, QStringLiteral("5"));
    QCOMPARE(both.aux->mode, AuxMode::NotUsed);
    QCOMPARE(bench.progress, (QList<int>{29, 33}));
}

void TestModbusUpload::stopsBothAtFirstFailure()
{
    ModbusBench first;
    first.fault(SimFault::Refuse, 1);
    ConfigurationUpload both = uploadConfiguration(first.port, first.ini, before(), {});
    QCOMPARE(both.result.message, wrongAnswer);
    QCOMPARE(first.sim.requests().size(), 1);
    QVERIFY(!both.uart1 && !both.uart2 && !both.aux);

    ModbusBench second;
    second.sim.setWord(0x2008, 0x540C);
    second.faultEveryTry(SimFault::Silent, 2);
    both = uploadConfiguration(second.port, second.ini, before(), {});
    QVERIFY(!both.result.ok);
    QCOMPARE(both.result.message, answerTimeout);
    QVERIFY(both.uart1 && !both.uart2 && !both.aux);
    QCOMPARE(both.uart1->slaveAddress, QStringLiteral("12"));
    QVERIFY(!second.port.isOpen());
}

void TestModbusUpload::readsSlaveSettings()
{
    ModbusBench bench;
    bench.sim.setWord(0x2006, 0x4F05);
    bench.sim.setWord(0x2004, 2000);
    UartSettings before = shownBefore();
    before.role = ModbusRole::NotUsed;
    UartUpload upload = uploadSlaveSettings(bench.port, bench.ini, before);
    QVERIFY(upload.result.ok);
    QCOMPARE(bench.sim.requests(),
             (QList<QByteArray>{readFrame("2006", "02"), readFrame("2004", "02")}));
    QVERIFY(upload.settings);
    QCOMPARE(upload.settings->role, ModbusRole::NotUsed);
    QCOMPARE(upload.settings->speed, 7);
    QCOMPARE(upload.settings->parity, 1);
    QCOMPARE(upload.settings->slaveAddress, QStringLiteral("5"));
    QCOMPARE(upload.settings->slaveTimeout, QStringLiteral("2000"));
    QCOMPARE(upload.settings->table, before.table);

    // A timeout above 32767 reads back as it was written.
    bench.sim.setWord(0x2004, 40000);
    upload = uploadSlaveSettings(bench.port, bench.ini, before);
    QCOMPARE(upload.settings->slaveTimeout, QStringLiteral("40000"));
    QVERIFY(downloadSlaveSettings(bench.port, *upload.settings).ok);
    QCOMPARE(bench.sim.word(0x2004), quint16(40000));
}

void TestModbusUpload::slaveSettingsChangeNothingOnFailure_data()
{
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("requests");
    QTest::newRow("mode word silent") << SimFault::Silent << 1 << answerTimeout << 2;
    QTest::newRow("timeout refused") << SimFault::Refuse << 2 << wrongAnswer << 2;
    QTest::newRow("timeout garbled") << SimFault::EarlyEtx << 2 << wrongAnswer << 2;
}

void TestModbusUpload::slaveSettingsChangeNothingOnFailure()
{
    QFETCH(SimFault, fault);
    QFETCH(int, ordinal);
    QFETCH(QString, message);
    QFETCH(int, requests);
    ModbusBench bench;
    bench.sim.setWord(0x2006, 0x4F05);
    bench.faultEveryTry(fault, ordinal);
    const UartUpload upload = uploadSlaveSettings(bench.port, bench.ini, shownBefore());
    QVERIFY(!upload.result.ok);
    QCOMPARE(upload.result.message.section(u'\n', 0, 0), message);
    QCOMPARE(upload.settings, std::nullopt);
    QVERIFY(bench.sim.requests().size() <= requests + ModbusBench::triesOf(fault) - 1);
    QVERIFY(!bench.port.isOpen());

    ModbusBench parity;
    parity.sim.setWord(0x2006, 0x5805);
    QCOMPARE(uploadSlaveSettings(parity.port, parity.ini, shownBefore()).result.message,
             wrongAnswer);
}

QTEST_GUILESS_MAIN(TestModbusUpload)
#include "tst_modbusupload.moc"
