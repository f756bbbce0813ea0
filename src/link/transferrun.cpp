#include "transferrun.h"

#include "link/plcframe.h"
#include "link/plcport.h"
#include "link/plctransaction.h"
#include "link/portsetup.h"

#include <QtEndian>

using namespace std::chrono_literals;
using std::chrono::milliseconds;

QByteArray wordData(quint16 value)
{
    QByteArray data(2, Qt::Uninitialized);
    qToLittleEndian(value, data.data());
    return data;
}

quint16 wordOf(QByteArrayView data)
{
    Q_ASSERT(data.size() >= 2);
    return qFromLittleEndian<quint16>(data.data());
}

TransferRun::TransferRun(PlcPort &port) : m_port(port)
{
    open();
}

TransferRun::TransferRun(PlcPort &port, const QString &iniFile) : m_port(port), m_iniFile(iniFile)
{
    Port_setup(m_port, iniFile);
    open();
}

TransferRun::~TransferRun()
{
    if (m_port.isOpen())
        m_port.close();
}

void TransferRun::open()
{
    if (!m_port.isOpen() && !m_port.open())
        fail(m_port.errorString());
}

bool TransferRun::write(milliseconds timeout, quint16 address, QByteArrayView data,
                        PlcCommand command)
{
    if (m_failed)
        return false;
    const PlcResult answer = Plc_write(m_port, timeout, command, address, data);
    // A write whose answer was lost or garbled may have been applied all
    // the same; a NAK says it was not.
    if (answer.outcome == PlcResult::Outcome::Timeout ||
        answer.outcome == PlcResult::Outcome::Malformed)
        m_unanswered = address;
    if (!check(answer))
        return false;
    if (m_configuring && address == controlWordAddress)
        m_controlAccepted = true;
    else if (m_configuring) {
        ++m_accepted;
        m_lastAccepted = address;
    }
    return true;
}

void TransferRun::command(milliseconds timeout, quint16 address, QByteArrayView data)
{
    if (m_failed)
        return;
    const PlcResult answer = Plc_write(m_port, timeout, PlcCommand::Command, address, data);
    if (answer.outcome == PlcResult::Outcome::PortError)
        check(answer);
}

void TransferRun::poll(milliseconds timeout, quint16 address, int bytes)
{
    if (m_failed)
        return;
    const PlcResult answer = Plc_read(m_port, timeout, address, bytes);
    if (answer.outcome == PlcResult::Outcome::PortError)
        check(answer);
}

std::optional<QByteArray> TransferRun::read(milliseconds timeout, quint16 address, int bytes,
                                            PlcData shape)
{
    if (m_failed)
        return std::nullopt;
    const PlcResult answer = Plc_read_retried(m_port, timeout, address, bytes, shape);
    if (!check(answer))
        return std::nullopt;
    return answer.data;
}

std::optional<quint16> TransferRun::readWord(milliseconds timeout, quint16 address)
{
    const std::optional<QByteArray> data = read(timeout, address, 2, PlcData::Word);
    return data ? std::optional(wordOf(*data)) : std::nullopt;
}

void TransferRun::pause(milliseconds duration)
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
    if (!m_configuring)
        return;
    // What the PLC was left with: the data writes it took (the control
    // words do not count), and a write that may have gone in unanswered.
    if (m_accepted > 0)
        m_message += QStringLiteral("\nThe download stopped half-way: %1 of its writes %2 "
                                    "accepted, the last at %3; the PLC may hold part of the "
                                    "new configuration.")
                         .arg(m_accepted)
                         .arg(m_accepted == 1 ? QStringLiteral("was") : QStringLiteral("were"))
                         .arg(QString::fromLatin1(PlcFrame::hexDigits(m_lastAccepted, 4)));
    else if (m_controlAccepted)
        m_message += QStringLiteral("\nThe download stopped before its first data write was "
                                    "accepted: the PLC was left waiting for a configuration; a "
                                    "new write mends it.");
    if (m_unanswered)
        m_message += QStringLiteral("\nThe write at %1 got no proper answer; the PLC may have "
                                    "applied it.")
                         .arg(QString::fromLatin1(PlcFrame::hexDigits(*m_unanswered, 4)));
}

TransferResult TransferRun::result() const
{
    return m_failed ? TransferResult::failure(m_message) : TransferResult::success();
}

bool TransferRun::beginConfiguration()
{
    m_configuring = true;
    return write(1000ms, controlWordAddress, QByteArray::fromHex("0FFF"));
}

bool TransferRun::endConfiguration()
{
    const bool ended = write(1000ms, controlWordAddress, QByteArray::fromHex("0000"));
    m_configuring = !ended;
    return ended;
}

bool TransferRun::writeBlocks(milliseconds timeout, quint16 start, const QByteArray &data,
                              Empty empty, const TransferProgress &progress)
{
    if (data.isEmpty() && empty == Empty::Skip)
        return !m_failed;
    if (data.size() < blockBytes) {
        if (!write(timeout, start, data))
            return false;
        reportProgress(progress, 100);
        return true;
    }
    for (qsizetype sent = 0; sent < data.size(); sent += blockBytes) {
        const QByteArray block = data.mid(sent, blockBytes);
        if (!write(timeout, quint16(start + sent), block))
            return false;
        reportProgress(progress, int(100 * (sent + block.size()) / data.size()));
        pause(100ms);
    }
    return !m_failed;
}

std::optional<QByteArray> TransferRun::readBlocks(milliseconds timeout, quint16 start, int bytes,
                                                  const TransferProgress &progress)
{
    QByteArray data;
    for (int at = 0; at < bytes; at += blockBytes) {
        const std::optional<QByteArray> block =
            read(timeout, quint16(start + at), std::min(blockBytes, bytes - at));
        if (!block)
            return std::nullopt;
        data += *block;
        reportProgress(progress, std::min(100, 100 * (at + blockBytes) / bytes));
    }
    return data;
}

QString TransferRun::checksumFailure(int tries)
{
    QString text = tries == 1
                       ? QStringLiteral("The answer failed its checksum (1 try).")
                       : QStringLiteral("The answer failed its checksum (%1 tries).").arg(tries);
    PlcPort::Line &line = m_port.line();
    if (!line.checksumHintGiven) {
        line.checksumHintGiven = true;
        text += QStringLiteral(" For a PLC whose firmware sums its answers otherwise, the check "
                               "is turned off by AnswerChecksum=0 in section [COM] of %1.")
                    .arg(m_iniFile.isEmpty() ? QStringLiteral("set.ini") : m_iniFile);
    }
    return text;
}

bool TransferRun::check(const PlcResult &result)
{
    switch (result.outcome) {
    case PlcResult::Outcome::Answered:
        return true;
    case PlcResult::Outcome::Refused:
        fail(wrongAnswerMessage);
        break;
    case PlcResult::Outcome::Malformed:
        fail(result.badChecksum
                 ? wrongAnswerMessage + QLatin1Char('\n') + checksumFailure(result.tries)
                 : wrongAnswerMessage);
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
