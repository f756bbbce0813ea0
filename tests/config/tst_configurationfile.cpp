#include "config/configurationfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Configuration)

namespace {

// Offsets of the record, written out here as the layout gives them.
constexpr int section = 3754;
constexpr int sensors = 1161;
constexpr int settings = 3741;

void put8(QByteArray &record, int at, int value)
{
    record[at] = char(value);
}

void put16(QByteArray &record, int at, qint16 value)
{
    qToLittleEndian(value, record.data() + at);
}

void putFloat(QByteArray &record, int at, float value)
{
    qToLittleEndian(value, record.data() + at);
}

QStringList request(int slot, const QStringList &cells)
{
    return QStringList{QString::number(slot)} + cells;
}

// A configuration with every field the file holds set to something other
// than its default, and the record that holds it, built by hand.
Configuration everyField()
{
    Configuration c;
    c.uart1.role = ModbusRole::Master;
    c.uart1.speed = 7;
    c.uart1.parity = 1;
    c.uart1.dataBits = 2;
    c.uart1.stopBits = 1;
    c.uart1.slaveAddress = u"201"_s;
    c.uart1.slaveTimeout = u"-5"_s;
    c.uart1.table = {request(1, {"1", "2", "-300", "32767", "3", "4095"}),
                     request(2, {"255", "125", "0", "-32768", "0", "1"})};
    c.uart2.role = ModbusRole::Slave;
    c.uart2.speed = 3;
    c.uart2.parity = 0;
    c.uart2.slaveAddress = u"17"_s;
    c.uart2.slaveTimeout = u"2000"_s;
    c.aux.mode = AuxMode::FieldNet;
    c.aux.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"},
                     {"2", "00", "01", "02", "03", "04", "05", "06", "07", "-1"}};
    return c;
}

QByteArray everyFieldRecord()
{
    QByteArray r(15046, '\0');
    const std::array<std::array<int, 9>, 2> requests = {
        {{1, 3, 2, 0xD4, 0xFE, 0xFF, 0x7F, 0xFF, 0x0F}, {255, 0, 125, 0, 0, 0, 0x80, 1, 0}}};
    for (int k = 0; k < 2; ++k)
        for (int b = 0; b < 9; ++b)
            put8(r, 9 * k + b, requests[k][b]);
    for (const auto &[at, value] : std::initializer_list<std::pair<int, int>>{{settings + 0, 2},
                                                                              {settings + 3, 201},
                                                                              {settings + 4, 0},
                                                                              {settings + 5, 7},
                                                                              {settings + 6, 1},
                                                                              {settings + 7, 2},
                                                                              {settings + 8, 1}})
        put8(r, at, value);
    putFloat(r, settings + 9, -5.0f);
    for (const auto &[at, value] :
         std::initializer_list<std::pair<int, int>>{{section + settings + 3, 17},
                                                    {section + settings + 4, 1},
                                                    {section + settings + 5, 3}})
        put8(r, at, value);
    putFloat(r, section + settings + 9, 2000.0f);
    const QByteArray codes = QByteArray::fromHex("28FF4C5D0300009A0001020304050607");
    for (int k = 0; k < 2; ++k) {
        const int entry = 2 * section + sensors + 11 * k;
        r.replace(entry + 1, 8, codes.mid(8 * k, 8));
        put16(r, entry + 9, qint16(k == 0 ? 3000 : -1));
    }
    put8(r, 2 * section + settings + 1, 2);
    put8(r, 2 * section + settings + 4, 1);
    return r;
}

} // namespace

// The configuration file's record, both ways, and its refusals.
class TestConfigurationFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneRequestExample();
    void everyFieldBothWays();
    void tablesAndTexts();
    void saveRefusals_data();
    void saveRefusals();
    void loadRefusals_data();
    void loadRefusals();
    void savesWholeOrNothing();
};

void TestConfigurationFile::oneRequestExample()
{
    Configuration c;
    c.uart1.table = {request(1, {"1", "2", "0", "100", "3", "500"})};
    const ConfigurationFile::Encoded encoded = ConfigurationFile::encode(c);
    QCOMPARE(encoded.error, QString());
    QCOMPARE(encoded.record.size(), 15046);
    QCOMPARE(encoded.record.first(9).toHex(' '), QByteArray("01 03 02 00 00 64 00 f4 01"));
    QCOMPARE(int(encoded.record.at(3741)), 1);
}

void TestConfigurationFile::everyFieldBothWays()
{
    const Configuration c = everyField();
    QCOMPARE(ConfigurationFile::encode(c).record, everyFieldRecord());
    const ConfigurationFile::Decoded decoded =
        ConfigurationFile::decode(everyFieldRecord(), Configuration());
    QCOMPARE(decoded.error, QString());
    Configuration expected = c;
    expected.uart2.dataBits = expected.uart2.stopBits = -1; // not in the file: kept
    QCOMPARE(*decoded.configuration, expected);
}

// Empty tables, 130 rows saving 128, hex bytes in either case, numbers
// coming back as plain decimal text, and what the file does not hold kept.
void TestConfigurationFile::tablesAndTexts()
{
    Configuration c;
    QCOMPARE(ConfigurationFile::decode(ConfigurationFile::encode(c).record, c).configuration, c);

    // A table longer than the file holds is refused, never cut short.
    for (int i = 1; i <= 129; ++i)
        c.uart2.table << request(i, {"1", "2", "3", "4", "1", QString::number(i)});
    QCOMPARE(ConfigurationFile::encode(c).error,
             u"The UART 2 request table has 129 rows; a configuration file holds at most 128"_s);
    c.uart2.table.removeLast();
    Configuration sensors;
    sensors.aux.sensors = TextTable(129, {"1", "28", "00", "00", "00", "00", "00", "00", "00", "1"});
    QCOMPARE(ConfigurationFile::encode(sensors).error,
             u"The 1-wire sensor table has 129 rows; a configuration file holds at most 128"_s);
    c.uart1.slaveTimeout = u"0100"_s;
    c.aux.sensors = {{"1", "a5", "7", "", "0f", "00", "00", "00", "00", "+12"}};
    const QByteArray record = ConfigurationFile::encode(c).record;
    QCOMPARE(int(quint8(record.at(3754 + 3741))), 128);
    QCOMPARE(int(quint8(record.at(2 * 3754 + 1161 + 1))), 165);

    Configuration current;
    current.uart2.dataBits = 1;
    current.uart2.stopBits = 2;
    current.aux.fieldNetSpeed = 0;
    current.io.points[3] = {1, u"Input -X"_s, u"X0"_s};
    const Configuration loaded = *ConfigurationFile::decode(record, current).configuration;
    QCOMPARE(loaded.uart2.table, c.uart2.table);
    QCOMPARE(loaded.uart1.slaveTimeout, u"100"_s);
    QCOMPARE(loaded.aux.sensors,
             TextTable({{"1", "A5", "07", "00", "0F", "00", "00", "00", "00", "12"}}));
    QCOMPARE(loaded.uart2.dataBits + loaded.uart2.stopBits, 3);
    QCOMPARE(loaded.aux.fieldNetSpeed, 0);
    QCOMPARE(loaded.io, current.io);

    // A short file reads as padded with zeros; bytes beyond the record are not read.
    const Configuration zeros =
        *ConfigurationFile::decode(QByteArray(10, '\0'), current).configuration;
    QCOMPARE(zeros.uart1.role, ModbusRole::Master);
    QVERIFY(zeros.uart1.table.isEmpty());
    QCOMPARE(ConfigurationFile::decode(QByteArray(record + QByteArray(100, '\xFF')), current)
                 .configuration,
             loaded);
}

void TestConfigurationFile::saveRefusals_data()
{
    QTest::addColumn<Configuration>("configuration");
    QTest::addColumn<QString>("error");
    Configuration c;
    c.uart1.table = {request(1, {"1", "2", "0", "100", "3", "500"}),
                     request(2, {"1", "2", "0", "100", "3", "500"}),
                     request(3, {"1", "2", "0", "100", "300", "500"})};
    QTest::newRow("8-bit overflow")
        << c << "UART 1 row 3, column Function: 300 does not fit 0 to 255";
    c.uart1.table[2][5] = u"3"_s;
    c.uart1.table[1][3] = u"40000"_s;
    QTest::newRow("16-bit overflow")
        << c << "UART 1 row 2, column Address slave: 40000 overflows a 16-bit number";
    c.uart1.table[1][3] = u""_s;
    QTest::newRow("empty cell") << c << "UART 1 row 2, column Address slave: \"\" is not a number";
    Configuration address;
    address.uart2.slaveAddress = u"256"_s;
    QTest::newRow("slave address") << address << "UART 2 slave address: 256 does not fit 0 to 255";
    Configuration timeout;
    timeout.uart1.slaveTimeout = u"2.5"_s;
    QTest::newRow("slave timeout") << timeout << "UART 1 slave timeout: \"2.5\" is not a number";
    Configuration sensor;
    sensor.aux.sensors = {{"1", "28", "G1", "", "", "", "", "", "", "1"}};
    QTest::newRow("sensor byte") << sensor
                                 << "1-wire row 1, column Byte 1: \"G1\" is not a hex number";
    sensor.aux.sensors[0][2] = u"1FF"_s;
    QTest::newRow("sensor byte too large")
        << sensor << "1-wire row 1, column Byte 1: 1FF does not fit 00 to FF";
}

void TestConfigurationFile::saveRefusals()
{
    QFETCH(Configuration, configuration);
    const ConfigurationFile::Encoded encoded = ConfigurationFile::encode(configuration);
    QTEST(encoded.error, "error");
    QVERIFY(encoded.record.isEmpty());
}

void TestConfigurationFile::loadRefusals_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes"); // written there
    QTest::addColumn<QString>("error");
    const auto byte = [](int value) {
        return QByteArray(1, char(value));
    };
    const auto real = [](float value) {
        QByteArray bytes(4, '\0');
        putFloat(bytes, 0, value);
        return bytes;
    };
    const int uart1 = 3741, uart2 = 3754 + 3741, aux = 2 * 3754 + 3741;
    // A table holds 128 entries: a 129th would be dropped by the next save.
    QTest::newRow("128 requests load") << uart2 << byte(128) << "";
    QTest::newRow("129 requests") << uart1 << byte(129)
                                  << "UART 1 request count is 129, not 0 to 128";
    QTest::newRow("129 UART 2 requests")
        << uart2 << byte(129) << "UART 2 request count is 129, not 0 to 128";
    QTest::newRow("129 sensors") << aux + 1 << byte(129)
                                 << "1-wire sensor count is 129, not 0 to 128";
    QTest::newRow("UART 2 mode 3") << uart2 + 4 << byte(3) << "UART 2 mode is 3, not 0 to 2";
    QTest::newRow("speed 8") << uart1 + 5 << byte(8) << "UART 1 speed is 8, not 0 to 7";
    QTest::newRow("UART 1 parity 3") << uart1 + 6 << byte(3) << "UART 1 parity is 3, not 0 to 2";
    QTest::newRow("UART 1 data bits 3")
        << uart1 + 7 << byte(3) << "UART 1 data bits is 3, not 0 to 2";
    QTest::newRow("stop bits 3") << uart1 + 8 << byte(3) << "UART 1 stop bits is 3, not 0 to 2";
    QTest::newRow("UART 2 speed 8") << uart2 + 5 << byte(8) << "UART 2 speed is 8, not 0 to 7";
    QTest::newRow("UART 2 parity 255")
        << uart2 + 6 << byte(255) << "UART 2 parity is 255, not 0 to 2";
    QTest::newRow("1-wire mode 3") << aux + 4 << byte(3) << "1-wire mode is 3, not 0 to 2";
    QTest::newRow("sensor count 200")
        << aux + 1 << byte(200) << "1-wire sensor count is 200, not 0 to 128";
    // The slave timeout: a whole number its box shows (UART2's holds five
    // characters) and a save writes back.
    QTest::newRow("timeout 32767") << uart1 + 9 << real(32767) << "";
    QTest::newRow("timeout -9999") << uart2 + 9 << real(-9999) << "";
    QTest::newRow("timeout 2.5") << uart2 + 9 << real(2.5f)
                                 << "UART 2 slave timeout is 2.5, not a whole number from -9999 "
                                    "to 32767";
    QTest::newRow("timeout 1e10") << uart1 + 9 << real(1e10f)
                                  << "UART 1 slave timeout is 1e+10, not a whole number from "
                                     "-32768 to 32767";
    QTest::newRow("timeout NaN") << uart2 + 9 << real(std::numeric_limits<float>::quiet_NaN())
                                 << "UART 2 slave timeout is nan, not a whole number from -9999 "
                                    "to 32767";
    QTest::newRow("timeout -10000") << uart2 + 9 << real(-10000)
                                    << "UART 2 slave timeout is -10000, not a whole number from "
                                       "-9999 to 32767";
}

// A record that fails any check gives nothing at all.
void TestConfigurationFile::loadRefusals()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QByteArray record = everyFieldRecord();
    record.replace(offset, bytes.size(), bytes);
    const ConfigurationFile::Decoded decoded = ConfigurationFile::decode(record, Configuration());
    QCOMPARE(decoded.error, error);
    QCOMPARE(decoded.configuration.has_value(), error.isEmpty());
}

// A value that does not fit, or a folder that cannot be written, leaves the
// file there as it was.
void TestConfigurationFile::savesWholeOrNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"plant.apc"_s);
    QCOMPARE(ConfigurationFile::save(path, everyField()), QString());
    QCOMPARE(ConfigurationFile::load(path, Configuration()).configuration->uart1.speed, 7);
    Configuration bad = everyField();
    bad.uart1.table[0][1] = u"300"_s;
    QVERIFY(!ConfigurationFile::save(path, bad).isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), everyFieldRecord());
    QVERIFY(ConfigurationFile::save(dir.filePath(u"missing/plant.apc"_s), everyField())
                .startsWith(u"Cannot write "_s));
    QVERIFY(ConfigurationFile::load(dir.filePath(u"none.apc"_s), Configuration())
                .error.startsWith(u"Cannot read "_s));
}

QTEST_GUILESS_MAIN(TestConfigurationFile)
#include "tst_configurationfile.moc"
