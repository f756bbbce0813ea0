#pragma once

#include "simerrors.h"
#include "simfaults.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class PlcSimulator;
class QCommandLineParser;

// The command line of plc-sim: where to listen, the PLC's initial state and
// the faults to commit.
class SimOptions
{
public:
    // Parses the arguments; --help and --version print and exit, as do
    // unknown options. False, with errorString(), when a value is malformed.
    bool parse(const QStringList &arguments);
    QString errorString() const { return m_error; }

    QString linkPath() const { return m_linkPath; }
    QString imagePath() const { return m_imagePath; }
    int lineSpeed() const { return m_lineSpeed; }
    QString logPath() const { return m_logPath; }
    // The configuration file to download at start (see loadConfiguration()).
    QString configPath() const { return m_configPath; }

    // Sets up the simulator's memory, bus and faults; the memory settings go
    // over whatever an image file has loaded before.
    void apply(PlcSimulator &simulator) const;
    // Reads the --errors-file again and sets the buffers from it and
    // --errors, after clearing them. False, with errorString(), when there is
    // no such file or it cannot be read or parsed; the memory stays as it is.
    bool reloadErrors(PlcSimulator &simulator);

private:
    bool decimal(const QCommandLineParser &parser, const char *name, uint max,
                 std::optional<uint> &value);
    bool takeMemory(const QCommandLineParser &parser);
    bool takeBus(const QCommandLineParser &parser);
    bool takeFaults(const QCommandLineParser &parser);
    bool takeErrors(const QCommandLineParser &parser);
    bool readErrorsFile();
    bool takeSelectors(const QCommandLineParser &parser);
    bool takeTimings(const QCommandLineParser &parser);
    bool takeNoise(const QCommandLineParser &parser);
    bool takeSetting(const QString &text);
    bool expandOptionFiles(const QStringList &arguments, QStringList &expanded);
    bool fail(const QString &error);

    QString m_linkPath;
    QString m_imagePath;
    int m_lineSpeed = 0;
    QString m_logPath;
    QString m_configPath;
    QList<std::pair<quint16, QByteArray>> m_settings;
    std::optional<quint16> m_cpuType;
    QList<QByteArray> m_romCodes;
    std::optional<std::chrono::milliseconds> m_searchTime;
    SimFaults m_faults;
    QList<SimErrors::Item> m_errors;     // --errors
    QString m_errorsPath;                // --errors-file
    QList<SimErrors::Item> m_fileErrors; // its last good read
    QString m_error;
};
