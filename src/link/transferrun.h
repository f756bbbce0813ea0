#pragma once

#include "link/plcframe.h"
#include "link/plcresult.h"
#include "link/plctransaction.h"
#include "link/transferresult.h"

#include <chrono>
#include <optional>

class PlcPort;

// The control word: "0FFF" while a configuration is written, "0000" after.
inline constexpr quint16 controlWordAddress = 0x3000;
// The most bytes one frame carries.
inline constexpr int blockBytes = 64;

// Word transfer encoding: a 16-bit value travels low byte first.
QByteArray wordData(quint16 value);
// The word of the first two bytes, the first the low one.
quint16 wordOf(QByteArrayView data);

// One transfer's use of the port: opens it (unless open already), runs
// transactions until the first one fails and remembers that failure's
// message, and closes the port when the transfer ends, whether it succeeded
// or not.
//
// Failures: a refused or malformed answer is "Wrong answer from PLC", no
// answer in time is "Answer timeout from PLC", a port that cannot be opened
// or fails on the way gives the port's own description of the fault. Reads
// are tried again as Plc_read_retried says, writes never. A second line
// says when the last answer failed its checksum, with the tries made (and,
// the first time on the port, how to turn the check off), and when writes
// of a configuration had been accepted before it failed (the PLC then holds
// part of what was to be written), or only its control word (the PLC waits
// for a configuration), and when the failed write got no proper answer (the
// PLC may have applied it).
class TransferRun
{
public:
    // Uses the port as it is set up.
    explicit TransferRun(PlcPort &port);
    // Applies the settings file's link settings (Port_setup) first.
    TransferRun(PlcPort &port, const QString &iniFile);
    ~TransferRun();
    TransferRun(const TransferRun &) = delete;
    TransferRun &operator=(const TransferRun &) = delete;
    // A write of the bytes with command "E11" (or "E10"); only an ACK counts
    // as accepted.
    bool write(std::chrono::milliseconds timeout, quint16 address, QByteArrayView data,
               PlcCommand command = PlcCommand::Write);
    // A command word written with "E10" as a transfer's last step. The PLC
    // acts on it (it may restart the port it configures), so its answer is
    // not examined; only a failing port ends the transfer.
    void command(std::chrono::milliseconds timeout, quint16 address, QByteArrayView data);
    // A read whose answer is not used: only a failing port ends the transfer.
    void poll(std::chrono::milliseconds timeout, quint16 address, int bytes);
    // The bytes of a read of `bytes` bytes (at most 64), nothing on failure.
    std::optional<QByteArray> read(std::chrono::milliseconds timeout, quint16 address, int bytes,
                                   PlcData shape = PlcData::Bytes);
    // A 16-bit word (a mode word, a setting) read as it travels.
    std::optional<quint16> readWord(std::chrono::milliseconds timeout, quint16 address);
    void pause(std::chrono::milliseconds duration);

    // Ends the transfer with this message unless it has failed already.
    void fail(const QString &message);
    bool failed() const { return m_failed; }
    TransferResult result() const;

    // The control word written before a configuration ("0FFF") and after it
    // ("0000").
    bool beginConfiguration();
    bool endConfiguration();

    // Whether an empty text still goes out as a write of count 00.
    enum class Empty { Write, Skip };
    // Writes the bytes at consecutive addresses from `start`: fewer than 64
    // in one write (then progress is 100), more in blocks of 64 and a shorter
    // last one, each followed by a step of progress and a pause of 100 ms.
    bool writeBlocks(std::chrono::milliseconds timeout, quint16 start, const QByteArray &data,
                     Empty empty, const TransferProgress &progress);
    // Reads `bytes` bytes at consecutive addresses from `start` in blocks of
    // at most 64, with a step of progress after each.
    std::optional<QByteArray> readBlocks(std::chrono::milliseconds timeout, quint16 start,
                                         int bytes, const TransferProgress &progress = {});

private:
    void open();
    bool check(const PlcResult &result);
    QString checksumFailure(int tries);

    PlcPort &m_port;
    QString m_iniFile;
    bool m_failed = false;
    QString m_message;
    bool m_configuring = false; // between the control words "0FFF" and "0000"
    int m_accepted = 0;         // data writes answered ACK meanwhile
    quint16 m_lastAccepted = 0;
    bool m_controlAccepted = false;      // "0FFF" was answered ACK
    std::optional<quint16> m_unanswered; // the write whose answer was lost or garbled
};
