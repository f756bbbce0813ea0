#include "plctransaction.h"

#include "link/plcframe.h"
#include "link/plcport.h"

#include <QtEndian>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

using Outcome = PlcResult::Outcome;
using std::chrono::milliseconds;

// Decides, from the answer so far, whether the transaction has ended.
using Completion = std::function<bool(const QByteArray &answer)>;

struct Exchange
{
    QByteArray answer;
    Outcome outcome = Outcome::Answered; // Timeout or PortError when cut short
    QString error;
};

// Waits until nothing has come for the quiet time the last request left
// owing, dropping whatever arrives: a late answer to it is never taken for
// the answer to the next one. A line that never goes quiet is given up on
// after a few answers' worth of bytes. False when the port fails.
bool settle(PlcPort &port, QString &error)
{
    PlcPort::Line &line = port.line();
    milliseconds quiet = line.quietBeforeNext;
    const milliseconds afterData = line.quietAfterData;
    qsizetype dropped = 0;
    bool ok = true;
    for (int round = 0; ok && quiet > milliseconds(0) && dropped < 4096 && round < 256; ++round) {
        switch (port.waitForData(quiet)) {
        case PlcPort::Wait::Data:
            dropped += port.takeReceived().size();
            quiet = afterData;
            break;
        case PlcPort::Wait::Timeout:
            quiet = {};
            break;
        case PlcPort::Wait::Error:
            error = port.errorString();
            ok = false;
            break;
        }
    }
    // Owed until now, so that whoever watches the port knows what it drops.
    line.quietBeforeNext = line.quietAfterData = {};
    return ok;
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

Exchange exchange(PlcPort &port, milliseconds given, const QByteArray &request,
                  const Completion &complete)
{
    const milliseconds timeout = given + port.line().answerTimeAdd;
    Exchange ex;
    if (QString error; !settle(port, error))
        return {{}, Outcome::PortError, error};
    port.discardInput();
    if (!port.write(request))
        return {{}, Outcome::PortError, port.errorString()};
    while (!complete(ex.answer)) {
        switch (port.waitForData(timeout)) {
        case PlcPort::Wait::Data:
            ex.answer += port.takeReceived();
            break;
        case PlcPort::Wait::Timeout:
            ex.outcome = Outcome::Timeout;
            oweQuiet(port, ex.outcome, timeout);
            return ex;
        case PlcPort::Wait::Error:
            return {ex.answer, Outcome::PortError, port.errorString()};
        }
    }
    return ex;
}

bool startsWithNak(const QByteArray &answer)
{
    return !answer.isEmpty() && answer.front() == PlcFrame::NAK;
}

// A data answer of `digits` hex digits: STX, the digits, ETX, two checksum
// characters. Anything received beyond is ignored here.
bool isWellFramed(const QByteArray &answer, qsizetype digits)
{
    return answer.size() >= digits + 4 && answer.at(0) == PlcFrame::STX &&
           PlcFrame::isHexDigits(QByteArrayView(answer).sliced(1, digits)) &&
           answer.at(digits + 1) == PlcFrame::ETX;
}

PlcResult ended(Outcome outcome, const QString &text = {}, const QString &error = {})
{
    PlcResult result;
    result.outcome = outcome;
    result.text = text;
    result.error = error;
    return result;
}

// The checksum characters are the low byte of the sum of everything after
// STX up to and including ETX.
bool checksumMatches(const QByteArray &answer, qsizetype digits)
{
    return answer.size() >= digits + 4 &&
           answer.mid(digits + 2, 2) ==
               PlcFrame::checksum(QByteArrayView(answer).sliced(1, digits + 1));
}

// The end of a data read: refused, timed out, malformed (framing or, when
// checked, checksum), or answered.
PlcResult readResult(PlcPort &port, const Exchange &ex, qsizetype digits, milliseconds timeout)
{
    if (ex.outcome != Outcome::Answered)
        return ended(ex.outcome, {}, ex.error);
    if (startsWithNak(ex.answer))
        return ended(Outcome::Refused);
    if (!isWellFramed(ex.answer, digits)) {
        oweQuiet(port, Outcome::Malformed, timeout);
        return ended(Outcome::Malformed);
    }
    if (port.line().checkChecksums && !checksumMatches(ex.answer, digits)) {
        oweQuiet(port, Outcome::Malformed, timeout);
        PlcResult result = ended(Outcome::Malformed);
        result.badChecksum = true;
        return result;
    }
    PlcResult result = ended(Outcome::Answered, QString::fromLatin1(ex.answer));
    result.data = QByteArray::fromHex(ex.answer.mid(1, digits));
    return result;
}

// The end of a write or probe: the first character's code decides.
PlcResult codeResult(PlcPort &port, const Exchange &ex, const QString &timeoutText,
                     milliseconds timeout)
{
    if (ex.outcome != Outcome::Answered)
        return ended(ex.outcome, timeoutText, ex.error);
    const auto code = static_cast<unsigned char>(ex.answer.front());
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

} // namespace

PlcResult Plc_read(PlcPort &port, milliseconds timeout, quint16 address, int count)
{
    const qsizetype digits = 2 * qsizetype(count);
    const QByteArray request = PlcFrame::request(PlcCommand::Read, address, count);
    const Exchange ex = exchange(port, timeout, request, [digits](const QByteArray &answer) {
        return startsWithNak(answer) || answer.size() >= digits + 4;
    });
    return readResult(port, ex, digits, timeout);
}

PlcResult Plc_read_word(PlcPort &port, milliseconds timeout, quint16 address)
{
    const QByteArray request = PlcFrame::request(PlcCommand::ReadWord, address, 2);
    const Exchange ex = exchange(port, timeout, request, [](const QByteArray &answer) {
        return startsWithNak(answer) || answer.size() >= 8;
    });
    PlcResult result = readResult(port, ex, 4, timeout);
    if (result.answered()) {
        result.word = qFromLittleEndian<quint16>(result.data.constData());
        result.text = QString::number(result.word);
    }
    return result;
}

PlcResult Plc_write(PlcPort &port, milliseconds timeout, PlcCommand command, quint16 address,
                    QByteArrayView data)
{
    const QByteArray request = PlcFrame::request(command, address, int(data.size()), data);
    return codeResult(port, exchange(port, timeout, request, atLeastOne), QStringLiteral("16"),
                      timeout);
}

PlcResult Plc_enq(PlcPort &port, milliseconds timeout, char code)
{
    return codeResult(port, exchange(port, timeout, QByteArray(1, code), atLeastOne), QString(),
                      timeout);
}

PlcResult Plc_read_retried(PlcPort &port, milliseconds timeout, quint16 address, int count)
{
    PlcResult result;
    int silences = 0;
    for (int tries = 1;; ++tries) {
        port.line().retry = tries - 1;
        result = Plc_read(port, timeout, address, count);
        port.line().retry = 0;
        result.tries = tries;
        if (result.outcome != Outcome::Malformed && result.outcome != Outcome::Timeout)
            return result;
        if (result.outcome == Outcome::Timeout && ++silences > 1)
            return result;
        if (tries == 3)
            return result;
    }
}
