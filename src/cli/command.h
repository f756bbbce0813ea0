#pragma once

// What the command line's files share: the options, a command's result and
// the command table's entries, and the commands' handlers. Only src/cli
// includes it.

#include "config/configuration.h"
#include "config/configurationparts.h"
#include "link/transferresult.h"
#include "onewire/bussearch.h"
#include "tables/texttable.h"

#include <QCommandLineOption>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>
#include <variant>

class PlcPort;

namespace Cli {

enum Exit {
    Done = 0,
    Differences = 1,
    Usage = 2,
    LinkFailed = 3,
    Invalid = 4,
    NotInMode = 5,
    ReportFailed = 6
};

// The placeholder a file name holds for the port, when a command that
// writes a file runs on several ports.
inline const QString portPlaceholder = QStringLiteral("{port}");

// The endings of the configuration files the commands read and write (a
// .json is the JSON form, anything else the record), and the tables show
// --csv prints.
inline QStringList configurationEndings()
{
    return {QStringLiteral("apc"), QStringLiteral("json")};
}
inline QStringList csvTables()
{
    return {QStringLiteral("uart1"), QStringLiteral("uart2"), QStringLiteral("sensors")};
}

// What a value on the command line is, as the shell's completion offers it.
enum class Values {
    None,
    Files,    // files with the endings given (any file without one), and folders
    Folders,  // folders only
    Ports,    // serial devices, and COM1 to COM10
    Words,    // one of the words given
    WordList, // some of the words given, separated by commas
};

// An option of the command line, and what its value is.
struct CliOption
{
    QCommandLineOption option;
    Values values = Values::None;
    QStringList words = {}; // Files: the endings; Words, WordList: the words
};

// The options, in the order --help lists them.
QList<CliOption> cliOptions();

// What a command gave (on one port, for those that use one): its exit code,
// the lines to print, and the same as JSON.
struct CommandResult
{
    int code = Done;
    QStringList lines;
    QJsonObject json;
    bool listing = false; // the lines are the command's findings: standard output whatever the code
    // The bench report's result, when the exit code alone does not say it.
    QString reportResult = {};
};

struct Options
{
    QString ini;
    QString line;
    QString command;
    QStringList arguments;
    ConfigurationParts parts;
    bool verify = false;
    bool json = false;
    QString addTo;
    QString csv; // show: one table, as a spreadsheet takes it
    QString start = BusSearch::defaultStart;
    QStringList ports; // --port, in the order given; one empty name for the default
    QString log;       // --log: the frame log's file, empty for none
    QString backups;   // download --backup: the folder, empty for no backup
    QString port;      // the port a run is on, as given ("" for the default)
    int watch = 0;     // diag --watch: seconds between reads, 0 for one read
    int count = 0;     // diag --count: reads before it ends, 0 for no end
    QString report;    // --report: the bench record's file, empty for none
};

// One command of the tool: how it is called, what --help says of it, and
// what runs it, on each port or once without one.
struct Command
{
    QString name;
    QString arguments;     // as --help shows them
    int argumentCount = 0; // positional arguments after the name
    QString summary;       // what it does
    QString options;       // its options, on a line of their own; may be empty
    std::function<CommandResult(const Options &, PlcPort &, const TransferProgress &)> onPort;
    std::function<CommandResult(const Options &)> once;
    // What its arguments are: configuration files (Files, ending in one of
    // configurationEndings), or one of the words `arguments` separates with
    // "|" (Words).
    Values argumentValues = Values::None;

    bool needsPort() const { return bool(onPort); }
};

// The command table: every command, in the order --help lists them.
const QList<Command> &commands();
// The command of that name, or none.
const Command *command(const QString &name);

// What the command line asks for, or the exit code it ends with at once
// (help, version, a usage error).
std::variant<Options, int> parseOptions(const QStringList &arguments);
// The bash completion script of the commands and options above.
QString bashCompletion();
// A file name with its {port} filled by the port's name, made fit for a file
// name ("/dev/ttyUSB0" gives "dev_ttyUSB0").
QString filledName(const QString &name, const QString &port, const QString &iniFile);
// The command on every port at once, each on a thread of its own, or the exit
// code it ends with at once.
std::variant<QList<CommandResult>, int> runOnPorts(const Command &command, const Options &o);

// A command's failure with its message.
CommandResult failed(int code, const QString &message);
CommandResult failed(const TransferResult &result);
// Whether the stream goes to a terminal (a console on Windows).
bool isTerminal(FILE *stream);
// A line to the stream; printLocked writes it whole among the ports' threads.
void print(const QString &text, FILE *stream = stdout);
void printLocked(const QString &text, FILE *stream);
// Set by Ctrl+C (and SIGTERM) while a watch runs: it ends after the read
// under way.
extern std::atomic<bool> interrupted;

// Configuration files by their names' endings (files.cpp).
std::optional<Configuration> loadFile(const QString &path, QString &error);
QString saveFile(const QString &path, const Configuration &c);
QJsonArray tableJson(const TextTable &table);
QStringList tableLines(const QString &format, const TextTable &table);

// The handlers the command table names: on a port (transfers.cpp,
// diagnostics.cpp, search.cpp), or once without one (files.cpp,
// diagnostics.cpp).
CommandResult downloadOrVerify(const Options &o, PlcPort &port, const TransferProgress &progress);
CommandResult upload(const Options &o, PlcPort &port, const TransferProgress &progress);
CommandResult diag(const Options &o, PlcPort &port, const TransferProgress &progress);
CommandResult testLink(const Options &o, PlcPort &port, const TransferProgress &progress);
CommandResult search(const Options &o, PlcPort &port, const TransferProgress &progress);
CommandResult ports(const Options &);
CommandResult show(const Options &);
CommandResult check(const Options &);
CommandResult convert(const Options &);

} // namespace Cli
