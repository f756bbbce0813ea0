#include "link/transferrun.h"
#include "modbus/modeword.h"
#include "modbus/requestrecord.h"
#include "modbus/requesttable.h"
#include "modbus/wiretime.h"

#include <QTest>

Q_DECLARE_METATYPE(ModbusRole)
Q_DECLARE_METATYPE(ModeWord::Decoded::Kind)
Q_DECLARE_METATYPE(RequestRow)

class TestModbusCodec : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encodesModeWord_data();
    void encodesModeWord();
    void decodesModeWord_data();
    void decodesModeWord();
    void transfersWords_data();
    void transfersWords();
    void encodesRecords_data();
    void encodesRecords();
    void refusesMalformedRecords_data();
    void refusesMalformedRecords();
    void buildsTables();
    void modbusReferences_data();
    void modbusReferences();
    void wireTimes_data();
    void wireTimes();
};

void TestModbusCodec::encodesModeWord_data()
{
    QTest::addColumn<ModbusRole>("role");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("transfer");

    QTest::newRow("master 115200 None 3 rows")
        << ModbusRole::Master << 4 << 2 << 3 << 0xD403 << "03D4";
    QTest::newRow("master empty 9600 Odd") << ModbusRole::Master << 0 << 0 << 0 << 0xC000 << "00C0";
    QTest::newRow("master 128 rows") << ModbusRole::Master << 7 << 1 << 128 << 0xCF80 << "80CF";
    QTest::newRow("slave 12") << ModbusRole::Slave << 4 << 2 << 12 << 0x540C << "0C54";
    QTest::newRow("slave 500000 Even 5") << ModbusRole::Slave << 7 << 1 << 5 << 0x4F05 << "054F";
    QTest::newRow("slave 247") << ModbusRole::Slave << 0 << 0 << 247 << 0x40F7 << "F740";
    QTest::newRow("not used ignores settings") << ModbusRole::NotUsed << 7 << 2 << 5 << 0 << "0000";
}

void TestModbusCodec::encodesModeWord()
{
    QFETCH(ModbusRole, role);
    QFETCH(int, speed);
    QFETCH(int, parity);
    QFETCH(int, low);
    QFETCH(int, word);
    QFETCH(QString, transfer);
    QCOMPARE(ModeWord::encode(role, speed, parity, low), quint16(word));
    QCOMPARE(wordData(quint16(word)).toHex().toUpper(), transfer.toLatin1());
}

void TestModbusCodec::decodesModeWord_data()
{
    using Kind = ModeWord::Decoded::Kind;
    QTest::addColumn<int>("word");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("low");
    QTest::addColumn<bool>("valid");

    QTest::newRow("master D403") << 0xD403 << Kind::Master << 4 << 2 << 3 << true;
    QTest::newRow("master C080") << 0xC080 << Kind::Master << 0 << 0 << 128 << true;
    QTest::newRow("master with bit 13") << 0xE001 << Kind::Master << 0 << 0 << 1 << true;
    QTest::newRow("master 129 rows") << 0xC081 << Kind::Master << 0 << 0 << 129 << false;
    QTest::newRow("master parity 3") << 0xDC03 << Kind::Master << 4 << 3 << 3 << false;
    QTest::newRow("slave 540C") << 0x540C << Kind::Slave << 4 << 2 << 12 << true;
    QTest::newRow("slave 4F05") << 0x4F05 << Kind::Slave << 7 << 1 << 5 << true;
    QTest::newRow("slave upper end") << 0x6FFF << Kind::Slave << 7 << 1 << 255 << true;
    QTest::newRow("slave parity 3") << 0x5805 << Kind::Slave << 0 << 3 << 5 << false;
    QTest::newRow("not used") << 0 << Kind::NotUsed << 0 << 0 << 0 << true;
    QTest::newRow("2000 says nothing") << 0x2000 << Kind::Other << 0 << 0 << 0 << true;
    QTest::newRow("7000 says nothing") << 0x7000 << Kind::Other << 0 << 2 << 0 << true;
    QTest::newRow("8003 says nothing") << 0x8003 << Kind::Other << 0 << 0 << 3 << true;
}

void TestModbusCodec::decodesModeWord()
{
    QFETCH(int, word);
    QFETCH(ModeWord::Decoded::Kind, kind);
    QFETCH(int, speed);
    QFETCH(int, parity);
    QFETCH(int, low);
    QFETCH(bool, valid);
    const ModeWord::Decoded decoded = ModeWord::decode(quint16(word));
    QCOMPARE(decoded.kind, kind);
    if (kind != ModeWord::Decoded::Kind::Other) {
        QCOMPARE(decoded.speed, speed);
        QCOMPARE(decoded.parity, parity);
        QCOMPARE(decoded.lowByte, low);
    }
    QCOMPARE(ModeWord::isValid(decoded), valid);
}

void TestModbusCodec::transfersWords_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("transfer");
    QTest::newRow("4501") << 0x4501 << "0145";
    QTest::newRow("2000 ms") << 2000 << "D007";
    QTest::newRow("zero") << 0 << "0000";
    QTest::newRow("one") << 1 << "0100";
    QTest::newRow("FFFF") << 0xFFFF << "FFFF";
    QTest::newRow("upper-case digits") << 0xABCD << "CDAB";
}

void TestModbusCodec::transfersWords()
{
    QFETCH(int, word);
    QFETCH(QString, transfer);
    QCOMPARE(wordData(quint16(word)).toHex().toUpper(), transfer.toLatin1());
    QCOMPARE(wordOf(QByteArray::fromHex(transfer.toLatin1())), quint16(word));
}

void TestModbusCodec::encodesRecords_data()
{
    QTest::addColumn<RequestRow>("row");
    QTest::addColumn<QString>("record");
    QTest::newRow("worked example") << RequestRow{1, 10, 0, 100, 1, 1000} << "010A00006400E813";
    QTest::newRow("largest fields")
        << RequestRow{248, 255, 7999, 3071, 4, 4095} << "F8FF3F1FFF0BFF4F";
    QTest::newRow("smallest fields") << RequestRow{0, 0, 0, 0, 0, 1} << "0000000000000100";
    QTest::newRow("write coils") << RequestRow{17, 16, 256, 4097, 3, 255} << "111000010110FF30";
}

void TestModbusCodec::encodesRecords()
{
    QFETCH(RequestRow, row);
    QFETCH(QString, record);
    const QByteArray bytes = QByteArray::fromHex(record.toLatin1());
    QCOMPARE(RequestRecord::encode(row).toHex().toUpper(), record.toLatin1());
    QCOMPARE(RequestRecord::decode(bytes), std::optional<RequestRow>(row));
}

void TestModbusCodec::refusesMalformedRecords_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::newRow("7 bytes") << QByteArray::fromHex("010A00006400E8");
    QTest::newRow("9 bytes") << QByteArray::fromHex("010A00006400E81300");
    QTest::newRow("none") << QByteArray();
}

void TestModbusCodec::refusesMalformedRecords()
{
    QFETCH(QByteArray, record);
    QCOMPARE(RequestRecord::decode(record), std::nullopt);
    const QByteArray table = QByteArray::fromHex("010A00006400E813") + record;
    QCOMPARE(RequestRecord::decodeAll(table).has_value(), record.isEmpty());
}

void TestModbusCodec::buildsTables()
{
    const QList<RequestRow> rows = {{1, 10, 0, 100, 1, 1000}, {3, 100, 100, 100, 4, 100}};
    const TextTable table = RequestTable::fromRows(rows);
    QCOMPARE(headerFromFormat(RequestTable::format),
             (QStringList{"Slot", "Address", "Num word", "Address slave", "Address master",
                          "Function", "Timeout,[ms]"}));
    QCOMPARE(table.size(), 2);
    QCOMPARE(table.at(0), (QStringList{"1", "1", "10", "0", "100", "1", "1000"}));
    QCOMPARE(table.at(1), (QStringList{"2", "3", "100", "100", "100", "4", "100"}));
    QCOMPARE(RequestTable::rows(table), rows);
    QCOMPARE(RequestRecord::decodeAll(RequestRecord::encodeAll(rows)), rows);
    QCOMPARE(RequestRecord::encodeAll(RequestTable::rows({})), QByteArray());
}

void TestModbusCodec::modbusReferences_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("reference");
    QTest::newRow("read holding") << 1 << "100"
                                  << "holding register 40101 (protocol address 100)";
    QTest::newRow("write registers") << 2 << "0"
                                     << "holding register 40001 (protocol address 0)";
    QTest::newRow("read input") << 4 << "9998"
                                << "input register 39999 (protocol address 9998)";
    QTest::newRow("read coils") << 0 << "19"
                                << "coil 00020 (protocol address 19)";
    QTest::newRow("write coils, five digits") << 3 << "65535"
                                              << "coil 065536 (protocol address 65535)";
    QTest::newRow("not an address") << 1 << "x"
                                    << "";
    QTest::newRow("beyond 65535") << 1 << "65536"
                                  << "";
    QTest::newRow("no such function") << 5 << "1"
                                      << "";
}

// What a user copying from a device manual sees beside the address typed.
void TestModbusCodec::modbusReferences()
{
    QFETCH(int, function);
    QFETCH(QString, address);
    QStringList row = RequestTable::cells(1, {1, 1, 0, 0, 0, 100});
    row[RequestTable::Function] = QString::number(function);
    row[RequestTable::AddressSlave] = address;
    QTEST(RequestTable::modbusReference(row), "reference");
}

void TestModbusCodec::wireTimes_data()
{
    QTest::addColumn<QList<int>>("request"); // function, count, speed, parity
    QTest::addColumn<int>("ms");
    QTest::newRow("125 registers at 9600, None: 270 characters") << QList<int>{1, 125, 0, 2} << 282;
    QTest::newRow("input registers alike") << QList<int>{4, 125, 0, 2} << 282;
    QTest::newRow("16 coils read") << QList<int>{0, 16, 0, 2} << 23;
    QTest::newRow("10 registers written at 115200, Even") << QList<int>{2, 10, 4, 1} << 5;
    QTest::newRow("9 coils written at 9600, Odd") << QList<int>{3, 9, 0, 0} << 30;
    QTest::newRow("no such function") << QList<int>{5, 10, 0, 2} << 0;
}

void TestModbusCodec::wireTimes()
{
    QFETCH(QList<int>, request);
    QTEST(wireTimeMs(request[0], request[1], request[2], request[3]), "ms");
}

QTEST_GUILESS_MAIN(TestModbusCodec)
#include "tst_modbuscodec.moc"
