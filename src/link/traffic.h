#pragma once

#include "link/forwardingport.h"
#include "link/transactionwatcher.h"

#include <QDateTime>
#include <QMap>
#include <QObject>

#include <atomic>
#include <memory>

// One line of the traffic: a frame sent, a chunk received, or the end of a
// request that got no whole answer.
struct TrafficEntry
{
    enum class Kind {
        Sent,     // a request
        Received, // a chunk that does not end an answer
        Answer,   // the chunk that ends a fitting answer
        Refused,  // the chunk that ends a NAK
        Wrong,    // the chunk that ends a malformed answer, or an answer left unfinished
        Timeout,  // no answer at all
    };

    QDateTime time;
    QString port;
    Kind kind = Kind::Sent;
    QString bytes;       // as PlcFrame::readable() spells them
    QString meaning;     // what the answer says for its request; may be empty
    int answerTime = -1; // ms from the request to the answer's end, -1 for none
    int retry = 0;       // requests: how many times this one repeats the one before

    // "sent", "received" or "silent".
    QString direction() const;
    // Refusals, wrong answers and timeouts: "NAK", "wrong answer", "timeout";
    // empty for the rest.
    QString mark() const;
    // "12:03:04.120 COM1 received <STX>03D4<ETX>D7  read 2008 (2): D403  +12 ms",
    // with the mark in brackets at the end when there is one; a request sent
    // again says "(retry n)" after its frame.
    QString text() const;
    // The fields as the CSV columns have them.
    QStringList fields() const;
    static QStringList fieldNames();
};

// The entries as CSV: a header line, then one line per entry, fields quoted
// where they need it.
QString trafficCsv(const QList<TrafficEntry> &entries);

// Per port: frames sent (and how many of them were retries), answers,
// refusals, wrong answers (a checksum that does not match included),
// timeouts, and the mean and longest answer time of every answer that came
// whole.
class TrafficStatistics
{
public:
    struct Port
    {
        int sent = 0;
        int answers = 0;
        int refusals = 0;
        int wrong = 0;
        int timeouts = 0;
        int retries = 0;      // of the frames sent
        qint64 totalTime = 0; // ms, of the timed answers
        int timed = 0;
        int maxTime = 0;

        bool operator==(const Port &) const = default;
    };

    void add(const TrafficEntry &entry);
    void clear() { m_ports.clear(); }
    const QMap<QString, Port> &ports() const { return m_ports; }
    // "COM1: 12 sent, 11 answers, 1 NAK, 0 wrong, 0 timeouts, 1 retry; answer
    // time mean 14 ms, max 31 ms", a line per port (retries only when any).
    QString text() const;

private:
    QMap<QString, Port> m_ports;
};

// What the traffic monitor shows: every frame sent and every answer
// received, on every port that reports to it. Entries come from the
// sessions' threads; entry() is emitted on the recorder's own thread, in the
// order they came. While off, nothing is recorded.
class TrafficRecorder : public QObject
{
    Q_OBJECT

public:
    explicit TrafficRecorder(QObject *parent = nullptr);

    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }

    // Stamps the entry with the time of day and passes it on.
    void record(TrafficEntry entry);

Q_SIGNALS:
    void entry(const TrafficEntry &entry);

private:
    std::atomic<bool> m_enabled = false;
};

Q_DECLARE_METATYPE(TrafficEntry)

// A port whose transactions go to a recorder: each request, each chunk of
// its answer, and the end as the transaction judged it, with what the answer
// means for its request ("write 3000 <- 0FFF: ACK", "read 2008 (2): D403")
// and the time it took. A request sent again is marked as a retry; what
// arrives while the transaction waits for the line to go quiet is shown as
// dropped. The port goes by its name, or by COMn when none is given.
class RecordingPort : public ForwardingPort, private TransactionWatcher
{
public:
    RecordingPort(std::unique_ptr<PlcPort> port, TrafficRecorder &recorder, QString name = {});

    TransactionWatcher *watcher() override;

private:
    QString name() const;
    void record(TrafficEntry::Kind kind, QByteArrayView bytes, const QString &meaning = {},
                int answerTime = -1, int retry = 0);

    void dropped(QByteArrayView chunk) override;
    void sent(const TransactionRequest &request) override;
    void received(QByteArrayView chunk) override;
    void ended(const TransactionRequest &request, const TransactionEnd &end) override;

    TrafficRecorder &m_recorder;
    QString m_name;
};
