#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

class TransactionWatcher;

// What the PLC transactions need of a serial port: the settings text
// ("115200,N,8,1"), the port number (1 to 10), open and close, writing a text,
// taking everything received so far without blocking, and waiting for more.
//
// A port is used by one thread at a time. Implementations: QtPlcPort (a real
// serial device) and the simulator's in-process SimPort.
class PlcPort
{
public:
    // What the transactions keep about the line between requests, across
    // closing and opening the port: a PLC does not stop answering because the
    // port was closed.
    struct Line
    {
        // Whether data answers' checksums are verified ([COM] AnswerChecksum).
        bool checkChecksums = true;
        // Whether a checksum failure has been reported with where to turn the
        // check off; that is said once per port.
        bool checksumHintGiven = false;
        // Before the next request, nothing may arrive for this long: a late
        // answer may still be on its way. Zero when the line is taken as quiet.
        std::chrono::milliseconds quietBeforeNext{0};
        // While waiting for that, each chunk that comes restarts the wait
        // with this time.
        std::chrono::milliseconds quietAfterData{0};
        // Added to every answer timeout, for a slow adapter or a radio link
        // ([COM] AnswerTimeAdd).
        std::chrono::milliseconds answerTimeAdd{0};
    };

    enum class Wait {
        Data,    // new data is waiting to be taken
        Timeout, // nothing arrived within the time given
        Error,   // the port failed (closed, vanished); see errorString()
    };

    virtual ~PlcPort() = default;

    virtual void setSettings(const QString &settings) = 0;
    virtual QString settings() const = 0;
    virtual void setPortNumber(int number) = 0;
    virtual int portNumber() const = 0;

    // Applies the settings text and opens the device. On failure returns
    // false and errorString() names the device or the setting and the reason.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Sends the bytes; false when the port is not open or has failed.
    virtual bool write(const QByteArray &data) = 0;
    // Everything received so far; empties the receive buffer.
    virtual QByteArray takeReceived() = 0;
    // Drops whatever has been received and not yet taken.
    virtual void discardInput() = 0;
    // Blocks up to the given time for data not yet taken.
    virtual Wait waitForData(std::chrono::milliseconds timeout) = 0;
    // A pause of the operation that owns the port (between table blocks, for
    // example). Taking it from the port lets the in-process double run on
    // simulated time.
    virtual void pause(std::chrono::milliseconds duration) = 0;

    virtual QString errorString() const = 0;

    // The line's state; ports that wrap another one share the inner one's.
    virtual Line &line() { return m_line; }
    // Who is told of every transaction on the port; none by default.
    virtual TransactionWatcher *watcher() { return nullptr; }

private:
    Line m_line;
};
