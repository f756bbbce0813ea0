#include "simframeparser.h"

#include "link/plcframe.h"

#include <array>

namespace {

constexpr std::array<const char *, 4> commands = {"0", "E00", "E10", "E11"};
constexpr int memorySize = 0x10000;

bool isHex(char c)
{
    return PlcFrame::isHexDigits(QByteArrayView(&c, 1));
}

QString hexOr(char c, const char *fieldName)
{
    return isHex(c) ? QString() : QStringLiteral("%1 is not hex").arg(QLatin1String(fieldName));
}

SimRequest::Kind kindOf(const QByteArray &command)
{
    return command.startsWith("E1") ? SimRequest::Kind::Write : SimRequest::Kind::Read;
}

SimRequest enq(char byte, SimTime now)
{
    SimRequest request;
    request.kind = SimRequest::Kind::Enq;
    request.frame = QByteArray(1, byte);
    request.firstByteAt = now;
    request.endedAt = now;
    return request;
}

} // namespace

// The frame held so far as a request of the given kind, ended at `endedAt`.
SimRequest SimFrameParser::held(SimRequest::Kind kind, SimTime endedAt) const
{
    SimRequest request;
    request.kind = kind;
    request.frame = m_frame;
    request.firstByteAt = m_firstByteAt;
    request.endedAt = endedAt;
    return request;
}

QList<SimRequest> SimFrameParser::feed(QByteArrayView bytes, SimTime now)
{
    QList<SimRequest> ended;
    if (auto stale = expire(now))
        ended.append(*stale);
    for (char byte : bytes) {
        if (auto request = feedByte(byte, now))
            ended.append(*request);
    }
    return ended;
}

std::optional<SimTime> SimFrameParser::expiry() const
{
    if (m_frame.isEmpty())
        return std::nullopt;
    return m_lastByteAt + staleAfter;
}

std::optional<SimRequest> SimFrameParser::expire(SimTime now)
{
    const auto at = expiry();
    if (!at || now < *at)
        return std::nullopt;
    return finish(dropped(QStringLiteral("no byte for %1 ms").arg(staleAfter.count()), *at));
}

std::optional<SimRequest> SimFrameParser::feedByte(char byte, SimTime now)
{
    if (byte == PlcFrame::STX)
        return startFrame(now);
    if (m_frame.isEmpty()) {
        if (byte != PlcFrame::ENQ)
            return std::nullopt;
        return enq(byte, now);
    }
    m_frame.append(byte);
    m_lastByteAt = now;
    if (const QString error = checkLastByte(); !error.isEmpty())
        return finish(broken(error));
    if (isComplete())
        return finish(decode());
    return std::nullopt;
}

// A new STX always begins a new frame; an unfinished one before it is dropped.
std::optional<SimRequest> SimFrameParser::startFrame(SimTime now)
{
    std::optional<SimRequest> old;
    if (!m_frame.isEmpty())
        old = finish(dropped(QStringLiteral("a new STX arrived"), now));
    m_frame = QByteArray(1, PlcFrame::STX);
    m_firstByteAt = now;
    m_lastByteAt = now;
    return old;
}

SimRequest SimFrameParser::finish(SimRequest request)
{
    m_frame.clear();
    return request;
}

SimRequest SimFrameParser::dropped(const QString &reason, SimTime at) const
{
    SimRequest request = held(SimRequest::Kind::Dropped, at);
    request.error = QStringLiteral("incomplete, %1").arg(reason);
    return request;
}

SimRequest SimFrameParser::broken(const QString &reason) const
{
    SimRequest request = held(SimRequest::Kind::Broken, m_lastByteAt);
    request.error = reason;
    return request;
}

// Whether the characters after STX so far begin one of the known commands.
bool SimFrameParser::commandFits() const
{
    const QByteArrayView sofar = QByteArrayView(m_frame).sliced(1);
    for (const char *command : commands) {
        if (QByteArrayView(command).startsWith(sofar))
            return true;
    }
    return false;
}

// Index of the first address digit; valid once the first command character is in.
qsizetype SimFrameParser::fieldsAt() const
{
    return m_frame.at(1) == '0' ? 2 : 4;
}

// Index of the ETX; valid once the count digits are in.
qsizetype SimFrameParser::etxAt() const
{
    const qsizetype count = m_frame.mid(fieldsAt() + 4, 2).toInt(nullptr, 16);
    const bool write = m_frame.at(1) == 'E' && m_frame.at(2) == '1';
    return fieldsAt() + 6 + (write ? 2 * count : 0);
}

bool SimFrameParser::isComplete() const
{
    return m_frame.size() >= fieldsAt() + 7 && m_frame.size() == etxAt() + 3;
}

// The reason the byte just appended cannot belong to a valid frame, if any.
// The checksum digits are judged once the frame is complete.
QString SimFrameParser::checkLastByte() const
{
    const qsizetype last = m_frame.size() - 1;
    const char c = m_frame.at(last);
    if (last < fieldsAt())
        return commandFits() ? QString() : QStringLiteral("unknown command");
    const qsizetype field = last - fieldsAt();
    if (field < 4)
        return hexOr(c, "address");
    if (field < 6)
        return hexOr(c, "count");
    const qsizetype etx = etxAt();
    if (last < etx)
        return hexOr(c, "data");
    if (last == etx && c != PlcFrame::ETX)
        return QStringLiteral("no ETX where it belongs");
    return {};
}

SimRequest SimFrameParser::decode() const
{
    const qsizetype fields = fieldsAt();
    const qsizetype etx = etxAt();
    SimRequest request = held(SimRequest::Kind::Read, m_lastByteAt);
    request.command = m_frame.mid(1, fields - 1);
    request.kind = kindOf(request.command);
    request.address = quint16(m_frame.mid(fields, 4).toUInt(nullptr, 16));
    request.count = m_frame.mid(fields + 4, 2).toInt(nullptr, 16);
    request.data = QByteArray::fromHex(m_frame.mid(fields + 6, etx - fields - 6));
    request.error = validate(request);
    if (!request.error.isEmpty())
        request.kind = SimRequest::Kind::Broken;
    return request;
}

QString SimFrameParser::validate(const SimRequest &request) const
{
    const QByteArrayView frame(m_frame);
    const QByteArray expected = PlcFrame::checksum(frame.sliced(1, etxAt()));
    const QByteArrayView received = frame.last(2);
    if (received != expected) {
        return QStringLiteral("checksum %1, expected %2")
            .arg(QString::fromLatin1(received), QString::fromLatin1(expected));
    }
    if (*request.address + request.count > memorySize)
        return QStringLiteral("beyond the end of the memory");
    return {};
}
