// Feeds whatever a PLC might send back, in chunks and at times chosen by the
// input, to each kind of transaction. Whatever arrives, a transaction must
// end, within its timeout of the last chunk, as answered, refused, timed out
// or malformed, and an accepted data answer must be complete and well framed.
// The traffic monitor's decoding of whatever arrived must not fail either.
#include "fuzzinput.h"
#include "link/plcframe.h"
#include "link/plctransaction.h"
#include "link/traffic.h"
#include "support/scriptedport.h"

using namespace std::chrono_literals;
using Outcome = PlcResult::Outcome;

namespace {

constexpr auto timeout = 100ms;

ScriptedPort::Script scriptFrom(FuzzInput &input, std::chrono::milliseconds &last)
{
    ScriptedPort::Script script;
    std::chrono::milliseconds at{0};
    while (!input.atEnd() && script.size() < 200) {
        at += std::chrono::milliseconds(input.byte());
        script.append({at, input.bytes(input.byte() % 48)});
        last = at;
    }
    return script;
}

PlcResult transact(PlcPort &port, uint8_t kind, int count)
{
    switch (kind % 4) {
    case 0:
        return Plc_read(port, timeout, 0x2502, count);
    case 1:
        return Plc_read_word(port, timeout, 0x0E02);
    case 2:
        return Plc_write(port, timeout, PlcCommand::Write, 0x3000, QByteArray::fromHex("0FFF"));
    default:
        return Plc_enq(port, timeout, PlcFrame::ENQ);
    }
}

void checkRead(const PlcResult &result, qsizetype digits)
{
    if (!result.answered()) {
        FUZZ_CHECK(result.text.isEmpty());
        return;
    }
    const QByteArray answer = result.text.toLatin1();
    FUZZ_CHECK(answer.size() >= digits + 4);
    FUZZ_CHECK(result.data.size() * 2 == digits);
    FUZZ_CHECK(answer.at(0) == PlcFrame::STX && answer.at(digits + 1) == PlcFrame::ETX);
    FUZZ_CHECK(PlcFrame::isHexDigits(QByteArrayView(answer).sliced(1, digits)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t kind = input.byte();
    const int count = input.byte() % 0x41;
    std::chrono::milliseconds last{0};
    // The traffic monitor decodes every answer for its request on the way.
    auto scripted = std::make_unique<ScriptedPort>();
    ScriptedPort &port = *scripted;
    port.addScript(scriptFrom(input, last));
    TrafficRecorder recorder;
    recorder.setEnabled(true);
    TrafficStatistics traffic;
    QObject::connect(&recorder, &TrafficRecorder::entry, &recorder,
                     [&traffic](const TrafficEntry &entry) { traffic.add(entry); });
    RecordingPort recording(std::move(scripted), recorder);
    const PlcResult result = transact(recording, kind, count);
    recording.close();
    // The request (a read of nothing sends none) ended one way only, and an
    // answer the transaction took is one the monitor counts as an answer too.
    const TrafficStatistics::Port p = traffic.ports().value(QStringLiteral("COM1"));
    FUZZ_CHECK(p.sent <= 1 && p.answers + p.refusals + p.wrong + p.timeouts == p.sent);
    if (result.answered() && p.sent == 1)
        FUZZ_CHECK(p.answers == 1);

    FUZZ_CHECK(result.outcome != Outcome::PortError);
    FUZZ_CHECK(port.now <= last + timeout);
    if (kind % 4 == 0)
        checkRead(result, 2 * qsizetype(count));
    if (kind % 4 == 1) {
        bool number = false;
        const int word = result.text.toInt(&number);
        FUZZ_CHECK(result.answered() ? number && word == result.word : result.text.isEmpty());
    }
    if (kind % 4 == 2)
        FUZZ_CHECK(result.answered() == (result.text == QLatin1String("6")) &&
                   result.answered() == (result.code == PlcFrame::ACK));
    return 0;
}
