#include "plctransaction.h"

#include "link/plcframe.h"
#include "link/plcport.h"
#include "link/transactionwatcher.h"

#include <QElapsedTimer>

#include <QtEndian>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

using Outcome = PlcResult::Outcome;
using Kind = TransactionRequest::Kind;
using std::chrono::milliseconds;

// Decides, from the answer so far, whether the transaction has ended.
using Completion = std::function<bool(const QByteArray &answer)>;

struct Exchange
{
    TransactionEnd end; // outcome Timeout or PortError when cut short
    bool sent = false;
};

// Waits until nothing has come for the quiet time the last request left
// owing, dropping whatever arrives: a late answer to it is never taken for
// the answer to the next one. A line that never goes quiet is given up on
// after a few answers' worth of bytes. False when the port fails.
bool settle(PlcPort &port, TransactionWatcher *watcher, QString &error)
{
    PlcPort::Line &line = port.line();
    milliseconds quiet = std::exchange(line.quietBeforeNext, {});
    const milliseconds afterData = std::exchange(line.quietAfterData, {});
    qsizetype dropped = 0;
    for (int round = 0; quiet > milliseconds(0) && dropped < 4096 && round < 256; ++round) {
        switch (port.waitForData(quiet)) {
        case PlcPort::Wait::Data: {
            const QByteArray chunk = port.takeReceived();
            dropped += chunk.size();
            if (watcher && !chunk.isEmpty())
                watcher->dropped(chunk);
            quiet = afterData;
            break;
        }
        case PlcPort::Wait::Timeout:
            quiet = {};
            break;
        case PlcPort::Wait::Error:
            error = port.errorString();
            return false;
        }
    }
    return true;
}

// What the line owes before the next request after this one ended: after
// silence, whatever is late may still come; after a wrong answer, the rest
// of it.
void oweQuiet(PlcPort &port, Outcome outcome, milliseconds timeout)
{
    PlcPort::Line &line = port.line();
    if (outcome == Outcome::Timeout) {
        line.quietBeforeNext = std::max(lateAnswerWindow - timeout, wrongAnswerQuiet);
        line.quietAfterData = timeout;
    } else if (outcome == Outcome::Malformed) {
        line.quietBeforeNext = std::min(timeout, wrongAnswerQuiet);
        line.quietAfterData = line.quietBeforeNext;
    }
}

Exchange exchange(PlcPort &port, milliseconds given, const TransactionRequest &request,
                  const Completion &complete)
{
    const milliseconds timeout = given + port.line().answerTimeAdd;
    TransactionWatcher *watcher = port.watcher();
    Exchange ex;
    TransactionEnd &end = ex.end;
    end.outcome = Outcome::Answered;
    if (!settle(port, watcher, end.error)) {
        end.outcome = Outcome::PortError;
        return ex;
    }
    port.discardInput();
    if (watcher)
        watcher->sent(request);
    ex.sent = true;
    QElapsedTimer clock;
    clock.start();
    if (!port.write(request.frame)) {
        end.outcome = Outcome::PortError;
        end.error = port.errorString();
        return ex;
    }
    while (!complete(end.answer)) {
        switch (port.waitForData(timeout)) {
        case PlcPort::Wait::Data: {
            const QByteArray chunk = port.takeReceived();
            end.answer += chunk;
            if (complete(end.answer)) {
                end.lastChunk = chunk;
                end.answerTime = milliseconds(clock.elapsed());
            } else if (watcher && !chunk.isEmpty()) {
                watcher->received(chunk);
            }
            break;
        }
        case PlcPort::Wait::Timeout:
            end.outcome = Outcome::Timeout;
            end.silence = timeout;
            oweQuiet(port, end.outcome, timeout);
            return ex;
        case PlcPort::Wait::Error:
            end.outcome = Outcome::PortError;
            end.error = port.errorString();
            return ex;
        }
    }
    return ex;
}

// Tells the port's watcher how the transaction ended, as its result says.
PlcResult told(PlcPort &port, const TransactionRequest &request, Exchange &ex, PlcResult result)
{
    ex.end.outcome = result.outcome;
    if (TransactionWatcher *watcher = port.watcher(); watcher && ex.sent)
        watcher->ended(request, ex.end);
    return result;
}

TransactionRequest requestOf(Kind kind, PlcCommand command, quint16 address, int count,
                             QByteArrayView data = {}, int retry = 0)
{
    return {
        kind, address, count, data.toByteArray(), PlcFrame::request(command, address, count, data),
        retry};
}

bool startsWithNak(const QByteArray &answer)
{
    return !answer.isEmpty() && answer.front() == PlcFrame::NAK;
}

PlcResult ended(Outcome outcome, const QString &text = {}, const QString &error = {})
{
    PlcResult result;
    result.outcome = outcome;
    result.text = text;
    result.error = error;
    return result;
}

// The end of a data read: refused, timed out, malformed (framing or, when
// checked, checksum), or answered. A data answer of `digits` hex digits is
// STX, the digits, ETX and two checksum characters: the low byte of the sum
// of everything after STX up to and including ETX. Anything received beyond
// is ignored.
PlcResult readResult(PlcPort &port, Exchange &ex, qsizetype digits, milliseconds timeout)
{
    TransactionEnd &end = ex.end;
    if (end.outcome != Outcome::Answered)
        return ended(end.outcome, {}, end.error);
    const QByteArray &answer = end.answer;
    if (startsWithNak(answer))
        return ended(Outcome::Refused);
    if (answer.front() == PlcFrame::STX) {
        end.digits = answer.mid(1, digits);
        end.framed = PlcFrame::isHexDigits(end.digits) && answer.at(digits + 1) == PlcFrame::ETX;
        end.checksumMatches =
            end.framed && answer.mid(digits + 2, 2) ==
                              PlcFrame::checksum(QByteArrayView(answer).sliced(1, digits + 1));
    }
    if (!end.framed || (port.line().checkChecksums && !end.checksumMatches)) {
        oweQuiet(port, Outcome::Malformed, timeout);
        PlcResult result = ended(Outcome::Malformed);
        result.badChecksum = end.framed;
        return result;
    }
    PlcResult result = ended(Outcome::Answered, QString::fromLatin1(answer));
    result.data = QByteArray::fromHex(end.digits);
    return result;
}

// The end of a write or probe: the first character's code decides.
PlcResult codeResult(PlcPort &port, const Exchange &ex, const QString &timeoutText,
                     milliseconds timeout)
{
    if (ex.end.outcome != Outcome::Answered)
        return ended(ex.end.outcome, timeoutText, ex.end.error);
    const auto code = static_cast<unsigned char>(ex.end.answer.front());
    const Outcome outcome = code == PlcFrame::ACK   ? Outcome::Answered
                            : code == PlcFrame::NAK ? Outcome::Refused
                                                    : Outcome::Malformed;
    oweQuiet(port, outcome, timeout);
    PlcResult result = ended(outcome, QString::number(code, 16).toUpper());
    result.code = code;
    return result;
}

bool atLeastOne(const QByteArray &answer)
{
    return !answer.isEmpty();
}

PlcResult read(PlcPort &port, milliseconds timeout, quint16 address, int count, PlcData shape,
               int retry)
{
    const qsizetype digits = 2 * qsizetype(count);
    const TransactionRequest request =
        requestOf(shape == PlcData::Word ? Kind::ReadWord : Kind::Read, PlcCommand::Read, address,
                  count, {}, retry);
    Exchange ex = exchange(port, timeout, request, [digits](const QByteArray &answer) {
        return startsWithNak(answer) || answer.size() >= digits + 4;
    });
    return told(port, request, ex, readResult(port, ex, digits, timeout));
}

} // namespace

PlcResult Plc_read(PlcPort &port, milliseconds timeout, quint16 address, int count, PlcData shape)
{
    return read(port, timeout, address, count, shape, 0);
}

PlcResult Plc_read_word(PlcPort &port, milliseconds timeout, quint16 address)
{
    const TransactionRequest request = requestOf(Kind::ReadWord, PlcCommand::ReadWord, address, 2);
    Exchange ex = exchange(port, timeout, request, [](const QByteArray &answer) {
        return startsWithNak(answer) || answer.size() >= 8;
    });
    PlcResult result = readResult(port, ex, 4, timeout);
    if (result.answered()) {
        result.word = qFromLittleEndian<quint16>(result.data.constData());
        result.text = QString::number(result.word);
    }
    return told(port, request, ex, result);
}

PlcResult Plc_write(PlcPort &port, milliseconds timeout, PlcCommand command, quint16 address,
                    QByteArrayView data)
{
    const TransactionRequest request =
        requestOf(Kind::Write, command, address, int(data.size()), data);
    Exchange ex = exchange(port, timeout, request, atLeastOne);
    return told(port, request, ex, codeResult(port, ex, QStringLiteral("16"), timeout));
}

PlcResult Plc_enq(PlcPort &port, milliseconds timeout, char code)
{
    const TransactionRequest request{Kind::Probe, 0, 0, {}, QByteArray(1, code), 0};
    Exchange ex = exchange(port, timeout, request, atLeastOne);
    return told(port, request, ex, codeResult(port, ex, QString(), timeout));
}

PlcResult Plc_read_retried(PlcPort &port, milliseconds timeout, quint16 address, int count,
                           PlcData shape)
{
    PlcResult result;
    int silences = 0;
    for (int tries = 1;; ++tries) {
        result = read(port, timeout, address, count, shape, tries - 1);
        result.tries = tries;
        if (result.outcome != Outcome::Malformed && result.outcome != Outcome::Timeout)
            return result;
        if (result.outcome == Outcome::Timeout && ++silences > 1)
            return result;
        if (tries == 3)
            return result;
    }
}
