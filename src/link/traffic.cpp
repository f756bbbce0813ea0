#include "traffic.h"

#include "link/handover.h"
#include "link/plcframe.h"

namespace {

// What a request asks, from its frame: "read 2008 (2)", "write 3000 <- 0FFF",
// "probe".
struct Request
{
    QString text;
    bool read = false;
    int bytes = 0;
};

Request describe(const QByteArray &frame)
{
    if (frame.size() == 1 && frame.at(0) == PlcFrame::ENQ)
        return {QStringLiteral("probe"), false, 0};
    const bool word = frame.startsWith("\x02"
                                       "0");
    const qsizetype at = word ? 2 : 4; // after STX and the command
    const QString address = QString::fromLatin1(frame.mid(at, 4));
    const int count = frame.mid(at + 4, 2).toInt(nullptr, 16);
    if (word || frame.startsWith("\x02"
                                 "E00"))
        return {QStringLiteral("read %1 (%2)").arg(address).arg(count), true, count};
    const QByteArray data = frame.mid(at + 6, 2 * count);
    return {QStringLiteral("write %1 \u2190 %2").arg(address, QString::fromLatin1(data)), false, 0};
}

// What an answer says for its request: nothing while it may still be
// coming, else how it ended and what it means.
struct Judgement
{
    bool whole = false;
    TrafficEntry::Kind kind = TrafficEntry::Kind::Received;
    QString meaning;
};

Judgement judge(const Request &request, const QByteArray &answer, bool checkChecksums)
{
    using Kind = TrafficEntry::Kind;
    if (answer.isEmpty())
        return {};
    const QString byte = PlcFrame::readable(answer.first(1));
    if (answer.front() == PlcFrame::NAK)
        return {true, Kind::Refused, request.text + QStringLiteral(": NAK")};
    if (!request.read) {
        const bool ack = answer.front() == PlcFrame::ACK;
        return {true, ack ? Kind::Answer : Kind::Wrong,
                request.text + (ack ? QStringLiteral(": ACK") : QStringLiteral(": ") + byte)};
    }
    if (answer.front() != PlcFrame::STX)
        return {true, Kind::Wrong, request.text + QStringLiteral(": ") + byte};
    const int length = 2 * request.bytes + 4;
    if (answer.size() < length)
        return {};
    // Judged as the transactions judge it: STX, hex digits, ETX and, unless
    // the check is off, the checksum.
    QByteArray digits = answer.mid(1, 2 * request.bytes);
    const bool framed = PlcFrame::isHexDigits(digits) && answer.at(length - 3) == PlcFrame::ETX;
    const bool summed = answer.first(length) == PlcFrame::dataAnswer(digits);
    if (request.bytes == 2 && framed)
        digits = digits.mid(2, 2) + digits.left(2); // the word, low byte first on the line
    else if (digits.size() > 32)
        digits = digits.left(32) + "...";
    const bool fits = framed && (summed || !checkChecksums);
    return {true, fits ? Kind::Answer : Kind::Wrong,
            request.text + QStringLiteral(": ") + PlcFrame::readable(digits) +
                (framed && !summed ? QStringLiteral(" (checksum does not match)") : QString())};
}

QString csvField(const QString &field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) &&
        !field.contains(QLatin1Char('\n')))
        return field;
    return QLatin1Char('"') + QString(field).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

} // namespace

QString TrafficEntry::direction() const
{
    switch (kind) {
    case Kind::Sent:
        return QStringLiteral("sent");
    case Kind::Timeout:
        return QStringLiteral("silent");
    default:
        return bytes.isEmpty() ? QStringLiteral("silent") : QStringLiteral("received");
    }
}

QString TrafficEntry::mark() const
{
    switch (kind) {
    case Kind::Refused:
        return QStringLiteral("NAK");
    case Kind::Wrong:
        return QStringLiteral("wrong answer");
    case Kind::Timeout:
        return QStringLiteral("timeout");
    default:
        return {};
    }
}

QString TrafficEntry::text() const
{
    QString line = QStringLiteral("%1 %2 %3")
                       .arg(time.toString(QStringLiteral("HH:mm:ss.zzz")), port, direction());
    if (!bytes.isEmpty())
        line += QLatin1Char(' ') + bytes;
    if (retry > 0)
        line += QStringLiteral("  (retry %1)").arg(retry);
    if (!meaning.isEmpty())
        line += QStringLiteral("  ") + meaning;
    if (answerTime >= 0)
        line += QStringLiteral("  +%1 ms").arg(answerTime);
    if (const QString m = mark(); !m.isEmpty())
        line += QStringLiteral("  [%1]").arg(m);
    return line;
}

QStringList TrafficEntry::fieldNames()
{
    return {QStringLiteral("time"),  QStringLiteral("port"),    QStringLiteral("direction"),
            QStringLiteral("frame"), QStringLiteral("meaning"), QStringLiteral("answer ms"),
            QStringLiteral("mark"),  QStringLiteral("retry")};
}

QStringList TrafficEntry::fields() const
{
    // The date and the offset from UTC with each time: a log read on
    // another day or at another site still says when.
    return {time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs),
            port,
            direction(),
            bytes,
            meaning,
            answerTime >= 0 ? QString::number(answerTime) : QString(),
            mark(),
            retry > 0 ? QString::number(retry) : QString()};
}

QString trafficCsv(const QList<TrafficEntry> &entries)
{
    const auto line = [](const QStringList &fields) -> QString {
        QStringList quoted;
        for (const QString &field : fields)
            quoted << csvField(field);
        return quoted.join(QLatin1Char(',')) + QLatin1Char('\n');
    };
    QString csv = line(TrafficEntry::fieldNames());
    for (const TrafficEntry &entry : entries)
        csv += line(entry.fields());
    return csv;
}

void TrafficStatistics::add(const TrafficEntry &entry)
{
    using Kind = TrafficEntry::Kind;
    Port &port = m_ports[entry.port];
    switch (entry.kind) {
    case Kind::Sent:
        ++port.sent;
        if (entry.retry > 0)
            ++port.retries;
        break;
    case Kind::Received:
        break;
    case Kind::Answer:
        ++port.answers;
        break;
    case Kind::Refused:
        ++port.refusals;
        break;
    case Kind::Wrong:
        ++port.wrong;
        break;
    case Kind::Timeout:
        ++port.timeouts;
        break;
    }
    if (entry.answerTime >= 0) {
        ++port.timed;
        port.totalTime += entry.answerTime;
        port.maxTime = std::max(port.maxTime, entry.answerTime);
    }
}

QString TrafficStatistics::text() const
{
    QStringList lines;
    for (auto it = m_ports.cbegin(); it != m_ports.cend(); ++it) {
        const Port &p = it.value();
        QString line = QStringLiteral("%1: %2 sent, %3 answers, %4 NAK, %5 wrong, %6 timeouts")
                           .arg(it.key())
                           .arg(p.sent)
                           .arg(p.answers)
                           .arg(p.refusals)
                           .arg(p.wrong)
                           .arg(p.timeouts);
        if (p.retries > 0)
            line += QStringLiteral(", %1 %2").arg(p.retries).arg(
                p.retries == 1 ? QStringLiteral("retry") : QStringLiteral("retries"));
        if (p.timed > 0)
            line += QStringLiteral("; answer time mean %1 ms, max %2 ms")
                        .arg(qRound64(double(p.totalTime) / p.timed))
                        .arg(p.maxTime);
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

TrafficRecorder::TrafficRecorder(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<TrafficEntry>();
}

void TrafficRecorder::record(TrafficEntry entry)
{
    if (!m_enabled)
        return;
    entry.time = QDateTime::currentDateTime();
    // The entry signal is emitted on the recorder's own thread, whichever
    // session's thread the entry comes from.
    handOver(this, [this, entry = std::move(entry)] { Q_EMIT this->entry(entry); });
}

RecordingPort::RecordingPort(std::unique_ptr<PlcPort> port, TrafficRecorder &recorder, QString name)
    : ForwardingPort(std::move(port)), m_recorder(recorder), m_name(std::move(name))
{}

QString RecordingPort::name() const
{
    return m_name.isEmpty() ? QStringLiteral("COM%1").arg(inner().portNumber()) : m_name;
}

void RecordingPort::record(TrafficEntry::Kind kind, QByteArrayView bytes, const QString &meaning,
                           int answerTime, int retry)
{
    m_recorder.record({{}, name(), kind, PlcFrame::readable(bytes), meaning, answerTime, retry});
}

void RecordingPort::reportSilence()
{
    if (!m_answered && m_recorder.isEnabled()) {
        if (m_answer.isEmpty())
            record(TrafficEntry::Kind::Timeout, {},
                   QStringLiteral("no answer after %1 ms").arg(m_silence.count()));
        else
            record(TrafficEntry::Kind::Wrong, {},
                   QStringLiteral("%1: unfinished answer, then nothing for %2 ms")
                       .arg(describe(m_request).text)
                       .arg(m_silence.count()));
    }
    m_answered = true;
}

void RecordingPort::close()
{
    reportSilence();
    inner().close();
}

bool RecordingPort::write(const QByteArray &data)
{
    reportSilence();
    m_settling = false;
    if (m_recorder.isEnabled()) {
        m_request = data;
        m_answer.clear();
        m_answered = false;
        m_silence = {};
        m_sinceRequest.start();
        const int retry = line().retry;
        record(TrafficEntry::Kind::Sent, data,
               retry > 0 ? QStringLiteral("sent again (retry %1)").arg(retry) : QString(), -1,
               retry);
    }
    return inner().write(data);
}

QByteArray RecordingPort::takeReceived()
{
    const QByteArray received = inner().takeReceived();
    if (!received.isEmpty() && m_recorder.isEnabled()) {
        // The transaction has given up on its request and waits for the
        // line to go quiet: what comes now is dropped.
        if (line().quietBeforeNext > std::chrono::milliseconds(0) || m_settling) {
            reportSilence();
            m_settling = true;
            record(TrafficEntry::Kind::Received, received,
                   QStringLiteral("dropped: came after its request had ended"));
            return received;
        }
        m_answer += received;
        m_silence = {};
        Judgement judgement;
        if (!m_answered) {
            judgement = judge(describe(m_request), m_answer, line().checkChecksums);
            m_answered = judgement.whole;
        }
        record(judgement.kind, received, judgement.meaning,
               judgement.whole ? int(m_sinceRequest.elapsed()) : -1);
    }
    return received;
}

// Waits may come in slices; the silence is their sum.
PlcPort::Wait RecordingPort::waitForData(std::chrono::milliseconds timeout)
{
    const bool settling = line().quietBeforeNext > std::chrono::milliseconds(0);
    const Wait wait = inner().waitForData(timeout);
    if (wait == Wait::Timeout && !settling) // not the wait for a quiet line
        m_silence += timeout;
    return wait;
}
