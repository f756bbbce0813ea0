#include "config/registermap.h"
#include "modbus/requesttable.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList request(int n, int slave, int count, int slaveItem, int master, int function)
{
    return RequestTable::cells(n, {slave, count, slaveItem, master, function, 1000});
}

QStringList sensor(int n, int reg)
{
    return {QString::number(n),
            "28",
            "FF",
            "4C",
            "5D",
            "03",
            "00",
            "00",
            QStringLiteral("%1").arg(n, 2, 16, QLatin1Char('0')),
            QString::number(reg)};
}

Configuration masters(const TextTable &uart1, const TextTable &uart2, const TextTable &sensors)
{
    Configuration c = Configuration::defaults();
    c.uart1.role = c.uart2.role = ModbusRole::Master;
    c.uart1.table = uart1;
    c.uart2.table = uart2;
    c.aux.mode = AuxMode::OneWireMaster;
    c.aux.sensors = sensors;
    return c;
}

} // namespace

Q_DECLARE_METATYPE(Configuration)

// The PLC items each request and sensor fills or supplies, and the
// conflicts among them.
class TestRegisterMap : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findsConflicts_data();
    void findsConflicts();
    void listsUsesByAddress();
};

void TestRegisterMap::findsConflicts_data()
{
    QTest::addColumn<Configuration>("configuration");
    QTest::addColumn<QStringList>("conflicts");
    QTest::newRow("two reads fill the same registers")
        << masters({request(1, 1, 10, 0, 100, 1), request(2, 2, 10, 0, 200, 1),
                    request(3, 3, 10, 0, 300, 1), request(4, 4, 20, 0, 110, 4)},
                   {request(1, 5, 5, 100, 500, 1), request(2, 5, 10, 200, 600, 1),
                    request(3, 5, 10, 300, 700, 1), request(4, 5, 10, 400, 800, 1),
                    request(5, 5, 10, 500, 900, 1), request(6, 5, 10, 600, 1000, 1),
                    request(7, 5, 10, 700, 1100, 1), request(8, 5, 10, 800, 1200, 1),
                    request(9, 6, 10, 0, 120, 1)},
                   {})
        << QStringList{u"UART 1 row 4 and UART 2 row 9 both fill registers 120 to 129"_s};
    QTest::newRow("a sensor inside reads asked twice")
        << masters({request(1, 1, 25, 0, 1500, 1), request(2, 1, 25, 0, 1500, 1)}, {},
                   {sensor(1, 3000), sensor(2, 3004), sensor(3, 1502)})
        << QStringList{
               u"UART 1 row 1 and UART 1 row 2 both fill registers 1500 to 1524"_s,
               u"sensor 3 (register 1502) lies inside UART 1 row 1's registers 1500 to 1524"_s,
               u"sensor 3 (register 1502) lies inside UART 1 row 2's registers 1500 to 1524"_s,
               u"UART 1 rows 1 and 2 ask slave 1 twice (Read holding register, slave items 0 "
               "to 24)"_s};
    QTest::newRow("the same slave items with another function")
        << masters({request(1, 1, 10, 0, 100, 1), request(2, 1, 10, 5, 200, 4)}, {}, {})
        << QStringList{};
    QTest::newRow("slave items overlapping by exactly one")
        << masters({request(1, 1, 10, 0, 100, 1), request(2, 1, 10, 9, 200, 1)}, {}, {})
        << QStringList{
               u"UART 1 rows 1 and 2 ask slave 1 twice (Read holding register, slave items 9 "
               "to 9)"_s};
    QTest::newRow("slave items side by side, not overlapping")
        << masters({request(1, 1, 10, 0, 100, 1), request(2, 1, 10, 10, 200, 1)}, {}, {})
        << QStringList{};
    QTest::newRow("writes and other areas do not clash")
        << masters({request(1, 1, 10, 0, 100, 2), request(2, 2, 10, 0, 100, 2),
                    request(3, 3, 10, 0, 100, 0)},
                   {request(1, 4, 10, 0, 100, 1)}, {})
        << QStringList{};
    QTest::newRow("two sensors a register apart")
        << masters({}, {}, {sensor(1, 3000), sensor(2, 3001)})
        << QStringList{u"sensor 1 and sensor 2 both fill register 3001"_s};
    TextTable full;
    for (int n = 1; n <= 128; ++n)
        full << sensor(n, 1000 + 2 * n);
    QTest::newRow("the 128th sensor over UART 1's first request")
        << masters({request(1, 1, 10, 0, 100, 1)}, {}, full)
        << QStringList{u"The PLC cannot hold 128 sensors and UART 1's requests at once: the 128th "
                       "sensor's record (2502 to 250B) is UART 1's first request. Remove a sensor "
                       "or UART 1's requests."_s};
    Configuration slave =
        masters({request(1, 1, 10, 0, 100, 1)}, {request(1, 1, 10, 0, 100, 1)}, {sensor(1, 100)});
    slave.uart2.role = ModbusRole::Slave;
    slave.aux.mode = AuxMode::NotUsed;
    QTest::newRow("only masters and a 1-wire master count") << slave << QStringList{};
}

void TestRegisterMap::findsConflicts()
{
    QFETCH(Configuration, configuration);
    QStringList found;
    for (const RegisterMap::Conflict &conflict : RegisterMap::of(configuration).conflicts)
        found << conflict.text;
    QTEST(found, "conflicts");
}

void TestRegisterMap::listsUsesByAddress()
{
    const RegisterMap::Map map =
        RegisterMap::of(masters({request(1, 1, 10, 0, 300, 1), request(2, 1, 8, 0, 16, 3)},
                                {request(1, 2, 4, 0, 100, 2)}, {sensor(1, 200)}));
    QCOMPARE(map.uses.size(), 4);
    QCOMPARE(map.uses.at(0).owner(), u"UART 1 row 2"_s);
    QCOMPARE(map.uses.at(0).area, RegisterMap::Area::Bits);
    QCOMPARE(map.uses.at(0).direction, RegisterMap::Direction::Supplies);
    QCOMPARE(map.uses.at(1).owner(), u"UART 2 row 1"_s);
    QCOMPARE(map.uses.at(2).owner(), u"sensor 1"_s);
    QCOMPARE(map.uses.at(2).last, 201);
    QCOMPARE(map.uses.at(3).first, 300);
    QVERIFY(map.conflicts.isEmpty());
}

QTEST_GUILESS_MAIN(TestRegisterMap)
#include "tst_registermap.moc"
