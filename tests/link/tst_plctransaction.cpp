#include "link/plcframe.h"
#include "link/plctransaction.h"
#include "support/scriptedport.h"

#include <QTest>

using namespace std::chrono_literals;
using Outcome = PlcResult::Outcome;
using Chunk = ScriptedPort::Chunk;

namespace {

const QByteArray ack(1, PlcFrame::ACK);
const QByteArray nak(1, PlcFrame::NAK);

// A data answer with `bytes` bytes of 0x5A, framed as the PLC frames it.
QByteArray answerOf(int bytes)
{
    return PlcFrame::dataAnswer(QByteArray(2 * bytes, 'A'));
}

PlcResult read40(ScriptedPort &port)
{
    return Plc_read(port, 100ms, 0x2502, 0x40);
}

} // namespace

class TestPlcTransaction : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readCompletesAtItsLength();
    void readReturnsEverythingOfOneChunk();
    void slowSteadyAnswerCompletes();
    void silenceEndsAfterTimeoutFromLastChunk();
    void extraAnswerTimeWaitsLonger_data();
    void extraAnswerTimeWaitsLonger();
    void readRefusedAtOnce();
    void malformedAnswers_data();
    void malformedAnswers();
    void emptyReadCompletesAtFourCharacters();
    void readWord();
    void writeAndProbeCodes_data();
    void writeAndProbeCodes();
    void staleInputIsDiscardedBeforeRequest();
    void lateAnswerIsDroppedBeforeNextRequest();
    void readsAreTriedAgain_data();
    void readsAreTriedAgain();
    void portFailureEndsAtOnce();
};

void TestPlcTransaction::readCompletesAtItsLength()
{
    ScriptedPort port;
    const QByteArray answer = answerOf(0x40);
    QCOMPARE(answer.size(), 132);
    port.addScript({{5ms, answer.left(131)}, {10ms, answer.mid(131)}});
    const PlcResult result = read40(port);
    QCOMPARE(result.outcome, Outcome::Answered);
    QCOMPARE(result.text.toLatin1(), answer);
    QCOMPARE(result.data, QByteArray(0x40, char(0xAA)));
    QCOMPARE(port.now, 10ms); // waited for the 132nd character, no longer
}

void TestPlcTransaction::readReturnsEverythingOfOneChunk()
{
    ScriptedPort port;
    const QByteArray chunk = answerOf(0x40) + "12345678";
    QCOMPARE(chunk.size(), 140);
    port.addScript({{1ms, chunk}});
    QCOMPARE(read40(port).text.toLatin1(), chunk);
}

// Each chunk restarts the timeout: twelve chunks 90 ms apart take 1080 ms
// under a 100 ms timeout and still complete.
void TestPlcTransaction::slowSteadyAnswerCompletes()
{
    ScriptedPort port;
    const QByteArray answer = answerOf(0x40);
    ScriptedPort::Script script;
    for (int i = 0; i < 12; ++i)
        script.append({90ms * (i + 1), answer.mid(i * 11, 11)});
    port.addScript(script);
    const PlcResult result = read40(port);
    QCOMPARE(result.outcome, Outcome::Answered);
    QCOMPARE(port.now, 1080ms);
}

void TestPlcTransaction::silenceEndsAfterTimeoutFromLastChunk()
{
    ScriptedPort port;
    port.addScript({{60ms, answerOf(0x40).left(50)}, {170ms, "AB"}});
    const PlcResult result = read40(port);
    QCOMPARE(result.outcome, Outcome::Timeout);
    QCOMPARE(result.text, QString());
    QCOMPARE(port.now, 160ms); // 100 ms after the first chunk, the second came too late
}

void TestPlcTransaction::extraAnswerTimeWaitsLonger_data()
{
    QTest::addColumn<int>("extra"); // ms added to the 100 ms timeout
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("ended"); // ms after the request
    QTest::newRow("none: a 300 ms answer is missed") << 0 << false << 100;
    QTest::newRow("150 ms: still missed") << 150 << false << 250;
    QTest::newRow("250 ms: a 300 ms answer comes in time") << 250 << true << 300;
}

// A slow line's PLC answers in 300 ms; the time added to every timeout lets
// it, and what silence there is lasts the timeout plus the added time.
void TestPlcTransaction::extraAnswerTimeWaitsLonger()
{
    QFETCH(int, extra);
    QFETCH(bool, answered);
    QFETCH(int, ended);
    ScriptedPort port;
    port.line().answerTimeAdd = std::chrono::milliseconds(extra);
    port.addScript({{300ms, answerOf(0x40)}});
    const PlcResult result = read40(port);
    QCOMPARE(result.outcome, answered ? Outcome::Answered : Outcome::Timeout);
    QCOMPARE(port.now, std::chrono::milliseconds(ended));
}

void TestPlcTransaction::readRefusedAtOnce()
{
    ScriptedPort port;
    port.addScript({{3ms, nak}});
    const PlcResult result = read40(port);
    QCOMPARE(result.outcome, Outcome::Refused);
    QCOMPARE(result.text, QString());
    QCOMPARE(port.now, 3ms);

    port.addScript({{3ms, nak}});
    QCOMPARE(Plc_read_word(port, 100ms, 0x0E02).outcome, Outcome::Refused);
}

void TestPlcTransaction::malformedAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("no STX") << QByteArray("X1234\x03"
                                          "00");
    QTest::newRow("garbage before STX") << QByteArray("\xFF\x02"
                                                      "1234\x03"
                                                      "0");
    QTest::newRow("ETX late") << QByteArray("\x02"
                                            "12345\x03"
                                            "0");
    QTest::newRow("lower-case digits") << QByteArray("\x02"
                                                     "12ab\x03"
                                                     "00");
    QTest::newRow("blank digit") << QByteArray("\x02"
                                               "12 4\x03"
                                               "00");
}

void TestPlcTransaction::malformedAnswers()
{
    QFETCH(QByteArray, answer);
    ScriptedPort port;
    port.addScript({{1ms, answer}});
    const PlcResult read = Plc_read(port, 100ms, 0x2006, 0x02);
    QCOMPARE(read.outcome, Outcome::Malformed);
    QCOMPARE(read.text, QString());
    port.addScript({{1ms, answer}});
    const PlcResult word = Plc_read_word(port, 100ms, 0x0E02);
    QCOMPARE(word.outcome, Outcome::Malformed);
    QCOMPARE(word.text, QString());
}

void TestPlcTransaction::emptyReadCompletesAtFourCharacters()
{
    ScriptedPort port;
    port.addScript({{1ms, "\x02\x03"
                          "03"},
                    {2ms, "99"}});
    const PlcResult result = Plc_read(port, 100ms, 0x2006, 0);
    QCOMPARE(result.outcome, Outcome::Answered);
    QCOMPARE(result.text.size(), 4);
    QCOMPARE(result.data, QByteArray());
    QCOMPARE(port.written.last(), PlcFrame::request("E00", "2006", "00"));
}

// Answers' checksums are now verified: the word answer STX 3412 ETX is
// taken with its own checksum "CD" only, no longer with any two characters.
// With the check turned off (AnswerChecksum=0) any two are taken again.
void TestPlcTransaction::readWord()
{
    ScriptedPort port;
    port.addScript({{1ms, "\x02"
                          "3412\x03"
                          "CD"}});
    PlcResult result = Plc_read_word(port, 100ms, 0x0E02);
    QCOMPARE(result.outcome, Outcome::Answered);
    QCOMPARE(result.text, QStringLiteral("4660"));
    QCOMPARE(result.word, quint16(0x1234));

    port.addScript({{1ms, "\x02"
                          "3412\x03"
                          "??"}});
    result = Plc_read_word(port, 100ms, 0x0E02);
    QCOMPARE(result.outcome, Outcome::Malformed);
    QVERIFY(result.badChecksum);
    QCOMPARE(result.text, QString());

    port.line().checkChecksums = false;
    port.addScript({{1ms, "\x02"
                          "3412\x03"
                          "??"}});
    QCOMPARE(Plc_read_word(port, 100ms, 0x0E02).text, QStringLiteral("4660"));
    port.line().checkChecksums = true;

    port.addScript({{1ms, PlcFrame::dataAnswer("FFFF")}});
    QCOMPARE(Plc_read_word(port, 100ms, 0x0E02).text, QStringLiteral("65535"));

    port.addScript({{1ms, "\x02"
                          "341"}});
    result = Plc_read_word(port, 100ms, 0x0E02);
    QCOMPARE(result.outcome, Outcome::Timeout);
    QCOMPARE(result.text, QString());
}

void TestPlcTransaction::writeAndProbeCodes_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("writeCode");
    QTest::addColumn<QString>("probeCode");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("code");
    QTest::newRow("ACK") << ack << "6"
                         << "6" << Outcome::Answered << 6;
    QTest::newRow("NAK") << nak << "15"
                         << "15" << Outcome::Refused << 0x15;
    QTest::newRow("silence") << QByteArray() << "16"
                             << "" << Outcome::Timeout << -1;
    QTest::newRow("STX") << QByteArray("\x02") << "2"
                         << "2" << Outcome::Malformed << 2;
}

void TestPlcTransaction::writeAndProbeCodes()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, writeCode);
    QFETCH(QString, probeCode);
    QFETCH(Outcome, outcome);
    ScriptedPort port;
    const ScriptedPort::Script script =
        answer.isEmpty() ? ScriptedPort::Script{} : ScriptedPort::Script{{2ms, answer}};
    port.addScript(script);
    PlcResult result =
        Plc_write(port, 150ms, PlcCommand::Write, 0x3000, QByteArray::fromHex("0FFF"));
    QCOMPARE(result.text, writeCode);
    QCOMPARE(result.outcome, outcome);
    QTEST(result.code, "code");
    port.addScript(script);
    result = Plc_enq(port, 100ms, PlcFrame::ENQ);
    QCOMPARE(result.text, probeCode);
    QCOMPARE(result.outcome, outcome);
    QTEST(result.code, "code");
    QCOMPARE(port.written.last(), QByteArray(1, PlcFrame::ENQ));
}

// A late answer to a timed-out request must not be read as the next answer.
void TestPlcTransaction::staleInputIsDiscardedBeforeRequest()
{
    ScriptedPort port;
    port.addScript({{150ms, ack}});
    QCOMPARE(Plc_write(port, 100ms, PlcCommand::Write, 0x3000, QByteArray::fromHex("0FFF")).text,
             QStringLiteral("16"));
    port.now += 100ms; // the late ACK has arrived and sits in the buffer
    port.addScript({{5ms, PlcFrame::dataAnswer("0100")}});
    const PlcResult result = Plc_read_word(port, 100ms, 0x2008);
    QCOMPARE(result.outcome, Outcome::Answered);
    QCOMPARE(result.text, QStringLiteral("1"));
}

// A write met by silence; its ACK comes 800 ms after the request, while the
// next request would be waiting. The next request first waits until the
// line has been quiet (2000 ms after the silent one, and the timeout again
// after the ACK that came meanwhile), so the ACK is dropped, not taken.
void TestPlcTransaction::lateAnswerIsDroppedBeforeNextRequest()
{
    ScriptedPort port;
    port.addScript({{800ms, ack}});
    QCOMPARE(Plc_write(port, 550ms, PlcCommand::Write, 0x3000, QByteArray::fromHex("0FFF")).text,
             QStringLiteral("16"));
    QCOMPARE(port.now, 550ms);
    port.addScript({{5ms, nak}});
    const PlcResult next =
        Plc_write(port, 550ms, PlcCommand::Write, 0x3000, QByteArray::fromHex("0FFF"));
    QCOMPARE(next.text, QStringLiteral("15")); // its own answer, not the late ACK
    QCOMPARE(port.now, 800ms + 550ms + 5ms);
}

void TestPlcTransaction::readsAreTriedAgain_data()
{
    QTest::addColumn<QList<QByteArray>>("answers"); // to each try; empty for silence
    QTest::addColumn<int>("tries");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<bool>("badChecksum");
    const QByteArray good = PlcFrame::dataAnswer("0100");
    const QByteArray digit = PlcFrame::dataAnswer("0100").replace("01", "11"); // sum the sender's
    QTest::newRow("answered") << QList<QByteArray>{good} << 1 << Outcome::Answered << false;
    QTest::newRow("a digit changed, then answered")
        << QList<QByteArray>{digit, good} << 2 << Outcome::Answered << false;
    QTest::newRow("three digits changed")
        << QList<QByteArray>{digit, digit, digit} << 3 << Outcome::Malformed << true;
    QTest::newRow("silence, then answered")
        << QList<QByteArray>{{}, good} << 2 << Outcome::Answered << false;
    QTest::newRow("silence twice") << QList<QByteArray>{{}, {}} << 2 << Outcome::Timeout << false;
    QTest::newRow("garbage, silence, digit") << QList<QByteArray>{"\xFF\xFE\x02"
                                                                  "0100\x03",
                                                                  {},
                                                                  digit}
                                             << 3 << Outcome::Malformed << true;
    QTest::newRow("refused, not again") << QList<QByteArray>{nak} << 1 << Outcome::Refused << false;
}

void TestPlcTransaction::readsAreTriedAgain()
{
    QFETCH(QList<QByteArray>, answers);
    ScriptedPort port;
    for (const QByteArray &answer : answers)
        port.addScript(answer.isEmpty() ? ScriptedPort::Script{}
                                        : ScriptedPort::Script{{2ms, answer}});
    const PlcResult result = Plc_read_retried(port, 350ms, 0x2008, 2);
    QTEST(result.tries, "tries");
    QTEST(result.outcome, "outcome");
    QTEST(result.badChecksum, "badChecksum");
    // The same frame each time, never more than the tries.
    QCOMPARE(port.written, QList<QByteArray>(result.tries, PlcFrame::request("E00", "2008", "02")));
    if (result.answered())
        QCOMPARE(result.data, QByteArray::fromHex("0100"));
}

void TestPlcTransaction::portFailureEndsAtOnce()
{
    ScriptedPort port;
    port.failWaitsAfter(20ms);
    port.addScript({{10ms, "\x02"
                           "12"}});
    const PlcResult read = Plc_read(port, 1000ms, 0x2006, 0x02);
    QCOMPARE(read.outcome, Outcome::PortError);
    QCOMPARE(read.error, QStringLiteral("device vanished"));
    QCOMPARE(port.now, 20ms);
    const PlcResult write =
        Plc_write(port, 1000ms, PlcCommand::Command, 0x2002, QByteArray::fromHex("0080"));
    QCOMPARE(write.outcome, Outcome::PortError);
    QCOMPARE(write.text, QStringLiteral("16")); // never mistaken for an accepted write
}

QTEST_APPLESS_MAIN(TestPlcTransaction)
#include "tst_plctransaction.moc"
