#pragma once

#include <QString>

// How one PLC transaction ended, beside the text result the callers use.
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

    bool answered() const { return outcome == Outcome::Answered; }
};
