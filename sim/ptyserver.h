#pragma once

#include "simchunkqueue.h"

#include <QString>

#include <chrono>
#include <ctime>
#include <functional>
#include <optional>

class PlcSimulator;

// Serves a PlcSimulator on a pseudo-terminal, in real time, so that a program
// can talk to it as to a PLC on a serial port. The slave device is reached
// through a symbolic link. The server keeps the slave side open itself, so a
// client may close and reopen the port at will; when the server ends, both
// sides are closed and a client's open port fails, as when a USB adapter is
// pulled.
class PtyServer
{
public:
    explicit PtyServer(PlcSimulator &simulator);
    ~PtyServer();
    PtyServer(const PtyServer &) = delete;
    PtyServer &operator=(const PtyServer &) = delete;

    // Opens the pseudo-terminal, both sides raw, and makes `linkPath` a
    // symbolic link to the slave device. An existing symbolic link there is
    // replaced; any other file is left alone and open() fails. Takes over
    // SIGINT and SIGTERM: from now on they end run() instead of the process;
    // SIGHUP calls the hangup hook, if one is set, between two frames.
    bool open(const QString &linkPath);
    // Feeds what arrives to the simulator and sends its answers when they are
    // due, until SIGINT or SIGTERM. False when the line fails.
    bool run();
    // Removes the link and closes both sides.
    void close();

    QString slavePath() const { return m_slavePath; }
    // Answers only a client whose line is set to this many baud; what comes
    // at another speed is dropped, as a real line would garble it. 0: any.
    void setLineSpeed(int baud) { m_lineSpeed = baud; }
    void setHangupHook(std::function<void()> hook) { m_hangup = std::move(hook); }
    QString errorString() const { return m_error; }
    // Time since the server was created; the simulator's clock.
    SimTime now() const;

private:
    bool openPty();
    bool makeLink();
    void removeLink();
    bool serveOnce(int wakeFd, bool &stop);
    std::optional<SimTime> nextWake() const;
    timespec timeUntil(SimTime due) const;
    bool readInput();
    int clientSpeed() const;
    bool writeDue();
    bool fail(const QString &what);

    PlcSimulator &m_simulator;
    int m_master = -1;
    int m_slave = -1;
    int m_lineSpeed = 0;
    std::function<void()> m_hangup;
    QString m_slavePath;
    QString m_linkPath;
    SimChunkQueue m_queue;
    QByteArray m_unsent;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    QString m_error;
};
