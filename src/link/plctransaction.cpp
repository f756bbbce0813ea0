#include "plctransaction.h"

#include "link/plcframe.h"
#include "link/plcport.h"

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

QByteArray latin1(const QString &text)
{
    return text.toLatin1();
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

// The end of a data read: refused, timed out, malformed, or well framed.
PlcResult readResult(const Exchange &ex, qsizetype digits)
{
    if (ex.outcome != Outcome::Answered)
        return {{}, ex.outcome, ex.error};
    if (startsWithNak(ex.answer))
        return {{}, Outcome::Refused, {}};
    if (!isWellFramed(ex.answer, digits))
        return {{}, Outcome::Malformed, {}};
    return {QString::fromLatin1(ex.answer), Outcome::Answered, {}};
}

// The end of a write or probe: the first character's code decides.
PlcResult codeResult(const Exchange &ex, const QString &timeoutText)
{
    if (ex.outcome != Outcome::Answered)
        return {timeoutText, ex.outcome, ex.error};
    const auto code = static_cast<unsigned char>(ex.answer.front());
    const QString text = QString::number(code, 16).toUpper();
    if (code == PlcFrame::ACK)
        return {text, Outcome::Answered, {}};
    return {text, code == PlcFrame::NAK ? Outcome::Refused : Outcome::Malformed, {}};
}

bool atLeastOne(const QByteArray &answer)
{
    return !answer.isEmpty();
}

} // namespace

PlcResult Plc_read(PlcPort &port, milliseconds timeout, const QString &address,
                   const QString &count)
{
    const qsizetype digits = 2 * qsizetype(Hex_to_int(count));
    const QByteArray request = PlcFrame::request("E00", latin1(address), latin1(count));
    const Exchange ex = exchange(port, timeout, request, [digits](const QByteArray &answer) {
        return startsWithNak(answer) || answer.size() >= digits + 4;
    });
    return readResult(ex, digits);
}

PlcResult Plc_read_word(PlcPort &port, milliseconds timeout, const QString &address)
{
    const QByteArray request = PlcFrame::request("0", latin1(address), "02");
    const Exchange ex = exchange(port, timeout, request, [](const QByteArray &answer) {
        return startsWithNak(answer) || answer.size() >= 8;
    });
    PlcResult result = readResult(ex, 4);
    if (result.answered()) {
        const QString low = result.text.mid(1, 2);
        const QString high = result.text.mid(3, 2);
        result.text = QString::number(Hex_to_int(QString(high + low)));
    }
    return result;
}

PlcResult Plc_write(PlcPort &port, milliseconds timeout, const QString &command,
                    const QString &address, const QString &count, const QString &data)
{
    const QByteArray request =
        PlcFrame::request(latin1(command), latin1(address), latin1(count), latin1(data));
    return codeResult(exchange(port, timeout, request, atLeastOne), QStringLiteral("16"));
}

PlcResult Plc_enq(PlcPort &port, milliseconds timeout, char code)
{
    return codeResult(exchange(port, timeout, QByteArray(1, code), atLeastOne), QString());
}
