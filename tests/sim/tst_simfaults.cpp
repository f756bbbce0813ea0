#include "plcsimulator.h"
#include "simframes.h"

#include <QTest>

using namespace std::chrono_literals;
using namespace SimFrames;

class TestSimFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void chunksAnswersWithGaps();
    void delaysEveryAnswer();
    void lineRateDelaysRequestAndPacesAnswer();
    void lineRateWaitsForSlowRequest();
    void lineRateGroupsBytesByMillisecond();
    void refusesByOrdinalAndByWriteAddress();
    void staysSilentByOrdinalAndByAddress();
    void corruptsChosenAnswers();
    void answersLate();
    void changesDigitsAndLosesAnswers();
    void noiseHitsItsShare();
    void selectorParsesLists_data();
    void selectorParsesLists();
};

namespace {

PlcSimulator simulatorWith(const SimFaults &faults)
{
    PlcSimulator sim;
    sim.setFaults(faults);
    return sim;
}

} // namespace

void TestSimFaults::chunksAnswersWithGaps()
{
    SimFaults faults;
    faults.chunkSize = 3;
    faults.chunkGap = 40ms;
    PlcSimulator sim = simulatorWith(faults);
    const QList<SimChunk> expected = {{100ms, "\x02"
                                              "34"},
                                      {140ms, "12\x03"},
                                      {180ms, "CD"}};
    QCOMPARE(sim.receive(PlcFrame::request("0", "0E02", "02"), 100ms), expected);
    QCOMPARE(sim.answers(), QList<QByteArray>{"\x02"
                                              "3412\x03"
                                              "CD"});
    QCOMPARE(sim.log().back().at, 100ms);
}

void TestSimFaults::delaysEveryAnswer()
{
    SimFaults faults;
    faults.delay = 250ms;
    PlcSimulator sim = simulatorWith(faults);
    QCOMPARE(sim.receive(QByteArray(enq + write("3000", "0000")), 10ms),
             (QList<SimChunk>{{260ms, ack}, {260ms, ack}}));
}

// At 1000 baud a character takes 10 ms: a 13-character read is taken in 130 ms
// after its first byte, and each answer byte leaves 10 ms after the one before.
void TestSimFaults::lineRateDelaysRequestAndPacesAnswer()
{
    SimFaults faults;
    faults.baud = 1000;
    PlcSimulator sim = simulatorWith(faults);
    const QList<SimChunk> chunks = sim.receive(read("0E02", "02"), 0ms);
    QCOMPARE(chunks.size(), 8);
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        QCOMPARE(chunks[i].at, std::chrono::milliseconds(140 + 10 * i));
        QCOMPARE(chunks[i].bytes, QByteArray("\x02"
                                             "3412\x03"
                                             "CD")
                                      .sliced(i, 1));
    }
    QCOMPARE(sim.log().front().at, 130ms);
    // Two ENQs written at once cross the line one after the other.
    QCOMPARE(sim.receive(QByteArray(enq + enq), 1000ms),
             (QList<SimChunk>{{1020ms, ack}, {1030ms, ack}}));
}

void TestSimFaults::lineRateWaitsForSlowRequest()
{
    SimFaults faults;
    faults.baud = 1000;
    PlcSimulator sim = simulatorWith(faults);
    const QByteArray frame = write("3000", "0000"); // 17 characters, 170 ms
    QVERIFY(sim.receive(frame.first(10), 0ms).isEmpty());
    QCOMPARE(sim.receive(frame.sliced(10), 50ms), (QList<SimChunk>{{180ms, ack}}));
    QVERIFY(sim.receive(frame.first(10), 1000ms).isEmpty());
    QCOMPARE(sim.receive(frame.sliced(10), 1400ms), (QList<SimChunk>{{1410ms, ack}}));
}

void TestSimFaults::lineRateGroupsBytesByMillisecond()
{
    SimFaults faults;
    faults.baud = 19200; // 0.52 ms a character
    faults.chunkSize = 4;
    faults.chunkGap = 20ms;
    PlcSimulator sim = simulatorWith(faults);
    // The 11-character request is in after 5730 µs; answer bytes 1 to 4 have
    // left 521, 1042, 1563 and 2084 µs later, bytes 5 to 8 the gap and 2605,
    // 3125, 3646 and 4167 µs later. A byte within 1 ms of its chunk's first
    // byte joins that chunk.
    const QList<SimChunk> expected = {{6772us, "\x02"
                                               "3"},
                                      {7814us, "41"},
                                      {28855us, "2\x03"},
                                      {29897us, "CD"}};
    QCOMPARE(sim.receive(PlcFrame::request("0", "0E02", "02"), 0ms), expected);
    QVERIFY(sim.log().front().text().startsWith(QStringLiteral("       5.730 ms request ")));
}

void TestSimFaults::refusesByOrdinalAndByWriteAddress()
{
    SimFaults faults;
    faults.perRequest[SimFault::Refuse].ordinals = {1, 2};
    faults.perRequest[SimFault::Refuse].addresses = {0x3000};
    PlcSimulator sim = simulatorWith(faults);
    QCOMPARE(sim.receive(read("0E02", "02"), 0ms).front().bytes, nak);
    QCOMPARE(sim.receive(write("2008", "0145"), 0ms).front().bytes, nak);
    QCOMPARE(sim.receive(write("3000", "0FFF"), 0ms).front().bytes, nak);
    QCOMPARE(sim.receive(read("3000", "02"), 0ms).front().bytes, PlcFrame::dataAnswer("0000"));
    QCOMPARE(sim.receive(write("3002", "0FFF"), 0ms).front().bytes, ack);
    QCOMPARE(sim.word(0x2008), 0);
    QCOMPARE(sim.word(0x3000), 0);
    QCOMPARE(sim.word(0x3002), 0xFF0F);
}

void TestSimFaults::staysSilentByOrdinalAndByAddress()
{
    SimFaults faults;
    faults.perRequest[SimFault::Silent].ordinals = {2};
    faults.perRequest[SimFault::Silent].addresses = {0x2002};
    PlcSimulator sim = simulatorWith(faults);
    QCOMPARE(sim.receive(enq, 0ms).size(), 1);
    QVERIFY(sim.receive(write("2008", "0145"), 0ms).isEmpty());
    QVERIFY(sim.receive(write("2002", "0080", "E10"), 0ms).isEmpty());
    QCOMPARE(sim.receive(write("2008", "0145"), 0ms).size(), 1);
    QCOMPARE(sim.requests().size(), 4);
    QCOMPARE(sim.answers().size(), 2);
    QCOMPARE(sim.word(0x2002), 0);
    QCOMPARE(sim.log().at(2).note, QStringLiteral("silent"));
}

// Garbage before the answer; ETX one place early in a data answer of the
// length the tool waits for.
void TestSimFaults::corruptsChosenAnswers()
{
    SimFaults faults;
    faults.perRequest[SimFault::Garbage].ordinals = {1};
    faults.perRequest[SimFault::EarlyEtx].addresses = {0x0E02};
    PlcSimulator sim = simulatorWith(faults);
    QCOMPARE(sim.receive(enq, 0ms).front().bytes, QByteArray("\xFF\xFE\x06"));
    QCOMPARE(sim.receive(read("0E02", "02"), 0ms).front().bytes, QByteArray("\x02"
                                                                            "341\x03"
                                                                            "2CD"));
    QCOMPARE(sim.receive(read("2006", "02"), 0ms).front().bytes, PlcFrame::dataAnswer("0000"));
}

void TestSimFaults::answersLate()
{
    SimFaults faults;
    faults.perRequest[SimFault::Late].ordinals = {1};
    faults.lateBy = 900ms;
    faults.delay = 5ms;
    PlcSimulator sim = simulatorWith(faults);
    QCOMPARE(sim.receive(enq, 100ms), (QList<SimChunk>{{1005ms, ack}}));
    QCOMPARE(sim.receive(enq, 400ms), (QList<SimChunk>{{405ms, ack}}));
}

// One data digit changed, the checksum left the sender's, so that it never
// matches; a lost answer leaves the write's effect in place.
void TestSimFaults::changesDigitsAndLosesAnswers()
{
    SimFaults faults;
    faults.perRequest[SimFault::Digit].ordinals = {1, 2};
    faults.perRequest[SimFault::Lost].ordinals = {3};
    PlcSimulator sim = simulatorWith(faults);
    sim.setWord(0x2006, 0x1234);
    const QByteArray sent = PlcFrame::dataAnswer("3412");
    const QByteArray changed = sim.receive(read("2006", "02"), 0ms).front().bytes;
    QCOMPARE(changed.size(), sent.size());
    QCOMPARE(changed.right(3), sent.right(3)); // ETX and the sender's checksum
    int differing = 0;
    for (qsizetype i = 1; i <= 4; ++i)
        differing += changed.at(i) != sent.at(i);
    QCOMPARE(differing, 1);
    QVERIFY(PlcFrame::isHexDigits(changed.mid(1, 4)));
    QCOMPARE(sim.receive(enq, 0ms).front().bytes, ack); // no data digit to change
    QCOMPARE(sim.receive(write("3000", "0FFF"), 0ms), QList<SimChunk>());
    QCOMPARE(sim.word(0x3000), quint16(0xFF0F));
}

// A share of the answers changed or lost, repeatably from the seed.
void TestSimFaults::noiseHitsItsShare()
{
    SimFaults faults;
    faults.digitShare = 0.1;
    faults.lostShare = 0.05;
    faults.noiseSeed = 42;
    const auto run = [&faults] {
        PlcSimulator sim = simulatorWith(faults);
        QList<QByteArray> answers;
        for (int k = 0; k < 2000; ++k) {
            const QList<SimChunk> chunks = sim.receive(read("2006", "02"), 0ms);
            answers << (chunks.isEmpty() ? QByteArray() : chunks.front().bytes);
        }
        return answers;
    };
    const QList<QByteArray> answers = run();
    const qsizetype lost = answers.count(QByteArray());
    const qsizetype changed = answers.size() - lost - answers.count(PlcFrame::dataAnswer("0000"));
    QVERIFY2(lost > 50 && lost < 150, qPrintable(QString::number(lost)));
    QVERIFY2(changed > 120 && changed < 260, qPrintable(QString::number(changed)));
    QCOMPARE(run(), answers);
}

void TestSimFaults::selectorParsesLists_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QList<int>>("ordinals");
    QTest::addColumn<QList<int>>("addresses");
    QTest::newRow("mixed") << QStringLiteral("3, @3000,7,@0e02") << true << QList<int>{3, 7}
                           << QList<int>{0x3000, 0x0E02};
    QTest::newRow("short address")
        << QStringLiteral("2,@300") << false << QList<int>{} << QList<int>{};
    QTest::newRow("ordinal 0") << QStringLiteral("0") << false << QList<int>{} << QList<int>{};
    QTest::newRow("word") << QStringLiteral("late") << false << QList<int>{} << QList<int>{};
    QTest::newRow("empty item") << QStringLiteral("4,,5") << false << QList<int>{} << QList<int>{};
}

void TestSimFaults::selectorParsesLists()
{
    QFETCH(QString, list);
    QFETCH(bool, valid);
    QFETCH(QList<int>, ordinals);
    QFETCH(QList<int>, addresses);
    SimFrameSelector selector;
    QCOMPARE(selector.add(list), valid);
    QCOMPARE(selector.ordinals, QSet<int>(ordinals.begin(), ordinals.end()));
    QSet<quint16> expected;
    for (int address : addresses)
        expected.insert(quint16(address));
    QCOMPARE(selector.addresses, expected);
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
