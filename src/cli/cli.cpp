#include "cli.h"

#include "cli/command.h"
#include "link/inifile.h"

#include <QJsonDocument>
#include <QMutex>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace Cli {

std::atomic<bool> interrupted = false;

namespace {

#ifdef Q_OS_WIN
// Ctrl+C, Ctrl+Break and the console window's closing end a watch between
// two reads, as the signals do elsewhere.
BOOL WINAPI interruptConsole(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        interrupted = true;
        return TRUE;
    default:
        return FALSE;
    }
}
#else
void interrupt(int)
{
    interrupted = true;
}
#endif

void catchInterrupts()
{
    interrupted = false;
#ifdef Q_OS_WIN
    SetConsoleCtrlHandler(interruptConsole, TRUE);
#else
    std::signal(SIGINT, interrupt);
    std::signal(SIGTERM, interrupt);
#endif
}

// Prints the results, as text or JSON, and gives the exit code: the
// highest of any port.
int report(const Options &o, const QStringList &names, const QList<CommandResult> &outcomes)
{
    int code = Done;
    QJsonArray all;
    for (qsizetype k = 0; k < outcomes.size(); ++k) {
        const CommandResult &outcome = outcomes.at(k);
        code = std::max(code, outcome.code);
        const QString prefix = names.size() > 1 ? names.at(k) + QStringLiteral(": ") : QString();
        QJsonObject json = outcome.json;
        json.insert(QStringLiteral("exitCode"), outcome.code);
        if (!prefix.isEmpty())
            json.insert(QStringLiteral("port"), names.at(k));
        all.append(json);
        if (!o.json) {
            for (const QString &line : outcome.lines)
                print(prefix + line,
                      outcome.code == Done || outcome.code == Differences || outcome.listing
                          ? stdout
                          : stderr);
        }
    }
    if (o.json)
        print(QString::fromUtf8(QJsonDocument(all.size() == 1
                                                  ? QJsonDocument(all.first().toObject()).object()
                                                  : QJsonObject{{QStringLiteral("ports"), all}})
                                    .toJson(QJsonDocument::Indented)));
    return code;
}

} // namespace

CommandResult failed(int code, const QString &message)
{
    return {code, {message}, QJsonObject{{QStringLiteral("error"), message}}};
}

// A transfer's failure: a refusal before anything was sent means an invalid
// configuration, anything else a failed link.
CommandResult failed(const TransferResult &result)
{
    return failed(result.refused ? Invalid : LinkFailed, result.message);
}

bool isTerminal(FILE *stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

// Output is UTF-8 everywhere; a Windows console is told so once.
void print(const QString &text, FILE *stream)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fputc('\n', stream);
}

// Lines from the ports' threads, each written whole.
void printLocked(const QString &text, FILE *stream)
{
    static QMutex lock;
    const QMutexLocker locked(&lock);
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), stream);
    std::fflush(stream);
}

} // namespace Cli

using namespace Cli;

int runCli(const QStringList &arguments)
{
#ifdef Q_OS_WIN
    SetConsoleOutputCP(CP_UTF8);
#endif
    const std::variant<Options, int> parsed = parseOptions(arguments);
    if (const int *exit = std::get_if<int>(&parsed))
        return *exit;
    const Options &o = std::get<Options>(parsed);
    const Command *run = command(o.command);
    if (!run || o.arguments.size() != run->argumentCount) {
        print(run ? QStringLiteral("%1: wrong number of arguments").arg(o.command)
                  : QStringLiteral("unknown command \"%1\"; see --help").arg(o.command),
              stderr);
        return Usage;
    }

    // The port settings come from the settings file: with an unfit one the
    // defaults could reach the wrong device, so nothing is sent.
    if (const QString problem = Ini_problem(o.ini); !problem.isEmpty() && run->needsPort()) {
        print(problem, stderr);
        return Invalid;
    }

    if (!run->needsPort()) {
        if (!o.report.isEmpty()) {
            print(QStringLiteral("--report goes with the commands that talk to a PLC"), stderr);
            return Usage;
        }
        return report(o, {}, {run->once(o)});
    }
    if (o.watch > 0)
        catchInterrupts();
    const std::variant<QList<CommandResult>, int> outcomes = runOnPorts(*run, o);
    if (const int *exit = std::get_if<int>(&outcomes))
        return *exit;
    return report(o, o.ports, std::get<QList<CommandResult>>(outcomes));
}
