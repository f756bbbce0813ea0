// Every PLC operation against the simulator with each fault of the line at
// each of its transactions in turn. Whatever the fault, an operation ends
// within its timeouts either with exactly the data the PLC holds or with the
// message the fault calls for, never with wrong data; it leaves the port
// closed, applies nothing when it failed and sends nothing after a request
// that was refused or not answered. A read whose answer was wrong (a digit
// changed, garbage, ETX misplaced), lost or late is sent again; a late
// answer is never taken for the next request's.
#include "config/configurationupload.h"
#include "config/plcbackup.h"
#include "diag/errorwatch.h"
#include "diag/modbuserrorbuffer.h"
#include "diag/onewireerrorbuffer.h"
#include "faultrules.h"
#include "io/iotransfer.h"
#include "link/connectiontest.h"
#include "link/forwardingport.h"
#include "link/plcframe.h"
#include "link/plctransaction.h"
#include "link/traffic.h"
#include "modbus/modbusdownload.h"
#include "modbus/modbusupload.h"
#include "modbus/requestrecord.h"
#include "modbus/requesttable.h"
#include "modbus/slavesettingstransfer.h"
#include "modbus/uartdescription.h"
#include "onewire/auxtransfer.h"
#include "onewire/bussearch.h"
#include "onewire/sensortable.h"
#include "plcsimulator.h"
#include "simport.h"

#include <QTemporaryDir>
#include <QTest>

#include <any>

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using namespace FaultRules;

namespace {

// How an operation ended, as the window would see it.
struct Ending
{
    bool ok = false;
    QString message;
    bool applies = false; // it returned values for the window to take
    std::any data = {};   // what it read, compared by `same`
    std::function<bool(const std::any &, const std::any &)> same = [](auto &, auto &) {
        return true;
    };
};

// An ending with what the operation read.
template <typename T> Ending withData(const TransferResult &result, bool applies, const T &data)
{
    return {result.ok, result.message, applies, data, [](const std::any &a, const std::any &b) {
                return std::any_cast<T>(a) == std::any_cast<T>(b);
            }};
}

// The timeout each request waited with, first wait after each write.
class TimeoutProbe : public ForwardingPort
{
public:
    using ForwardingPort::ForwardingPort;
    QList<milliseconds> timeouts;

    bool write(const QByteArray &data) override
    {
        m_fresh = true;
        return ForwardingPort::write(data);
    }
    Wait waitForData(milliseconds timeout) override
    {
        if (std::exchange(m_fresh, false))
            timeouts << timeout;
        return ForwardingPort::waitForData(timeout);
    }

private:
    bool m_fresh = false;
};

struct Operation
{
    QString name;
    bool probe = false;                // the connection test's own messages
    milliseconds shortestTimeout{100}; // of any of its transactions
    std::function<Ending(PlcPort &, const QString &ini)> run;
    QList<int> unexamined = {}; // requests whose answer is not used
};

QList<RequestRow> rows(int count)
{
    QList<RequestRow> list;
    for (int i = 1; i <= count; ++i)
        list.append({i, 2, 10 * i, 100 + i, i % 5, 100});
    return list;
}

UartSettings master(int count)
{
    UartSettings settings;
    settings.role = ModbusRole::Master;
    settings.table = RequestTable::fromRows(rows(count));
    return settings;
}

TextTable sensors(int count)
{
    TextTable rows;
    for (int i = 1; i <= count; ++i)
        rows.append({QString::number(i), "28", "FF", "4C", "5D", "03", "00", "00",
                     QString::number(i, 16).rightJustified(2, QLatin1Char('0')).toUpper(),
                     QString::number(3000 + 2 * i)});
    return rows;
}

AuxSettings aux(AuxMode mode)
{
    AuxSettings settings;
    settings.mode = mode;
    settings.sensors = sensors(9);
    return settings;
}

// A PLC whose UARTs are masters with nine requests and some slot errors, and
// whose auxiliary port is a 1-wire master with nine sensors and some errors.
void preparePlc(PlcSimulator &sim)
{
    const QByteArray records = RequestRecord::encodeAll(rows(9));
    for (const UartDescription *uart : {&UartDescription::uart1(), &UartDescription::uart2()}) {
        sim.setWord(uart->modeWordAddress, 0xC409);
        sim.setMemory(uart->tableStart, records);
        sim.setMemory(uart->errorBytes, "\x80\x81\x09");
    }
    sim.setWord(0x2004, 2000);
    sim.setWord(0x200A, 0xC009);
    sim.setMemory(0x200C, SensorTable::encodeAll(sensors(9)));
    sim.setMemory(0x3700, "\x00\x85\xFF");
    QList<QByteArray> codes;
    for (int k = 1; k <= 9; ++k)
        codes << QByteArray::fromHex("28FF4C5D030000") + char(k);
    sim.setRomCodes(codes);
}

Ending ending(const TransferResult &result, bool applies)
{
    return {result.ok, result.message, applies};
}

QList<Operation> operations()
{
    const auto &u1 = UartDescription::uart1();
    const auto &u2 = UartDescription::uart2();
    UartSettings slave;
    slave.role = ModbusRole::Slave;
    slave.slaveAddress = QStringLiteral("5");
    slave.slaveTimeout = QStringLiteral("2000");
    return {
        {QStringLiteral("connection test"), true, 100ms,
         [](PlcPort &port, const QString &) {
             const QString message = connectionTest(port, 1, QStringLiteral("9600,N,8,1"));
             return Ending{message.startsWith(QLatin1String("Successful")), message, false};
         }},
        {QStringLiteral("UART2 slave download"), false, 650ms,
         [slave](PlcPort &port, const QString &) {
             port.setPortNumber(1);
             return ending(downloadSlaveSettings(port, slave), false);
         }},
        {QStringLiteral("UART2 slave upload"), false, 350ms,
         [slave](PlcPort &port, const QString &ini) {
             const UartUpload up = uploadSlaveSettings(port, ini, slave);
             return withData(up.result, up.settings.has_value(), up.settings);
         }},
        {QStringLiteral("UART1 download"), false, 650ms,
         [&u1](PlcPort &port, const QString &ini) {
             return ending(downloadUart(port, ini, u1, master(9), {}), false);
         }},
        {QStringLiteral("UART2 download"), false, 650ms,
         [&u2](PlcPort &port, const QString &ini) {
             return ending(downloadUart(port, ini, u2, master(9), {}), false);
         }},
        {QStringLiteral("UART1 upload"), false, 350ms,
         [&u1](PlcPort &port, const QString &ini) {
             const UartUpload up = uploadUart(port, ini, u1, {}, {});
             return withData(up.result, up.settings.has_value(), up.settings);
         }},
        {QStringLiteral("UART2 upload"), false, 350ms,
         [&u2](PlcPort &port, const QString &ini) {
             const UartUpload up = uploadUart(port, ini, u2, {}, {});
             return withData(up.result, up.settings.has_value(), up.settings);
         }},
        {QStringLiteral("menu upload"), false, 350ms,
         [](PlcPort &port, const QString &ini) {
             const ConfigurationUpload up = uploadConfiguration(port, ini, {}, {});
             return withData(up.result, up.aux.has_value(), std::tuple(up.uart1, up.uart2, up.aux));
         }},
        {QStringLiteral("backup before a download"), false, 100ms,
         [](PlcPort &port, const QString &ini) {
             const PlcBackup::Taken taken = PlcBackup::take(port, ini, {});
             return withData(taken.result, taken.result.ok, taken.configuration);
         }},
        {QStringLiteral("1-wire download"), false, 450ms,
         [](PlcPort &port, const QString &ini) {
             return ending(downloadAux(port, ini, aux(AuxMode::OneWireMaster), {}), false);
         }},
        {QStringLiteral("Field Net download"), false, 350ms,
         [](PlcPort &port, const QString &ini) {
             return ending(downloadAux(port, ini, aux(AuxMode::FieldNet), {}), false);
         }},
        {QStringLiteral("auxiliary not used download"), false, 350ms,
         [](PlcPort &port, const QString &ini) {
             return ending(downloadAux(port, ini, aux(AuxMode::NotUsed), {}), false);
         }},
        {QStringLiteral("auxiliary upload"), false, 350ms,
         [](PlcPort &port, const QString &ini) {
             const AuxUpload up = uploadAux(port, ini, {}, {});
             return withData(up.result, up.settings.has_value(), up.settings);
         }},
        {QStringLiteral("I/O download"), false, 350ms,
         [](PlcPort &port, const QString &) {
             port.setPortNumber(1);
             IoAssignment io;
             io.choose(0, 0);
             return ending(downloadIo(port, io), false);
         }},
        {QStringLiteral("I/O upload"), false, 150ms,
         [](PlcPort &port, const QString &ini) {
             const IoUpload up = uploadIo(port, ini, {});
             return withData(up.result, up.assignment.has_value(), up.assignment);
         }},
        {QStringLiteral("bus search"),
         false,
         350ms,
         [](PlcPort &port, const QString &ini) {
             const BusSearch::Found found = BusSearch::search(port, ini);
             return withData(found.result, found.devices.has_value(), found.devices);
         },
         {2}},
        {QStringLiteral("1-wire error buffer"), false, 350ms,
         [](PlcPort &port, const QString &ini) {
             const ErrorBufferRead read = readOneWireErrorBuffer(port, ini);
             return withData(read.result, read.table.has_value(), read.table);
         }},
        {QStringLiteral("UART1 error buffer"), false, 350ms,
         [&u1](PlcPort &port, const QString &ini) {
             const ErrorBufferRead read = readModbusErrorBuffer(port, ini, u1);
             return withData(read.result, read.table.has_value(), read.table);
         }},
        {QStringLiteral("UART2 error buffer"), false, 350ms,
         [&u2](PlcPort &port, const QString &ini) {
             const ErrorBufferRead read = readModbusErrorBuffer(port, ini, u2);
             return withData(read.result, read.table.has_value(), read.table);
         }},
        // A round of watching the diag tabs' buffers: it ends at the first
        // failure, and only what was read whole is taken.
        {QStringLiteral("watched error buffers"), false, 350ms,
         [](PlcPort &port, const QString &ini) {
             ErrorWatch watch(ErrorWatch::Buffer::Modbus);
             QList<QList<int>> bytes;
             for (ErrorBuffer buffer :
                  {ErrorBuffer::Modbus1, ErrorBuffer::Modbus2, ErrorBuffer::OneWire}) {
                 const ErrorBufferRead read = readErrorBuffer(port, ini, buffer);
                 if (!read.result.ok)
                     return ending(read.result, false);
                 if (!read.inMode || read.errorBytes.size() != read.table->size())
                     return Ending{false, QStringLiteral("read without its error bytes"), false};
                 bytes << read.errorBytes;
             }
             return withData(TransferResult::success(), true, bytes);
         }},
    };
}

struct Bench
{
    PlcSimulator sim;
    SimPort port{sim};
    QTemporaryDir dir;
    QString ini = dir.path() + QStringLiteral("/set.ini");

    Bench() { preparePlc(sim); }
};

struct Baseline
{
    Ending ending;
    QList<QByteArray> requests;
    QList<milliseconds> timeouts;
    SimTime time{0};
    qsizetype answerBytes = 0;
};

Baseline baselineOf(const Operation &op)
{
    Bench bench;
    Baseline base;
    TimeoutProbe probe(std::make_unique<ForwardingPort>(bench.port));
    base.ending = op.run(probe, bench.ini);
    base.requests = bench.sim.requests();
    base.timeouts = probe.timeouts;
    base.time = bench.port.now();
    for (const QByteArray &answer : bench.sim.answers())
        base.answerBytes += answer.size();
    return base;
}

// The requests of the clean run with the k-th sent once more after it.
QList<QByteArray> withRetry(QList<QByteArray> requests, int k)
{
    requests.insert(k, requests.at(k - 1));
    return requests;
}

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyFaultAtEveryTransaction();
    void lateAnswerIsNotTheNextAnswer();
    void answersSplitIntoSingleBytes();

private:
    void checkOne(const Operation &op, const Baseline &base, Line line, int k);
    bool nextRunIsClean(Bench &bench, const Operation &op, const Baseline &base,
                        const QString &where);
    int m_runs = 0;
};

// Straight after a faulted run, the same operation without the fault on the
// same port ends as the clean run did, with its data and its frames: an
// answer still on its way is not taken for one of its answers.
bool TestFaultMatrix::nextRunIsClean(Bench &bench, const Operation &op, const Baseline &base,
                                     const QString &where)
{
    const int first = bench.sim.requestCount();
    SimFaults clean; // the PLC as slow to answer as it was
    clean.delay = bench.sim.faults().delay;
    bench.sim.setFaults(clean);
    const Ending again = op.run(bench.port, bench.ini);
    [&] {
        QVERIFY2(again.ok == base.ending.ok && again.message == base.ending.message,
                 qPrintable(where + QLatin1String(": the next run ended: ") + again.message));
        QVERIFY2(again.same(again.data, base.ending.data),
                 qPrintable(where + QLatin1String(": the next run read other data")));
        QVERIFY2(bench.sim.requests().mid(first) == base.requests,
                 qPrintable(where + QLatin1String(": the next run sent other frames")));
    }();
    return !QTest::currentTestFailed();
}

void TestFaultMatrix::checkOne(const Operation &op, const Baseline &base, Line line, int k)
{
    Bench bench;
    FaultRules::injectAt(bench.sim, bench.port, line, k, base.timeouts.value(k - 1, 1000ms));
    // Through the traffic monitor's port, which must end every request one
    // way: an answer, a refusal, a wrong answer or a timeout.
    TrafficRecorder recorder;
    recorder.setEnabled(true);
    TrafficStatistics traffic;
    connect(&recorder, &TrafficRecorder::entry, &recorder,
            [&traffic](const TrafficEntry &entry) { traffic.add(entry); });
    RecordingPort recording(std::make_unique<ForwardingPort>(bench.port), recorder);
    const Ending end = op.run(recording, bench.ini);
    recording.close();
    QCoreApplication::processEvents();
    const QString where =
        QStringLiteral("%1, fault %2 at request %3").arg(op.name).arg(int(line)).arg(k);
    const TrafficStatistics::Port counted = traffic.ports().value(QStringLiteral("COM1"));
    QVERIFY2(counted.sent == counted.answers + counted.refusals + counted.wrong + counted.timeouts,
             qPrintable(where + QLatin1String(": ") + traffic.text()));
    QVERIFY2((counted.refusals > 0) == (line == Line::Refuse),
             qPrintable(where + QLatin1String(": ") + traffic.text()));
    const Frame frame = kindOf(base.requests.at(k - 1));
    const std::optional<QString> failure = expectedFailure(op.probe, op.unexamined, line, frame, k);
    const bool again = sentAgain(op.probe, op.unexamined, line, frame, k);
    QVERIFY2(counted.retries == (again ? 1 : 0),
             qPrintable(where + QLatin1String(": ") + traffic.text()));
    QVERIFY2(!bench.port.isOpen(), qPrintable(where));
    // A retry after silence waits for the line to be quiet first.
    QVERIFY2(bench.port.now() <= base.time + (again ? lateAnswerWindow : 0ms) + 2000ms,
             qPrintable(where));
    if (!failure) {
        QVERIFY2(end.ok && end.message == base.ending.message, qPrintable(where + end.message));
        QVERIFY2(end.same(end.data, base.ending.data), qPrintable(where + QLatin1String(": data")));
        QVERIFY2(bench.sim.requests() == (again ? withRetry(base.requests, k) : base.requests),
                 qPrintable(where));
    } else {
        const QStringList lines = end.message.split(QLatin1Char('\n'));
        QVERIFY2(!end.ok && lines.first() == *failure,
                 qPrintable(where + QLatin1String(": ") + end.message));
        // A download stopped after writes were accepted says what it left.
        const Left left = leftBehind(base.requests, k);
        QVERIFY2((left == Left::HalfWay) == end.message.contains(QLatin1String("stopped half-way")),
                 qPrintable(where + QLatin1String(": ") + end.message));
        QVERIFY2((left == Left::Waiting) ==
                     end.message.contains(QLatin1String("left waiting for a configuration")),
                 qPrintable(where + QLatin1String(": ") + end.message));
        // A write of the download whose answer was lost or garbled is named.
        const bool unanswered = kindOf(base.requests.at(k - 1)) == Frame::Write &&
                                (left != Left::Nothing || base.requests.at(k - 1) == beginWrite) &&
                                line != Line::Refuse && line != Line::Vanish;
        QVERIFY2(unanswered == end.message.contains(QLatin1String("the PLC may have applied it")),
                 qPrintable(where + QLatin1String(": ") + end.message));
        QVERIFY2(!end.applies, qPrintable(where));
        QVERIFY2(bench.sim.requestCount() == k, qPrintable(where)); // nothing sent after it
    }
    if (line == Line::Late || line == Line::LateThenNext || line == Line::Lost)
        nextRunIsClean(bench, op, base, where);
    ++m_runs;
}

void TestFaultMatrix::everyFaultAtEveryTransaction()
{
    const QList<Line> lines = {Line::Refuse,       Line::Silent,   Line::Late,
                               Line::Garbage,      Line::EarlyEtx, Line::Vanish,
                               Line::LateThenNext, Line::Digit,    Line::Lost};
    int positions = 0;
    const QList<Operation> ops = operations();
    for (const Operation &op : ops) {
        const Baseline base = baselineOf(op);
        QVERIFY2(base.ending.ok, qPrintable(op.name + QLatin1String(": ") + base.ending.message));
        QCOMPARE(base.timeouts.size(), base.requests.size());
        positions += int(base.requests.size());
        for (Line line : lines) {
            for (int k = 1; k <= base.requests.size(); ++k) {
                checkOne(op, base, line, k);
                if (QTest::currentTestFailed())
                    return;
            }
        }
    }
    qInfo("fault matrix: %d operations x %d faults over %d transactions = %d runs, all passed",
          int(ops.size()), int(lines.size()), positions, m_runs);
}

// An answer that comes just after its request's timeout, whatever became of
// the operation it belonged to, is not the answer to the request after it:
// the operation run again at once reads what it reads without the fault.
void TestFaultMatrix::lateAnswerIsNotTheNextAnswer()
{
    for (const Operation &op : operations()) {
        const Baseline base = baselineOf(op);
        for (int k = 1; k <= base.requests.size(); ++k) {
            Bench bench;
            FaultRules::injectAt(bench.sim, bench.port, Line::LateThenNext, k,
                                 base.timeouts.value(k - 1));
            const Ending end = op.run(bench.port, bench.ini);
            const QString where = QStringLiteral("%1, answer %2 late").arg(op.name).arg(k);
            QVERIFY2(!end.ok || end.same(end.data, base.ending.data),
                     qPrintable(where + QLatin1String(": wrong data")));
            if (!nextRunIsClean(bench, op, base, where))
                return;
        }
    }
}

// Answers trickling in a byte at a time, just under the shortest timeout,
// still complete; just over the longest, every data answer times out, also
// when sent again.
void TestFaultMatrix::answersSplitIntoSingleBytes()
{
    for (const Operation &op : operations()) {
        const Baseline base = baselineOf(op);
        for (bool under : {true, false}) {
            Bench bench;
            SimFaults faults;
            faults.chunkSize = 1;
            faults.chunkGap = under ? op.shortestTimeout - 1ms : 1001ms;
            bench.sim.setFaults(faults);
            const Ending end = op.run(bench.port, bench.ini);
            const bool reads =
                std::any_of(base.requests.cbegin(), base.requests.cend(),
                            [](const QByteArray &r) { return kindOf(r) == Frame::Read; });
            const QString where =
                op.name + (under ? QLatin1String(" under") : QLatin1String(" over"));
            QVERIFY2(!bench.port.isOpen(), qPrintable(where));
            QVERIFY2(bench.port.now() <= base.time + faults.chunkGap * base.answerBytes + 1000ms +
                                             (under ? 0ms : 2 * lateAnswerWindow),
                     qPrintable(where));
            if (under || !reads) {
                QVERIFY2(end.ok && end.message == base.ending.message,
                         qPrintable(where + end.message));
                QVERIFY2(bench.sim.requests() == base.requests, qPrintable(where));
            } else {
                const QString timeout =
                    op.probe ? noSecond : QStringLiteral("Answer timeout from PLC");
                QVERIFY2(!end.ok && end.message.split(QLatin1Char('\n')).first() == timeout &&
                             !end.applies,
                         qPrintable(where + end.message));
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
