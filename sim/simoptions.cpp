#include "simoptions.h"

#include "link/plcframe.h"
#include "plcsimulator.h"
#include "simerrors.h"

#include <QFile>

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <array>

namespace {

const QString description = QStringLiteral(
    "Simulates the PLC on a pseudo-terminal: the frame protocol, 64 KiB of memory and the\n"
    "1-wire bus search. Serves until SIGINT or SIGTERM, then removes the link.\n"
    "\n"
    "The CPU type word at 0E02 defaults to 1234 (hex): memory 0E02=34, 0E03=12, read\n"
    "as the answer digits 3412 and shown by the tool as 4660.\n"
    "Writing 0180 to 2000 (command E10) starts a bus search; once the search time has\n"
    "passed, 3000 holds the number of ROM codes and 3002 on the codes, 8 bytes each.\n"
    "\n"
    "LIST chooses requests: comma-separated items, \"3\" for the third request received\n"
    "(ENQs and refused frames count too), \"@3000\" for every request to address 3000.\n"
    "Refusing by address refuses writes only.\n"
    "\n"
    "Log lines: time in ms since start, to the microsecond, then \"request\"\n"
    "(received), \"answer\" (sent) or \"dropped\" (an incomplete frame given up on),\n"
    "then the frame with control characters spelled out, and a note in brackets.\n"
    "\n"
    "An options file holds further options, separated by white space; \"#\" starts a\n"
    "comment that runs to the end of its line. A relative FILE given in it to --config,\n"
    "--image, --log or --errors-file is taken from the options file's folder. "
    "sim/demo/demo.options\n"
    "is the demo PLC that scripts/run starts.");

struct OptionSpec
{
    const char *name;
    const char *help;
    const char *value; // nullptr for a flag
};

constexpr std::array<OptionSpec, 27> specs = {{
    {"link", "Make PATH a symbolic link to the pseudo-terminal (required).", "PATH"},
    {"options", "Read further options from FILE (see below).", "FILE"},
    {"config",
     "Download the configuration file FILE (.apc, or the command line's JSON form) into the "
     "memory at start, as the tool does; goes over an image, under --set.",
     "FILE"},
    {"set", "Initial memory bytes at an address, e.g. 2008=0145 (repeatable).", "ADDR=HEX"},
    {"cpu-type", "CPU type word at 0E02, hex (default 1234).", "HEXWORD"},
    {"rom", "A 1-wire ROM code on the bus, 16 hex digits, byte 0 first (repeatable).", "HEX16"},
    {"search-time", "Time a bus search takes, ms (default 1000).", "MS"},
    {"image", "Load the memory from FILE if it exists; save it after every accepted write.",
     "FILE"},
    {"log", "Write one line per frame received and answer sent to FILE.", "FILE"},
    {"errors",
     "Error bytes of the diagnostic buffers, e.g. modbus1:2=84,onewire:3=C2 (UART 1's "
     "request slot 2, sensor 3; repeatable).",
     "LIST"},
    {"errors-file",
     "Error bytes as for --errors, one or more a line, read from FILE at start and again on "
     "SIGHUP; each read first clears every buffer.",
     "FILE"},
    {"refuse", "Answer NAK to the chosen requests and ignore their data.", "LIST"},
    {"silent", "Ignore the chosen requests: no effect, no answer.", "LIST"},
    {"garbage", "Send two garbage bytes (FF FE) before the answer to the chosen requests.", "LIST"},
    {"early-etx", "Swap ETX with the last data digit in the answer to the chosen reads.", "LIST"},
    {"late", "Answer the chosen requests late (see --late-by).", "LIST"},
    {"late-by", "How much later a late answer comes, ms (default 1000).", "MS"},
    {"digit",
     "Change one data digit in the answer to the chosen reads, leaving the sender's checksum.",
     "LIST"},
    {"lose", "Carry out the chosen requests but lose their answers.", "LIST"},
    {"noise-digit",
     "A noisy line: change one data digit in this share of data answers, leaving the "
     "sender's checksum, percent (e.g. 1 or 0.5).",
     "PERCENT"},
    {"noise-lost", "A noisy line: lose this share of all answers, percent.", "PERCENT"},
    {"noise-seed", "Start the noise's random choices from N (default 1), to repeat a run.", "N"},
    {"chunk", "Send answers in chunks of N bytes.", "N"},
    {"gap", "Time between answer chunks, ms.", "MS"},
    {"delay", "Delay every answer by MS.", "MS"},
    {"baud", "Emulate a line of RATE baud, 10 bits a character, both ways.", "RATE"},
    {"speed",
     "Answer only a client that set its line to RATE baud; stay silent at any other "
     "speed, as a real line would.",
     "RATE"},
}};

QString text(const char *latin1)
{
    return QString::fromLatin1(latin1);
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addVersionOption();
    for (const OptionSpec &spec : specs) {
        parser.addOption({text(spec.name), text(spec.help), text(spec.value)});
    }
}

std::optional<QByteArray> hexBytes(const QString &digits)
{
    const QByteArray latin1 = digits.toLatin1().toUpper();
    if (latin1.isEmpty() || latin1.size() % 2 != 0 || !PlcFrame::isHexDigits(latin1))
        return std::nullopt;
    return QByteArray::fromHex(latin1);
}

std::optional<uint> number(const QString &digits, int base, uint max)
{
    bool ok = false;
    const uint value = digits.toUInt(&ok, base);
    if (!ok || value > max)
        return std::nullopt;
    return value;
}

// Up to four hex digits.
std::optional<quint16> hexWord(const QString &digits)
{
    if (digits.size() > 4)
        return std::nullopt;
    const auto value = number(digits, 16, 0xFFFF);
    if (!value)
        return std::nullopt;
    return quint16(*value);
}

// The options of an options file, its relative file names made absolute; or
// nothing, with the error.
std::optional<QStringList> optionFile(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("--options: %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QStringList words;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString text = line.left(line.indexOf(QLatin1Char('#')));
        words << text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    }
    const QDir folder = QFileInfo(path).absoluteDir();
    const QStringList fileOptions = {QStringLiteral("--config"), QStringLiteral("--image"),
                                     QStringLiteral("--log"), QStringLiteral("--errors-file")};
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (fileOptions.contains(words[i - 1]) && QDir::isRelativePath(words[i]))
            words[i] = folder.filePath(words[i]);
    }
    return words;
}

} // namespace

bool SimOptions::fail(const QString &error)
{
    m_error = error;
    return false;
}

// Every --options FILE replaced by the options the file holds.
bool SimOptions::expandOptionFiles(const QStringList &arguments, QStringList &expanded)
{
    const QString name = QStringLiteral("--options");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const bool separate = arguments[i] == name && i + 1 < arguments.size();
        if (!separate && !arguments[i].startsWith(name + QLatin1Char('='))) {
            expanded << arguments[i];
            continue;
        }
        const QString path = separate ? arguments[++i] : arguments[i].mid(name.size() + 1);
        const std::optional<QStringList> words = optionFile(path, m_error);
        if (!words)
            return false;
        expanded << *words;
    }
    return true;
}

bool SimOptions::parse(const QStringList &arguments)
{
    QStringList expanded;
    if (!expandOptionFiles(arguments, expanded))
        return false;
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(expanded);
    if (parser.isSet(QStringLiteral("options")))
        return fail(QStringLiteral("--options: an options file cannot name another"));
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments()[0]));
    m_linkPath = parser.value(QStringLiteral("link"));
    if (m_linkPath.isEmpty())
        return fail(QStringLiteral("--link PATH is required"));
    m_imagePath = parser.value(QStringLiteral("image"));
    m_logPath = parser.value(QStringLiteral("log"));
    m_configPath = parser.value(QStringLiteral("config"));
    return takeMemory(parser) && takeErrors(parser) && takeBus(parser) && takeFaults(parser);
}

bool SimOptions::takeErrors(const QCommandLineParser &parser)
{
    const QStringList lists = parser.values(QStringLiteral("errors"));
    for (const QString &list : lists) {
        const auto items = SimErrors::parse(list, m_error);
        if (!items)
            return false;
        m_errors += *items;
    }
    m_errorsPath = parser.value(QStringLiteral("errors-file"));
    return m_errorsPath.isEmpty() || readErrorsFile();
}

bool SimOptions::readErrorsFile()
{
    QFile file(m_errorsPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(QStringLiteral("--errors-file: cannot read %1: %2")
                        .arg(m_errorsPath, file.errorString()));
    const auto items = SimErrors::parse(QString::fromUtf8(file.readAll()), m_error);
    if (!items)
        return false;
    m_fileErrors = *items;
    return true;
}

bool SimOptions::reloadErrors(PlcSimulator &simulator)
{
    if (m_errorsPath.isEmpty())
        return fail(QStringLiteral("no --errors-file to read again"));
    if (!readErrorsFile())
        return false;
    SimErrors::apply(simulator, m_errors + m_fileErrors, true);
    return true;
}

bool SimOptions::decimal(const QCommandLineParser &parser, const char *name, uint max,
                         std::optional<uint> &value)
{
    value.reset();
    if (!parser.isSet(text(name)))
        return true;
    const QString given = parser.value(text(name));
    value = number(given, 10, max);
    return value ? true : fail(QStringLiteral("--%1: invalid value %2").arg(text(name), given));
}

bool SimOptions::takeMemory(const QCommandLineParser &parser)
{
    const QStringList settings = parser.values(QStringLiteral("set"));
    for (const QString &setting : settings) {
        if (!takeSetting(setting))
            return false;
    }
    if (!parser.isSet(QStringLiteral("cpu-type")))
        return true;
    const QString given = parser.value(QStringLiteral("cpu-type"));
    m_cpuType = hexWord(given);
    if (!m_cpuType)
        return fail(QStringLiteral("--cpu-type: %1 is not a hex word").arg(given));
    return true;
}

// ADDR=HEX: up to four hex digits of address, two hex digits per byte.
bool SimOptions::takeSetting(const QString &setting)
{
    const qsizetype equals = setting.indexOf(QLatin1Char('='));
    const auto start = hexWord(setting.left(equals));
    const auto bytes = hexBytes(setting.mid(equals + 1));
    if (equals < 1 || !start || !bytes)
        return fail(QStringLiteral("--set: %1 is not ADDR=HEXBYTES").arg(setting));
    if (*start + bytes->size() > uint(PlcSimulator::memorySize))
        return fail(QStringLiteral("--set: %1 runs beyond the memory").arg(setting));
    m_settings.append({*start, *bytes});
    return true;
}

bool SimOptions::takeBus(const QCommandLineParser &parser)
{
    const QStringList codes = parser.values(QStringLiteral("rom"));
    for (const QString &code : codes) {
        const auto bytes = hexBytes(code);
        if (!bytes || bytes->size() != 8)
            return fail(QStringLiteral("--rom: %1 is not 16 hex digits").arg(code));
        m_romCodes.append(*bytes);
    }
    std::optional<uint> time;
    if (!decimal(parser, "search-time", 3600000, time))
        return false;
    if (time)
        m_searchTime = std::chrono::milliseconds(*time);
    return true;
}

bool SimOptions::takeFaults(const QCommandLineParser &parser)
{
    return takeSelectors(parser) && takeTimings(parser) && takeNoise(parser);
}

bool SimOptions::takeNoise(const QCommandLineParser &parser)
{
    for (const auto &[name, share] : {std::pair{"noise-digit", &m_faults.digitShare},
                                      std::pair{"noise-lost", &m_faults.lostShare}}) {
        if (!parser.isSet(text(name)))
            continue;
        const QString given = parser.value(text(name));
        bool ok = false;
        const double percent = given.toDouble(&ok);
        if (!ok || percent < 0 || percent > 100)
            return fail(QStringLiteral("--%1: %2 is not a percentage from 0 to 100")
                            .arg(text(name), given));
        *share = percent / 100;
    }
    if (!parser.isSet(QStringLiteral("noise-seed")))
        return true;
    const QString given = parser.value(QStringLiteral("noise-seed"));
    bool ok = false;
    m_faults.noiseSeed = given.toULongLong(&ok);
    return ok ? true : fail(QStringLiteral("--noise-seed: invalid value %1").arg(given));
}

bool SimOptions::takeSelectors(const QCommandLineParser &parser)
{
    const std::array<std::pair<const char *, SimFault>, 7> kinds = {{
        {"refuse", SimFault::Refuse},
        {"digit", SimFault::Digit},
        {"lose", SimFault::Lost},
        {"silent", SimFault::Silent},
        {"garbage", SimFault::Garbage},
        {"early-etx", SimFault::EarlyEtx},
        {"late", SimFault::Late},
    }};
    for (const auto &[name, fault] : kinds) {
        const QStringList lists = parser.values(text(name));
        for (const QString &list : lists) {
            if (!m_faults.perRequest[fault].add(list))
                return fail(QStringLiteral("--%1: %2 is not a LIST").arg(text(name), list));
        }
    }
    return true;
}

bool SimOptions::takeTimings(const QCommandLineParser &parser)
{
    std::optional<uint> lateBy, chunk, gap, delay, baud, speed;
    if (!decimal(parser, "late-by", 600000, lateBy) || !decimal(parser, "chunk", 65536, chunk) ||
        !decimal(parser, "gap", 600000, gap) || !decimal(parser, "delay", 600000, delay) ||
        !decimal(parser, "baud", 10000000, baud) || !decimal(parser, "speed", 10000000, speed))
        return false;
    using std::chrono::milliseconds;
    m_faults.lateBy = milliseconds(lateBy.value_or(m_faults.lateBy.count()));
    m_faults.chunkSize = int(chunk.value_or(0));
    m_faults.chunkGap = milliseconds(gap.value_or(0));
    m_faults.delay = milliseconds(delay.value_or(0));
    m_faults.baud = int(baud.value_or(0));
    m_lineSpeed = int(speed.value_or(0));
    return true;
}

void SimOptions::apply(PlcSimulator &simulator) const
{
    for (const auto &[address, bytes] : m_settings)
        simulator.setMemory(address, bytes);
    if (m_cpuType)
        simulator.setCpuType(*m_cpuType);
    SimErrors::apply(simulator, m_errors + m_fileErrors, false);
    simulator.setRomCodes(m_romCodes);
    if (m_searchTime)
        simulator.setSearchTime(*m_searchTime);
    simulator.setFaults(m_faults);
}
