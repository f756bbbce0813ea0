// soak: round after round, a random valid configuration and a random PLC
// operation, run as the window runs it (on a session's thread, through the
// traffic monitor's port) against the in-process simulator, with a random
// fault of the line at a random transaction or none.
//
// Each round is checked against the same operation run without the fault on
// a copy of the same PLC: a run the fault does not touch ends the same way
// and leaves the PLC's memory the same; a run it hits ends with the message
// the fault calls for, gives nothing to apply and writes nothing the clean run
// would not; and the same operation run again straight after succeeds. A
// clean download leaves the PLC holding the configuration, a clean upload
// gives back what the PLC holds.
//
// Prints one line of figures; exits 1 when a round went wrong or memory,
// open files or threads grew.
#include "config/configurationcompare.h"
#include "config/configurationfile.h"
#include "config/configurationhistory.h"
#include "config/configurationupload.h"
#include "config/plcbackup.h"
#include "diag/modbuserrorbuffer.h"
#include "diag/onewireerrorbuffer.h"
#include "faultrules.h"
#include "io/iotransfer.h"
#include "link/plcsession.h"
#include "link/traffic.h"
#include "modbus/modbuschoices.h"
#include "modbus/modeword.h"
#include "modbus/uartdescription.h"
#include "onewire/auxmodeword.h"
#include "onewire/bussearch.h"
#include "onewire/sensortable.h"
#include "simprocess.h"
#include "support/buildpath.h"
#include "support/randomtables.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace FaultRules;
using namespace std::chrono_literals;

namespace {

// The soak's choices: Random's, and how many rows a table gets.
class SoakRandom : public Random
{
public:
    using Random::Random;
    // The number of rows of a table of at most `most`: any, or all of them.
    int rows(int most) { return largest || chance(10) ? most : between(0, most); }

    bool largest = false;
};

// Rows Check_grid passes, to its very edges. Slave addresses 0 (broadcast)
// and 248 and a count of 0 are outside what a Modbus slave answers (the row
// dialog refuses address 0 and a count of 0), but the download's check
// passes them, so this soak asks for them on purpose: whatever the check
// passes must be written and read back whole.
constexpr RequestLimits checkEdges{0, 248, 0};

TextTable randomRequests(SoakRandom &random, int most)
{
    return ::randomRequests(random, random.rows(most), checkEdges);
}

TextTable randomSensors(SoakRandom &random)
{
    TextTable table;
    const int rows = random.rows(SensorTable::maxSensors);
    for (int n = 1; n <= rows; ++n)
        table << randomSensor(random, n);
    return table;
}

UartSettings randomUart(SoakRandom &random, int number)
{
    UartSettings uart = UartSettings::defaults(number);
    uart.role = ModbusRole(random.between(0, 2));
    uart.speed = random.between(0, int(ModbusChoices::speeds.size()) - 1);
    uart.parity = random.between(0, int(ModbusChoices::parities.size()) - 1);
    uart.slaveAddress = QString::number(random.between(1, 247));
    uart.table = randomRequests(random, 128);
    return uart;
}

Configuration randomConfiguration(SoakRandom &random)
{
    Configuration c = Configuration::defaults();
    c.uart1 = randomUart(random, 1);
    c.uart2 = randomUart(random, 2);
    c.aux.mode = AuxMode(random.between(0, 2));
    c.aux.fieldNetSpeed = random.between(0, 4);
    c.aux.fieldNetParity = random.between(0, 2);
    c.aux.fieldNetDataBits = random.between(0, 1);
    c.aux.fieldNetStopBits = random.between(0, 1);
    c.aux.sensors = randomSensors(random);
    // Now and then one the PLC cannot hold: 128 sensors beside UART1's
    // requests.
    if (random.chance(5)) {
        c.uart1.role = ModbusRole::Master;
        c.aux.mode = AuxMode::OneWireMaster;
        while (c.uart1.table.isEmpty())
            c.uart1.table = randomRequests(random, 128);
        while (c.aux.sensors.size() < SensorTable::maxSensors)
            c.aux.sensors = randomSensors(random);
    }
    for (int point = 0; point < IoAssignment::pointCount; ++point)
        c.io.choose(point, random.between(0, 2));
    return c;
}

// The configuration without its 128th sensor when the PLC cannot hold that
// beside UART1's requests.
Configuration fitting(Configuration c)
{
    if (plcMemoryClash(c))
        c.aux.sensors.removeLast();
    return c;
}

// A part written alone must fit beside what the PLC holds of the other:
// UART 1's requests beside its sensor count, a full sensor table beside
// UART 1's row count, each from its mode word. The refusal when it does not.
std::optional<TransferResult> clashBesidePlc(const PlcSimulator &plc, const Configuration &c,
                                             const ConfigurationParts &parts)
{
    Configuration held = c;
    if (parts.uart1 && !parts.aux) {
        if (c.uart1.role != ModbusRole::Master || c.uart1.table.isEmpty())
            return std::nullopt;
        held.aux.mode = AuxMode::OneWireMaster;
        held.aux.sensors =
            TextTable(AuxModeWord::sensorCount(plc.word(AuxModeWord::address)), QStringList());
    } else if (parts.aux && !parts.uart1) {
        if (c.aux.mode != AuxMode::OneWireMaster || c.aux.sensors.size() < SensorTable::maxSensors)
            return std::nullopt;
        const ModeWord::Decoded mode =
            ModeWord::decode(plc.word(UartDescription::uart1().modeWordAddress));
        held.uart1.role = ModbusRole::Master;
        held.uart1.table = TextTable(
            mode.kind == ModeWord::Decoded::Kind::Master ? mode.lowByte : 0, QStringList());
    } else {
        return std::nullopt;
    }
    return plcMemoryClash(held, {true, false, true});
}

// How an operation ended, and what it gives the window to show, part by
// part ("UART1", "devices", ...).
struct Ending
{
    bool ok = false;
    QString message;
    QMap<QString, QString> shown;

    bool operator==(const Ending &) const = default;
};

Ending ending(const TransferResult &result)
{
    return {result.ok, result.message, {}};
}

QString text(const TextTable &table)
{
    QStringList lines;
    for (const QStringList &row : table)
        lines << row.join(u' ');
    return lines.join(u'\n');
}

struct Operation
{
    QString name;
    std::function<Ending(PlcPort &, const QString &ini, const Configuration &)> run;
    QList<int> unexamined = {}; // requests whose answer is not looked at
    bool writes = false;        // a download: the PLC is to hold what it sent
    ConfigurationParts parts = {};
    bool whole = false; // refuses a configuration the PLC cannot hold
};

// An operation that reads one table: error bytes, or a search's finds.
Ending tableEnding(const TransferResult &result, const std::optional<TextTable> &table)
{
    Ending end = ending(result);
    if (table)
        end.shown[QStringLiteral("table")] = text(*table);
    return end;
}

QString uartText(const UartSettings &uart)
{
    return QStringLiteral("%1 %2 %3 %4\n")
               .arg(int(uart.role))
               .arg(uart.speed)
               .arg(uart.parity)
               .arg(uart.slaveAddress) +
           text(uart.table);
}

QString auxText(const AuxSettings &aux)
{
    return QStringLiteral("%1 %2 %3 %4 %5\n")
               .arg(int(aux.mode))
               .arg(aux.fieldNetSpeed)
               .arg(aux.fieldNetParity)
               .arg(aux.fieldNetDataBits)
               .arg(aux.fieldNetStopBits) +
           text(aux.sensors);
}

Ending uploadEnding(const ConfigurationUpload &up)
{
    Ending end = ending(up.result);
    if (up.uart1)
        end.shown[QStringLiteral("UART1")] = uartText(*up.uart1);
    if (up.uart2)
        end.shown[QStringLiteral("UART2")] = uartText(*up.uart2);
    if (up.aux)
        end.shown[QStringLiteral("aux")] = auxText(*up.aux);
    return end;
}

QList<Operation> operations()
{
    QList<Operation> list;
    const QList<std::pair<QString, ConfigurationParts>> downloads = {
        {QStringLiteral("download UART1"), {true, false, false}},
        {QStringLiteral("download UART2"), {false, true, false}},
        {QStringLiteral("download aux"), {false, false, true}},
        {QStringLiteral("download all"), {}}};
    for (const auto &[name, parts] : downloads) {
        list.append({name,
                     [parts](PlcPort &port, const QString &ini, const Configuration &c) {
                         return ending(downloadConfiguration(port, ini, c, {}, parts));
                     },
                     {},
                     true,
                     parts,
                     true});
    }
    list.append(
        {QStringLiteral("upload"), [](PlcPort &port, const QString &ini, const Configuration &c) {
             return uploadEnding(uploadConfiguration(port, ini, c, {}));
         }});
    list.append({QStringLiteral("verify"),
                 [](PlcPort &port, const QString &ini, const Configuration &c) {
                     const ConfigurationCheck check = verifyConfiguration(port, ini, c, {});
                     Ending end = ending(check.result);
                     if (check.result.ok)
                         end.shown[QStringLiteral("differences")] = check.differences.join(u'\n');
                     return end;
                 },
                 {},
                 false,
                 {},
                 true});
    for (const UartDescription *uart : {&UartDescription::uart1(), &UartDescription::uart2()}) {
        list.append({QStringLiteral("diag UART%1").arg(uart->number),
                     [uart](PlcPort &port, const QString &ini, const Configuration &) {
                         const ErrorBufferRead read = readModbusErrorBuffer(port, ini, *uart);
                         return tableEnding(read.result, read.table);
                     }});
    }
    list.append({QStringLiteral("diag 1-wire"),
                 [](PlcPort &port, const QString &ini, const Configuration &) {
                     const ErrorBufferRead read = readOneWireErrorBuffer(port, ini);
                     return tableEnding(read.result, read.table);
                 }});
    list.append({QStringLiteral("search"),
                 [](PlcPort &port, const QString &ini, const Configuration &) {
                     const BusSearch::Found found = BusSearch::search(port, ini);
                     return tableEnding(found.result, found.devices);
                 },
                 {2}});
    list.append(
        {QStringLiteral("backup"), [](PlcPort &port, const QString &ini, const Configuration &) {
             const PlcBackup::Taken taken = PlcBackup::take(port, ini, {});
             Ending end = ending(taken.result);
             if (taken.result.ok)
                 end.shown[QStringLiteral("backup")] = uartText(taken.configuration.uart1) +
                                                       uartText(taken.configuration.uart2) +
                                                       auxText(taken.configuration.aux);
             return end;
         }});
    list.append({QStringLiteral("I/O download"),
                 [](PlcPort &port, const QString &, const Configuration &c) {
                     port.setPortNumber(1);
                     return ending(downloadIo(port, c.io));
                 },
                 {},
                 true});
    list.append({QStringLiteral("I/O upload"),
                 [](PlcPort &port, const QString &ini, const Configuration &) {
                     const IoUpload up = uploadIo(port, ini, {});
                     Ending end = ending(up.result);
                     if (up.assignment)
                         end.shown[QStringLiteral("io")] =
                             QString::number(up.assignment->inputMask()) + u' ' +
                             QString::number(up.assignment->outputMask());
                     return end;
                 }});
    return list;
}

// A PLC that already holds a configuration, some error bytes and a bus of
// 1-wire devices.
void preparePlc(PlcSimulator &plc, SoakRandom &random, const QString &ini)
{
    PlcSimulator scratch; // its requests are not the round's
    SimPort port(scratch);
    downloadConfiguration(port, ini, fitting(randomConfiguration(random)), {});
    plc.setMemory(0, scratch.memoryImage());
    for (const UartDescription *uart : {&UartDescription::uart1(), &UartDescription::uart2()}) {
        QByteArray errors;
        for (int k = 0; k < 128; ++k)
            errors += char(random.chance(10) ? random.between(0, 255) : 0);
        plc.setMemory(uart->errorBytes, errors);
    }
    QByteArray oneWire;
    for (int k = 0; k < 128; ++k)
        oneWire += char(random.chance(10) ? random.between(0, 255) : 0);
    plc.setMemory(0x3700, oneWire);
    QList<QByteArray> codes;
    for (int k = random.between(0, 12); k > 0; --k)
        codes << QByteArray::fromHex(random.hexByte().toLatin1().repeated(7)) +
                     char(random.between(0, 255));
    plc.setRomCodes(codes);
}

// Runs operations the way the window does: on a session's thread, through
// the traffic monitor's port, waiting in an event loop for the end.
class Window
{
public:
    Window(PlcSimulator &plc, TrafficRecorder &recorder)
    {
        auto port = std::make_unique<SimPort>(plc);
        m_port = port.get();
        m_session = std::make_unique<PlcSession>(
            std::make_unique<RecordingPort>(std::move(port), recorder));
    }

    SimPort &port() { return *m_port; }

    Ending run(const Operation &op, const QString &ini, const Configuration &c)
    {
        Ending end;
        QEventLoop loop;
        m_session->run([&](PlcPort &port, const TransferProgress &) { end = op.run(port, ini, c); },
                       [&loop] { loop.quit(); });
        loop.exec();
        return end;
    }

private:
    SimPort *m_port; // owned by the session
    std::unique_ptr<PlcSession> m_session;
};

struct Resources
{
    double rssMb = 0;
    int fds = 0;
    int threads = 0;
};

Resources resources()
{
#if defined(__GLIBC__)
    // Freed heap goes back to the system first, so the resident size is what
    // is in use rather than the heap's high-water mark.
    malloc_trim(0);
#endif
    Resources now;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.first() == "VmRSS:")
                now.rssMb = fields.value(1).toDouble() / 1024;
            if (fields.first() == "Threads:")
                now.threads = fields.value(1).toInt();
        }
    }
    now.fds =
        int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
    return now;
}

// The sanitizers keep freed memory aside (AddressSanitizer's quarantine)
// or in allocators of their own, so the resident size grows by design
// there; LeakSanitizer judges memory in those builds.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool judgeMemory = false;
#else
constexpr bool judgeMemory = true;
#endif

// The figures once the last session's thread has left, which may take a
// moment after the session has ended; between rounds the soak runs on the
// main thread alone.
Resources idleResources()
{
    Resources now = resources();
    for (int wait = 0; wait < 50 && now.threads > 1; ++wait) {
        QThread::msleep(10);
        now = resources();
    }
    return now;
}

class Soak
{
public:
    explicit Soak(quint64 seed) : m_seed(seed)
    {
        m_recorder.setEnabled(true);
        QObject::connect(&m_recorder, &TrafficRecorder::entry, &m_recorder,
                         [this](const TrafficEntry &entry) { m_traffic.add(entry); });
    }

    // The round's problems; none when it went right.
    QStringList round(int number, bool &faulted);
    // Every operation once with the longest tables, so that the heap has
    // reached its working size before memory is measured.
    void warmUp();

private:
    quint64 m_seed;
    QList<Operation> m_operations = operations();
    QTemporaryDir m_dir;
    QString m_ini = m_dir.filePath(QStringLiteral("set.ini"));
    TrafficRecorder m_recorder;
    TrafficStatistics m_traffic; // of the round under way
};

void Soak::warmUp()
{
    for (const Operation &op : m_operations) {
        SoakRandom random(m_seed);
        random.largest = true;
        PlcSimulator plc;
        preparePlc(plc, random, m_ini);
        Window(plc, m_recorder).run(op, m_ini, fitting(randomConfiguration(random)));
    }
}

QStringList Soak::round(int number, bool &faulted)
{
    SoakRandom random(m_seed * 1000003u + quint64(number));
    QCoreApplication::processEvents();
    m_traffic.clear();
    PlcSimulator plc;
    preparePlc(plc, random, m_ini);
    const Configuration c = randomConfiguration(random);
    const Operation &op = m_operations.at(random.between(0, int(m_operations.size()) - 1));
    QStringList wrong;
    const auto check = [&wrong](bool ok, const QString &what) {
        if (!ok)
            wrong << what;
    };

    // The same operation without a fault, on a copy of the PLC.
    PlcSimulator clean = plc;
    QSet<int> written;
    clean.setWriteHook([&written](quint16 address, QByteArrayView bytes) {
        for (qsizetype i = 0; i < bytes.size(); ++i)
            written.insert(address + int(i));
    });
    SimPort cleanPort(clean);
    const Ending expected = op.run(cleanPort, m_ini, c);
    const QByteArray cleanImage = clean.memoryImage();
    const int requests = clean.requestCount();
    // A configuration the PLC cannot hold is refused before anything is sent.
    const std::optional<TransferResult> clash =
        op.whole ? plcMemoryClash(c, op.parts) : std::nullopt;
    if (clash)
        check(!expected.ok && expected.message == clash->message && requests == 0 &&
                  cleanImage == plc.memoryImage(),
              QStringLiteral("a configuration the PLC cannot hold was not refused: ") +
                  expected.message);
    else if (const std::optional<TransferResult> beside =
                 op.whole ? clashBesidePlc(plc, c, op.parts) : std::nullopt)
        check(!expected.ok && expected.message == beside->message && written.isEmpty() &&
                  cleanImage == plc.memoryImage(),
              QStringLiteral("a part that does not fit beside what the PLC holds was not "
                             "refused: ") +
                  expected.message);
    else
        check(expected.ok, QStringLiteral("without a fault: ") + expected.message);
    if (expected.ok && op.writes && op.name != QLatin1String("I/O download")) {
        SimPort again(clean);
        const ConfigurationCheck held = verifyConfiguration(again, m_ini, c, {}, op.parts);
        check(held.result.ok && held.differences.isEmpty(),
              QStringLiteral("the PLC does not hold what was sent: ") +
                  held.differences.join(QStringLiteral("; ")));
    }
    // A backup restored is what the PLC held.
    if (expected.ok && op.name == QLatin1String("backup")) {
        SimPort again(clean);
        const PlcBackup::Taken taken = PlcBackup::take(again, m_ini, {});
        const ConfigurationCheck held = verifyConfiguration(again, m_ini, taken.configuration, {});
        check(taken.result.ok && held.result.ok && held.differences.isEmpty(),
              QStringLiteral("a restored backup is not what the PLC held: ") +
                  held.differences.join(QStringLiteral("; ")));
    }
    if (expected.ok && op.name == QLatin1String("upload")) {
        SimPort again(clean);
        const ConfigurationUpload up = uploadConfiguration(again, m_ini, c, {});
        Configuration read = c;
        read.uart1 = up.uart1.value_or(read.uart1);
        read.uart2 = up.uart2.value_or(read.uart2);
        read.aux = up.aux.value_or(read.aux);
        const ConfigurationCheck held = verifyConfiguration(again, m_ini, read, {});
        check(held.result.ok && held.differences.isEmpty(),
              QStringLiteral("the upload differs from what the PLC holds"));
    }

    // The fault, at one of the requests the clean run made; or, now and then,
    // a noisy line: digits changed and answers lost anywhere, after which the
    // operation ends as without it or with a message, never with wrong data.
    const QList<Line> lines = {Line::Refuse,   Line::Silent, Line::Late,       Line::Garbage,
                               Line::EarlyEtx, Line::Vanish, Line::SplitUnder, Line::LateThenNext,
                               Line::Digit,    Line::Lost};
    std::optional<Line> line;
    if (requests > 0 && random.chance(75))
        line = lines.at(random.between(0, int(lines.size()) - 1));
    const int k = random.between(1, std::max(1, requests));
    const bool noisy = requests > 0 && !line && random.chance(50);
    faulted = line.has_value() || noisy;
    const QByteArray before = plc.memoryImage();
    auto window = std::make_unique<Window>(plc, m_recorder);
    std::optional<QString> failure;
    if (line == Line::SplitUnder) {
        SimFaults faults;
        faults.chunkSize = random.between(1, 4);
        faults.chunkGap = std::chrono::milliseconds(random.between(0, 90));
        plc.setFaults(faults);
    } else if (line) {
        injectAt(plc, window->port(), *line, k);
        failure =
            expectedFailure(false, op.unexamined, *line, kindOf(clean.requests().at(k - 1)), k);
    } else if (noisy) {
        SimFaults faults;
        faults.digitShare = 0.05;
        faults.lostShare = 0.02;
        faults.noiseSeed = quint64(random.between(1, 1 << 30));
        plc.setFaults(faults);
    }
    const Ending end = window->run(op, m_ini, c);
    check(!window->port().isOpen(), QStringLiteral("the port was left open"));
    if (noisy && !end.ok) // the noise hit: a message, as for a fault
        failure = end.message.section(u'\n', 0, 0);
    if (!failure) {
        check(end == expected,
              QStringLiteral("ended \"%1\", not as without the fault").arg(end.message));
        // A refused or ignored write whose answer is not looked at (the
        // command word) leaves its bytes as they were.
        const bool lost = line == Line::Refuse || line == Line::Silent;
        const QByteArray after = plc.memoryImage();
        for (qsizetype a = 0; a < after.size(); ++a) {
            if (after[a] != cleanImage[a] && !(lost && written.contains(int(a)))) {
                check(false, QStringLiteral("the PLC's memory differs from the run without the "
                                            "fault at %1")
                                 .arg(a, 4, 16, QLatin1Char('0')));
                break;
            }
        }
    } else {
        check(!end.ok && end.message.section(u'\n', 0, 0) == *failure &&
                  (!noisy || failure == QLatin1String("Wrong answer from PLC") ||
                   failure == QLatin1String("Answer timeout from PLC")),
              QStringLiteral("ended \"%1\", not \"%2\"").arg(end.message, *failure));
        // Parts read before the failure may be shown; they are what the PLC holds.
        for (auto it = end.shown.cbegin(); it != end.shown.cend(); ++it)
            check(op.name == QLatin1String("upload") &&
                      expected.shown.value(it.key()) == it.value(),
                  QStringLiteral("a failed run gives %1 to show").arg(it.key()));
        const QByteArray after = plc.memoryImage();
        for (qsizetype a = 0; a < after.size(); ++a) {
            // What the clean run wrote, or the PLC changed during it (a
            // search's result), may have changed.
            if (after[a] != before[a] && !written.contains(int(a)) && cleanImage[a] == before[a]) {
                check(false, QStringLiteral("a failed run wrote %1, which the operation does not")
                                 .arg(a, 4, 16, QLatin1Char('0')));
                break;
            }
        }
    }

    // The next run, without the fault, succeeds; a vanished device is
    // opened afresh.
    plc.setFaults({});
    if (line == Line::Vanish)
        window = std::make_unique<Window>(plc, m_recorder);
    const Ending next = window->run(op, m_ini, c);
    check(next == expected, QStringLiteral("the run after it ended \"%1\"").arg(next.message));
    if (op.writes)
        check(plc.memoryImage() == clean.memoryImage(),
              QStringLiteral("after the next run the PLC's memory differs"));

    // Undo and redo over a few random steps, some undone on the way: undoing
    // all gives back the start, redoing all the last step recorded.
    ConfigurationHistory history(c);
    Configuration top = c;
    for (int step = random.between(1, 6); step > 0; --step) {
        if (random.chance(25) && history.canUndo()) {
            history.undo();
            continue;
        }
        const Configuration next = randomConfiguration(random);
        history.record(changeName(history.current(), next), next);
        top = history.current();
    }
    while (history.canUndo())
        history.undo();
    check(history.current() == c, QStringLiteral("undoing every step does not give the start"));
    while (history.canRedo())
        history.redo();
    check(history.current() == top, QStringLiteral("redoing every step does not give the end"));

    // The traffic monitor ended every request of the round one way.
    QCoreApplication::processEvents();
    for (const TrafficStatistics::Port &p : m_traffic.ports())
        check(p.sent == p.answers + p.refusals + p.wrong + p.timeouts,
              QStringLiteral("the traffic monitor's statistics do not add up: ") +
                  m_traffic.text());

    if (!wrong.isEmpty()) {
        const QString where = QStringLiteral("round %1, %2, fault %3 at request %4 of %5: ")
                                  .arg(number)
                                  .arg(op.name)
                                  .arg(line ? int(*line) : -1)
                                  .arg(k)
                                  .arg(requests);
        for (QString &problem : wrong)
            problem.prepend(where);
    }
    return wrong;
}

// The command line on several ports at once: two to four plc-sim on
// pseudo-terminals, one download with a backup folder and a report file the
// ports share, several times in a row. Every port's backup (an .apc with its
// .json, each its own file) and every port's report line (whole, "done") must
// be there.
QStringList severalPorts(std::vector<std::unique_ptr<SimProcess>> &plcs, SoakRandom &random,
                         int run)
{
    QTemporaryDir dir;
    const QString site = dir.filePath(QStringLiteral("site.apc"));
    ConfigurationFile::save(site, fitting(randomConfiguration(random)));
    const QString backups = dir.filePath(QStringLiteral("backups"));
    const QString report = dir.filePath(QStringLiteral("report.jsonl"));
    const int ports = random.between(2, 4);
    const int times = random.between(2, 5);
    QStringList arguments{QStringLiteral("--ini"), dir.filePath(QStringLiteral("set.ini"))};
    for (int k = 0; k < ports; ++k)
        arguments << QStringLiteral("--port") << plcs.at(k)->link();
    arguments << QStringLiteral("--line") << QStringLiteral("115200,N,8,1")
              << QStringLiteral("download") << site << QStringLiteral("--backup") << backups
              << QStringLiteral("--report") << report;
    QStringList wrong;
    const QString where =
        QStringLiteral("ports run %1, %2 ports, %3 downloads: ").arg(run).arg(ports).arg(times);
    for (int t = 0; t < times; ++t) {
        QProcess cli;
        cli.start(buildPath(PLC_CLI_PATH), arguments);
        if (!cli.waitForFinished(60000) || cli.exitCode() != 0)
            wrong << where + QStringLiteral("the download ended with %1: %2")
                                 .arg(cli.exitCode())
                                 .arg(QString::fromUtf8(cli.readAllStandardError()).trimmed());
    }
    const QDir folder(backups);
    const qsizetype kept = folder.entryList({QStringLiteral("*.apc")}, QDir::Files).size();
    const qsizetype described = folder.entryList({QStringLiteral("*.json")}, QDir::Files).size();
    if (kept != ports * times || described != ports * times)
        wrong << where + QStringLiteral("%1 backups and %2 descriptions kept, not %3")
                             .arg(kept)
                             .arg(described)
                             .arg(ports * times);
    QFile lines(report);
    const QList<QByteArray> written =
        lines.open(QIODevice::ReadOnly) ? lines.readAll().split('\n') : QList<QByteArray>();
    QMap<QString, int> perPort;
    for (const QByteArray &line : written) {
        if (line.isEmpty())
            continue;
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.value(QStringLiteral("result")).toString() != QLatin1String("done"))
            wrong << where + QStringLiteral("report line not whole or not done: ") +
                         QString::fromUtf8(line.left(120));
        ++perPort[entry.value(QStringLiteral("port")).toString()];
    }
    for (int k = 0; k < ports; ++k) {
        if (perPort.value(plcs.at(k)->link()) != times)
            wrong << where + QStringLiteral("%1 report lines for %2, not %3")
                                 .arg(perPort.value(plcs.at(k)->link()))
                                 .arg(plcs.at(k)->link())
                                 .arg(times);
    }
    return wrong;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Random configurations and operations against the simulated PLC, with random faults."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("rounds"), QStringLiteral("Rounds to run (1000)."),
                      QStringLiteral("N"), QStringLiteral("1000")});
    parser.addOption({QStringLiteral("seed"),
                      QStringLiteral("Seed of the random choices (a new one each run)."),
                      QStringLiteral("S")});
    parser.addOption({QStringLiteral("round"),
                      QStringLiteral("Run only this round of the seed's run, to look at it."),
                      QStringLiteral("R")});
    parser.addOption({QStringLiteral("ports-runs"),
                      QStringLiteral("Runs of the command line on several ports at once "
                                     "(one a 50 rounds, at least 2)."),
                      QStringLiteral("N")});
    parser.process(app);

    const int rounds = parser.value(QStringLiteral("rounds")).toInt();
    const quint64 seed = parser.isSet(QStringLiteral("seed"))
                             ? parser.value(QStringLiteral("seed")).toULongLong()
                             : QRandomGenerator::global()->generate64();
    Soak soak(seed);
    const int only =
        parser.isSet(QStringLiteral("round")) ? parser.value(QStringLiteral("round")).toInt() : -1;
    // Figures are taken once every operation has run with the longest tables
    // and a tenth of the rounds (at least 50, or half of a shorter run) has
    // run: by then the allocator and Qt's caches have their working size.
    const int warmUp = std::max({1, rounds / 10, std::min(rounds / 2, 50)});
    soak.warmUp();
    Resources start = idleResources();
    int faults = 0, wrong = 0;
    for (int number = 1; number <= rounds; ++number) {
        if (only > 0 && number != only)
            continue;
        bool faulted = false;
        const QStringList problems = soak.round(number, faulted);
        faults += faulted;
        if (!problems.isEmpty()) {
            ++wrong;
            for (const QString &problem : problems)
                std::fprintf(stderr, "%s\n", qPrintable(problem));
        }
        if (number == warmUp)
            start = idleResources();
    }
    const Resources end = idleResources();
    // The several-ports runs, after the figures: they run other processes.
    const int portsRuns = parser.isSet(QStringLiteral("ports-runs"))
                              ? parser.value(QStringLiteral("ports-runs")).toInt()
                              : (only > 0 ? 0 : std::max(2, rounds / 50));
    std::vector<std::unique_ptr<SimProcess>> plcs;
    for (int k = 0; k < 4 && portsRuns > 0; ++k) {
        plcs.push_back(std::make_unique<SimProcess>(buildPath(PLC_SIM_PATH)));
        if (!plcs.back()->start()) {
            std::fprintf(stderr, "plc-sim did not start\n");
            ++wrong;
        }
    }
    SoakRandom portsRandom(seed);
    int portsWrong = 0;
    for (int run = 1; run <= portsRuns && plcs.size() == 4; ++run) {
        const QStringList problems = severalPorts(plcs, portsRandom, run);
        portsWrong += !problems.isEmpty();
        for (const QString &problem : problems)
            std::fprintf(stderr, "%s\n", qPrintable(problem));
    }
    if (portsRuns > 0)
        std::printf("soak several ports: runs=%d wrong=%d\n", portsRuns, portsWrong);
    wrong += portsWrong;
    std::printf("soak rounds=%d faults=%d wrong=%d rss_start=%.1fMB rss_end=%.1fMB fds_start=%d "
                "fds_end=%d threads_start=%d threads_end=%d\n",
                rounds, faults, wrong, start.rssMb, end.rssMb, start.fds, end.fds, start.threads,
                end.threads);
    const bool grew = (judgeMemory && end.rssMb > start.rssMb * 1.05) || end.fds > start.fds ||
                      end.threads > start.threads;
    if (wrong > 0 || grew)
        std::fprintf(stderr, "soak failed (seed %llu)%s\n", static_cast<unsigned long long>(seed),
                     grew ? ": memory, open files or threads grew" : "");
    return wrong > 0 || grew ? 1 : 0;
}
