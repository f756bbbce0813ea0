#include "cli/command.h"

#include "cli/benchreport.h"
#include "link/connectiontest.h"
#include "link/framelog.h"
#include "link/portsetup.h"
#include "link/qtplcport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <QThread>

#include <memory>

namespace Cli {

namespace {

// The port a --port value names: a COMn as the settings file maps it, or a
// device (a bare name under /dev, a name with a slash a path); without a
// value the port of section COM, as the window's. The line settings given
// with --line stay whatever the operations apply from the settings file.
class CliPort : public QtPlcPort
{
public:
    CliPort(const QString &iniFile, const QString &port, const QString &line)
        : QtPlcPort(iniFile), m_line(line)
    {
        static const QRegularExpression com(QStringLiteral("^COM(\\d+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = com.match(port);
        if (match.hasMatch())
            m_number = match.captured(1).toInt();
        else if (!port.isEmpty())
            setDevice(serialDevicePath(port));
        const LinkSettings link = linkSettings(iniFile);
        QtPlcPort::setSettings(line.isEmpty() ? link.settings : line);
        QtPlcPort::setPortNumber(m_number > 0 ? m_number : link.portNumber);
    }
    void setSettings(const QString &settings) override
    {
        QtPlcPort::setSettings(m_line.isEmpty() ? settings : m_line);
    }
    void setPortNumber(int number) override
    {
        QtPlcPort::setPortNumber(m_number > 0 ? m_number : number);
    }

private:
    QString m_line;
    int m_number = 0;
};

} // namespace

// The command on every port at once, each on a thread of its own; the exit
// code at once when the frame log (4) or the bench report (6) cannot be
// written. With a report,
// each port's run is recorded in it.
std::variant<QList<CommandResult>, int> runOnPorts(const Command &command, const Options &o)
{
    const QStringList &names = o.ports;
    QList<CommandResult> outcomes(names.size());
    std::unique_ptr<QFile> logFile;
    std::unique_ptr<FrameLog> log;
    if (!o.log.isEmpty()) {
        logFile = std::make_unique<QFile>(o.log);
        if (!logFile->open(QIODevice::WriteOnly | QIODevice::Text)) {
            print(QStringLiteral("Cannot write %1: %2")
                      .arg(logFile->fileName(), logFile->errorString()),
                  stderr);
            return Invalid;
        }
        log = std::make_unique<FrameLog>(*logFile);
    }
    std::unique_ptr<BenchReport> report;
    if (!o.report.isEmpty()) {
        report = std::make_unique<BenchReport>(o.report);
        if (const QString error = report->check(); !error.isEmpty()) {
            print(error, stderr);
            return ReportFailed;
        }
    }
    const bool terminal = isTerminal(stderr);
    QMutex progressLock;
    // Threads Qt knows: the serial ports want them.
    std::vector<std::unique_ptr<QThread>> runs;
    for (qsizetype k = 0; k < names.size(); ++k) {
        runs.emplace_back(QThread::create([&, k] {
            const QString name = names.at(k);
            std::unique_ptr<PlcPort> port = std::make_unique<CliPort>(o.ini, name, o.line);
            if (log)
                port = std::make_unique<LoggingPort>(
                    std::move(port), *log, name.isEmpty() ? QStringLiteral("port") : name);
            const TransferProgress progress = [&, name](int percent) {
                if (!terminal)
                    return;
                const QMutexLocker lock(&progressLock);
                std::fprintf(stderr, "\r%s %s %3d%%", qPrintable(name), qPrintable(o.command),
                             percent);
                std::fflush(stderr);
            };
            Options mine = o;
            mine.port = name;
            if (o.command == QLatin1String("upload"))
                mine.arguments[0] = filledName(o.arguments.value(0), name, o.ini);
            if (!o.addTo.isEmpty())
                mine.addTo = filledName(o.addTo, name, o.ini);
            if (!report) {
                outcomes[k] = command.onPort(mine, *port, progress);
                return;
            }
            // For the bench's record: which PLC it was, by its CPU type, then
            // the command, unless the PLC did not answer.
            QElapsedTimer clock;
            clock.start();
            BenchReport::Entry entry;
            entry.start = QDateTime::currentDateTime();
            entry.port = name;
            entry.command = o.command;
            const ConnectionTestResult tested = testConnection(
                *port, port->portNumber() > 0 ? port->portNumber() : linkSettings(o.ini).portNumber,
                port->settings());
            entry.cpuType = tested.cpuType;
            if (entry.port.isEmpty())
                entry.port = QStringLiteral("COM%1").arg(port->portNumber());
            CommandResult outcome =
                tested.answered
                    ? command.onPort(mine, *port, progress)
                    : failed(LinkFailed,
                             tested.openFailure.isEmpty() ? tested.message : tested.openFailure);
            entry.file = command.argumentCount > 0 && o.command != QLatin1String("diag")
                             ? mine.arguments.value(0)
                             : QString();
            entry.exitCode = outcome.code;
            entry.result = outcome.reportResult;
            entry.differences =
                int(outcome.json.value(QStringLiteral("differences")).toArray().size());
            if (outcome.code > Differences)
                entry.message = outcome.lines.value(0);
            entry.duration = clock.elapsed();
            // A bench relies on its record: a run whose line is missing failed.
            if (const QString error = report->append(entry); !error.isEmpty()) {
                outcome.code = std::max<int>(outcome.code, ReportFailed);
                outcome.lines << error;
                outcome.json.insert(QStringLiteral("reportError"), error);
            }
            outcomes[k] = outcome;
        }));
        runs.back()->start();
    }
    for (const std::unique_ptr<QThread> &run : runs)
        run->wait();
    if (terminal)
        std::fputs("\r\033[K", stderr);
    return outcomes;
}

} // namespace Cli
