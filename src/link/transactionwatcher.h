#pragma once

#include "link/plcresult.h"

#include <QByteArray>

#include <chrono>

// What a transaction sent: its kind, what it asks, and the frame.
struct TransactionRequest
{
    enum class Kind {
        Read,     // a block of bytes, as they lie in the PLC
        ReadWord, // a 16-bit word, its low byte first on the line
        Write,
        Probe,
    };

    Kind kind = Kind::Probe;
    quint16 address = 0;
    int count = 0;   // reads: bytes asked for
    QByteArray data; // writes: the bytes written
    QByteArray frame;
    int retry = 0; // how many times this request repeats the one before it
};

// How a transaction ended, as the transaction judged it.
struct TransactionEnd
{
    PlcResult::Outcome outcome = PlcResult::Outcome::Timeout;
    QByteArray answer;    // everything received for the request
    QByteArray lastChunk; // the chunk that made the answer whole; empty when none did
    // Reads whose answer came whole and opens with STX: the data digits as
    // they came, and whether the frame is sound and its checksum matches
    // (worked out whether or not the port checks it).
    QByteArray digits;
    bool framed = false;
    bool checksumMatches = false;
    std::chrono::milliseconds answerTime{-1}; // from the request to the last chunk
    std::chrono::milliseconds silence{0};     // timeouts: the silence that ended the wait
    QString error;                            // port errors
};

// Whoever watches a port's transactions (the traffic monitor): each
// transaction tells it, in order, its request, every chunk of the answer but
// the last, and how it ended with that last chunk; and what it dropped while
// it waited for the line to go quiet before the request. Called on the
// thread that runs the transaction.
class TransactionWatcher
{
public:
    virtual ~TransactionWatcher() = default;

    virtual void dropped(QByteArrayView chunk) = 0;
    virtual void sent(const TransactionRequest &request) = 0;
    virtual void received(QByteArrayView chunk) = 0;
    virtual void ended(const TransactionRequest &request, const TransactionEnd &end) = 0;
};
