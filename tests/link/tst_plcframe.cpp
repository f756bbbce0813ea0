#include "link/plcframe.h"
#include "link/plctransaction.h"
#include "support/scriptedport.h"

#include <QTest>

using namespace std::chrono_literals;

class TestPlcFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workedFrames_data();
    void workedFrames();
    void hexToInt_data();
    void hexToInt();
    void readableSpellsControls();
};

void TestPlcFrame::workedFrames_data()
{
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("kind");
    QTest::newRow("read 2006") << QByteArray("\x02"
                                             "E00200602\x03"
                                             "D2")
                               << 0;
    QTest::newRow("word 0E02") << QByteArray("\x02"
                                             "00E0202\x03"
                                             "6C")
                               << 1;
    QTest::newRow("E10 2002") << QByteArray("\x02"
                                            "E102002020080\x03"
                                            "97")
                              << 2;
    QTest::newRow("E11 3000") << QByteArray("\x02"
                                            "E113000020000\x03"
                                            "8F")
                              << 3;
}

// The transactions put exactly these bytes on the wire.
void TestPlcFrame::workedFrames()
{
    QFETCH(QByteArray, expected);
    QFETCH(int, kind);
    ScriptedPort port;
    switch (kind) {
    case 0:
        Plc_read(port, 100ms, 0x2006, 0x02);
        break;
    case 1:
        Plc_read_word(port, 100ms, 0x0E02);
        break;
    case 2:
        Plc_write(port, 100ms, PlcCommand::Command, 0x2002, QByteArray::fromHex("0080"));
        break;
    default:
        Plc_write(port, 100ms, PlcCommand::Write, 0x3000, QByteArray::fromHex("0000"));
    }
    QCOMPARE(port.written, QList<QByteArray>{expected});
}

void TestPlcFrame::hexToInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("1A") << QStringLiteral("1A") << 26;
    QTest::newRow("00FF") << QStringLiteral("00FF") << 255;
    QTest::newRow("lower case") << QStringLiteral("1a") << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("G1") << QStringLiteral("G1") << 0;
    QTest::newRow("blank") << QStringLiteral("1 ") << 0;
    QTest::newRow("largest") << QStringLiteral("7FFFFFFF") << 0x7FFFFFFF;
    QTest::newRow("too large") << QStringLiteral("80000000") << 0;
}

void TestPlcFrame::hexToInt()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(Hex_to_int(text), value);
}

void TestPlcFrame::readableSpellsControls()
{
    QCOMPARE(PlcFrame::readable("\x02"
                                "E00200602\x03"
                                "D2"),
             QStringLiteral("<STX>E00200602<ETX>D2"));
    QCOMPARE(PlcFrame::readable("\x06\x15\xFF"), QStringLiteral("<ACK><NAK><FF>"));
}

QTEST_APPLESS_MAIN(TestPlcFrame)
#include "tst_plcframe.moc"
