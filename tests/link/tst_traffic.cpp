// What the traffic monitor makes of each exchange: the kind of every line,
// what the answer meant, its mark, and the statistics they add up to.
#include "link/plcframe.h"
#include "link/plctransaction.h"
#include "link/traffic.h"
#include "support/scriptedport.h"

#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class TestTraffic : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void judgesEachAnswer_data();
    void judgesEachAnswer();
    void writesLinesAndCsv();
    void showsRetriesAndDroppedAnswers();
};

namespace {

QString kindName(TrafficEntry::Kind kind)
{
    static const QStringList names = {u"sent"_s,    u"received"_s, u"answer"_s,
                                      u"refused"_s, u"wrong"_s,    u"timeout"_s};
    return names.at(int(kind));
}

QByteArray readRequest()
{
    return PlcFrame::request(PlcCommand::Read, 0x2008, 2);
}

// The transaction each row runs: a read of two bytes, the same read of a
// word, a write, a probe.
enum class Op { Read, Word, Write, Probe };

PlcResult run(Op op, PlcPort &port)
{
    switch (op) {
    case Op::Read:
        return Plc_read(port, 300ms, 0x2008, 2);
    case Op::Word:
        return Plc_read(port, 300ms, 0x2008, 2, PlcData::Word);
    case Op::Write:
        return Plc_write(port, 300ms, PlcCommand::Write, 0x3000, QByteArray::fromHex("FF0F"));
    case Op::Probe:
        break;
    }
    return Plc_enq(port, 300ms, PlcFrame::ENQ);
}

} // namespace

Q_DECLARE_METATYPE(Op)

namespace {

// A recorder, switched on, that keeps every entry and counts it.
struct Recorded
{
    TrafficRecorder recorder;
    QList<TrafficEntry> entries;
    TrafficStatistics statistics;

    Recorded()
    {
        recorder.setEnabled(true);
        QObject::connect(&recorder, &TrafficRecorder::entry, &recorder,
                         [this](const TrafficEntry &entry) {
                             entries.append(entry);
                             statistics.add(entry);
                         });
    }
};

} // namespace

void TestTraffic::judgesEachAnswer_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<QByteArrayList>("chunks"); // as they arrive, 10 ms apart
    QTest::addColumn<int>("failAt");            // ms after the request; 0: the port holds
    QTest::addColumn<QString>("kinds");         // of every line, in order
    QTest::addColumn<QString>("meaning");       // of the last line
    QTest::addColumn<QString>("mark");          // of the last line
    QTest::addColumn<QList<int>>("counts");     // sent, answers, NAKs, wrong, timeouts

    const QByteArray answer = PlcFrame::dataAnswer("03D4");
    const QByteArray badSum = answer.left(answer.size() - 1) + 'F';
    // A block is shown as it lies in the PLC, a word by its value.
    QTest::newRow("read") << Op::Read << QByteArrayList{answer} << 0 << u"sent answer"_s
                          << u"read 2008 (2): 03D4"_s << QString() << QList<int>{1, 1, 0, 0, 0};
    QTest::newRow("word") << Op::Word << QByteArrayList{answer} << 0 << u"sent answer"_s
                          << u"read 2008 (2): D403"_s << QString() << QList<int>{1, 1, 0, 0, 0};
    QTest::newRow("read in two chunks")
        << Op::Word << QByteArrayList{answer.left(3), answer.mid(3)} << 0
        << u"sent received answer"_s << u"read 2008 (2): D403"_s << QString()
        << QList<int>{1, 1, 0, 0, 0};
    QTest::newRow("read refused") << Op::Read << QByteArrayList{"\x15"} << 0 << u"sent refused"_s
                                  << u"read 2008 (2): NAK"_s << u"NAK"_s
                                  << QList<int>{1, 0, 1, 0, 0};
    // Answers' checksums are verified: a mismatch is a wrong answer, as the
    // transactions judge it (with the check turned off, see below).
    QTest::newRow("checksum wrong") << Op::Word << QByteArrayList{badSum} << 0 << u"sent wrong"_s
                                    << u"read 2008 (2): D403 (checksum does not match)"_s
                                    << u"wrong answer"_s << QList<int>{1, 0, 0, 1, 0};
    QTest::newRow("ETX misplaced") << Op::Word
                                   << QByteArrayList{"\x02"
                                                     "03D\x03"
                                                     "4F0"}
                                   << 0 << u"sent wrong"_s << u"read 2008 (2): 03D<ETX>"_s
                                   << u"wrong answer"_s << QList<int>{1, 0, 0, 1, 0};
    QTest::newRow("garbage first") << Op::Read
                                   << QByteArrayList{"\xFF\xFE"
                                                     "0000"
                                                     "\x03"
                                                     "0"}
                                   << 0 << u"sent wrong"_s << u"read 2008 (2): <FF>"_s
                                   << u"wrong answer"_s << QList<int>{1, 0, 0, 1, 0};
    // The transaction waits for an answer's length; what never makes one is
    // unfinished.
    QTest::newRow("garbage, short")
        << Op::Read << QByteArrayList{"\xFF\xFE"} << 0 << u"sent received wrong"_s
        << u"read 2008 (2): unfinished answer, then nothing for 300 ms"_s << u"wrong answer"_s
        << QList<int>{1, 0, 0, 1, 0};
    QTest::newRow("answer left unfinished")
        << Op::Read << QByteArrayList{answer.left(3)} << 0 << u"sent received wrong"_s
        << u"read 2008 (2): unfinished answer, then nothing for 300 ms"_s << u"wrong answer"_s
        << QList<int>{1, 0, 0, 1, 0};
    QTest::newRow("write") << Op::Write << QByteArrayList{"\x06"} << 0 << u"sent answer"_s
                           << u"write 3000 \u2190 FF0F: ACK"_s << QString()
                           << QList<int>{1, 1, 0, 0, 0};
    QTest::newRow("write, odd answer")
        << Op::Write << QByteArrayList{"X"} << 0 << u"sent wrong"_s
        << u"write 3000 \u2190 FF0F: X"_s << u"wrong answer"_s << QList<int>{1, 0, 0, 1, 0};
    QTest::newRow("probe") << Op::Probe << QByteArrayList{"\x06"} << 0 << u"sent answer"_s
                           << u"probe: ACK"_s << QString() << QList<int>{1, 1, 0, 0, 0};
    QTest::newRow("silence") << Op::Read << QByteArrayList{} << 0 << u"sent timeout"_s
                             << u"no answer after 300 ms"_s << u"timeout"_s
                             << QList<int>{1, 0, 0, 0, 1};
    QTest::newRow("port fails") << Op::Probe << QByteArrayList{} << 50 << u"sent timeout"_s
                                << u"no answer: the port failed (device vanished)"_s << u"timeout"_s
                                << QList<int>{1, 0, 0, 0, 1};
}

// The transaction runs on the scripted port with a timeout of 300 ms.
void TestTraffic::judgesEachAnswer()
{
    QFETCH(Op, op);
    QFETCH(QByteArrayList, chunks);
    QFETCH(int, failAt);
    QFETCH(QString, kinds);
    QFETCH(QString, meaning);
    QFETCH(QString, mark);
    QFETCH(QList<int>, counts);

    Recorded recorded;
    TrafficRecorder &recorder = recorded.recorder;
    QList<TrafficEntry> &entries = recorded.entries;
    const TrafficStatistics &statistics = recorded.statistics;
    auto scripted = std::make_unique<ScriptedPort>();
    ScriptedPort::Script script;
    for (qsizetype k = 0; k < chunks.size(); ++k)
        script.append({10ms * (k + 1), chunks.at(k)});
    scripted->addScript(script);
    if (failAt > 0)
        scripted->failWaitsAfter(std::chrono::milliseconds(failAt));
    RecordingPort port(std::move(scripted), recorder);
    run(op, port);
    port.close();
    QCoreApplication::processEvents();

    QStringList seen;
    for (const TrafficEntry &entry : entries) {
        seen << kindName(entry.kind);
        QCOMPARE(entry.port, u"COM1"_s);
        QVERIFY(entry.time.isValid());
    }
    QCOMPARE(seen.join(u' '), kinds);
    QCOMPARE(entries.last().meaning, meaning);
    QCOMPARE(entries.last().mark(), mark);
    // An answer that came whole has its time; a silence has none.
    QCOMPARE(entries.last().answerTime >= 0, entries.last().direction() == u"received"_s);
    const TrafficStatistics::Port p = statistics.ports().value(u"COM1"_s);
    QCOMPARE((QList<int>{p.sent, p.answers, p.refusals, p.wrong, p.timeouts}), counts);
}

// The line of each entry, the statistics' text, and the CSV with its quoting.
void TestTraffic::writesLinesAndCsv()
{
    const QDateTime at(QDate(2026, 12, 9), QTime(12, 3, 4, 120), QTimeZone(2 * 3600));
    using Kind = TrafficEntry::Kind;
    const QList<TrafficEntry> entries = {
        {at, u"COM1"_s, Kind::Sent, u"<ENQ>"_s, {}, -1},
        {at.addMSecs(12), u"COM1"_s, Kind::Answer, u"<ACK>"_s, u"probe: ACK"_s, 12},
        {at.addMSecs(20), u"COM1"_s, Kind::Sent, u"<ENQ>"_s, {}, -1},
        {at.addMSecs(50), u"COM1"_s, Kind::Refused, u"<NAK>"_s, u"probe: NAK"_s, 30},
        {at.addMSecs(60), u"/dev/ttyUSB0"_s, Kind::Sent, u"<ENQ>"_s, {}, -1},
        {at.addMSecs(160), u"/dev/ttyUSB0"_s, Kind::Timeout, {}, u"no answer, \"ever\""_s, -1},
        {at.addMSecs(170), u"/dev/ttyUSB0"_s, Kind::Sent, u"<ENQ>"_s, {}, -1, 1},
    };
    QStringList lines;
    TrafficStatistics statistics;
    for (const TrafficEntry &entry : entries) {
        lines << entry.text();
        statistics.add(entry);
    }
    QCOMPARE(lines, QStringList({
                        u"12:03:04.120 COM1 sent <ENQ>"_s,
                        u"12:03:04.132 COM1 received <ACK>  probe: ACK  +12 ms"_s,
                        u"12:03:04.140 COM1 sent <ENQ>"_s,
                        u"12:03:04.170 COM1 received <NAK>  probe: NAK  +30 ms  [NAK]"_s,
                        u"12:03:04.180 /dev/ttyUSB0 sent <ENQ>"_s,
                        u"12:03:04.280 /dev/ttyUSB0 silent  no answer, \"ever\"  [timeout]"_s,
                        u"12:03:04.290 /dev/ttyUSB0 sent <ENQ>  (retry 1)"_s,
                    }));
    QCOMPARE(statistics.text(),
             u"/dev/ttyUSB0: 2 sent, 0 answers, 0 NAK, 0 wrong, 1 timeouts, 1 retry\n"
             "COM1: 2 sent, 1 answers, 1 NAK, 0 wrong, 0 timeouts; answer time mean 21 ms, "
             "max 30 ms"_s);
    QCOMPARE(trafficCsv(entries.mid(3)),
             u"time,port,direction,frame,meaning,answer ms,mark,retry\n"
             "2026-12-09T12:03:04.170+02:00,COM1,received,<NAK>,probe: NAK,30,NAK,\n"
             "2026-12-09T12:03:04.180+02:00,/dev/ttyUSB0,sent,<ENQ>,,,,\n"
             "2026-12-09T12:03:04.280+02:00,/dev/ttyUSB0,silent,,\"no answer, \"\"ever\"\"\",,"
             "timeout,\n"
             "2026-12-09T12:03:04.290+02:00,/dev/ttyUSB0,sent,<ENQ>,,,,1\n"_s);
    statistics.clear();
    QCOMPARE(statistics.text(), QString());
}

// A read whose answer failed its checksum, then met silence, then was
// answered: each retry is marked and counted, the late bytes that came while
// the line settled are shown as dropped, and every request ended one way.
// With the check turned off, the same mismatch is an answer, still told.
void TestTraffic::showsRetriesAndDroppedAnswers()
{
    Recorded recorded;
    TrafficRecorder &recorder = recorded.recorder;
    QList<TrafficEntry> &entries = recorded.entries;
    const TrafficStatistics &statistics = recorded.statistics;
    const QByteArray answer = PlcFrame::dataAnswer("03D4");
    const QByteArray badSum = answer.left(answer.size() - 1) + 'F';
    auto scripted = std::make_unique<ScriptedPort>();
    ScriptedPort *script = scripted.get();
    script->addScript({{10ms, badSum}});
    script->addScript({{1000ms, answer}}); // late: after the timeout of 300 ms
    script->addScript({{10ms, answer}});
    RecordingPort port(std::move(scripted), recorder);
    const PlcResult result = Plc_read_retried(port, 300ms, 0x2008, 2, PlcData::Word);
    QCOMPARE(result.outcome, PlcResult::Outcome::Answered);
    QCOMPARE(result.tries, 3);
    QCOMPARE(script->written, QByteArrayList(3, readRequest()));
    port.close();
    QCoreApplication::processEvents();
    QStringList seen;
    for (const TrafficEntry &entry : entries)
        seen << kindName(entry.kind) + (entry.retry ? QString::number(entry.retry) : QString());
    QCOMPARE(seen.join(u' '), u"sent wrong sent1 timeout received sent2 answer"_s);
    QCOMPARE(entries.at(4).meaning, u"dropped: came after its request had ended"_s);
    QCOMPARE(statistics.text().section(u';', 0, 0),
             u"COM1: 3 sent, 1 answers, 0 NAK, 1 wrong, 1 timeouts, 2 retries"_s);

    entries.clear();
    port.line().checkChecksums = false;
    script->addScript({{10ms, badSum}});
    QCOMPARE(Plc_read_retried(port, 300ms, 0x2008, 2, PlcData::Word).data,
             QByteArray::fromHex("03D4"));
    QCoreApplication::processEvents();
    QCOMPARE(entries.last().kind, TrafficEntry::Kind::Answer);
    QCOMPARE(entries.last().meaning, u"read 2008 (2): D403 (checksum does not match)"_s);
}

QTEST_GUILESS_MAIN(TestTraffic)
#include "tst_traffic.moc"
