#include "traffic.h"

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

// What an answer says for its request, once it is complete; empty before.
QString meaning(const Request &request, const QByteArray &answer)
{
    if (answer.isEmpty())
        return {};
    if (answer.front() == PlcFrame::NAK)
        return request.text + QStringLiteral(": NAK");
    if (!request.read)
        return request.text +
               (answer.front() == PlcFrame::ACK
                    ? QStringLiteral(": ACK")
                    : QStringLiteral(": %1").arg(PlcFrame::readable(answer.first(1))));
    if (answer.size() < 2 * request.bytes + 4)
        return {};
    QByteArray digits = answer.mid(1, 2 * request.bytes);
    if (request.bytes == 2)
        digits = digits.mid(2, 2) + digits.left(2); // the word, low byte first on the line
    else if (digits.size() > 32)
        digits = digits.left(32) + "...";
    return request.text + QStringLiteral(": ") + QString::fromLatin1(digits);
}

} // namespace

TrafficRecorder::TrafficRecorder(QObject *parent) : QObject(parent)
{
    m_clock.start();
}

void TrafficRecorder::record(const QString &port, const char *direction, QByteArrayView bytes,
                             const QString &decoding)
{
    if (!m_enabled)
        return;
    QString text = QStringLiteral("%1 %2 %3 %4")
                       .arg(m_clock.elapsed())
                       .arg(port, QLatin1String(direction), PlcFrame::readable(bytes));
    if (!decoding.isEmpty())
        text += QStringLiteral("  ") + decoding;
    Q_EMIT line(text);
}

RecordingPort::RecordingPort(std::unique_ptr<PlcPort> port, TrafficRecorder &recorder)
    : ForwardingPort(std::move(port)), m_recorder(recorder)
{}

QString RecordingPort::name() const
{
    return QStringLiteral("COM%1").arg(inner().portNumber());
}

void RecordingPort::reportSilence()
{
    if (!m_answered && m_recorder.isEnabled())
        m_recorder.record(name(), "silent", {},
                          QStringLiteral("no answer after %1 ms").arg(m_silence.count()));
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
    if (m_recorder.isEnabled()) {
        m_request = data;
        m_answer.clear();
        m_answered = false;
        m_silence = {};
        m_recorder.record(name(), "sent", data);
    }
    return inner().write(data);
}

QByteArray RecordingPort::takeReceived()
{
    const QByteArray received = inner().takeReceived();
    if (!received.isEmpty() && m_recorder.isEnabled()) {
        m_answer += received;
        m_silence = {};
        QString decoding;
        if (!m_answered) {
            decoding = meaning(describe(m_request), m_answer);
            m_answered = !decoding.isEmpty();
        }
        m_recorder.record(name(), "received", received, decoding);
    }
    return received;
}

// Waits may come in slices; the silence is their sum.
PlcPort::Wait RecordingPort::waitForData(std::chrono::milliseconds timeout)
{
    const Wait wait = inner().waitForData(timeout);
    if (wait == Wait::Timeout)
        m_silence += timeout;
    return wait;
}
