// Feeds any bytes, in chunks and at times chosen by the input, to the
// simulator as a client would send them. It must never crash, answer only
// with ACK, NAK or a well-framed data answer, and never schedule an answer in
// the past.
#include "fuzzinput.h"
#include "link/plcframe.h"
#include "plcsimulator.h"

namespace {

bool isAnswer(const QByteArray &bytes)
{
    if (bytes == QByteArray(1, PlcFrame::ACK) || bytes == QByteArray(1, PlcFrame::NAK))
        return true;
    if (bytes.size() < 4 || bytes.at(0) != PlcFrame::STX)
        return false;
    const QByteArray digits = bytes.mid(1, bytes.size() - 4);
    return bytes == PlcFrame::dataAnswer(digits) && PlcFrame::isHexDigits(digits);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    PlcSimulator sim;
    std::chrono::milliseconds now{0};
    while (!input.atEnd()) {
        now += std::chrono::milliseconds(input.byte() * 4);
        const QList<SimChunk> chunks = sim.receive(input.bytes(input.byte() % 160), now);
        for (const SimChunk &chunk : chunks)
            FUZZ_CHECK(chunk.at >= now);
    }
    for (const QByteArray &answer : sim.answers())
        FUZZ_CHECK(isAnswer(answer));
    return 0;
}
