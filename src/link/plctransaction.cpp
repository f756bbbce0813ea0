#include "plctransaction.h"

#include "link/plcframe.h"
#include "link/plcport.h"

#include <QtEndian>

#include <functional>

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

Exchange exchange(PlcPort &port, milliseconds timeout, const QByteArray &request,
                  const Completion &complete)
{
    Exchange ex;
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
// characters (not verified). Anything received beyond is ignored here.
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

// The end of a data read: refused, timed out, malformed, or well framed.
PlcResult readResult(const Exchange &ex, qsizetype digits)
{
    if (ex.outcome != Outcome::Answered)
        return ended(ex.outcome, {}, ex.error);
    if (startsWithNak(ex.answer))
        return ended(Outcome::Refused);
    if (!isWellFramed(ex.answer, digits))
        return ended(Outcome::Malformed);
    PlcResult result = ended(Outcome::Answered, QString::fromLatin1(ex.answer));
    result.data = QByteArray::fromHex(ex.answer.mid(1, digits));
    return result;
}

// The end of a write or probe: the first character's code decides.
PlcResult codeResult(const Exchange &ex, const QString &timeoutText)
{
    if (ex.outcome != Outcome::Answered)
        return ended(ex.outcome, timeoutText, ex.error);
    const auto code = static_cast<unsigned char>(ex.answer.front());
    const Outcome outcome = code == PlcFrame::ACK   ? Outcome::Answered
                            : code == PlcFrame::NAK ? Outcome::Refused
                                                    : Outcome::Malformed;
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
    return readResult(ex, digits);
}

PlcResult Plc_read_word(PlcPort &port, milliseconds timeout, quint16 address)
{
    const QByteArray request = PlcFrame::request(PlcCommand::ReadWord, address, 2);
    const Exchange ex = exchange(port, timeout, request, [](const QByteArray &answer) {
        return startsWithNak(answer) || answer.size() >= 8;
    });
    PlcResult result = readResult(ex, 4);
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
    return codeResult(exchange(port, timeout, request, atLeastOne), QStringLiteral("16"));
}

PlcResult Plc_enq(PlcPort &port, milliseconds timeout, char code)
{
    return codeResult(exchange(port, timeout, QByteArray(1, code), atLeastOne), QString());
}
