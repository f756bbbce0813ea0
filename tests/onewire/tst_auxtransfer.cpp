#include "diag/onewireerrorbuffer.h"
#include "modbus/modbusfixture.h"
#include "onewire/auxtransfer.h"
#include "onewire/sensortable.h"

#include <QTest>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SimFault)

namespace {

const QByteArray begin = writeFrame(u"3000"_s, u"0FFF"_s);
const QByteArray end = writeFrame(u"3000"_s, u"0000"_s);

TextTable sensors(int count)
{
    TextTable rows;
    for (int i = 1; i <= count; ++i)
        rows.append({QString::number(i), "28", "ff", "4C", "5D", "03", "00",
                     QString::number(i / 256, 16).rightJustified(2, u'0').toUpper(),
                     QString::number(i % 256, 16).rightJustified(2, u'0').toUpper(),
                     QString::number(1500 + 2 * i)});
    return rows;
}

AuxSettings oneWire(int count)
{
    AuxSettings settings;
    settings.mode = AuxMode::OneWireMaster;
    settings.sensors = sensors(count);
    return settings;
}

// The digits of the records, upper case as every frame carries them.
QString recordText(const TextTable &rows)
{
    return QString::fromLatin1(SensorTable::encodeAll(rows).toHex().toUpper());
}

} // namespace

// "Write to PLC" and "Upload from PLC" of the auxiliary port, and the 1-wire
// error buffer, against the simulated PLC.
Q_DECLARE_METATYPE(AuxMode)

class TestAuxTransfer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesSensorTables_data();
    void writesSensorTables();
    void writesOtherModes();
    void refusesBadTableInEveryMode();
    void failedWriteStopsAtOnce_data();
    void failedWriteStopsAtOnce();
    void uploadsEachMode_data();
    void uploadsEachMode();
    void failedUploadGivesNothing_data();
    void failedUploadGivesNothing();
    void readsErrorBuffer_data();
    void readsErrorBuffer();
};

void TestAuxTransfer::writesSensorTables_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("blocks"); // address and count of each table write
    QTest::addColumn<QString>("word");       // the mode word as it travels, low byte first
    QTest::newRow("no sensors") << 0 << QStringList{} << "00C0";
    QTest::newRow("5 sensors: C005") << 5 << QStringList{"200C 32"} << "05C0";
    QTest::newRow("6 sensors, one frame") << 6 << QStringList{"200C 3C"} << "06C0";
    QTest::newRow("7 sensors") << 7 << QStringList{"200C 40", "204C 06"} << "07C0";
    QStringList full;
    for (int k = 0; k < 20; ++k)
        full << QString::number(0x200C + 64 * k, 16).toUpper() + u" 40"_s;
    QCOMPARE(full.last(), u"24CC 40"_s);
    QTest::newRow("128 sensors") << 128 << full << "80C0";
}

void TestAuxTransfer::writesSensorTables()
{
    QFETCH(int, count);
    QFETCH(QStringList, blocks);
    QFETCH(QString, word);
    ModbusBench bench;
    const AuxSettings settings = oneWire(count);
    const TransferResult result = downloadAux(bench.port, bench.ini, settings, bench.recorder());
    QVERIFY(result.ok);
    const QString text = recordText(settings.sensors);
    QList<QByteArray> expected{begin, writeFrame(u"200A"_s, word)};
    for (int k = 0; k < blocks.size(); ++k) {
        const int bytes = blocks.at(k).mid(5).toInt(nullptr, 16);
        expected << writeFrame(blocks.at(k).left(4), text.mid(128 * k, 2 * bytes));
    }
    expected << end;
    QCOMPARE(bench.sim.requests(), expected);
    QCOMPARE(bench.sim.memory(0x200C, 10 * count), SensorTable::encodeAll(settings.sensors));
    // A pause of 100 ms after each block of 64 bytes.
    QVERIFY(bench.port.now() >= SimTime(100ms) * (count >= 7 ? blocks.size() : 0));
    // One write (up to 6 sensors) does not move the bar; blocks do.
    QCOMPARE(bench.progress.isEmpty(), count < 7);
    QVERIFY(!bench.port.isOpen());
}

void TestAuxTransfer::writesOtherModes()
{
    ModbusBench bench;
    AuxSettings fieldNet = oneWire(3);
    fieldNet.mode = AuxMode::FieldNet;
    fieldNet.fieldNetSpeed = 1;
    fieldNet.fieldNetParity = 1;
    fieldNet.fieldNetStopBits = 0;
    QVERIFY(downloadAux(bench.port, bench.ini, fieldNet, {}).ok);
    QCOMPARE(bench.sim.requests(), QList<QByteArray>{writeFrame(u"200A"_s, u"8094"_s)});

    AuxSettings unused = fieldNet;
    unused.mode = AuxMode::NotUsed;
    QVERIFY(downloadAux(bench.port, bench.ini, unused, {}).ok);
    QCOMPARE(bench.sim.requests().mid(1),
             (QList<QByteArray>{begin, writeFrame(u"200A"_s, u"0000"_s), end}));

    // The start's settings: 115200, Even, 8 bits, 2 stop bits, the word BB80.
    AuxSettings start;
    start.mode = AuxMode::FieldNet;
    QVERIFY(downloadAux(bench.port, bench.ini, start, {}).ok);
    QCOMPARE(bench.sim.requests().last(), writeFrame(u"200A"_s, u"80BB"_s));
}

void TestAuxTransfer::refusesBadTableInEveryMode()
{
    for (AuxMode mode : {AuxMode::OneWireMaster, AuxMode::FieldNet, AuxMode::NotUsed}) {
        ModbusBench bench;
        AuxSettings settings = oneWire(4);
        settings.mode = mode;
        settings.sensors[2][3] = u"4"_s;
        const TransferResult result = downloadAux(bench.port, bench.ini, settings, {});
        QVERIFY(!result.ok);
        QCOMPARE(result.message,
                 u"You configuration has error in the addresing data - row 3\r\nColumn Byte 2"_s);
        QCOMPARE(result.title, u"Error in configuration"_s);
        QVERIFY(bench.sim.requests().isEmpty());
    }
}

void TestAuxTransfer::failedWriteStopsAtOnce_data()
{
    QTest::addColumn<AuxMode>("mode");
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("waited"); // ms until the failure: pauses and the timeout waited out
    const QString silent = u"Answer timeout from PLC"_s;
    const AuxMode oneWire = AuxMode::OneWireMaster;
    QTest::newRow("NAK to the first write")
        << oneWire << SimFault::Refuse << 1 << "Wrong answer from PLC" << 0;
    QTest::newRow("NAK to the second block")
        << oneWire << SimFault::Refuse << 4 << "Wrong answer from PLC" << 100;
    // Each frame waits its own time for an answer.
    QTest::newRow("silence at 0FFF") << oneWire << SimFault::Silent << 1 << silent << 1000;
    QTest::newRow("silence at the mode word") << oneWire << SimFault::Silent << 2 << silent << 450;
    QTest::newRow("silence at a block") << oneWire << SimFault::Silent << 3 << silent << 650;
    QTest::newRow("silence at 0000") << oneWire << SimFault::Silent << 5 << silent << 1200;
    QTest::newRow("Field Net mode word")
        << AuxMode::FieldNet << SimFault::Silent << 1 << silent << 350;
    QTest::newRow("unused: 0FFF") << AuxMode::NotUsed << SimFault::Silent << 1 << silent << 1000;
    QTest::newRow("unused: mode word")
        << AuxMode::NotUsed << SimFault::Silent << 2 << silent << 350;
    QTest::newRow("unused: 0000") << AuxMode::NotUsed << SimFault::Silent << 3 << silent << 1000;
}

// 3000 is left as the failure found it: nothing after the failed write.
void TestAuxTransfer::failedWriteStopsAtOnce()
{
    QFETCH(AuxMode, mode);
    QFETCH(SimFault, fault);
    QFETCH(int, ordinal);
    QFETCH(int, waited);
    ModbusBench bench;
    bench.fault(fault, ordinal);
    AuxSettings settings = oneWire(7);
    settings.mode = mode;
    const TransferResult result = downloadAux(bench.port, bench.ini, settings, {});
    QVERIFY(!result.ok);
    QFETCH(QString, message);
    QCOMPARE(result.message, failedWriteMessage(message, bench.sim.requests(), ordinal, fault != SimFault::Refuse));
    QCOMPARE(bench.sim.requests().size(), ordinal);
    QCOMPARE(bench.port.now(), SimTime(std::chrono::milliseconds(waited)));
    QVERIFY(!bench.port.isOpen());
}

void TestAuxTransfer::uploadsEachMode_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<QStringList>("reads"); // after the mode word
    QTest::addColumn<AuxSettings>("expected");
    AuxSettings before;
    before.sensors = sensors(2);
    AuxSettings master = before;
    master.mode = AuxMode::OneWireMaster;
    master.sensors = *SensorTable::decodeAll(SensorTable::encodeAll(sensors(3)));
    QTest::newRow("C003: one read of 1E") << 0xC003 << QStringList{"200C 1E"} << master;
    master.sensors = *SensorTable::decodeAll(SensorTable::encodeAll(sensors(128)));
    QStringList blocks;
    for (int k = 0; k < 20; ++k)
        blocks << QString::number(0x200C + 64 * k, 16).toUpper() + u" 40"_s;
    QTest::newRow("C080: 128 sensors") << 0xC080 << blocks << master;
    AuxSettings fieldNet = before;
    fieldNet.mode = AuxMode::FieldNet;
    fieldNet.sensors.clear();
    fieldNet.fieldNetSpeed = 1;
    fieldNet.fieldNetParity = 1;
    fieldNet.fieldNetDataBits = 1;
    fieldNet.fieldNetStopBits = 0;
    QTest::newRow("9480: Field Net") << 0x9480 << QStringList{} << fieldNet;
    AuxSettings unused = before;
    unused.sensors.clear();
    QTest::newRow("0: not used, table emptied") << 0 << QStringList{} << unused;
}

void TestAuxTransfer::uploadsEachMode()
{
    QFETCH(int, word);
    QFETCH(QStringList, reads);
    ModbusBench bench;
    bench.sim.setWord(0x200A, quint16(word));
    bench.sim.setMemory(0x200C, SensorTable::encodeAll(sensors(128)));
    AuxSettings before;
    before.sensors = sensors(2);
    const AuxUpload upload = uploadAux(bench.port, bench.ini, before, bench.recorder());
    QVERIFY(upload.result.ok);
    QList<QByteArray> expected{readFrame(u"200A"_s, u"02"_s)};
    for (const QString &read : reads)
        expected << readFrame(read.left(4), read.mid(5));
    QCOMPARE(bench.sim.requests(), expected);
    QTEST(*upload.settings, "expected");
    QCOMPARE(bench.progress.size(), reads.size());
    QVERIFY(!bench.port.isOpen());
}

void TestAuxTransfer::failedUploadGivesNothing_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("requests");
    // ms: every read waits 350 ms at most; one met by silence is sent once
    // more once the line has been quiet for 2000 ms.
    QTest::addColumn<int>("waited");
    QTest::newRow("no answer") << 0xC003 << SimFault::Silent << 1 << "Answer timeout from PLC" << 2
                               << 2350;
    QTest::newRow("table refused")
        << 0xC003 << SimFault::Refuse << 2 << "Wrong answer from PLC" << 2 << 0;
    QTest::newRow("table unanswered")
        << 0xC003 << SimFault::Silent << 2 << "Answer timeout from PLC" << 3 << 2350;
    QTest::newRow("129 sensors") << 0xC081 << SimFault::Silent << 9 << "Wrong answer from PLC" << 1
                                 << 0;
}

void TestAuxTransfer::failedUploadGivesNothing()
{
    QFETCH(int, word);
    QFETCH(SimFault, fault);
    QFETCH(int, ordinal);
    ModbusBench bench;
    bench.sim.setWord(0x200A, quint16(word));
    bench.faultEveryTry(fault, ordinal);
    const AuxUpload upload = uploadAux(bench.port, bench.ini, oneWire(2), {});
    QVERIFY(!upload.result.ok);
    QTEST(upload.result.message, "message");
    QCOMPARE(upload.settings, std::nullopt);
    QTEST(int(bench.sim.requests().size()), "requests");
    QFETCH(int, waited);
    QCOMPARE(bench.port.now(), SimTime(std::chrono::milliseconds(waited)));
}

void TestAuxTransfer::readsErrorBuffer_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<QStringList>("reads"); // after the mode word
    QTest::addColumn<int>("rows");
    QTest::newRow("3 sensors") << 0xC003 << QStringList{"3700 40"} << 3;
    QTest::newRow("no sensors, no block") << 0xC000 << QStringList{} << 0;
    QTest::newRow("Field Net counts none") << 0xBB80 << QStringList{} << 0;
    QTest::newRow("65 sensors") << 0xC041 << QStringList{"3700 40", "3740 40"} << 65;
}

void TestAuxTransfer::readsErrorBuffer()
{
    QFETCH(int, word);
    QFETCH(QStringList, reads);
    QFETCH(int, rows);
    ModbusBench bench;
    bench.sim.setWord(0x200A, quint16(word));
    QByteArray errors(128, '\0');
    errors[0] = char(0x85);
    errors[2] = char(0xFF);
    errors[64] = char(0xFF);
    bench.sim.setMemory(0x3700, errors);
    const ErrorBufferRead read = readOneWireErrorBuffer(bench.port, bench.ini);
    QVERIFY(read.result.ok && read.table);
    QList<QByteArray> expected{readFrame(u"200A"_s, u"02"_s)};
    for (const QString &block : reads)
        expected << readFrame(block.left(4), block.mid(5));
    QCOMPARE(bench.sim.requests(), expected);
    QCOMPARE(read.table->size(), rows);
    if (rows >= 3) {
        QCOMPARE(read.table->at(0), (QStringList{"1", "Active error", "Number of error :5"}));
        QCOMPARE(read.table->at(1), (QStringList{"2", "No error", ""}));
        QCOMPARE(read.table->at(2).at(2), u"No device found error :31"_s);
    }
    if (rows == 65)
        QCOMPARE(read.table->last().at(2), u"No any device error :31"_s);

    // A failed read, or a count above 128, gives no table.
    bench.faultEveryTry(SimFault::Silent, bench.sim.requestCount() + 1);
    QCOMPARE(readOneWireErrorBuffer(bench.port, bench.ini).table, std::nullopt);
    bench.sim.setFaults({});
    bench.sim.setWord(0x200A, 0xC0FF);
    const ErrorBufferRead tooMany = readOneWireErrorBuffer(bench.port, bench.ini);
    QCOMPARE(tooMany.result.message, u"Wrong answer from PLC"_s);
    QCOMPARE(tooMany.table, std::nullopt);
}

QTEST_GUILESS_MAIN(TestAuxTransfer)
#include "tst_auxtransfer.moc"
