#pragma once

#include <QByteArray>
#include <QString>

// How one PLC transaction ended: its outcome, its result in typed form, and
// the text result of the protocol's procedures beside them.
struct PlcResult
{
    enum class Outcome {
        Answered,  // a complete, well-framed answer (ACK for writes and probes)
        Refused,   // the PLC answered NAK
        Timeout,   // the line stayed silent longer than the timeout
        Malformed, // an answer arrived but is not what the request calls for
        PortError, // the port failed (not open, vanished); see error
    };

    // The transaction's text result: the raw answer of a read, the decimal
    // word of a word read, the answer code of a write ("6", "15", "16") or of
    // a probe ("6", "15", "" on timeout).
    QString text;
    Outcome outcome = Outcome::Timeout;
    QString error;

    // Writes and probes: the code of the first answer character; -1 when
    // none came.
    int code = -1;
    // Reads: the bytes the answer's data digits carry, in the PLC's order.
    QByteArray data;
    // Word reads: the word, its first byte the low one.
    quint16 word = 0;
    // Reads: the answer was framed but its checksum did not match (Malformed).
    bool badChecksum = false;
    // How many times the request was sent.
    int tries = 1;

    bool answered() const { return outcome == Outcome::Answered; }
};
