#include "diag/onewireerrorbuffer.h"
#include "onewire/auxmodeword.h"
#include "onewire/romcode.h"
#include "onewire/sensortable.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<SensorGridError>)
Q_DECLARE_METATYPE(AuxMode)
Q_DECLARE_METATYPE(AuxSettings)

namespace {

const QStringList good = {"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"};

QStringList with(int column, const QString &text)
{
    QStringList cells = good;
    cells[column] = text;
    return cells;
}

std::optional<SensorGridError> fault(int row, int code)
{
    return SensorGridError{row, code};
}

} // namespace

// The sensor table's check and records, the auxiliary mode word, ROM codes
// and the 1-wire error bytes.
class TestOneWireCodec : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checksSensorRows_data();
    void checksSensorRows();
    void checkMessages();
    void encodesRecords();
    void encodesModeWords_data();
    void encodesModeWords();
    void decodesModeWords_data();
    void decodesModeWords();
    void proposesRegisters();
    void romCodes();
    void errorBytes_data();
    void errorBytes();
};

void TestOneWireCodec::checksSensorRows_data()
{
    QTest::addColumn<TextTable>("sensors");
    QTest::addColumn<std::optional<SensorGridError>>("expected");
    QTest::newRow("empty table") << TextTable() << std::optional<SensorGridError>();
    QTest::newRow("A5, a5 and 0F") << TextTable{with(1, "A5"), with(2, "a5"), with(8, "0F")}
                                   << std::optional<SensorGridError>();
    QTest::newRow("register 7997")
        << TextTable{with(9, "7997")} << std::optional<SensorGridError>();
    QTest::newRow("negative register")
        << TextTable{with(9, "-5")} << std::optional<SensorGridError>();
    for (const char *bad : {"5", "", "A5X", " 5", "G1"})
        QTest::addRow("byte 0 \"%s\"", bad) << TextTable{good, with(1, bad)} << fault(2, 0);
    QTest::newRow("byte 7 bad, register bad too")
        << TextTable{with(8, "x"), with(9, "abc")} << fault(1, 7);
    QTest::newRow("row 3, byte 2") << TextTable{good, good, with(3, "Z0")} << fault(3, 2);
    QTest::newRow("register 7998") << TextTable{with(9, "7998")} << fault(1, 8);
    QTest::newRow("register abc") << TextTable{good, with(9, "abc")} << fault(2, 8);
    QTest::newRow("register empty") << TextTable{with(9, "")} << fault(1, 8);
    QTest::newRow("register below 16 bits") << TextTable{with(9, "-32769")} << fault(1, 8);
    QTest::newRow("128 sensors") << TextTable(128, good) << std::optional<SensorGridError>();
    QTest::newRow("129 sensors") << TextTable(129, good) << fault(128, 9);
}

void TestOneWireCodec::checksSensorRows()
{
    QFETCH(TextTable, sensors);
    QTEST(Check_grid_1w(sensors), "expected");
}

void TestOneWireCodec::checkMessages()
{
    QCOMPARE(sensorGridErrorMessage({3, 2}),
             u"You configuration has error in the addresing data - row 3\r\nColumn Byte 2"_s);
    QCOMPARE(sensorGridErrorMessage({12, 8}),
             u"You configuration has error in master addresing data Dxxxx. Row is 12"_s);
    QCOMPARE(sensorGridErrorMessage({128, 9}),
             u"You configuration has error - too much sensors. Maximum value is 128"_s);
    QCOMPARE(SensorTable::errorTitle, u"Error in configuration"_s);
    QVERIFY(!Check_hex_pair(u"fA"_s) && Check_hex_pair(u"g0"_s) && Check_hex_pair(u"0"_s));
}

// Lower-case digits travel upper case, as every frame's digits do; a
// negative register travels as 0.
void TestOneWireCodec::encodesRecords()
{
    QCOMPARE(SensorTable::encodeAll(TextTable{good}).toHex().toUpper(),
             QByteArray("FF285D4C00039A00B80B"));
    QCOMPARE(SensorTable::encodeAll(TextTable{with(1, "a5"), with(9, "-2")}).toHex().toUpper(),
             QByteArray("FFA55D4C00039A00B80B"
                        "FF285D4C00039A000000"));
    const QByteArray records = QByteArray::fromHex("FF285D4C00039A00B80B"
                                                   "0F0A000000000000FEFF");
    QCOMPARE(SensorTable::decodeAll(records),
             std::optional(
                 TextTable{good, {"2", "0A", "0F", "00", "00", "00", "00", "00", "00", "-2"}}));
    QCOMPARE(SensorTable::decodeAll(records.left(19)), std::nullopt);
    QCOMPARE(SensorTable::encodeAll(*SensorTable::decodeAll(records.left(10))), records.left(10));
}

void TestOneWireCodec::encodesModeWords_data()
{
    QTest::addColumn<AuxSettings>("settings");
    QTest::addColumn<int>("word");
    AuxSettings oneWire;
    oneWire.mode = AuxMode::OneWireMaster;
    QTest::newRow("1-wire, 0 sensors") << oneWire << 0xC000;
    oneWire.sensors = TextTable(128, good);
    QTest::newRow("1-wire, 128 sensors") << oneWire << 0xC080;
    AuxSettings fieldNet;
    fieldNet.mode = AuxMode::FieldNet;
    QTest::newRow("Field Net at start") << fieldNet << 0xBB80;
    fieldNet.fieldNetSpeed = 1;
    fieldNet.fieldNetParity = 1;
    fieldNet.fieldNetStopBits = 0;
    QTest::newRow("Field Net 19200 Odd 8 1") << fieldNet << 0x9480;
    fieldNet.fieldNetSpeed = -1;
    fieldNet.fieldNetParity = -1;
    fieldNet.fieldNetDataBits = -1;
    QTest::newRow("Field Net, nothing chosen") << fieldNet << 0x8000;
    QTest::newRow("not used") << AuxSettings() << 0;
}

void TestOneWireCodec::encodesModeWords()
{
    QFETCH(AuxSettings, settings);
    QTEST(int(AuxModeWord::encode(settings)), "word");
}

void TestOneWireCodec::decodesModeWords_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<AuxMode>("mode");
    QTest::addColumn<QList<int>>("fields"); // sensors, speed, parity, data bits, stop bits
    QTest::newRow("C003") << 0xC003 << AuxMode::OneWireMaster << QList<int>{3, 0, 0, 0, 0};
    QTest::newRow("C080: 128, not 0")
        << 0xC080 << AuxMode::OneWireMaster << QList<int>{128, 0, 0, 0, 0};
    QTest::newRow("9480") << 0x9480 << AuxMode::FieldNet << QList<int>{0, 1, 1, 1, 0};
    QTest::newRow("BB80") << 0xBB80 << AuxMode::FieldNet << QList<int>{0, 4, 2, 1, 1};
    QTest::newRow("8100: 38400") << 0x8100 << AuxMode::FieldNet << QList<int>{0, 2, 0, 0, 0};
    QTest::newRow("8180: 57600") << 0x8180 << AuxMode::FieldNet << QList<int>{0, 3, 0, 0, 0};
    QTest::newRow("0") << 0 << AuxMode::NotUsed << QList<int>{0, 0, 0, 0, 0};
    QTest::newRow("40FF") << 0x40FF << AuxMode::NotUsed << QList<int>{0, 0, 0, 0, 0};
}

void TestOneWireCodec::decodesModeWords()
{
    QFETCH(int, word);
    const AuxModeWord::Decoded decoded = AuxModeWord::decode(quint16(word));
    QTEST(decoded.mode, "mode");
    QTEST((QList<int>{decoded.sensors, decoded.speed, decoded.parity, decoded.dataBits,
                      decoded.stopBits}),
          "fields");
    QCOMPARE(AuxModeWord::sensorCount(quint16(word)), decoded.sensors);
}

void TestOneWireCodec::proposesRegisters()
{
    using SensorTable::proposedRegister;
    QCOMPARE(proposedRegister({}, {good}), u"3000"_s);
    QCOMPARE(proposedRegister(u"1500"_s, {}), u"3000"_s);
    QCOMPARE(proposedRegister(u"1500"_s, {with(9, "1"), with(9, "3000")}), u"3002"_s);
    QCOMPARE(proposedRegister(u"1500"_s, {with(9, "abc")}), u"3000"_s);
}

// The code of the sensor examples does not carry its CRC (21 would be); the
// code from the devices' own documentation does.
void TestOneWireCodec::romCodes()
{
    QVERIFY(!RomCode::crcMatches(QByteArray::fromHex("28FF4C5D0300009A")));
    QVERIFY(RomCode::crcMatches(QByteArray::fromHex("28FF4C5D03000021")));
    QVERIFY(RomCode::crcMatches(QByteArray::fromHex("021CB801000000A2")));
    QVERIFY(!RomCode::crcMatches(QByteArray::fromHex("021CB801000000")));
    QCOMPARE(RomCode::family(0x28), u"DS18B20 temperature sensor"_s);
    QCOMPARE(RomCode::family(0x3A), u"DS2413 switch"_s);
    QCOMPARE(RomCode::family(0x99), u"unknown family (0x99)"_s);
    QCOMPARE(RomCode::family(0x0A), u"unknown family (0x0A)"_s);
    QCOMPARE(SensorTable::romCode(with(3, "4")), std::nullopt);
    QCOMPARE(SensorTable::romCode(good), std::optional(QByteArray::fromHex("28FF4C5D0300009A")));
}

void TestOneWireCodec::errorBytes_data()
{
    QTest::addColumn<int>("errorByte");
    QTest::addColumn<int>("sensor");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("description");
    QTest::newRow("00") << 0x00 << 1 << "No error"
                        << "";
    QTest::newRow("85") << 0x85 << 1 << "Active error"
                        << "Number of error :5";
    QTest::newRow("25") << 0x25 << 1 << "No error"
                        << "Number of error :5";
    QTest::newRow("A3") << 0xA3 << 1 << "Active error"
                        << "General error number :3";
    QTest::newRow("C5") << 0xC5 << 1 << "Active error"
                        << "Timeout error number :5";
    QTest::newRow("FF, sensor 1") << 0xFF << 1 << "Active error"
                                  << "No device found error :31";
    QTest::newRow("FF, sensor 65") << 0xFF << 65 << "Active error"
                                   << "No any device error :31";
}

void TestOneWireCodec::errorBytes()
{
    QFETCH(int, errorByte);
    QFETCH(int, sensor);
    QTEST(OneWireErrorBuffer::errorType(errorByte), "type");
    QTEST(OneWireErrorBuffer::description(errorByte, sensor), "description");
}

QTEST_GUILESS_MAIN(TestOneWireCodec)
#include "tst_onewirecodec.moc"
