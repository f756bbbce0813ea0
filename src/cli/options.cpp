#include "cli/command.h"

#include "config/plcbackup.h"
#include "link/inifile.h"
#include "link/portsetup.h"
#include "link/settingslocation.h"
#include "onewire/bussearch.h"
#include "tables/wholenumber.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace Cli {

namespace {

const char *const exitCodesText =
    R"(Exit codes: 0 done; 1 verify found differences, or check found conflicts;
2 usage error; 3 the link failed (port, refusal, silence, malformed answer;
diag --watch: three failed reads in a row, or the last read failed);
4 the file or the configuration is invalid (upload: a mode word that names
no role; check: cells a download refuses); 5 diag: the port is not in the
mode its buffer belongs to (not a Modbus master, not a 1-wire master);
6 the --report file could not be written. With several ports, the highest
of any port.)";

// The commands as --help lists them: the call in a column of 28, what it
// does beside it (below it when the call is longer), its options below.
QString commandsText()
{
    constexpr int column = 28;
    const QString indent(2 + column, QLatin1Char(' '));
    QString text = QStringLiteral("Commands:\n");
    for (const Command &c : commands()) {
        const QString call =
            c.arguments.isEmpty() ? c.name : c.name + QLatin1Char(' ') + c.arguments;
        text += QStringLiteral("  ") + call;
        if (call.size() < column)
            text += QString(column - call.size(), QLatin1Char(' '));
        else
            text += QLatin1Char('\n') + indent;
        text += c.summary + QLatin1Char('\n');
        if (!c.options.isEmpty())
            text += indent + c.options + QLatin1Char('\n');
    }
    return text + QLatin1Char('\n');
}

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral(
            "Sets up the PLC from scripts and production benches. A configuration "
            "file is the .apc record, or its JSON form when its name ends in .json.\n\n") +
        commandsText() + QLatin1String(exitCodesText));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const CliOption &entry : cliOptions())
        parser.addOption(entry.option);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("See Commands."));
}

// The name a port is known by: as given, or the settings file's COMn.
QString portName(const QString &given, const QString &iniFile)
{
    return given.isEmpty() ? QStringLiteral("COM%1").arg(linkSettings(iniFile).portNumber) : given;
}

} // namespace

QList<CliOption> cliOptions()
{
    const auto option = [](const char *name, const QString &description,
                           const char *value = nullptr, Values values = Values::None,
                           const QStringList &words = {}) {
        QCommandLineOption o(QLatin1String(name), description,
                             value ? QLatin1String(value) : QString());
        return CliOption{o, values, words};
    };
    const QList<CliOption> table = {
        option("ini", QStringLiteral("The settings file (default: set.ini beside the program)."),
               "FILE", Values::Files, {QStringLiteral("ini")}),
        option("port",
               QStringLiteral("A device under /dev (ttyUSB0), a path (a name with a slash: "
                              "build/plc-link) or COMn (mapped in section PORTS); repeatable: the "
                              "command runs on every port at once. Default: the window's port, "
                              "section COM's Port_num through section PORTS."),
               "PORT", Values::Ports),
        option("line", QStringLiteral("Line settings such as 115200,N,8,1 (default: section COM)."),
               "SETTINGS"),
        option("log",
               QStringLiteral("Every frame sent and answer received, one line each, to FILE."),
               "FILE", Values::Files),
        option("json", QStringLiteral("Results as JSON on standard output.")),
        option("only",
               QStringLiteral("The parts to transfer or compare: uart1,uart2,aux (default: all)."),
               "PARTS", Values::WordList, ConfigurationParts::names()),
        option("verify", QStringLiteral("download: read back and compare.")),
        option("backup",
               QStringLiteral("download: first keep what the PLC holds of the parts in DIR; "
                              "nothing is written without it."),
               "DIR", Values::Folders),
        option("add",
               QStringLiteral("search: add the new devices to FILE's sensor table; with several "
                              "ports FILE holds {port}, which each port fills."),
               "FILE", Values::Files, configurationEndings()),
        option("csv",
               QStringLiteral("show: print one table (uart1, uart2 or sensors) as tab-separated "
                              "text."),
               "TABLE", Values::Words, csvTables()),
        option("watch",
               QStringLiteral("diag: read the buffer again every SECONDS (1 to 3600) and print a "
                              "line for each slot whose state changed, until Ctrl+C."),
               "SECONDS"),
        option("count", QStringLiteral("diag --watch: stop after N reads."), "N"),
        option("report",
               QStringLiteral("Append one JSON line per port to FILE: time (with its offset from "
                              "UTC), port, CPU type, command, file and its SHA-256, result and "
                              "duration."),
               "FILE", Values::Files),
        option("start",
               QStringLiteral("search --add: the first register for an empty table (default "
                              "1500)."),
               "N"),
        // The shell's completion script (--completion bash), made from these
        // tables; the package installs it. Not in --help.
        [&option] {
            CliOption hidden = option("completion", QStringLiteral("The shell's completion."),
                                      "SHELL", Values::Words, {QStringLiteral("bash")});
            hidden.option.setFlags(QCommandLineOption::HiddenFromHelp);
            return hidden;
        }(),
    };
    return table;
}

const QList<Command> &commands()
{
    static const QList<Command> table = {
        {QStringLiteral("ports"),
         {},
         0,
         QStringLiteral("the serial ports found, and the COMn section PORTS maps"),
         {},
         {},
         ports},
        {QStringLiteral("test"), {}, 0, QStringLiteral("the connection test"), {}, testLink, {}},
        {QStringLiteral("download"),
         QStringLiteral("FILE.apc"),
         1,
         QStringLiteral("write the configuration into the PLC"),
         QStringLiteral("[--only uart1,uart2,aux] [--verify] [--backup DIR]"),
         downloadOrVerify,
         {},
         Values::Files},
        {QStringLiteral("upload"),
         QStringLiteral("FILE.apc"),
         1,
         QStringLiteral("read the PLC into the file [--only ...]"),
         QStringLiteral("several ports: FILE holds {port}, as in site-{port}.apc"),
         upload,
         {},
         Values::Files},
        {QStringLiteral("verify"),
         QStringLiteral("FILE.apc"),
         1,
         QStringLiteral("compare the PLC with the file [--only ...]"),
         {},
         downloadOrVerify,
         {},
         Values::Files},
        {QStringLiteral("diag"),
         QStringLiteral("modbus1|modbus2|onewire"),
         1,
         QStringLiteral("read an error buffer"),
         QStringLiteral("[--watch SECONDS [--count N]]"),
         diag,
         {},
         Values::Words},
        {QStringLiteral("search"),
         {},
         0,
         QStringLiteral("the 1-wire bus search"),
         QStringLiteral("[--add FILE.apc [--start N]]"),
         search,
         {}},
        {QStringLiteral("show"),
         QStringLiteral("FILE.apc"),
         1,
         QStringLiteral("the file's configuration, readable"),
         QStringLiteral("[--csv uart1|uart2|sensors]"),
         {},
         show,
         Values::Files},
        {QStringLiteral("check"),
         QStringLiteral("FILE.apc"),
         1,
         QStringLiteral("register conflicts and cells a download refuses"),
         {},
         {},
         check,
         Values::Files},
        {QStringLiteral("convert"),
         QStringLiteral("IN OUT"),
         2,
         QStringLiteral("between a .apc record and its .json form"),
         {},
         {},
         convert,
         Values::Files},
    };
    return table;
}

const Command *command(const QString &name)
{
    for (const Command &c : commands()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

// A file name with its {port} filled by the port's name, made fit for a file
// name ("/dev/ttyUSB0" gives "dev_ttyUSB0").
QString filledName(const QString &name, const QString &port, const QString &iniFile)
{
    QString filled = name;
    return filled.replace(portPlaceholder, PlcBackup::portInName(portName(port, iniFile)));
}

// What the command line asks for, or the exit code it ends with at once
// (help, version, a usage error).
std::variant<Options, int> parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(arguments)) {
        print(parser.errorText(), stderr);
        return Usage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        print(parser.helpText());
        return Done;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        print(QCoreApplication::applicationName() + QLatin1Char(' ') +
              QCoreApplication::applicationVersion());
        return Done;
    }
    if (parser.isSet(QStringLiteral("completion"))) {
        if (parser.value(QStringLiteral("completion")) != QLatin1String("bash")) {
            print(QStringLiteral("--completion takes bash"), stderr);
            return Usage;
        }
        std::fputs(bashCompletion().toUtf8().constData(), stdout);
        return Done;
    }

    Options o;
    const QStringList positional = parser.positionalArguments();
    o.command = positional.value(0);
    o.arguments = positional.mid(1);
    o.ini =
        parser.isSet(QStringLiteral("ini")) ? parser.value(QStringLiteral("ini")) : settingsFile();
    o.line = parser.value(QStringLiteral("line"));
    o.json = parser.isSet(QStringLiteral("json"));
    o.verify = parser.isSet(QStringLiteral("verify"));
    o.addTo = parser.value(QStringLiteral("add"));
    o.csv = parser.value(QStringLiteral("csv"));
    if (!o.csv.isEmpty() && !csvTables().contains(o.csv)) {
        print(QStringLiteral("--csv takes uart1, uart2 or sensors"), stderr);
        return Usage;
    }
    if (parser.isSet(QStringLiteral("start")))
        o.start = parser.value(QStringLiteral("start"));
    if (parser.isSet(QStringLiteral("only"))) {
        const auto parts = ConfigurationParts::fromText(parser.value(QStringLiteral("only")));
        if (!parts) {
            print(QStringLiteral("--only takes uart1, uart2 and aux"), stderr);
            return Usage;
        }
        o.parts = *parts;
    }
    o.ports = parser.values(QStringLiteral("port"));
    if (o.ports.isEmpty())
        o.ports << QString();
    o.log = parser.value(QStringLiteral("log"));
    o.backups = parser.value(QStringLiteral("backup"));
    o.report = parser.value(QStringLiteral("report"));
    const auto whole = [&parser](const char *name, int min, int max) -> std::optional<int> {
        const std::optional<qint64> value = wholeNumber(parser.value(QLatin1String(name)));
        if (!value || *value < min || *value > max)
            return std::nullopt;
        return int(*value);
    };
    if (parser.isSet(QStringLiteral("watch"))) {
        const std::optional<int> seconds = whole("watch", 1, 3600);
        if (!seconds || o.command != QLatin1String("diag") || o.json) {
            print(QStringLiteral("--watch takes 1 to 3600 seconds, with diag and without --json"),
                  stderr);
            return Usage;
        }
        o.watch = *seconds;
    }
    if (parser.isSet(QStringLiteral("count"))) {
        const std::optional<int> count = whole("count", 1, 1000000);
        if (!count || o.watch == 0) {
            print(QStringLiteral("--count takes a number of reads from 1, with --watch"), stderr);
            return Usage;
        }
        o.count = *count;
    }
    // A file a command writes is one per port: with several ports its name
    // holds the port's place, and the names the ports give differ.
    const bool writesFile = o.command == QLatin1String("upload") || !o.addTo.isEmpty();
    const QString written = o.command == QLatin1String("upload") ? positional.value(1) : o.addTo;
    if (writesFile && (o.ports.size() > 1 || written.contains(portPlaceholder))) {
        QStringList names;
        for (const QString &port : o.ports)
            names << filledName(written, port, o.ini);
        if (!written.contains(portPlaceholder) || names.removeDuplicates() > 0) {
            print(QStringLiteral("With several ports each writes a file of its own: %1 must hold "
                                 "%2, which each port fills with its name (for example "
                                 "site-%2.apc), and the ports' names must differ")
                      .arg(written, portPlaceholder),
                  stderr);
            return Usage;
        }
    }
    return o;
}

} // namespace Cli
