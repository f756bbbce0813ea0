#include "traffic.h"

#include "link/handover.h"
#include "link/plcframe.h"

namespace {

// What a request asks: "read 2008 (2)", "write 3000 <- 0FFF", "probe".
QString describe(const TransactionRequest &request)
{
    const QString address = QString::fromLatin1(PlcFrame::hexDigits(request.address, 4));
    switch (request.kind) {
    case TransactionRequest::Kind::Read:
    case TransactionRequest::Kind::ReadWord:
        return QStringLiteral("read %1 (%2)").arg(address).arg(request.count);
    case TransactionRequest::Kind::Write:
        return QStringLiteral("write %1 \u2190 %2")
            .arg(address, QString::fromLatin1(request.data.toHex().toUpper()));
    case TransactionRequest::Kind::Probe:
        break;
    }
    return QStringLiteral("probe");
}

// What the answer said, as the transaction judged it: the code of a write or
// probe, the data of a read (a word as its value, low byte first on the
// line; a long block cut short), or the first character of what came in
// their place.
QString answerText(const TransactionRequest &request, const TransactionEnd &end)
{
    using Outcome = PlcResult::Outcome;
    if (end.outcome == Outcome::Refused)
        return QStringLiteral("NAK");
    if (end.outcome == Outcome::Answered && request.kind == TransactionRequest::Kind::Write)
        return QStringLiteral("ACK");
    if (end.outcome == Outcome::Answered && request.kind == TransactionRequest::Kind::Probe)
        return QStringLiteral("ACK");
    if (end.digits.isEmpty())
        return PlcFrame::readable(end.answer.first(1));
    QByteArray digits = end.digits;
    if (request.kind == TransactionRequest::Kind::ReadWord && end.framed && digits.size() == 4)
        digits = digits.mid(2, 2) + digits.left(2);
    else if (digits.size() > 32)
        digits = digits.left(32) + "...";
    return PlcFrame::readable(digits) + (end.framed && !end.checksumMatches
                                             ? QStringLiteral(" (checksum does not match)")
                                             : QString());
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

TransactionWatcher *RecordingPort::watcher()
{
    return m_recorder.isEnabled() ? this : inner().watcher();
}

QString RecordingPort::name() const
{
    return m_name.isEmpty() ? QStringLiteral("COM%1").arg(inner().portNumber()) : m_name;
}

void RecordingPort::record(TrafficEntry::Kind kind, QByteArrayView bytes, const QString &meaning,
                           int answerTime, int retry)
{
    m_recorder.record({{}, name(), kind, PlcFrame::readable(bytes), meaning, answerTime, retry});
}

void RecordingPort::dropped(QByteArrayView chunk)
{
    record(TrafficEntry::Kind::Received, chunk,
           QStringLiteral("dropped: came after its request had ended"));
}

void RecordingPort::sent(const TransactionRequest &request)
{
    record(TrafficEntry::Kind::Sent, request.frame,
           request.retry > 0 ? QStringLiteral("sent again (retry %1)").arg(request.retry)
                             : QString(),
           -1, request.retry);
}

void RecordingPort::received(QByteArrayView chunk)
{
    record(TrafficEntry::Kind::Received, chunk);
}

void RecordingPort::ended(const TransactionRequest &request, const TransactionEnd &end)
{
    using Kind = TrafficEntry::Kind;
    using Outcome = PlcResult::Outcome;
    if (end.lastChunk.isEmpty()) { // the answer never came whole
        const QString why = end.outcome == Outcome::PortError
                                ? QStringLiteral("the port failed (%1)").arg(end.error)
                                : QStringLiteral("nothing for %1 ms").arg(end.silence.count());
        if (end.answer.isEmpty())
            record(Kind::Timeout, {},
                   end.outcome == Outcome::PortError
                       ? QStringLiteral("no answer: ") + why
                       : QStringLiteral("no answer after %1 ms").arg(end.silence.count()));
        else
            record(Kind::Wrong, {},
                   QStringLiteral("%1: unfinished answer, then %2").arg(describe(request), why));
        return;
    }
    const Kind kind = end.outcome == Outcome::Answered  ? Kind::Answer
                      : end.outcome == Outcome::Refused ? Kind::Refused
                                                        : Kind::Wrong;
    record(kind, end.lastChunk, describe(request) + QStringLiteral(": ") + answerText(request, end),
           int(end.answerTime.count()));
}
