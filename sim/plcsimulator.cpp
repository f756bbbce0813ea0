#include "plcsimulator.h"

#include "link/plcframe.h"

#include <algorithm>

namespace {

// A data answer with its ETX swapped with the last data digit: the length the
// tool waits for is right, the framing is not.
QByteArray withEarlyEtx(QByteArray answer)
{
    const qsizetype etx = answer.size() - 3;
    if (answer.size() < 6 || answer.front() != PlcFrame::STX || answer.at(etx) != PlcFrame::ETX)
        return answer;
    std::swap(answer[etx], answer[etx - 1]);
    return answer;
}

bool startsSearch(const SimRequest &request)
{
    return request.command == "E10" && request.address == PlcSimulator::searchCommandAddress &&
           request.data.startsWith("\x01\x80");
}

} // namespace

PlcSimulator::PlcSimulator()
{
    setCpuType(defaultCpuType);
}

void PlcSimulator::setFaults(const SimFaults &faults)
{
    m_faults = faults;
    m_noise.seed(faults.noiseSeed);
}

bool PlcSimulator::noise(double share)
{
    return share > 0 && std::uniform_real_distribution<double>(0, 1)(m_noise) < share;
}

// One data digit of a data answer turned into another hex digit; the
// checksum stays what the sender computed.
void PlcSimulator::changeDigit(QByteArray &answer)
{
    const qsizetype digits = answer.size() - 4;
    if (digits <= 0 || answer.front() != PlcFrame::STX)
        return;
    static const QByteArray hex = QByteArrayLiteral("0123456789ABCDEF");
    const qsizetype at =
        1 + qsizetype(std::uniform_int_distribution<qsizetype>(0, digits - 1)(m_noise));
    const qsizetype was = std::max<qsizetype>(0, hex.indexOf(answer.at(at)));
    const int step = std::uniform_int_distribution<int>(1, 15)(m_noise);
    answer[at] = hex.at((was + step) % 16);
}

QList<SimChunk> PlcSimulator::receive(QByteArrayView bytes, SimTime now)
{
    QList<SimChunk> out;
    const QList<SimRequest> ended = m_parser.feed(bytes, now);
    for (const SimRequest &request : ended)
        handle(request, out);
    settleSearch(now);
    return out;
}

std::optional<SimTime> PlcSimulator::nextDeadline() const
{
    const auto stale = m_parser.expiry();
    if (stale && m_searchDue)
        return std::min(*stale, *m_searchDue);
    return stale ? stale : m_searchDue;
}

QByteArray PlcSimulator::memory(quint16 address, int count) const
{
    return m_memory.mid(address, count);
}

void PlcSimulator::setMemory(quint16 address, QByteArrayView bytes)
{
    const qsizetype n = std::min<qsizetype>(bytes.size(), memorySize - address);
    std::copy_n(bytes.begin(), n, m_memory.begin() + address);
}

quint16 PlcSimulator::word(quint16 address) const
{
    const QByteArray bytes = memory(address, 2).leftJustified(2, '\0');
    return quint16(quint8(bytes.at(0)) | quint8(bytes.at(1)) << 8);
}

void PlcSimulator::setWord(quint16 address, quint16 value)
{
    const char bytes[2] = {char(value & 0xFF), char(value >> 8)};
    setMemory(address, QByteArrayView(bytes, 2));
}

QList<QByteArray> PlcSimulator::requests() const
{
    return logged(SimLogEntry::Kind::Request);
}

QList<QByteArray> PlcSimulator::answers() const
{
    return logged(SimLogEntry::Kind::Answer);
}

QList<QByteArray> PlcSimulator::logged(SimLogEntry::Kind kind) const
{
    QList<QByteArray> frames;
    for (const SimLogEntry &entry : m_log) {
        if (entry.kind == kind)
            frames.append(entry.bytes);
    }
    return frames;
}

QString PlcSimulator::logText() const
{
    QStringList lines;
    for (const SimLogEntry &entry : m_log)
        lines.append(entry.text());
    return lines.join(QLatin1Char('\n'));
}

void PlcSimulator::handle(const SimRequest &request, QList<SimChunk> &out)
{
    if (request.kind == SimRequest::Kind::Dropped) {
        record(request.endedAt, SimLogEntry::Kind::Dropped, request.frame, request.error);
        return;
    }
    const SimTime at = actingTime(request);
    settleSearch(at);
    const Reply reply = replyTo(request, ++m_requestCount.value, at);
    record(at, SimLogEntry::Kind::Request, request.frame, reply.notes.join(QStringLiteral(", ")));
    if (reply.bytes.isEmpty())
        return;
    const SimTime start = at + reply.delay;
    record(start, SimLogEntry::Kind::Answer, reply.bytes, {});
    out.append(schedule(reply.bytes, start));
}

// A request is carried out once its last byte is in and, on a line of finite
// rate, once all its characters can have crossed the line one after another.
SimTime PlcSimulator::actingTime(const SimRequest &request)
{
    const SimTime lineStart = std::max(request.firstByteAt, m_lineFreeAt);
    const SimTime at =
        std::max(request.endedAt, lineStart + m_faults.lineTime(request.frame.size()));
    m_lineFreeAt = at;
    return at;
}

PlcSimulator::Reply PlcSimulator::replyTo(const SimRequest &request, int ordinal, SimTime at)
{
    if (m_faults.hits(SimFault::Silent, ordinal, request.address))
        return {{}, {}, {QStringLiteral("silent")}};
    const auto writeAddress = request.isWrite() ? request.address : std::nullopt;
    Reply reply = execute(request, m_faults.hits(SimFault::Refuse, ordinal, writeAddress), at);
    applyAnswerFaults(reply, ordinal, request.address);
    return reply;
}

PlcSimulator::Reply PlcSimulator::execute(const SimRequest &request, bool refuse, SimTime at)
{
    const QByteArray nak(1, PlcFrame::NAK);
    if (request.kind == SimRequest::Kind::Broken)
        return {nak, {}, {request.error}};
    if (refuse)
        return {nak, {}, {QStringLiteral("refused")}};
    if (request.kind == SimRequest::Kind::Read) {
        const QByteArray bytes = memory(*request.address, request.count);
        return {PlcFrame::dataAnswer(bytes.toHex().toUpper()), {}, {}};
    }
    if (request.isWrite())
        store(request, at);
    return {QByteArray(1, PlcFrame::ACK), {}, {}};
}

void PlcSimulator::store(const SimRequest &request, SimTime at)
{
    setMemory(*request.address, request.data);
    if (startsSearch(request))
        m_searchDue = at + m_searchTime;
    if (m_writeHook)
        m_writeHook(*request.address, request.data);
}

void PlcSimulator::applyAnswerFaults(Reply &reply, int ordinal, std::optional<quint16> address)
{
    const bool data = reply.bytes.size() > 4 && reply.bytes.front() == PlcFrame::STX;
    if (data && (m_faults.hits(SimFault::Digit, ordinal, address) || noise(m_faults.digitShare))) {
        changeDigit(reply.bytes);
        reply.notes.append(QStringLiteral("digit changed"));
    }
    if (m_faults.hits(SimFault::Lost, ordinal, address) || noise(m_faults.lostShare)) {
        reply.bytes.clear();
        reply.notes.append(QStringLiteral("answer lost"));
        return;
    }
    if (m_faults.hits(SimFault::EarlyEtx, ordinal, address)) {
        reply.bytes = withEarlyEtx(reply.bytes);
        reply.notes.append(QStringLiteral("ETX early"));
    }
    if (m_faults.hits(SimFault::Garbage, ordinal, address)) {
        reply.bytes.prepend(m_faults.garbage);
        reply.notes.append(QStringLiteral("garbage first"));
    }
    reply.delay = m_faults.delay;
    if (m_faults.hits(SimFault::Late, ordinal, address)) {
        reply.delay += m_faults.lateBy;
        reply.notes.append(QStringLiteral("late"));
    }
}

QList<SimChunk> PlcSimulator::schedule(const QByteArray &answer, SimTime start) const
{
    QList<SimChunk> chunks;
    const qsizetype size = m_faults.chunkSize > 0 ? m_faults.chunkSize : answer.size();
    for (qsizetype sent = 0, index = 0; sent < answer.size(); sent += size, ++index) {
        const QByteArrayView piece =
            QByteArrayView(answer).sliced(sent).first(std::min(size, answer.size() - sent));
        pace(chunks, piece, sent, start + index * m_faults.chunkGap);
    }
    return chunks;
}

// On a line of finite rate each byte has left once its characters, counted
// from the start of the answer, have crossed the line. Bytes leaving within
// chunkWindow of a chunk's first byte join that chunk, which is then due when
// its last byte has left: the reader is woken once per window, not per byte.
void PlcSimulator::pace(QList<SimChunk> &chunks, QByteArrayView piece, qsizetype sent,
                        SimTime begin) const
{
    if (m_faults.baud <= 0) {
        chunks.append({begin, piece.toByteArray()});
        return;
    }
    SimTime opened{0};
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const SimTime at = begin + m_faults.lineTime(sent + i + 1);
        if (i > 0 && at < opened + chunkWindow) {
            chunks.back().at = at;
            chunks.back().bytes.append(piece.at(i));
            continue;
        }
        opened = at;
        chunks.append({at, QByteArray(1, piece.at(i))});
    }
}

// The search result: the number of devices in the first byte at 3000 (the
// second is cleared), their ROM codes from 3002 on, 8 bytes each, byte 0 first.
void PlcSimulator::settleSearch(SimTime now)
{
    if (!m_searchDue || now < *m_searchDue)
        return;
    m_searchDue.reset();
    const qsizetype found = std::min<qsizetype>(m_romCodes.size(), 255);
    QByteArray result(2, '\0');
    result[0] = char(found);
    for (qsizetype i = 0; i < found; ++i)
        result += m_romCodes.at(i).leftJustified(8, '\0', true);
    setMemory(searchResultAddress, result);
}

void PlcSimulator::record(SimTime at, SimLogEntry::Kind kind, const QByteArray &bytes,
                          const QString &note)
{
    m_log.append({at, kind, bytes, note});
    if (m_logHook)
        m_logHook(m_log.back());
}
