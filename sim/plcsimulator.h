#pragma once

#include "simchunk.h"
#include "simfaults.h"
#include "simframeparser.h"
#include "simlogentry.h"

#include <QByteArrayView>
#include <QList>
#include <QStringList>

#include <atomic>
#include <functional>
#include <random>

// The PLC as the tool sees it over the serial line: 64 KiB of byte memory, the
// frame protocol, the 1-wire bus search and a log of every frame. A pure state
// machine on a clock its caller supplies: nothing happens between calls, and
// whatever time has to pass (the search, a partial frame going stale) is
// judged on the next call.
class PlcSimulator
{
public:
    static constexpr int memorySize = 0x10000;
    static constexpr quint16 cpuTypeAddress = 0x0E02;
    static constexpr quint16 defaultCpuType = 0x1234;
    static constexpr quint16 searchCommandAddress = 0x2000;
    static constexpr quint16 searchResultAddress = 0x3000;
    static constexpr std::chrono::milliseconds defaultSearchTime{1000};
    // On a line of finite rate, answer bytes leaving within this time of the
    // first byte of a chunk travel in that chunk.
    static constexpr std::chrono::milliseconds chunkWindow{1};

    // Called after every write the PLC accepted, with the bytes it stored.
    using WriteHook = std::function<void(quint16 address, QByteArrayView bytes)>;
    // Called for every log entry as it is added.
    using LogHook = std::function<void(const SimLogEntry &entry)>;

    PlcSimulator();

    // Takes the bytes that arrived at `now` (times must not go backwards) and
    // returns the answer chunks, each with the time it has left the PLC; these
    // may lie in the future. Empty `bytes` just lets time pass.
    QList<SimChunk> receive(QByteArrayView bytes, SimTime now);
    // The next time at which a call to receive() would change something even
    // without bytes: a partial frame going stale or a search ending.
    std::optional<SimTime> nextDeadline() const;

    QByteArray memory(quint16 address, int count) const;
    const QByteArray &memoryImage() const { return m_memory; }
    // Stores bytes from `address` on; what would lie beyond 64 KiB is cut off.
    void setMemory(quint16 address, QByteArrayView bytes);
    // Words are stored low byte first, as they travel.
    quint16 word(quint16 address) const;
    void setWord(quint16 address, quint16 value);
    void setCpuType(quint16 type) { setWord(cpuTypeAddress, type); }

    // The ROM codes on the 1-wire bus, 8 bytes each, byte 0 first.
    void setRomCodes(const QList<QByteArray> &codes) { m_romCodes = codes; }
    const QList<QByteArray> &romCodes() const { return m_romCodes; }
    void setSearchTime(std::chrono::milliseconds time) { m_searchTime = time; }
    std::chrono::milliseconds searchTime() const { return m_searchTime; }

    // Sets the faults; the noise generator starts afresh from their seed.
    void setFaults(const SimFaults &faults);
    const SimFaults &faults() const { return m_faults; }

    void setWriteHook(WriteHook hook) { m_writeHook = std::move(hook); }
    void setLogHook(LogHook hook) { m_logHook = std::move(hook); }

    const QList<SimLogEntry> &log() const { return m_log; }
    // The frames received (requests and ENQs, well formed or not), in order.
    QList<QByteArray> requests() const;
    // The answers sent, in the order they were scheduled.
    QList<QByteArray> answers() const;
    // The log as text, one entry a line.
    QString logText() const;
    // Requests received so far; the ordinal the faults count by.
    // Safe to ask from another thread while the simulator answers.
    int requestCount() const { return m_requestCount.value.load(); }
    // When the PLC has sent its last answer: a port joining the line later
    // starts its time there.
    SimTime lineFreeAt() const { return m_lineFreeAt; }

private:
    struct Reply
    {
        QByteArray bytes;
        std::chrono::milliseconds delay{0};
        QStringList notes;
    };

    void handle(const SimRequest &request, QList<SimChunk> &out);
    SimTime actingTime(const SimRequest &request);
    Reply replyTo(const SimRequest &request, int ordinal, SimTime at);
    Reply execute(const SimRequest &request, bool refuse, SimTime at);
    void store(const SimRequest &request, SimTime at);
    void applyAnswerFaults(Reply &reply, int ordinal, std::optional<quint16> address);
    bool noise(double share);
    void changeDigit(QByteArray &answer);
    QList<SimChunk> schedule(const QByteArray &answer, SimTime start) const;
    void pace(QList<SimChunk> &chunks, QByteArrayView piece, qsizetype sent, SimTime begin) const;
    void settleSearch(SimTime now);
    void record(SimTime at, SimLogEntry::Kind kind, const QByteArray &bytes, const QString &note);
    QList<QByteArray> logged(SimLogEntry::Kind kind) const;

    QByteArray m_memory = QByteArray(memorySize, '\0');
    SimFrameParser m_parser;
    SimFaults m_faults;
    std::mt19937_64 m_noise;
    QList<QByteArray> m_romCodes;
    std::chrono::milliseconds m_searchTime = defaultSearchTime;
    std::optional<SimTime> m_searchDue;
    SimTime m_lineFreeAt{0};
    // Asked from other threads; copied and moved as its value.
    struct SharedCount
    {
        std::atomic<int> value{0};
        SharedCount() = default;
        SharedCount(const SharedCount &other) : value(other.value.load()) {}
        SharedCount &operator=(const SharedCount &other)
        {
            value.store(other.value.load());
            return *this;
        }
    };
    SharedCount m_requestCount;
    QList<SimLogEntry> m_log;
    WriteHook m_writeHook;
    LogHook m_logHook;
};
