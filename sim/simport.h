#pragma once

#include "link/plcport.h"
#include "simchunkqueue.h"

#include <QSet>

class PlcSimulator;

// The tool's port wired straight to a PlcSimulator, on simulated time: writes
// reach the simulator at the current simulated time, waits and pauses advance
// that time instead of sleeping, so a test of any length runs at once.
//
// No thread affinity: it may be created on one thread and used on another, but
// by one thread at a time (inspect the simulator once the operation is done).
class SimPort : public PlcPort
{
public:
    // When a port told to vanish after k requests loses its device.
    enum class Vanish {
        BeforeAnswer, // right after the k-th request: its answer never comes
        AfterAnswer,  // once the k-th answer has arrived
    };

    explicit SimPort(PlcSimulator &simulator);

    void setSettings(const QString &settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }
    void setPortNumber(int number) override { m_portNumber = number; }
    int portNumber() const override { return m_portNumber; }

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }

    bool write(const QByteArray &data) override;
    QByteArray takeReceived() override;
    void discardInput() override;
    Wait waitForData(std::chrono::milliseconds timeout) override;
    void pause(std::chrono::milliseconds duration) override;

    QString errorString() const override { return m_error; }

    PlcSimulator &simulator() const { return m_simulator; }
    SimTime now() const { return m_now; }
    // Answer chunks sent by the simulator that have not arrived yet.
    qsizetype chunksInFlight() const { return m_inFlight.size(); }
    // Requests written through this port.
    int requestsWritten() const { return m_written; }

    // Port numbers whose open() fails as if the device did not exist.
    void setMissingPorts(const QSet<int> &numbers) { m_missingPorts = numbers; }
    // Makes every open() fail with this text (empty: opens normally).
    void setOpenError(const QString &error) { m_openError = error; }
    // Loses the device after `requests` requests: writes fail from then on and
    // waits end with Wait::Error; the port cannot be opened again.
    void vanishAfter(int requests, Vanish when = Vanish::BeforeAnswer);

private:
    bool checkSettings();
    bool fail(const QString &error);
    Wait failWait(const QString &error);
    void deliverDue();
    void checkVanish();
    QString deviceName() const;

    PlcSimulator &m_simulator;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_portNumber = 1;
    bool m_open = false;
    SimTime m_now{0};
    SimChunkQueue m_inFlight;
    QByteArray m_received;
    QString m_error;
    QString m_openError;
    QSet<int> m_missingPorts;
    std::optional<int> m_vanishAfter;
    Vanish m_vanishWhen = Vanish::BeforeAnswer;
    bool m_vanished = false;
    int m_written = 0;
};
