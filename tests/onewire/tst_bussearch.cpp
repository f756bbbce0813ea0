#include "modbus/modbusfixture.h"
#include "onewire/bussearch.h"

#include <QTest>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SimFault)

namespace {

// Device k's code: family 28, then k, then fixed bytes.
QByteArray code(int k)
{
    return QByteArray::fromHex("28") + char(k) + QByteArray::fromHex("4C5D0300009A");
}

QStringList device(int number, const QString &hex)
{
    QStringList row{QString::number(number)};
    for (int b = 0; b < 8; ++b)
        row << hex.mid(2 * b, 2);
    return row;
}

QStringList sensor(int number, const QString &hex, const QString &reg)
{
    return device(number, hex) << reg;
}

const QString a = u"28FF4C5D0300009A"_s;
const QString b = u"28014C5D0300009A"_s;
const QString c = u"28024C5D0300009A"_s;

} // namespace

// The bus search on the wire, and how its devices go into the sensor table.
class TestBusSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsDevicesInBlocks_data();
    void readsDevicesInBlocks();
    void failuresListNothing_data();
    void failuresListNothing();
    void takesDevicesIn_data();
    void takesDevicesIn();
    void summarisesTheSearch();
};

void TestBusSearch::readsDevicesInBlocks_data()
{
    QTest::addColumn<int>("devices");
    QTest::addColumn<QStringList>("reads"); // ROM code reads: address and count
    QTest::newRow("none") << 0 << QStringList{};
    QTest::newRow("03") << 3 << QStringList{"3002 18"};
    QTest::newRow("08") << 8 << QStringList{"3002 40"};
    QTest::newRow("12 hex") << 18 << QStringList{"3002 40", "3042 40", "3082 10"};
}

void TestBusSearch::readsDevicesInBlocks()
{
    QFETCH(int, devices);
    QFETCH(QStringList, reads);
    ModbusBench bench;
    QList<QByteArray> codes;
    for (int k = 1; k <= devices; ++k)
        codes << code(k);
    if (devices > 0)
        codes[0] = QByteArray::fromHex(a.toLatin1());
    bench.sim.setRomCodes(codes);
    const BusSearch::Found found = BusSearch::search(bench.port, bench.ini);
    QVERIFY(found.result.ok && found.devices);
    QList<QByteArray> expected{writeFrame(u"2000"_s, u"0180"_s, "E10"),
                               readFrame(u"3000"_s, u"02"_s), readFrame(u"3000"_s, u"02"_s)};
    for (const QString &read : reads)
        expected << readFrame(read.left(4), read.mid(5));
    QCOMPARE(bench.sim.requests(), expected);
    QVERIFY(bench.port.now() >= SimTime(3500ms));
    QCOMPARE(found.devices->size(), devices);
    if (devices > 0) {
        QCOMPARE(found.devices->first(), device(1, a));
        QCOMPARE(found.devices->last().at(2),
                 QString::number(devices, 16).rightJustified(2, u'0').toUpper());
    }
    QVERIFY(!bench.port.isOpen());
}

void TestBusSearch::failuresListNothing_data()
{
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<int>("hits");        // the requests from the ordinal on that the fault hits
    QTest::addColumn<QString>("message"); // empty: the search succeeds
    QTest::addColumn<int>("requests");
    QTest::newRow("start refused") << SimFault::Refuse << 1 << 1 << "Wrong answer from PLC" << 1;
    QTest::newRow("start unanswered")
        << SimFault::Silent << 1 << 1 << "Answer timeout from PLC" << 1;
    QTest::newRow("first poll unanswered: not used") << SimFault::Silent << 2 << 1 << "" << 4;
    // A read whose answer is missing or wrong is sent again.
    QTest::newRow("count unanswered once") << SimFault::Silent << 3 << 1 << "" << 5;
    QTest::newRow("count with a digit changed once") << SimFault::Digit << 3 << 1 << "" << 5;
    QTest::newRow("count unanswered")
        << SimFault::Silent << 3 << 2 << "Answer timeout from PLC" << 4;
    QTest::newRow("count malformed")
        << SimFault::EarlyEtx << 3 << 3 << "Wrong answer from PLC" << 5;
    QTest::newRow("codes refused") << SimFault::Refuse << 4 << 1 << "Wrong answer from PLC" << 4;
}

void TestBusSearch::failuresListNothing()
{
    QFETCH(SimFault, fault);
    QFETCH(int, ordinal);
    QFETCH(int, hits);
    QFETCH(QString, message);
    ModbusBench bench;
    bench.sim.setRomCodes({code(1), code(2)});
    SimFaults faults;
    for (int k = ordinal; k < ordinal + hits; ++k)
        faults.perRequest[fault].ordinals.insert(k);
    bench.sim.setFaults(faults);
    const BusSearch::Found found = BusSearch::search(bench.port, bench.ini);
    QCOMPARE(found.result.message, message);
    QCOMPARE(found.devices.has_value(), message.isEmpty());
    if (found.devices)
        QCOMPARE(found.devices->size(), 2);
    QTEST(int(bench.sim.requests().size()), "requests");
    QVERIFY(!bench.port.isOpen());
}

void TestBusSearch::takesDevicesIn_data()
{
    QTest::addColumn<bool>("replace");
    QTest::addColumn<TextTable>("sensors");
    QTest::addColumn<TextTable>("devices");
    QTest::addColumn<QString>("start");
    QTest::addColumn<TextTable>("result");
    QTest::addColumn<QString>("refusal");
    const TextTable three = {device(1, a), device(2, b), device(3, c)};
    QTest::newRow("replace 3 from 1500")
        << true << TextTable{sensor(1, c, "10")} << three << "1500"
        << TextTable{sensor(1, a, "1500"), sensor(2, b, "1502"), sensor(3, c, "1504")} << "";
    QTest::newRow("add 2 after 2010")
        << false << TextTable{sensor(1, c, "2010")} << TextTable{device(1, a), device(2, b)}
        << "1500" << TextTable{sensor(1, c, "2010"), sensor(2, a, "2012"), sensor(3, b, "2014")}
        << "";
    QTest::newRow("add 2 to an empty table")
        << false << TextTable{} << TextTable{device(1, a), device(2, b)} << "1500"
        << TextTable{sensor(1, a, "1500"), sensor(2, b, "1502")} << "";
    QTest::newRow("add: known code (any case) and a code found twice skipped")
        << false << TextTable{sensor(1, a.toLower(), "100")}
        << TextTable{device(1, a), device(2, b), device(3, b)} << "1500"
        << TextTable{sensor(1, a.toLower(), "100"), sensor(2, b, "102")} << "";
    QTest::newRow("add after a register that is no number")
        << false << TextTable{sensor(1, c, "x")} << TextTable{device(1, a)} << "40" << TextTable{}
        << "The last sensor's register \"x\" is not a whole number, so the registers of the "
           "devices cannot follow it: nothing was added.";
    QTest::newRow("add to a table: the start box is not used")
        << false << TextTable{sensor(1, c, "2010")} << TextTable{device(1, a)} << "abc"
        << TextTable{sensor(1, c, "2010"), sensor(2, a, "2012")} << "";
    QTest::newRow("replace: a code found twice taken once")
        << true << TextTable{} << TextTable{device(1, a), device(2, a)} << "0"
        << TextTable{sensor(1, a, "0")} << "";
    const QString badStart = u"Please, use a whole number from 0 to 7997 as the start address"_s;
    for (const char *start : {"", "abc", "-2", "7998"})
        QTest::addRow("start \"%s\" refused", start)
            << true << TextTable{} << three << start << TextTable{} << badStart;
    TextTable full;
    for (int k = 1; k <= 125; ++k)
        full.append(sensor(k, QString::number(k, 16).rightJustified(16, u'0'), "10"));
    TextTable fuller = full;
    fuller.append(sensor(126, u"00000000000000FF"_s, "10"));
    QTest::newRow("129th sensor refused")
        << false << fuller << three << "0" << TextTable{}
        << "The table holds 126 sensors and 3 new devices were found: 1 of them would not fit "
           "in the 128 the PLC holds, so nothing was added.";
    QTest::newRow("beyond 7997 refused")
        << true << TextTable{} << three << "7994" << TextTable{}
        << "The registers of 1 of the devices would lie above 7997: nothing was added.";
}

void TestBusSearch::takesDevicesIn()
{
    QFETCH(bool, replace);
    QFETCH(TextTable, sensors);
    QFETCH(TextTable, devices);
    QFETCH(QString, start);
    const BusSearch::Taken taken = replace ? BusSearch::replaceAll(devices, start)
                                           : BusSearch::addNew(sensors, devices, start);
    QTEST(taken.sensors, "result");
    QTEST(taken.refusal, "refusal");
}

void TestBusSearch::summarisesTheSearch()
{
    const TextTable sensors = {sensor(1, a, "10"), sensor(2, b, "12"),
                               sensor(3, u"1000000000000000"_s, "14")};
    QCOMPARE(BusSearch::summary({device(1, b), device(2, c), device(3, c)}, sensors),
             u"Found 3: 1 new, 1 already in the table. 1 found more than once, taken once. "
             "Not found on the bus: sensor rows 1, 3."_s);
    QCOMPARE(BusSearch::summary({}, {}), u"Found 0: 0 new, 0 already in the table."_s);
    QCOMPARE(BusSearch::configuredRow(device(1, b.toLower()), sensors), 2);
    const TextTable found = {device(1, b), device(2, c)};
    QCOMPARE(BusSearch::missingRows(found, sensors), (QList<int>{1, 3}));
    QCOMPARE(BusSearch::newDevices(found, sensors), TextTable{device(2, c)});
    QCOMPARE(BusSearch::replaceMissing(sensors, 3, device(2, c)),
             TextTable({sensor(1, a, "10"), sensor(2, b, "12"), sensor(3, c, "14")}));
}

QTEST_GUILESS_MAIN(TestBusSearch)
#include "tst_bussearch.moc"
