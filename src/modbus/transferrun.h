#pragma once

#include "link/plcresult.h"
#include "modbus/transferresult.h"

#include <QString>

#include <chrono>
#include <optional>

class PlcPort;

// The write commands: configuration blocks and words, and command words.
inline const QString blockWrite = QStringLiteral("E11");
inline const QString commandWrite = QStringLiteral("E10");
// The control word, "0FFF" while a configuration is written, "0000" after.
inline const QString controlWordAddress = QStringLiteral("3000");

// The value as upper-case hex digits, left-padded with "0" to `width`.
QString hexText(int value, int width);

// One transfer's use of the port: opens it, runs transactions until the
// first one fails and remembers that failure's message, and closes the port
// when the transfer ends, whether it succeeded or not.
//
// Failures: a refused or malformed answer is "Wrong answer from PLC", no
// answer in time is "Answer timeout from PLC", a port that cannot be opened
// or fails on the way gives the port's own description of the fault.
class TransferRun
{
public:
    explicit TransferRun(PlcPort &port) : m_port(port) {}
    ~TransferRun();
    TransferRun(const TransferRun &) = delete;
    TransferRun &operator=(const TransferRun &) = delete;

    // Opens the port unless it is open already.
    bool open();
    // A write of the data digits (count from their length); only an ACK
    // counts as accepted.
    bool write(std::chrono::milliseconds timeout, const QString &command, const QString &address,
               const QString &data);
    // A command word written with "E10" as a transfer's last step. The PLC
    // acts on it (it may restart the port it configures), so its answer is
    // not examined; only a failing port ends the transfer.
    void command(std::chrono::milliseconds timeout, const QString &address, const QString &data);
    // The data digits of a read of `bytes` bytes, nothing on failure.
    std::optional<QString> read(std::chrono::milliseconds timeout, const QString &address,
                                int bytes);
    // A 16-bit word read as it travels, low byte first.
    std::optional<quint16> readWord(std::chrono::milliseconds timeout, const QString &address);
    void pause(std::chrono::milliseconds duration);

    // Ends the transfer with this message unless it has failed already.
    void fail(const QString &message);
    bool failed() const { return m_failed; }
    TransferResult result() const;

private:
    bool check(const PlcResult &result);

    PlcPort &m_port;
    bool m_failed = false;
    QString m_message;
};
