#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QMutex>
#include <QString>

#include <optional>

// The record a production bench keeps: one JSON line for each PLC and
// command, appended to a file that the ports of a run, and later runs,
// share. Lines are written whole, one at a time.
class BenchReport
{
public:
    struct Entry
    {
        QDateTime start;
        QString port;
        std::optional<quint16> cpuType; // as the connection test read it
        QString command;
        QString file; // the configuration file, empty for none
        int exitCode = 0;
        int differences = 0;
        QString message;     // why it failed, empty when it did not
        qint64 duration = 0; // ms
        QString result;      // the result, when not the exit code's own
    };

    explicit BenchReport(QString path) : m_path(std::move(path)) {}

    // Why the file cannot be appended to; empty when it can.
    QString check();
    // Appends the entry's line whole, in one write, or not at all (a line
    // written in part is cut off again); why it could not, or empty.
    QString append(const Entry &entry);

    // The line's object: time, port, cpuType (null when the PLC did not
    // answer), command, file and sha256 (of the file as it is now; null when
    // there is none), result ("done", "differences", "link failure",
    // "invalid", "not in mode", "usage"), differences (their count, with that result),
    // message, durationMs.
    static QJsonObject json(const Entry &entry);

private:
    QString m_path;
    QMutex m_lock;
};
