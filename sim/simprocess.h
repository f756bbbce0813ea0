#pragma once

#include <QFile>
#include <QProcess>

#include <csignal>
#include <QStringList>
#include <QTemporaryDir>

// The plc-sim executable on a pseudo-terminal in a temporary folder, for
// end-to-end tests through a real serial port. Stopped when destroyed.
class SimProcess
{
public:
    explicit SimProcess(QString program) : m_program(std::move(program)) {}
    ~SimProcess() { stop(); }

    QString link() const { return m_dir.filePath(QStringLiteral("plc")); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Starts the simulator and waits until it says where it listens.
    bool start(const QStringList &arguments = {})
    {
        m_process.start(m_program, QStringList{QStringLiteral("--link"), link()} + arguments);
        if (!m_process.waitForStarted(5000))
            return false;
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(5000))
                return false;
        }
        return m_process.readLine().startsWith("plc-sim: listening on ") && QFile::exists(link());
    }

    // Ends the simulator as SIGTERM does; its pseudo-terminal goes away.
    // Sends a signal (SIGHUP: read the error bytes again).
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

private:
    QString m_program;
    QTemporaryDir m_dir;
    QProcess m_process;
};

// The request frames of a plc-sim log (its --log file), in readable form.
inline QStringList loggedRequests(const QString &logFile)
{
    QFile file(logFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList frames;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype at = line.indexOf(" request ");
        if (at >= 0)
            frames << QString::fromLatin1(line.mid(at + 9).trimmed());
    }
    return frames;
}
