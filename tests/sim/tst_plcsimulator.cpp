#include "plcsimulator.h"
#include "simframes.h"

#include <QTest>

using namespace std::chrono_literals;
using namespace SimFrames;

class TestPlcSimulator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answersWorkedFrames_data();
    void answersWorkedFrames();
    void refusesBadFrames_data();
    void refusesBadFrames();
    void ignoresBytesOutsideFrames();
    void dropsStaleAndInterruptedFrames();
    void joinsFrameArrivingInPieces();
    void writesAndReadsBack();
    void callsWriteHookForAcceptedWritesOnly();
    void busSearchFillsResultAfterSearchTime();
    void onlyE10OfSearchCommandStartsSearch();
    void logsFramesInOrder();
};

// The worked frames of the protocol, byte for byte, and what the PLC answers.
void TestPlcSimulator::answersWorkedFrames_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("read 2006") << QByteArray("\x02"
                                             "E00200602\x03"
                                             "D2")
                               << QByteArray("\x02"
                                             "0145\x03"
                                             "CD");
    QTest::newRow("word 0E02") << QByteArray("\x02"
                                             "00E0202\x03"
                                             "6C")
                               << QByteArray("\x02"
                                             "3412\x03"
                                             "CD");
    QTest::newRow("E10 2002") << QByteArray("\x02"
                                            "E102002020080\x03"
                                            "97")
                              << ack;
    QTest::newRow("E11 3000") << QByteArray("\x02"
                                            "E113000020000\x03"
                                            "8F")
                              << ack;
    QTest::newRow("ENQ") << enq << ack;
}

void TestPlcSimulator::answersWorkedFrames()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    PlcSimulator sim;
    sim.setWord(0x2006, 0x4501);
    QCOMPARE(sim.receive(request, 20ms), (QList<SimChunk>{{20ms, answer}}));
}

void TestPlcSimulator::refusesBadFrames_data()
{
    QTest::addColumn<QByteArray>("request");
    QByteArray badSum = write("3000", "0FFF");
    badSum[badSum.size() - 1] = badSum.back() == '0' ? '1' : '0';
    QTest::newRow("checksum") << badSum;
    QTest::newRow("command E20") << PlcFrame::request("E20", "3000", "02", "0FFF");
    QTest::newRow("command 1") << PlcFrame::request("1", "0E02", "02");
    QTest::newRow("lower-case address") << PlcFrame::request("E11", "300a", "02", "0FFF");
    QTest::newRow("lower-case data") << PlcFrame::request("E11", "3000", "02", "0fff");
    QTest::newRow("data longer than count") << PlcFrame::request("E11", "3000", "01", "0FFF");
    QTest::newRow("beyond 64 KiB") << PlcFrame::request("E11", "FFFF", "02", "0FFF");
    QTest::newRow("read beyond 64 KiB") << read("FFC1", "40");
}

// A refused frame gets a single NAK, changes nothing, and the next request is
// served normally.
void TestPlcSimulator::refusesBadFrames()
{
    QFETCH(QByteArray, request);
    PlcSimulator sim;
    const QByteArray before = sim.memoryImage();
    QCOMPARE(sim.receive(request, 0ms), (QList<SimChunk>{{0ms, nak}}));
    QCOMPARE(sim.memoryImage(), before);
    QVERIFY(!sim.log().front().note.isEmpty());
    QCOMPARE(sim.receive(enq, 1ms), (QList<SimChunk>{{1ms, ack}}));
}

void TestPlcSimulator::ignoresBytesOutsideFrames()
{
    PlcSimulator sim;
    const QByteArray noise = QByteArray("xyz\x03\x06\xFF"
                                        "E00200602",
                                        15);
    QVERIFY(sim.receive(noise, 0ms).isEmpty());
    const QList<SimChunk> chunks = sim.receive(QByteArray(noise + read("0E02", "02")), 5ms);
    QCOMPARE(chunks.size(), 1);
    QCOMPARE(chunks.front().bytes, QByteArray("\x02"
                                              "3412\x03"
                                              "CD"));
    QCOMPARE(sim.requests(), QList<QByteArray>{read("0E02", "02")});
}

// A partial frame is given up after 500 ms without a byte, or when a new STX
// comes; either way the following frame is answered.
void TestPlcSimulator::dropsStaleAndInterruptedFrames()
{
    PlcSimulator sim;
    const QByteArray frame = read("0E02", "02");
    QVERIFY(sim.receive(frame.first(5), 0ms).isEmpty());
    QCOMPARE(sim.nextDeadline(), std::optional(500ms));
    QVERIFY(sim.receive(frame.sliced(5), 500ms).isEmpty()); // the rest alone is noise
    QCOMPARE(sim.receive(QByteArray(frame.first(7) + frame), 600ms).size(), 1);
    QCOMPARE(sim.requests(), QList<QByteArray>{frame});
    QCOMPARE(sim.log().at(0).kind, SimLogEntry::Kind::Dropped);
    QCOMPARE(sim.log().at(0).at, 500ms);
    QCOMPARE(sim.log().at(1).kind, SimLogEntry::Kind::Dropped);
    QCOMPARE(sim.log().at(1).bytes, frame.first(7));
}

void TestPlcSimulator::joinsFrameArrivingInPieces()
{
    PlcSimulator sim;
    const QByteArray frame = write("2008", "0145");
    for (qsizetype i = 0; i + 1 < frame.size(); ++i)
        QVERIFY(sim.receive(frame.sliced(i, 1), std::chrono::milliseconds(i * 40)).isEmpty());
    QCOMPARE(sim.receive(frame.last(1), 1000ms), (QList<SimChunk>{{1000ms, ack}}));
    QCOMPARE(sim.word(0x2008), 0x4501);
}

void TestPlcSimulator::writesAndReadsBack()
{
    PlcSimulator sim;
    sim.receive(write("2502", "0103000A0001F0FF"), 0ms);
    sim.receive(write("FFFE", "ABCD", "E10"), 0ms);
    QCOMPARE(sim.memory(0x2502, 8), QByteArray::fromHex("0103000A0001F0FF"));
    const QList<SimChunk> back = sim.receive(read("2502", "08"), 1ms);
    QCOMPARE(back.front().bytes, PlcFrame::dataAnswer("0103000A0001F0FF"));
    QCOMPARE(sim.receive(read("FFFE", "02"), 2ms).front().bytes, PlcFrame::dataAnswer("ABCD"));
    QCOMPARE(sim.answers(),
             (QList<QByteArray>{ack, ack, back.front().bytes, PlcFrame::dataAnswer("ABCD")}));
}

void TestPlcSimulator::callsWriteHookForAcceptedWritesOnly()
{
    PlcSimulator sim;
    QList<std::pair<quint16, QByteArray>> writes;
    sim.setWriteHook([&](quint16 address, QByteArrayView bytes) {
        writes.append({address, bytes.toByteArray()});
    });
    SimFaults faults;
    faults.perRequest[SimFault::Refuse].ordinals = {2};
    sim.setFaults(faults);
    sim.receive(QByteArray(write("3000", "0FFF") + write("2008", "0145") + read("2008", "02")),
                0ms);
    QCOMPARE(writes, (QList<std::pair<quint16, QByteArray>>{{0x3000, "\x0F\xFF"}}));
}

// The search result as the tool reads it: the count in the first data byte at
// 3000, then each device's ROM bytes 0 to 7 as 16 digits, from 3002 on.
void TestPlcSimulator::busSearchFillsResultAfterSearchTime()
{
    PlcSimulator sim;
    sim.setRomCodes(
        {QByteArray::fromHex("28FF4C5D0300009A"), QByteArray::fromHex("1000ABCDEF012345")});
    sim.setSearchTime(1000ms);
    sim.receive(write("2000", "0180", "E10"), 100ms);
    QCOMPARE(sim.nextDeadline(), std::optional(1100ms));
    QCOMPARE(sim.receive(read("3000", "02"), 1099ms).front().bytes, PlcFrame::dataAnswer("0000"));
    QCOMPARE(sim.receive(read("3000", "02"), 1100ms).front().bytes, PlcFrame::dataAnswer("0200"));
    const QByteArray answer = sim.receive(read("3002", "10"), 1200ms).front().bytes;
    QCOMPARE(answer.mid(1, 16), QByteArray("28FF4C5D0300009A"));
    QCOMPARE(answer.mid(17, 16), QByteArray("1000ABCDEF012345"));
    QCOMPARE(sim.nextDeadline(), std::nullopt);
}

void TestPlcSimulator::onlyE10OfSearchCommandStartsSearch()
{
    PlcSimulator sim;
    sim.setRomCodes({QByteArray::fromHex("28FF4C5D0300009A")});
    sim.receive(QByteArray(write("2000", "0180", "E11") + write("2000", "0080", "E10")), 0ms);
    QCOMPARE(sim.nextDeadline(), std::nullopt);
    sim.receive({}, 5000ms);
    QCOMPARE(sim.memory(0x3000, 3), QByteArray(3, '\0'));
    sim.receive(write("2000", "0180", "E10"), 6000ms);
    sim.receive({}, 7000ms); // completes without a further request
    QCOMPARE(sim.memory(0x3000, 3), QByteArray::fromHex("010028"));
}

void TestPlcSimulator::logsFramesInOrder()
{
    PlcSimulator sim;
    QList<SimLogEntry> hooked;
    sim.setLogHook([&](const SimLogEntry &entry) { hooked.append(entry); });
    sim.receive(QByteArray("\x02"
                           "E00200602\x03"
                           "D2"),
                7ms);
    sim.receive(QByteArray("\x02"
                           "E0020060\x03"
                           "D2"),
                9ms);
    const QStringList lines = sim.logText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("       7.000 ms request <STX>E00200602<ETX>D2"));
    QCOMPARE(lines[1], QStringLiteral("       7.000 ms answer  <STX>0000<ETX>C3"));
    QVERIFY(lines[2].startsWith(QStringLiteral("       9.000 ms request <STX>E0020060<ETX> [")));
    QCOMPARE(lines[3], QStringLiteral("       9.000 ms answer  <NAK>"));
    QCOMPARE(hooked.size(), 4);
    QCOMPARE(sim.requestCount(), 2);
}

QTEST_GUILESS_MAIN(TestPlcSimulator)
#include "tst_plcsimulator.moc"
