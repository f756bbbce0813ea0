#include "transferrun.h"

#include "link/plcport.h"
#include "link/plctransaction.h"
#include "modbus/modeword.h"

QString hexText(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 16, QLatin1Char('0')).toUpper();
}

TransferRun::~TransferRun()
{
    if (m_port.isOpen())
        m_port.close();
}

bool TransferRun::open()
{
    if (m_failed)
        return false;
    if (!m_port.isOpen() && !m_port.open())
        fail(m_port.errorString());
    return !m_failed;
}

bool TransferRun::write(std::chrono::milliseconds timeout, const QString &command,
                        const QString &address, const QString &data)
{
    if (m_failed)
        return false;
    const QString count = hexText(int(data.size() / 2), 2);
    return check(Plc_write(m_port, timeout, command, address, count, data));
}

void TransferRun::command(std::chrono::milliseconds timeout, const QString &address,
                          const QString &data)
{
    if (m_failed)
        return;
    const QString count = hexText(int(data.size() / 2), 2);
    const PlcResult answer = Plc_write(m_port, timeout, commandWrite, address, count, data);
    if (answer.outcome == PlcResult::Outcome::PortError)
        check(answer);
}

std::optional<QString> TransferRun::read(std::chrono::milliseconds timeout, const QString &address,
                                         int bytes)
{
    if (m_failed)
        return std::nullopt;
    const PlcResult answer = Plc_read(m_port, timeout, address, hexText(bytes, 2));
    if (!check(answer))
        return std::nullopt;
    return answer.text.mid(1, 2 * bytes);
}

std::optional<quint16> TransferRun::readWord(std::chrono::milliseconds timeout,
                                             const QString &address)
{
    const std::optional<QString> digits = read(timeout, address, 2);
    const std::optional<quint16> word = digits ? transferToWord(*digits) : std::nullopt;
    if (!word)
        fail(wrongAnswerMessage);
    return word;
}

void TransferRun::pause(std::chrono::milliseconds duration)
{
    if (!m_failed)
        m_port.pause(duration);
}

void TransferRun::fail(const QString &message)
{
    if (m_failed)
        return;
    m_failed = true;
    m_message = message;
}

TransferResult TransferRun::result() const
{
    return m_failed ? TransferResult::failure(m_message) : TransferResult::success();
}

bool TransferRun::check(const PlcResult &result)
{
    switch (result.outcome) {
    case PlcResult::Outcome::Answered:
        return true;
    case PlcResult::Outcome::Refused:
    case PlcResult::Outcome::Malformed:
        fail(wrongAnswerMessage);
        break;
    case PlcResult::Outcome::Timeout:
        fail(answerTimeoutMessage);
        break;
    case PlcResult::Outcome::PortError:
        fail(result.error.isEmpty() ? m_port.errorString() : result.error);
        break;
    }
    return false;
}
