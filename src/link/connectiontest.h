#pragma once

#include <QString>

#include <chrono>
#include <optional>

class PlcPort;

// How a connection test ended: whether the PLC gave its CPU type, and the
// message for the user.
struct ConnectionTestResult
{
    bool answered = false;
    QString message;
    std::optional<quint16> cpuType; // when it answered
    QString openFailure;            // why the port did not open, when it did not
};

// Tries a link: opens the port with the given choices, probes it with ENQ,
// reads the CPU type word at 0E02 and closes the port again, whatever
// happens on the way.
// `extra`, when given, is the time added to each answer timeout in place of
// the settings file's.
ConnectionTestResult testConnection(PlcPort &port, int portNumber, const QString &settings,
                                    std::optional<std::chrono::milliseconds> extra = {});
// The same, as the message for the user.
QString connectionTest(PlcPort &port, int portNumber, const QString &settings,
                       std::optional<std::chrono::milliseconds> extra = {});
