#include "cli.h"

#include "cli/benchreport.h"
#include "config/configurationfile.h"
#include "config/configurationjson.h"
#include "config/configurationupload.h"
#include "config/plcbackup.h"
#include "config/registermap.h"
#include "diag/errorwatch.h"
#include "diag/modbuserrorbuffer.h"
#include "link/connectiontest.h"
#include "link/framelog.h"
#include "link/inifile.h"
#include "link/portsetup.h"
#include "link/qtplcport.h"
#include "link/settingslocation.h"
#include "modbus/modbuschoices.h"
#include "modbus/uartdescription.h"
#include "onewire/bussearch.h"
#include "onewire/romcode.h"
#include "onewire/sensortable.h"
#include "tables/wholenumber.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSaveFile>
#include <QSerialPortInfo>
#include <QThread>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>
#include <variant>

namespace {

enum Exit {
    Done = 0,
    Differences = 1,
    Usage = 2,
    LinkFailed = 3,
    Invalid = 4,
    NotInMode = 5,
    ReportFailed = 6
};

const char *const exitCodesText =
    R"(Exit codes: 0 done; 1 verify found differences, or check found conflicts;
2 usage error; 3 the link failed (port, refusal, silence, malformed answer;
diag --watch: three failed reads in a row, or the last read failed);
4 the file or the configuration is invalid (upload: a mode word that names
no role; check: cells a download refuses); 5 diag: the port is not in the
mode its buffer belongs to (not a Modbus master, not a 1-wire master);
6 the --report file could not be written. With several ports, the highest
of any port.)";

// The placeholder a file name holds for the port, when a command that
// writes a file runs on several ports.
const QString portPlaceholder = QStringLiteral("{port}");

// What a command gave (on one port, for those that use one): its exit code,
// the lines to print, and the same as JSON.
struct CommandResult
{
    int code = Done;
    QStringList lines;
    QJsonObject json;
    bool listing = false; // the lines are the command's findings: standard output whatever the code
};

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

// Set by Ctrl+C (and SIGTERM) while a watch runs: it ends after the read
// under way.
std::atomic<bool> interrupted = false;

void interrupt(int)
{
    interrupted = true;
}

// Lines from the ports' threads, each written whole.
void printLocked(const QString &text, FILE *stream)
{
    static QMutex lock;
    const QMutexLocker locked(&lock);
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

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

bool isJson(const QString &path)
{
    return path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive);
}

// A configuration file by its name's ending: the JSON form for ".json", the
// record otherwise. The error names the file.
std::optional<Configuration> loadFile(const QString &path, QString &error)
{
    if (!isJson(path)) {
        const ConfigurationFile::Decoded loaded =
            ConfigurationFile::load(path, Configuration::defaults());
        error = loaded.error;
        return loaded.configuration;
    }
    // A whole configuration takes some tens of kilobytes; a larger file
    // is something else and is not read into memory.
    constexpr qint64 largestJson = 1024 * 1024;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > largestJson) {
        error = QStringLiteral("%1 holds %2 bytes, more than a configuration in JSON can")
                    .arg(path)
                    .arg(file.size());
        return std::nullopt;
    }
    const ConfigurationJson::Read read = ConfigurationJson::read(file.readAll());
    if (!read.configuration)
        error = QStringLiteral("%1: %2").arg(path, read.error);
    return read.configuration;
}

// Writes a configuration file by its name's ending, whole or not at all;
// the error, empty when it was written.
QString saveFile(const QString &path, const Configuration &c)
{
    if (!isJson(path))
        return ConfigurationFile::save(path, c);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ConfigurationJson::write(c)) < 0 ||
        !file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return {};
}

QJsonArray tableJson(const TextTable &table)
{
    QJsonArray rows;
    for (const QStringList &row : table)
        rows.append(QJsonArray::fromStringList(row));
    return rows;
}

QStringList tableLines(const QString &format, const TextTable &table)
{
    QStringList lines{headerFromFormat(format).join(QStringLiteral(" | "))};
    for (const QStringList &row : table)
        lines << row.join(QStringLiteral(" | "));
    return lines;
}

// A line for each UART of `parts` that was not read because its mode word
// names no role.
QStringList namesNoRole(const ConfigurationParts &parts, const ConfigurationParts &read,
                        const QString &consequence)
{
    QStringList lines;
    for (const auto &[asked, got, number] :
         {std::tuple{parts.uart1, read.uart1, 1}, std::tuple{parts.uart2, read.uart2, 2}}) {
        if (asked && !got)
            lines << QStringLiteral("UART %1 role: the PLC's mode word names none; %2")
                         .arg(number)
                         .arg(consequence);
    }
    return lines;
}

// download (with --verify, verify after) and verify.
CommandResult downloadOrVerify(const Options &o, PlcPort &port, const TransferProgress &progress)
{
    QString error;
    const std::optional<Configuration> c = loadFile(o.arguments.value(0), error);
    if (!c)
        return failed(Invalid, error);
    QJsonObject json;
    QStringList lines;
    if (o.command == QLatin1String("download") && !o.backups.isEmpty()) {
        // What the PLC holds of the parts goes into the folder first; without
        // it nothing is written. Every check of the download comes before it:
        // only what will be written is backed up.
        if (const auto refusal = downloadRefusal(*c, o.parts))
            return failed(*refusal);
        const PlcBackup::Taken taken = PlcBackup::take(port, o.ini, o.parts);
        if (!taken.result.ok)
            return failed(LinkFailed, QStringLiteral("No backup could be read, so nothing was "
                                                     "written: %1")
                                          .arg(taken.result.message));
        const QStringList unread =
            namesNoRole(o.parts, taken.held, QStringLiteral("it is not in the backup"));
        if (!unread.isEmpty())
            json.insert(QStringLiteral("notInBackup"), QJsonArray::fromStringList(unread));
        lines << unread;
        const PlcBackup::Saved saved = PlcBackup::save(
            o.backups, taken,
            o.port.isEmpty() ? QStringLiteral("COM%1").arg(port.portNumber()) : o.port, o.parts);
        if (!saved.error.isEmpty())
            return failed(Invalid, QStringLiteral("The backup was not saved, so nothing was "
                                                  "written: %1")
                                       .arg(saved.error));
        lines << QStringLiteral("backup %1").arg(saved.path);
        json.insert(QStringLiteral("backup"), saved.path);
    }
    if (o.command == QLatin1String("download")) {
        const TransferResult done = downloadConfiguration(port, o.ini, *c, progress, o.parts);
        if (!done.ok)
            return failed(done);
        if (!o.verify) {
            json.insert(QStringLiteral("written"), true);
            return {Done, lines << QStringLiteral("written"), json};
        }
    }
    const ConfigurationCheck check = verifyConfiguration(port, o.ini, *c, progress, o.parts);
    if (!check.result.ok)
        return failed(check.result);
    json.insert(QStringLiteral("differences"), QJsonArray::fromStringList(check.differences));
    if (check.differences.isEmpty())
        return {Done, lines << QStringLiteral("the PLC holds the file's configuration"), json};
    return {Differences, lines + check.differences, json};
}

// upload: parts not read keep the file's values, or the defaults.
CommandResult upload(const Options &o, PlcPort &port, const TransferProgress &progress)
{
    QString error;
    const QString file = o.arguments.value(0);
    Configuration current = Configuration::defaults();
    if (QFileInfo::exists(file)) {
        const std::optional<Configuration> c = loadFile(file, error);
        if (!c)
            return failed(Invalid, error);
        current = *c;
    }
    const ConfigurationUpload read = uploadConfiguration(port, o.ini, current, progress, o.parts);
    if (!read.result.ok)
        return failed(read.result);
    // A part the PLC's mode word says nothing of is not written as the
    // defaults: the file is left as it is.
    const QStringList unread = namesNoRole(o.parts, {bool(read.uart1), bool(read.uart2), true},
                                           QStringLiteral("nothing was written to %1").arg(file));
    if (!unread.isEmpty())
        return {Invalid, unread,
                QJsonObject{{QStringLiteral("error"), unread.join(QLatin1Char('\n'))},
                            {QStringLiteral("noRole"), QJsonArray::fromStringList(unread)}}};
    current.uart1 = read.uart1.value_or(current.uart1);
    current.uart2 = read.uart2.value_or(current.uart2);
    current.aux = read.aux.value_or(current.aux);
    if (const QString saveError = saveFile(file, current); !saveError.isEmpty())
        return failed(Invalid, saveError);
    return {Done, {QStringLiteral("read into %1").arg(file)}, {{QStringLiteral("file"), file}}};
}

// What a buffer read of a port out of the buffer's mode says.
QString notInModeMessage(const QString &which)
{
    if (which == QLatin1String("onewire"))
        return QStringLiteral("The auxiliary port is not a 1-wire master");
    return notMasterMessage(which == QLatin1String("modbus2") ? UartDescription::uart2()
                                                              : UartDescription::uart1());
}

// diag --watch: the buffer read every o.watch seconds, a line for each slot
// whose state changed (every slot with an error at the first read), until
// Ctrl+C or o.count reads. A failed read is told and the next one tried;
// the third in a row ends the watch as a failed link, and so does an end
// after a failed read. The watch ends as well when the port leaves the
// buffer's mode.
CommandResult watchBuffer(const Options &o, PlcPort &port, const QString &which)
{
    ErrorWatch watch(*ErrorWatch::bufferNamed(which));
    const QString prefix = o.ports.size() > 1 ? o.port + QStringLiteral(": ") : QString();
    int reads = 0;
    int failedInARow = 0;
    QString lastFailure;
    // Three failed reads in a row end the watch; so does Ctrl+C or the count
    // after a failed read: the PLC is gone, and the run says so.
    constexpr int failuresToEnd = 3;
    const auto gone = [&] {
        return CommandResult{
            LinkFailed,
            {QStringLiteral("%1: %2").arg(which, lastFailure)},
            {{QStringLiteral("reads"), reads}, {QStringLiteral("error"), lastFailure}}};
    };
    while (!interrupted && (o.count == 0 || reads < o.count)) {
        if (reads > 0) {
            QDeadlineTimer next(std::chrono::seconds(o.watch));
            while (!interrupted && !next.hasExpired())
                QThread::msleep(20);
            if (interrupted)
                break;
        }
        const ErrorBufferRead read = readErrorBuffer(port, o.ini, which);
        const QDateTime now = QDateTime::currentDateTime();
        ++reads;
        if (!read.result.ok) {
            lastFailure = read.result.message;
            if (++failedInARow == failuresToEnd)
                return gone();
            printLocked(prefix + QStringLiteral("%1 %2: %3")
                                     .arg(now.time().toString(QStringLiteral("HH:mm:ss")), which,
                                          read.result.message),
                        stderr);
            continue;
        }
        failedInARow = 0;
        if (!read.inMode)
            return {NotInMode,
                    {QStringLiteral("%1: %2; the watch ends").arg(which, notInModeMessage(which))},
                    {{QStringLiteral("reads"), reads},
                     {QStringLiteral("inMode"), false},
                     {QStringLiteral("error"), notInModeMessage(which)}}};
        for (int slot : watch.take(read.errorBytes, now))
            printLocked(prefix + watch.changeLine(which, slot, now), stdout);
    }
    if (failedInARow > 0)
        return gone();
    return {Done, {}, {{QStringLiteral("reads"), reads}}};
}

CommandResult diag(const Options &o, PlcPort &port, const TransferProgress &)
{
    const QString which = o.arguments.value(0);
    const std::optional<ErrorWatch::Buffer> buffer = ErrorWatch::bufferNamed(which);
    if (!buffer)
        return failed(Usage, QStringLiteral("diag takes modbus1, modbus2 or onewire"));
    if (o.watch > 0)
        return watchBuffer(o, port, which);
    const ErrorBufferRead read = readErrorBuffer(port, o.ini, which);
    if (!read.result.ok)
        return failed(read.result);
    // A port out of the buffer's mode has no buffer: an empty table would
    // read as a clean one.
    if (!read.inMode)
        return {NotInMode,
                {notInModeMessage(which)},
                {{QStringLiteral("rows"), QJsonArray()},
                 {QStringLiteral("inMode"), false},
                 {QStringLiteral("error"), notInModeMessage(which)}}};
    const TextTable table = read.table.value_or(TextTable());
    return {Done,
            tableLines(ErrorWatch::plainFormat(*buffer), table),
            {{QStringLiteral("rows"), tableJson(table)}, {QStringLiteral("inMode"), true}}};
}

CommandResult search(const Options &o, PlcPort &port, const TransferProgress &)
{
    const BusSearch::Found found = BusSearch::search(port, o.ini);
    if (!found.result.ok)
        return failed(found.result);
    CommandResult out{Done, {}, {}};
    QJsonArray devices;
    for (const QStringList &device : *found.devices) {
        const QByteArray code = SensorTable::romCode(device).value_or(QByteArray(8, '\0'));
        const bool crc = RomCode::crcMatches(code);
        const QString family = RomCode::family(quint8(code.at(0)));
        out.lines << QStringLiteral("%1 %2 %3%4")
                         .arg(device.first(), device.mid(1).join(QLatin1Char(' ')), family,
                              crc ? QString() : QStringLiteral(" (CRC does not match)"));
        devices.append(QJsonObject{{QStringLiteral("code"), device.mid(1).join(QString())},
                                   {QStringLiteral("family"), family},
                                   {QStringLiteral("crc"), crc}});
    }
    out.json.insert(QStringLiteral("devices"), devices);
    if (o.addTo.isEmpty())
        return out;
    QString error;
    Configuration c = Configuration::defaults();
    if (QFileInfo::exists(o.addTo)) {
        const std::optional<Configuration> loaded = loadFile(o.addTo, error);
        if (!loaded)
            return failed(Invalid, error);
        c = *loaded;
    }
    const BusSearch::Taken taken = BusSearch::addNew(c.aux.sensors, *found.devices, o.start);
    if (!taken.refusal.isEmpty())
        return failed(Invalid, taken.refusal);
    const qsizetype added = taken.sensors.size() - c.aux.sensors.size();
    c.aux.sensors = taken.sensors;
    if (const QString saveError = saveFile(o.addTo, c); !saveError.isEmpty())
        return failed(Invalid, saveError);
    out.lines << QStringLiteral("%1 new added to %2").arg(added).arg(o.addTo);
    out.json.insert(QStringLiteral("added"), int(added));
    return out;
}

CommandResult testLink(const Options &o, PlcPort &port, const TransferProgress &)
{
    const LinkSettings link = linkSettings(o.ini);
    const ConnectionTestResult tested = testConnection(
        port, port.portNumber() > 0 ? port.portNumber() : link.portNumber, port.settings());
    // A port that did not open says why; the silence of a PLC is another
    // matter.
    const QString message = tested.openFailure.isEmpty() ? tested.message : tested.openFailure;
    return {tested.answered ? Done : LinkFailed, {message}, {{QStringLiteral("message"), message}}};
}

CommandResult ports(const Options &)
{
    CommandResult out;
    QJsonArray list;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString vendor =
            info.hasVendorIdentifier() ? QString::number(info.vendorIdentifier(), 16) : QString();
        const QString product =
            info.hasProductIdentifier() ? QString::number(info.productIdentifier(), 16) : QString();
        out.lines << QStringLiteral("%1  %2  %3  %4:%5")
                         .arg(info.systemLocation(), info.description(), info.serialNumber(),
                              vendor, product);
        list.append(QJsonObject{{QStringLiteral("device"), info.systemLocation()},
                                {QStringLiteral("description"), info.description()},
                                {QStringLiteral("serialNumber"), info.serialNumber()},
                                {QStringLiteral("vendorId"), vendor},
                                {QStringLiteral("productId"), product}});
    }
    out.json.insert(QStringLiteral("ports"), list);
    return out;
}

QString uartLine(int number, const UartSettings &u)
{
    static const QStringList roles = {QStringLiteral("Modbus master"),
                                      QStringLiteral("Modbus slave"), QStringLiteral("Not use")};
    return QStringLiteral("UART %1: %2, %3, parity %4, slave address %5, slave timeout %6")
        .arg(number)
        .arg(roles.value(int(u.role)), ModbusChoices::speeds.value(u.speed),
             ModbusChoices::parities.value(u.parity), u.slaveAddress, u.slaveTimeout);
}

CommandResult show(const Options &o)
{
    QString error;
    const std::optional<Configuration> c = loadFile(o.arguments.value(0), error);
    if (!c)
        return failed(Invalid, error);
    if (!o.csv.isEmpty()) {
        const bool sensors = o.csv == QLatin1String("sensors");
        const TextTable &table = sensors                           ? c->aux.sensors
                                 : o.csv == QLatin1String("uart2") ? c->uart2.table
                                                                   : c->uart1.table;
        const QString text = tableText(
            headerFromFormat(sensors ? SensorTable::format : RequestTable::format), table);
        return {Done, {text.chopped(1)}, {{QStringLiteral("csv"), text}}};
    }
    static const QStringList modes = {QStringLiteral("1-wire master"), QStringLiteral("Field Net"),
                                      QStringLiteral("Not use")};
    QStringList lines{uartLine(1, c->uart1)};
    lines << tableLines(RequestTable::format, c->uart1.table) << uartLine(2, c->uart2)
          << tableLines(RequestTable::format, c->uart2.table)
          << QStringLiteral("Auxiliary port: %1").arg(modes.value(int(c->aux.mode)))
          << tableLines(SensorTable::format, c->aux.sensors);
    const QJsonObject json = QJsonDocument::fromJson(ConfigurationJson::write(*c)).object();
    return {Done, lines, json};
}

// The places that fill the same PLC items, and requests asked twice (1);
// then the cells a download would refuse (4).
CommandResult check(const Options &o)
{
    QString error;
    const std::optional<Configuration> c = loadFile(o.arguments.value(0), error);
    if (!c)
        return failed(Invalid, error);
    QStringList lines;
    for (const RegisterMap::Conflict &conflict : RegisterMap::of(*c).conflicts)
        lines << conflict.text;
    QJsonObject json{{QStringLiteral("conflicts"), QJsonArray::fromStringList(lines)}};
    const QList<RefusedCell> refused = refusedCells(*c);
    QJsonArray cells;
    for (const RefusedCell &cell : refused) {
        lines << cell.text();
        cells.append(QJsonObject{{QStringLiteral("table"), cell.table},
                                 {QStringLiteral("row"), cell.row},
                                 {QStringLiteral("column"), cell.column},
                                 {QStringLiteral("columnName"), cell.columnName},
                                 {QStringLiteral("value"), cell.value},
                                 {QStringLiteral("allowed"), cell.range}});
    }
    json.insert(QStringLiteral("refusedCells"), cells);
    if (lines.isEmpty())
        return {Done, {QStringLiteral("no register conflicts")}, json};
    // Conflicts are listed on standard output; refused cells make the file
    // one a download refuses.
    return {refused.isEmpty() ? Differences : Invalid, lines, json, true};
}

// .apc to .json or back, by the names' endings.
CommandResult convert(const Options &o)
{
    const QString in = o.arguments.value(0);
    const QString out = o.arguments.value(1);
    QString error;
    const std::optional<Configuration> c = loadFile(in, error);
    if (!c)
        return failed(Invalid, isJson(in) ? error : QStringLiteral("%1: %2").arg(in, error));
    if (const QString saveError = saveFile(out, *c); !saveError.isEmpty())
        return failed(Invalid, saveError);
    return {Done, {QStringLiteral("%1 written").arg(out)}, {{QStringLiteral("file"), out}}};
}

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

    bool needsPort() const { return bool(onPort); }
};

const QList<Command> &commands()
{
    static const QList<Command> table = {
        {QStringLiteral("ports"), {}, 0, QStringLiteral("the serial ports found"), {}, {}, ports},
        {QStringLiteral("test"), {}, 0, QStringLiteral("the connection test"), {}, testLink, {}},
        {QStringLiteral("download"),
         QStringLiteral("FILE.apc"),
         1,
         QStringLiteral("write the configuration into the PLC"),
         QStringLiteral("[--only uart1,uart2,aux] [--verify] [--backup DIR]"),
         downloadOrVerify,
         {}},
        {QStringLiteral("upload"),
         QStringLiteral("FILE.apc"),
         1,
         QStringLiteral("read the PLC into the file [--only ...]"),
         QStringLiteral("several ports: FILE holds {port}, as in site-{port}.apc"),
         upload,
         {}},
        {QStringLiteral("verify"),
         QStringLiteral("FILE.apc"),
         1,
         QStringLiteral("compare the PLC with the file [--only ...]"),
         {},
         downloadOrVerify,
         {}},
        {QStringLiteral("diag"),
         QStringLiteral("modbus1|modbus2|onewire"),
         1,
         QStringLiteral("read an error buffer"),
         QStringLiteral("[--watch SECONDS [--count N]]"),
         diag,
         {}},
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
         show},
        {QStringLiteral("check"),
         QStringLiteral("FILE.apc"),
         1,
         QStringLiteral("register conflicts and cells a download refuses"),
         {},
         {},
         check},
        {QStringLiteral("convert"),
         QStringLiteral("IN OUT"),
         2,
         QStringLiteral("between a .apc record and its .json form"),
         {},
         {},
         convert},
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

void print(const QString &text, FILE *stream = stdout)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
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
    parser.addOptions({
        {QStringLiteral("ini"),
         QStringLiteral("The settings file (default: set.ini beside the "
                        "program)."),
         QStringLiteral("FILE")},
        {QStringLiteral("port"),
         QStringLiteral("A device under /dev (ttyUSB0), a path (a name with a slash: "
                        "build/plc-link) or COMn (mapped in section PORTS); repeatable: the "
                        "command runs on every port at once. Default: the window's port, section "
                        "COM's Port_num through section PORTS."),
         QStringLiteral("PORT")},
        {QStringLiteral("line"),
         QStringLiteral("Line settings such as 115200,N,8,1 (default: section COM)."),
         QStringLiteral("SETTINGS")},
        {QStringLiteral("log"),
         QStringLiteral("Every frame sent and answer received, one line "
                        "each, to FILE."),
         QStringLiteral("FILE")},
        {QStringLiteral("json"), QStringLiteral("Results as JSON on standard output.")},
        {QStringLiteral("only"),
         QStringLiteral("The parts to transfer or compare: uart1,uart2,aux (default: all)."),
         QStringLiteral("PARTS")},
        {QStringLiteral("verify"), QStringLiteral("download: read back and compare.")},
        {QStringLiteral("backup"),
         QStringLiteral("download: first keep what the PLC holds of the parts in DIR; "
                        "nothing is written without it."),
         QStringLiteral("DIR")},
        {QStringLiteral("add"),
         QStringLiteral("search: add the new devices to FILE's sensor table; with several ports "
                        "FILE holds {port}, which each port fills."),
         QStringLiteral("FILE")},
        {QStringLiteral("csv"),
         QStringLiteral("show: print one table (uart1, uart2 or sensors) as tab-separated text."),
         QStringLiteral("TABLE")},
        {QStringLiteral("watch"),
         QStringLiteral("diag: read the buffer again every SECONDS (1 to 3600) and print a line "
                        "for each slot whose state changed, until Ctrl+C."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("count"), QStringLiteral("diag --watch: stop after N reads."),
         QStringLiteral("N")},
        {QStringLiteral("report"),
         QStringLiteral("Append one JSON line per port to FILE: time (with its offset from "
                        "UTC), port, CPU type, command, file and its SHA-256, result and "
                        "duration."),
         QStringLiteral("FILE")},
        {QStringLiteral("start"),
         QStringLiteral("search --add: the first register for an empty table (default 1500)."),
         QStringLiteral("N")},
    });
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("See Commands."));
}

// The name a port is known by: as given, or the settings file's COMn.
QString portName(const QString &given, const QString &iniFile)
{
    return given.isEmpty() ? QStringLiteral("COM%1").arg(linkSettings(iniFile).portNumber) : given;
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
    if (!o.csv.isEmpty() &&
        !QStringList{QStringLiteral("uart1"), QStringLiteral("uart2"), QStringLiteral("sensors")}
             .contains(o.csv)) {
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
    const bool terminal = isatty(fileno(stderr));
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

int runCli(const QStringList &arguments)
{
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
    if (o.watch > 0) {
        interrupted = false;
        std::signal(SIGINT, interrupt);
        std::signal(SIGTERM, interrupt);
    }
    const std::variant<QList<CommandResult>, int> outcomes = runOnPorts(*run, o);
    if (const int *exit = std::get_if<int>(&outcomes))
        return *exit;
    return report(o, o.ports, std::get<QList<CommandResult>>(outcomes));
}
