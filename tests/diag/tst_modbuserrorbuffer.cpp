#include "diag/errorwatch.h"
#include "diag/modbuserrorbuffer.h"
#include "link/plcframe.h"
#include "modbus/uartdescription.h"
#include "plcsimulator.h"
#include "simport.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(SimFault)
Q_DECLARE_METATYPE(std::optional<QString>)

using namespace Qt::StringLiterals;

namespace {

const QString wrongAnswer = QStringLiteral("Wrong answer from PLC");
const QString answerTimeout = QStringLiteral("Answer timeout from PLC");

QByteArray readFrame(const char *address, const char *count)
{
    return PlcFrame::request("E00", address, count);
}

// A PLC whose UART is a master with `slots` request slots; the error byte of
// slot k is k in the first block and 0x80 + k in the second.
struct Bench
{
    PlcSimulator sim;
    SimPort port{sim};
    QTemporaryDir dir;

    Bench(quint16 modeAddress, quint16 modeWord, quint16 firstBlock)
    {
        sim.setWord(modeAddress, modeWord);
        QByteArray bytes;
        for (int k = 1; k <= 128; ++k)
            bytes.append(char(k <= 64 ? k : 0x80 + k - 64));
        sim.setMemory(firstBlock, bytes);
    }

    ErrorBufferRead read(const UartDescription &uart)
    {
        return readModbusErrorBuffer(port, dir.path() + QStringLiteral("/set.ini"), uart);
    }
};

} // namespace

class TestModbusErrorBuffer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodesErrorBytes_data();
    void decodesErrorBytes();
    void buildsWholeTables();
    void readsSlots_data();
    void readsSlots();
    void leavesTableOfNonMasters_data();
    void leavesTableOfNonMasters();
    void changesNothingOnFailure_data();
    void changesNothingOnFailure();
    void watchFollowsSlots_data();
    void watchFollowsSlots();
};

void TestModbusErrorBuffer::decodesErrorBytes_data()
{
    QTest::addColumn<int>("errorByte");
    QTest::addColumn<QString>("type");
    QTest::addColumn<std::optional<QString>>("description");
    const auto text = [](const char *description) {
        return std::optional<QString>(QLatin1String(description));
    };
    const std::optional<QString> none;
    QTest::newRow("00") << 0x00 << "No error" << text("");
    QTest::newRow("80") << 0x80 << "Inactive error" << text("");
    QTest::newRow("81") << 0x81 << "Active error" << text("illegal register address ");
    QTest::newRow("02") << 0x02 << "Active error" << text(" illegal argument ");
    QTest::newRow("04") << 0x04 << "Active error" << text(" timeout error occurred  ");
    QTest::newRow("07") << 0x07 << "Active error" << text("MBErr 8");
    QTest::newRow("09") << 0x09 << "Active error" << none;
    QTest::newRow("0A") << 0x0A << "Active error" << text("MBErr 10");
    QTest::newRow("0D") << 0x0D << "Active error" << text("MBErr 13");
    QTest::newRow("8E") << 0x8E << "Active error" << text("MBErr 13");
    QTest::newRow("12") << 0x12 << "Active error" << text("MBErr 17");
    QTest::newRow("13") << 0x13 << "Active error" << none;
    QTest::newRow("FF") << 0xFF << "Active error" << none;
}

void TestModbusErrorBuffer::decodesErrorBytes()
{
    QFETCH(int, errorByte);
    QFETCH(QString, type);
    QFETCH(std::optional<QString>, description);
    QCOMPARE(ModbusErrorBuffer::errorType(errorByte), type);
    QCOMPARE(ModbusErrorBuffer::description(errorByte), description);
}

void TestModbusErrorBuffer::buildsWholeTables()
{
    const TextTable table = ModbusErrorBuffer::table({0x09, 0x81, 0x80});
    QCOMPARE(headerFromFormat(ModbusErrorBuffer::format),
             (QStringList{"Slot", "Errors  type", "Short descriptions of error"}));
    QCOMPARE(table.size(), 3);
    QCOMPARE(table.at(0), (QStringList{"1", "Active error", ""}));
    QCOMPARE(table.at(1), (QStringList{"2", "Active error", "illegal register address "}));
    QCOMPARE(table.at(2), (QStringList{"3", "Inactive error", ""}));
    QCOMPARE(ModbusErrorBuffer::table({}), TextTable());
}

void TestModbusErrorBuffer::readsSlots_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("modeWord");
    QTest::addColumn<QList<QByteArray>>("requests");
    const QList<QByteArray> uart1One = {readFrame("2008", "02"), readFrame("3600", "40")};
    const QList<QByteArray> uart1Both = uart1One + QList<QByteArray>{readFrame("3640", "40")};
    QTest::newRow("C000, no slots") << 1 << 0xC000 << uart1One;
    QTest::newRow("3 slots") << 1 << 0xD403 << uart1One;
    QTest::newRow("64 slots") << 1 << 0xC040 << uart1One;
    QTest::newRow("70 slots") << 1 << 0xC046 << uart1Both;
    QTest::newRow("C080, 128 slots") << 1 << 0xC080 << uart1Both;
    QTest::newRow("UART2 70 slots")
        << 2 << 0xFF46
        << QList<QByteArray>{readFrame("2006", "02"), readFrame("3680", "40"),
                             readFrame("36C0", "40")};
}

void TestModbusErrorBuffer::readsSlots()
{
    QFETCH(int, number);
    QFETCH(int, modeWord);
    QFETCH(QList<QByteArray>, requests);
    const UartDescription &uart = number == 1 ? UartDescription::uart1() : UartDescription::uart2();
    Bench bench(number == 1 ? 0x2008 : 0x2006, quint16(modeWord), number == 1 ? 0x3600 : 0x3680);
    const ErrorBufferRead read = bench.read(uart);
    QVERIFY(read.result.ok);
    QCOMPARE(bench.sim.requests(), requests);
    QVERIFY(read.table);

    const int slots = modeWord & 0xFF;
    const TextTable &table = *read.table;
    QCOMPARE(table.size(), slots);
    for (int k = 1; k <= slots; ++k) {
        const int errorByte = k <= 64 ? k : 0x80 + k - 64;
        QCOMPARE(table.at(k - 1).at(0), QString::number(k));
        QCOMPARE(table.at(k - 1).at(1), ModbusErrorBuffer::errorType(errorByte));
        QCOMPARE(table.at(k - 1).at(2), ModbusErrorBuffer::description(errorByte).value_or(""));
    }
    QVERIFY(!bench.port.isOpen());
}

void TestModbusErrorBuffer::leavesTableOfNonMasters_data()
{
    QTest::addColumn<int>("modeWord");
    QTest::newRow("8003, bit 14 clear") << 0x8003;
    QTest::newRow("4003, slave") << 0x4003;
    QTest::newRow("0, not used") << 0;
}

void TestModbusErrorBuffer::leavesTableOfNonMasters()
{
    QFETCH(int, modeWord);
    Bench bench(0x2008, quint16(modeWord), 0x3600);
    const ErrorBufferRead read = bench.read(UartDescription::uart1());
    QVERIFY(read.result.ok);
    QVERIFY(!read.inMode);
    QCOMPARE(read.result.message, QString());
    QCOMPARE(read.table, std::nullopt);
    QCOMPARE(bench.sim.requests(), QList<QByteArray>{readFrame("2008", "02")});
}

void TestModbusErrorBuffer::changesNothingOnFailure_data()
{
    QTest::addColumn<int>("modeWord");
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<QString>("message");
    // The fault hits the request and each time it is sent again: a read met
    // by silence is sent twice, one whose answer is wrong three times.
    QTest::addColumn<int>("requests");
    QTest::newRow("mode word silent") << 0xC046 << SimFault::Silent << 1 << answerTimeout << 2;
    QTest::newRow("mode word refused") << 0xC046 << SimFault::Refuse << 1 << wrongAnswer << 1;
    QTest::newRow("first block garbled") << 0xC046 << SimFault::EarlyEtx << 2 << wrongAnswer << 4;
    QTest::newRow("first block, digits changed")
        << 0xC046 << SimFault::Digit << 2 << wrongAnswer << 4;
    QTest::newRow("second block silent") << 0xC046 << SimFault::Silent << 3 << answerTimeout << 4;
    QTest::newRow("second block refused") << 0xC046 << SimFault::Refuse << 3 << wrongAnswer << 3;
    QTest::newRow("129 slots") << 0xC081 << SimFault::Silent << 99 << wrongAnswer << 1;
}

void TestModbusErrorBuffer::changesNothingOnFailure()
{
    QFETCH(int, modeWord);
    QFETCH(SimFault, fault);
    QFETCH(int, ordinal);
    QFETCH(QString, message);
    QFETCH(int, requests);
    Bench bench(0x2008, quint16(modeWord), 0x3600);
    SimFaults faults;
    for (int k = ordinal; k < ordinal + 3; ++k)
        faults.perRequest[fault].ordinals.insert(k);
    bench.sim.setFaults(faults);
    const ErrorBufferRead read = bench.read(UartDescription::uart1());
    QVERIFY(!read.result.ok);
    QCOMPARE(read.result.message.section(u'\n', 0, 0), message);
    QCOMPARE(read.table, std::nullopt);
    QCOMPARE(bench.sim.requests().size(), requests);
    QVERIFY(!bench.port.isOpen());

    Bench closed(0x2008, 0xC001, 0x3600);
    closed.port.setMissingPorts({1});
    QCOMPARE(closed.read(UartDescription::uart1()).result.message,
             QStringLiteral("COM1: no such device"));
}

void TestModbusErrorBuffer::watchFollowsSlots_data()
{
    using Reads = QList<QList<int>>;
    QTest::addColumn<bool>("oneWire");
    QTest::addColumn<Reads>("reads");       // the error bytes of each read, a second apart
    QTest::addColumn<Reads>("changes");     // the slots each read changed
    QTest::addColumn<QStringList>("since"); // the last table's "active since"
    QTest::addColumn<QStringList>("times"); // and "times active"
    QTest::addColumn<QString>("line");      // the change line of slot 1 at the last read

    QTest::newRow("errors already there count once")
        << false << Reads{{0, 0x84, 0x80}} << Reads{{2, 3}} << QStringList{"", "12:00:00", ""}
        << QStringList{"0", "1", "0"} << u"12:00:00 modbus1 slot 1: No error"_s;
    QTest::newRow("comes, goes, comes back")
        << false << Reads{{0, 0}, {0x84, 0}, {0x84, 0}, {0x80, 0}, {0x81, 0}}
        << Reads{{}, {1}, {}, {1}, {1}} << QStringList{"12:00:04", ""} << QStringList{"2", "0"}
        << u"12:00:04 modbus1 slot 1: Active error, illegal register address"_s;
    QTest::newRow("another active error is a new error, not a new activation")
        << false << Reads{{0x84}, {0x81}} << Reads{{1}, {1}} << QStringList{"12:00:01"}
        << QStringList{"1"} << u"12:00:01 modbus1 slot 1: Active error, illegal register address"_s;
    QTest::newRow("the buffer grows and shrinks")
        << false << Reads{{0x84}, {0x84, 0x84}, {0}} << Reads{{1}, {2}, {1}} << QStringList{""}
        << QStringList{"1"} << u"12:00:02 modbus1 slot 1: No error"_s;
    QTest::newRow("1-wire: bit 7 is active")
        << true << Reads{{0x42, 0}, {0xC2, 0x80}, {0x22, 0x80}} << Reads{{1}, {1, 2}, {1}}
        << QStringList{"", "12:00:01"} << QStringList{"1", "1"}
        << u"12:00:02 onewire sensor 1: No error, Number of error :2"_s;
}

// What a watch keeps from read to read: which slots changed, since when an
// error is active, how often it became active, and the line the command
// line prints.
void TestModbusErrorBuffer::watchFollowsSlots()
{
    using Reads = QList<QList<int>>;
    QFETCH(bool, oneWire);
    QFETCH(Reads, reads);
    QFETCH(Reads, changes);
    QFETCH(QStringList, since);
    QFETCH(QStringList, times);
    QFETCH(QString, line);
    ErrorWatch watch(oneWire ? ErrorWatch::Buffer::OneWire : ErrorWatch::Buffer::Modbus);
    const QDateTime noon(QDate(2026, 12, 9), QTime(12, 0));
    Reads changed;
    for (qsizetype k = 0; k < reads.size(); ++k)
        changed << watch.take(reads.at(k), noon.addSecs(k));
    QCOMPARE(changed, changes);
    const TextTable table = watch.table();
    QStringList sinceColumn, timesColumn;
    for (const QStringList &row : table) {
        QCOMPARE(row.size(),
                 headerFromFormat(ErrorWatch::format(oneWire ? ErrorWatch::Buffer::OneWire
                                                             : ErrorWatch::Buffer::Modbus))
                     .size());
        sinceColumn << row.at(3);
        timesColumn << row.at(4);
    }
    QCOMPARE(sinceColumn, since);
    QCOMPARE(timesColumn, times);
    QCOMPARE(
        watch.changeLine(oneWire ? u"onewire"_s : u"modbus1"_s, 1, noon.addSecs(reads.size() - 1)),
        line);
    watch.reset();
    QCOMPARE(watch.take(reads.first(), noon), changes.first());
}

QTEST_GUILESS_MAIN(TestModbusErrorBuffer)
#include "tst_modbuserrorbuffer.moc"
