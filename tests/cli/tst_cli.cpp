// plc-tarvik-cli run as a process against plc-sim on pseudo-terminals.
#include "cli/benchreport.h"
#include "config/configurationcompare.h"
#include "config/configurationfile.h"
#include "config/configurationjson.h"
#include "config/plcbackup.h"
#include "link/plcframe.h"
#include "link/qtplcport.h"
#include "modbus/modbusdownload.h"
#include "modbus/requesttable.h"
#include "modbus/uartdescription.h"
#include "onewire/auxtransfer.h"
#include "onewire/sensortable.h"
#include "plcsimulator.h"
#include "simport.h"
#include "simprocess.h"
#include "support/buildpath.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

// Both tables and sensors: what the window's three buttons would send.
Configuration site()
{
    Configuration c = Configuration::defaults();
    c.uart1.role = ModbusRole::Master;
    c.uart1.table = {{"1", "1", "10", "0", "100", "1", "1000"},
                     {"2", "3", "100", "0", "0", "1", "100"}};
    c.uart2.role = ModbusRole::Slave;
    c.uart2.slaveAddress = u"12"_s;
    c.aux.mode = AuxMode::OneWireMaster;
    c.aux.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"}};
    return c;
}

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void downloadsAsTheWindowDoes();
    void verifyNamesAChangedByte();
    void failuresGiveTheirCodes_data();
    void failuresGiveTheirCodes();
    void writtenThenVerifyFails();
    void usageErrorsEndWith2_data();
    void usageErrorsEndWith2();
    void fullSensorTableBesideUart1Requests_data();
    void fullSensorTableBesideUart1Requests();
    void partWrittenAloneFitsWhatThePlcHolds_data();
    void partWrittenAloneFitsWhatThePlcHolds();
    void downloadKeepsABackupFirst();
    void checkListsConflicts_data();
    void checkListsConflicts();
    void runsOnTwoPortsAtOnce();
    void watchPrintsChanges();
    void reportRecordsEachPlc_data();
    void reportRecordsEachPlc();
    void reportLinesAreWholeOrNone();
    void convertsBothWays();
    void portsAsNamed_data();
    void portsAsNamed();
    void oneDeviceOneUserWhateverItsName();
    void writesFilesByTheirEnding_data();
    void writesFilesByTheirEnding();
    void badFilesAreRefused_data();
    void badFilesAreRefused();
    void completesFromItsOwnTables_data();
    void completesFromItsOwnTables();

private:
    Run cli(const QStringList &arguments, const QString &folder = {},
            const QStringList &environment = {});
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCli::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(ConfigurationFile::save(path(u"site.apc"_s), site()).isEmpty());
}

// The tool run in `folder` (the test's own when empty), with the
// environment's variables set as "NAME=value".
Run TestCli::cli(const QStringList &arguments, const QString &folder,
                 const QStringList &environment)
{
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const QString &variable : environment)
        variables.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    process.setProcessEnvironment(variables);
    process.start(buildPath(PLC_CLI_PATH), QStringList{u"--ini"_s, path(u"set.ini"_s)} + arguments);
    if (!process.waitForFinished(30000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The frames are those of the three "Write to PLC" buttons; the upload gives
// back what the PLC holds of the file.
void TestCli::downloadsAsTheWindowDoes()
{
    SimProcess sim(buildPath(PLC_SIM_PATH));
    const QString log = sim.path(u"frames.log"_s);
    QVERIFY(sim.start({u"--log"_s, log}));
    const Run down =
        cli({u"--port"_s, sim.link(), u"download"_s, path(u"site.apc"_s), u"--verify"_s});
    QCOMPARE(down.code, 0);
    QCOMPARE(down.out, u"the PLC holds the file's configuration\n"_s);

    PlcSimulator inProcess;
    SimPort port(inProcess);
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"set.ini"_s);
    QVERIFY(downloadUart(port, ini, UartDescription::uart1(), site().uart1, {}).ok);
    QVERIFY(downloadUart(port, ini, UartDescription::uart2(), site().uart2, {}).ok);
    QVERIFY(downloadAux(port, ini, site().aux, {}).ok);
    QStringList expected;
    for (const QByteArray &frame : inProcess.requests())
        expected << PlcFrame::readable(frame);
    QTRY_COMPARE(loggedRequests(log).mid(0, expected.size()), expected);

    QCOMPARE(cli({u"--port"_s, sim.link(), u"upload"_s, path(u"read.apc"_s)}).code, 0);
    const ConfigurationFile::Decoded read =
        ConfigurationFile::load(path(u"read.apc"_s), Configuration::defaults());
    QVERIFY(read.configuration);
    QCOMPARE(configurationDifferences(site(), *read.configuration), QStringList());
}

void TestCli::verifyNamesAChangedByte()
{
    const QString image = path(u"plc.img"_s);
    {
        SimProcess sim(buildPath(PLC_SIM_PATH));
        QVERIFY(sim.start({u"--image"_s, image}));
        QCOMPARE(cli({u"--port"_s, sim.link(), u"download"_s, path(u"site.apc"_s)}).code, 0);
    }
    SimProcess sim(buildPath(PLC_SIM_PATH));
    QVERIFY(sim.start({u"--image"_s, image, u"--set"_s, u"2502=09"_s}));
    const Run verify =
        cli({u"--port"_s, sim.link(), u"--json"_s, u"verify"_s, path(u"site.apc"_s)});
    QCOMPARE(verify.code, 1);
    QVERIFY2(verify.out.contains(u"UART 1 row 1 Address: file 1, PLC 9"_s), qPrintable(verify.out));
}

void TestCli::failuresGiveTheirCodes_data()
{
    QTest::addColumn<QStringList>("simulator"); // plc-sim's options
    QTest::addColumn<QString>("file");          // "site": the sample; "bad": a count too large
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("error"); // the start of what it says
    QTest::addColumn<bool>("whole");    // the error is all it says
    QTest::addColumn<bool>("sends");
    QTest::newRow("a refused write") << QStringList{u"--refuse"_s, u"1"_s} << u"site"_s << 3
                                     << u"Wrong answer from PLC\n"_s << true << true;
    QTest::newRow("a table the window would refuse")
        << QStringList() << u"bad"_s << 4 << u"You configuration has error in the size of request"_s
        << false << false;
}

// A refused write is a failed link (3) with the window's text; a table the
// window would refuse is an invalid configuration (4), and nothing is sent.
void TestCli::failuresGiveTheirCodes()
{
    QFETCH(QStringList, simulator);
    QFETCH(QString, file);
    QFETCH(int, code);
    QFETCH(QString, error);
    QFETCH(bool, whole);
    QFETCH(bool, sends);
    Configuration bad = site();
    bad.uart2.table = {{"1", "1", "126", "0", "0", "4", "100"}};
    QVERIFY(ConfigurationFile::save(path(u"bad.apc"_s), bad).isEmpty());
    SimProcess sim(buildPath(PLC_SIM_PATH));
    const QString log = sim.path(u"frames.log"_s);
    QVERIFY(sim.start(QStringList{u"--log"_s, log} + simulator));
    const Run run = cli({u"--port"_s, sim.link(), u"download"_s, path(file + u".apc"_s)});
    QCOMPARE(run.code, code);
    if (whole)
        QCOMPARE(run.err, error);
    else
        QVERIFY2(run.err.startsWith(error), qPrintable(run.err));
    if (sends)
        QTRY_VERIFY(!loggedRequests(log).isEmpty());
    else
        QCOMPARE(loggedRequests(log), QStringList());
}

// Written, then the verify's reads go unanswered: the message and the
// report say it was written.
void TestCli::writtenThenVerifyFails()
{
    const QString report = path(u"bench.jsonl"_s);
    const QStringList download = {u"--report"_s, report, u"download"_s, path(u"site.apc"_s)};
    SimProcess counted(buildPath(PLC_SIM_PATH));
    const QString countLog = counted.path(u"frames.log"_s);
    QVERIFY(counted.start({u"--log"_s, countLog}));
    QCOMPARE(cli(QStringList{u"--port"_s, counted.link()} + download).code, 0);
    const qsizetype written = loggedRequests(countLog).size();
    QStringList silent;
    for (qsizetype k = written + 1; k <= written + 12; ++k)
        silent << QString::number(k);
    SimProcess deaf(buildPath(PLC_SIM_PATH));
    QVERIFY(deaf.start({u"--silent"_s, silent.join(u',')}));
    const Run unverified =
        cli(QStringList{u"--port"_s, deaf.link()} + download + QStringList{u"--verify"_s});
    QCOMPARE(unverified.code, 3);
    QVERIFY2(unverified.err.startsWith(
                 u"written; the verify that followed failed: Answer timeout from PLC"_s),
             qPrintable(unverified.err));
    QFile lines(report);
    QVERIFY(lines.open(QIODevice::ReadOnly));
    const QList<QByteArray> records = lines.readAll().trimmed().split('\n');
    QCOMPARE(QJsonDocument::fromJson(records.last()).object().value(u"result"_s).toString(),
             u"written, verify failed"_s);
}

void TestCli::usageErrorsEndWith2_data()
{
    QTest::addColumn<int>("ports");             // plc-sim given with --port
    QTest::addColumn<QStringList>("arguments"); // after the ports; a name with a dot is a file
    QTest::addColumn<QString>("said");          // what the error holds, if anything
    QTest::newRow("an unknown command") << 0 << QStringList{u"frobnicate"_s} << QString();
    QTest::newRow("a watch of 0 s")
        << 1 << QStringList{u"diag"_s, u"modbus1"_s, u"--watch"_s, u"0"_s} << QString();
    QTest::newRow("a download watched")
        << 1 << QStringList{u"download"_s, u"site.apc"_s, u"--watch"_s, u"1"_s} << QString();
    QTest::newRow("a count without a watch")
        << 1 << QStringList{u"diag"_s, u"modbus1"_s, u"--count"_s, u"2"_s} << QString();
    QTest::newRow("a watch in JSON")
        << 1 << QStringList{u"--json"_s, u"diag"_s, u"modbus1"_s, u"--watch"_s, u"2"_s}
        << QString();
    QTest::newRow("a report of a check")
        << 1 << QStringList{u"--report"_s, u"r.jsonl"_s, u"check"_s, u"site.apc"_s} << QString();
    // One file for both is no file for either: each port fills {port}.
    QTest::newRow("one upload file for two ports")
        << 2 << QStringList{u"upload"_s, u"read.apc"_s} << u"{port}"_s;
    QTest::newRow("one search file for two ports")
        << 2 << QStringList{u"search"_s, u"--add"_s, u"found.apc"_s} << QString();
}

// A usage error ends the run with 2 before any file is written.
void TestCli::usageErrorsEndWith2()
{
    QFETCH(int, ports);
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    std::vector<std::unique_ptr<SimProcess>> plcs;
    QStringList run;
    for (int k = 0; k < ports; ++k) {
        plcs.push_back(std::make_unique<SimProcess>(buildPath(PLC_SIM_PATH)));
        QVERIFY(plcs.back()->start());
        run << u"--port"_s << plcs.back()->link();
    }
    QStringList files;
    for (const QString &argument : std::as_const(arguments)) {
        const bool file = argument.contains(u'.');
        run << (file ? path(argument) : argument);
        if (file && argument != u"site.apc"_s)
            files << path(argument);
    }
    const Run usage = cli(run);
    QCOMPARE(usage.code, 2);
    QVERIFY2(usage.err.contains(said), qPrintable(usage.err));
    for (const QString &file : std::as_const(files))
        QVERIFY2(!QFile::exists(file), qPrintable(file));
}

void TestCli::fullSensorTableBesideUart1Requests_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the file
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("sends");
    QTest::newRow("download all") << QStringList() << 4 << false;
    QTest::newRow("download aux") << QStringList{u"--only"_s, u"aux"_s} << 4 << false;
    QTest::newRow("download uart1") << QStringList{u"--only"_s, u"uart1"_s} << 4 << false;
    QTest::newRow("download uart2") << QStringList{u"--only"_s, u"uart2"_s} << 0 << true;
    QTest::newRow("verify") << QStringList{u"verify"_s} << 4 << false;
}

// The 128th sensor's record is UART1's first request: such a file is refused
// before anything is sent, unless neither part goes.
void TestCli::fullSensorTableBesideUart1Requests()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(bool, sends);
    Configuration full = site();
    for (int row = 2; row <= 128; ++row)
        full.aux.sensors.append({QString::number(row), "28", "FF", "4C", "5D", "03", "00", "00",
                                 QStringLiteral("%1").arg(row, 2, 16, QLatin1Char('0')),
                                 QString::number(1000 + 2 * row)});
    QVERIFY(ConfigurationFile::save(path(u"full.apc"_s), full).isEmpty());
    SimProcess sim(buildPath(PLC_SIM_PATH));
    const QString log = sim.path(u"frames.log"_s);
    QVERIFY(sim.start({u"--log"_s, log}));
    const bool verify = arguments.value(0) == u"verify"_s;
    const Run run = cli(QStringList{u"--port"_s, sim.link(), verify ? u"verify"_s : u"download"_s,
                                    path(u"full.apc"_s)} +
                        arguments.mid(verify ? 1 : 0));
    QCOMPARE(run.code, code);
    if (code == 4)
        QCOMPARE(run.err, u"The PLC cannot hold 128 sensors and UART 1's requests at once: the "
                          "128th sensor's record (2502 to 250B) is UART 1's first request. "
                          "Remove a sensor or UART 1's requests.\n"_s);
    if (sends)
        QTRY_VERIFY(!loggedRequests(log).isEmpty());
    else
        QCOMPARE(loggedRequests(log), QStringList());
}

void TestCli::partWrittenAloneFitsWhatThePlcHolds_data()
{
    QTest::addColumn<QString>("first");  // the part written first, and fitting
    QTest::addColumn<QString>("second"); // the part that would clash with it
    QTest::newRow("sensors after UART 1's requests") << u"uart1"_s << u"aux"_s;
    QTest::newRow("UART 1's requests after the sensors") << u"aux"_s << u"uart1"_s;
}

// A part written alone is checked against what the PLC holds of the other:
// the second download is refused before it writes, and the first part
// stays as written.
void TestCli::partWrittenAloneFitsWhatThePlcHolds()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    Configuration requests = site();
    requests.aux = Configuration::defaults().aux;
    Configuration sensors = Configuration::defaults();
    sensors.aux.mode = AuxMode::OneWireMaster;
    for (int row = 1; row <= 128; ++row)
        sensors.aux.sensors.append({QString::number(row), "28", "FF", "4C", "5D", "03", "00", "00",
                                    QStringLiteral("%1").arg(row, 2, 16, QLatin1Char('0')),
                                    QString::number(1000 + 2 * row)});
    QVERIFY(ConfigurationFile::save(path(u"uart1.apc"_s), requests).isEmpty());
    QVERIFY(ConfigurationFile::save(path(u"aux.apc"_s), sensors).isEmpty());
    SimProcess sim(buildPath(PLC_SIM_PATH));
    const QString log = sim.path(u"frames.log"_s);
    QVERIFY(sim.start({u"--log"_s, log}));
    const auto download = [&](const QString &part, const QString &command = u"download"_s) {
        return cli({u"--port"_s, sim.link(), command, path(part + u".apc"_s), u"--only"_s, part});
    };
    QCOMPARE(download(first).code, 0);
    const QStringList before = loggedRequests(log);
    const Run refused = download(second);
    QCOMPARE(refused.code, 4);
    QCOMPARE(refused.err, u"The PLC cannot hold 128 sensors and UART 1's requests at once: the "
                          "128th sensor's record (2502 to 250B) is UART 1's first request. "
                          "Remove a sensor or UART 1's requests.\n"_s);
    // One read of the other part's mode word, and no write.
    const QStringList after = loggedRequests(log).mid(before.size());
    QCOMPARE(after.size(), 1);
    QVERIFY2(!after.first().contains(u"E11"_s), qPrintable(after.first()));
    QCOMPARE(download(first, u"verify"_s).code, 0);
}

// --backup: what the PLC holds of the parts goes into the folder before
// anything is written; a backup that cannot be read writes nothing.
void TestCli::downloadKeepsABackupFirst()
{
    const QString image = path(u"plc.img"_s);
    {
        SimProcess sim(buildPath(PLC_SIM_PATH));
        QVERIFY(sim.start({u"--image"_s, image}));
        QCOMPARE(cli({u"--port"_s, sim.link(), u"download"_s, path(u"site.apc"_s)}).code, 0);
    }
    Configuration next = site();
    next.uart1.table.removeLast();
    QVERIFY(ConfigurationFile::save(path(u"next.apc"_s), next).isEmpty());
    SimProcess sim(buildPath(PLC_SIM_PATH));
    const QString log = sim.path(u"frames.log"_s);
    QVERIFY(sim.start({u"--image"_s, image, u"--log"_s, log}));
    const QString folder = path(u"backups"_s);
    const Run run = cli({u"--port"_s, sim.link(), u"download"_s, path(u"next.apc"_s), u"--only"_s,
                         u"uart1"_s, u"--backup"_s, folder});
    QCOMPARE(run.code, 0);
    const QList<PlcBackup::Entry> backups = PlcBackup::list(folder);
    QCOMPARE(backups.size(), 1);
    QCOMPARE(run.out, u"backup %1\nwritten\n"_s.arg(backups.first().path));
    QCOMPARE(backups.first().port, sim.link());
    const ConfigurationFile::Decoded kept =
        ConfigurationFile::load(backups.first().path, Configuration::defaults());
    QVERIFY(kept.configuration);
    QCOMPARE(kept.configuration->uart1, site().uart1); // what the PLC held
    QTRY_VERIFY(loggedRequests(log).size() > 3);
    QVERIFY(loggedRequests(log).first().contains(u"0E02"_s));

    SimProcess silent(buildPath(PLC_SIM_PATH));
    const QString silentLog = silent.path(u"frames.log"_s);
    QVERIFY(silent.start({u"--image"_s, image, u"--log"_s, silentLog, u"--refuse"_s, u"2"_s}));
    const Run refused = cli(
        {u"--port"_s, silent.link(), u"download"_s, path(u"next.apc"_s), u"--backup"_s, folder});
    QCOMPARE(refused.code, 3);
    QCOMPARE(refused.err, u"No backup could be read, so nothing was written: Wrong answer "
                          "from PLC\n"_s);
    QTRY_COMPARE(loggedRequests(silentLog).size(), 2);
    QCOMPARE(PlcBackup::list(folder).size(), 1);

    // A file the download's checks refuse is backed up no more than written.
    Configuration function9 = site();
    function9.uart1.table[0][RequestTable::Function] = u"9"_s;
    QVERIFY(ConfigurationFile::save(path(u"function9.apc"_s), function9).isEmpty());
    const Run checked = cli(
        {u"--port"_s, sim.link(), u"download"_s, path(u"function9.apc"_s), u"--backup"_s, folder});
    QCOMPARE(checked.code, 4);
    QVERIFY(checked.err.startsWith(u"You configuration has error in the function code"_s));
    QCOMPARE(PlcBackup::list(folder).size(), 1);

    // A mode word that names no role is not kept as a role it does not name.
    SimProcess odd(buildPath(PLC_SIM_PATH));
    QVERIFY(odd.start({u"--image"_s, image, u"--set"_s, u"2008=3412"_s}));
    const Run partly = cli({u"--port"_s, odd.link(), u"download"_s, path(u"next.apc"_s),
                            u"--only"_s, u"uart1,aux"_s, u"--backup"_s, folder});
    QCOMPARE(partly.code, 0);
    QVERIFY2(partly.out.startsWith(u"UART 1 role: the PLC's mode word names none; it is not in "
                                   "the backup\n"_s),
             qPrintable(partly.out));
    const QList<PlcBackup::Entry> after = PlcBackup::list(folder);
    QCOMPARE(after.size(), 2);
    QCOMPARE(PlcBackup::partsText(after.first().parts), u"aux"_s);
    // An upload writes none of it either.
    SimProcess oddAgain(buildPath(PLC_SIM_PATH));
    QVERIFY(oddAgain.start({u"--image"_s, image, u"--set"_s, u"2008=3412"_s}));
    const QString uploaded = path(u"odd.apc"_s);
    const Run upload =
        cli({u"--port"_s, oddAgain.link(), u"upload"_s, uploaded, u"--only"_s, u"uart1"_s});
    QCOMPARE(upload.code, 4);
    QCOMPARE(upload.err, u"UART 1 role: the PLC's mode word names none; nothing was written to "
                         "%1\n"_s.arg(uploaded));
    QVERIFY(!QFile::exists(uploaded));
}

void TestCli::checkListsConflicts_data()
{
    QTest::addColumn<QString>("file"); // "site": the sample; "twice": a row doubled; "bad"
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::newRow("none") << "site" << 0 << "no register conflicts\n";
    QTest::newRow("a request twice")
        << "twice" << 1
        << "UART 1 row 1 and UART 1 row 3 both fill registers 100 to 109\n"
           "UART 1 rows 1 and 3 ask slave 1 twice (Read holding register, slave items 0 to 9)\n";
    QTest::newRow("not a configuration") << "bad" << 4 << "";
    QTest::newRow("cells a download refuses")
        << "refused" << 4
        << "UART 1 row 1, column Function: \"238\", not 0 to 4\n"
           "UART 1 row 2, column Num word: \"200\", not 0 to 125\n"
           "UART 1 row 2, column Timeout,[ms]: \"0\", not 1 to 4095\n"
           "1-wire row 1, column Dxxxx: \"9000\", not -32768 to 7997\n";
    QTest::newRow("a slave address a download refuses")
        << "slave" << 4
        << "UART 2 slave address \"248\": Please, use valid range - address range from 1 to "
           "247 \n"; // the refusal's own trailing blank
}

// No PLC: the file alone.
void TestCli::checkListsConflicts()
{
    QFETCH(QString, file);
    Configuration twice = site();
    twice.uart1.table.append(twice.uart1.table.first());
    twice.uart1.table.last()[0] = u"3"_s;
    QVERIFY(ConfigurationFile::save(path(u"twice.apc"_s), twice).isEmpty());
    Configuration refused = site();
    refused.uart1.table[0][RequestTable::Function] = u"238"_s;
    refused.uart1.table[1][RequestTable::NumWord] = u"200"_s;
    refused.uart1.table[1][RequestTable::Timeout] = u"0"_s;
    refused.aux.sensors[0][SensorTable::Register] = u"9000"_s;
    QVERIFY(ConfigurationFile::save(path(u"refused.apc"_s), refused).isEmpty());
    QFile bad(path(u"bad.apc"_s));
    QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("short") == 5);
    bad.close();
    Configuration slave = site();
    slave.uart2.role = ModbusRole::Slave;
    slave.uart2.slaveAddress = u"248"_s;
    QFile slaveFile(path(u"slave.json"_s));
    QVERIFY(slaveFile.open(QIODevice::WriteOnly));
    slaveFile.write(ConfigurationJson::write(slave));
    slaveFile.close();
    const QString checked = path(file + (file == u"slave" ? u".json"_s : u".apc"_s));
    const Run run = cli({u"check"_s, checked});
    QTEST(run.code, "code");
    QTEST(run.out, "out");
    const Run json = cli({u"--json"_s, u"check"_s, checked});
    QCOMPARE(json.code, run.code);
    if (file == u"refused") {
        const QJsonArray cells =
            QJsonDocument::fromJson(json.out.toUtf8()).object().value(u"refusedCells"_s).toArray();
        QCOMPARE(cells.size(), 4);
        const QJsonObject first = cells.first().toObject();
        QCOMPARE(first.value(u"table"_s).toString(), u"uart1"_s);
        QCOMPARE(first.value(u"row"_s).toInt(), 1);
        QCOMPARE(first.value(u"column"_s).toInt(), int(RequestTable::Function));
        QCOMPARE(first.value(u"value"_s).toString(), u"238"_s);
    }
}

void TestCli::runsOnTwoPortsAtOnce()
{
    SimProcess first(buildPath(PLC_SIM_PATH));
    SimProcess second(buildPath(PLC_SIM_PATH));
    QVERIFY(first.start() && second.start());
    const Run both =
        cli({u"--port"_s, first.link(), u"--port"_s, second.link(), u"--log"_s,
             path(u"frames.log"_s), u"download"_s, path(u"site.apc"_s), u"--verify"_s});
    QCOMPARE(both.code, 0);
    // One log, whole lines from both ports' threads.
    QFile log(path(u"frames.log"_s));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString &link : {first.link(), second.link()}) {
        const auto sent = std::count_if(lines.cbegin(), lines.cend(), [&link](const QString &l) {
            return l.section(u' ', 1, 2) == link + u" sent"_s;
        });
        QVERIFY2(sent > 10, qPrintable(lines.join(u'\n')));
    }
    QCOMPARE(both.out.count(u"the PLC holds the file's configuration"_s), 2);
    QVERIFY(both.out.contains(first.link() + u": "_s) && both.out.contains(second.link()));

    // Backups of both, each in a file of its own.
    const QString folder = path(u"backups"_s);
    QCOMPARE(cli({u"--port"_s, first.link(), u"--port"_s, second.link(), u"download"_s,
                  path(u"site.apc"_s), u"--backup"_s, folder})
                 .code,
             0);
    const QList<PlcBackup::Entry> backups = PlcBackup::list(folder);
    QCOMPARE(backups.size(), 2);
    QCOMPARE(QSet<QString>({backups.first().port, backups.last().port}),
             QSet<QString>({first.link(), second.link()}));

    // Each port fills {port} (one file for both is refused: usageErrorsEndWith2).
    QCOMPARE(cli({u"--port"_s, first.link(), u"--port"_s, second.link(), u"upload"_s,
                  path(u"read-{port}.apc"_s)})
                 .code,
             0);
    for (const QString &link : {first.link(), second.link()}) {
        const QString file = path(u"read-%1.apc"_s.arg(PlcBackup::portInName(link)));
        QVERIFY2(QFile::exists(file), qPrintable(file));
    }
}

// A line per slot that changed, the first read taken against a clean buffer;
// the simulator's errors change on SIGHUP; Ctrl+C (or SIGTERM) ends it with 0.
void TestCli::watchPrintsChanges()
{
    SimProcess sim(buildPath(PLC_SIM_PATH));
    const QString errors = sim.path(u"errors"_s);
    const auto setErrors = [&errors](const QByteArray &text) {
        QFile file(errors);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    QVERIFY(setErrors("modbus1:2=81 # an address the slave does not have\n"));
    QVERIFY(sim.start({u"--set"_s, u"2008=03C0"_s, u"--errors-file"_s, errors}));
    QProcess watch;
    watch.start(buildPath(PLC_CLI_PATH), {u"--ini"_s, path(u"set.ini"_s), u"--port"_s, sim.link(),
                                          u"diag"_s, u"modbus1"_s, u"--watch"_s, u"1"_s});
    QVERIFY(watch.waitForReadyRead(5000));
    QByteArray out = watch.readAllStandardOutput();
    QVERIFY2(out.endsWith(" modbus1 slot 2: Active error, illegal register address\n"), out);
    QVERIFY(setErrors("modbus1:3=84\n"));
    sim.signal(SIGHUP);
    QTRY_VERIFY_WITH_TIMEOUT((out += watch.readAllStandardOutput()).count('\n') >= 3, 4000);
    const QList<QByteArray> lines = out.trimmed().split('\n');
    QVERIFY2(lines.at(1).endsWith(" modbus1 slot 2: No error"), out);
    QVERIFY2(lines.at(2).endsWith(" modbus1 slot 3: Active error, timeout error occurred"), out);
    QVERIFY(QRegularExpression(u"^\\d\\d:\\d\\d:\\d\\d "_s)
                .match(QString::fromLatin1(lines.at(2)))
                .hasMatch());
    ::kill(pid_t(watch.processId()), SIGINT);
    QVERIFY(watch.waitForFinished(5000));
    QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
    QCOMPARE(watch.exitCode(), 0);

    // --count ends it; a port out of its mode ends it as well.
    const Run counted = cli({u"--port"_s, sim.link(), u"diag"_s, u"modbus1"_s, u"--watch"_s, u"1"_s,
                             u"--count"_s, u"2"_s});
    QCOMPARE(counted.code, 0);
    QCOMPARE(counted.out.count(u'\n'), 1);
    const Run slave = cli({u"--port"_s, sim.link(), u"diag"_s, u"modbus2"_s, u"--watch"_s, u"1"_s});
    QCOMPARE(slave.code, 5);
    QCOMPARE(slave.err, u"modbus2: UART 2 is not a Modbus master; the watch ends\n"_s);
    // Read once, a slave's buffer is not an empty one.
    const Run once = cli({u"--port"_s, sim.link(), u"diag"_s, u"modbus2"_s});
    QCOMPARE(once.code, 5);
    QCOMPARE(once.err, u"UART 2 is not a Modbus master\n"_s);
    const QJsonObject json =
        QJsonDocument::fromJson(
            cli({u"--port"_s, sim.link(), u"--json"_s, u"diag"_s, u"modbus2"_s}).out.toUtf8())
            .object();
    QCOMPARE(json.value(u"inMode"_s), QJsonValue(false));
    QCOMPARE(json.value(u"error"_s).toString(), u"UART 2 is not a Modbus master"_s);

    // A PLC that is gone: three failed reads in a row end the watch with 3,
    // and so does Ctrl+C after a failed read.
    const QString gone = path(u"gone"_s);
    const Run vanished = cli({u"--port"_s, gone, u"diag"_s, u"modbus1"_s, u"--watch"_s, u"1"_s});
    QCOMPARE(vanished.code, 3);
    QCOMPARE(vanished.err.count(u'\n'), 3);
    QVERIFY2(vanished.err.trimmed().endsWith(u"modbus1: Cannot open "_s + gone) ||
                 vanished.err.contains(u"modbus1: "_s),
             qPrintable(vanished.err));
    QProcess stopped;
    stopped.setReadChannel(QProcess::StandardError);
    stopped.start(buildPath(PLC_CLI_PATH), {u"--ini"_s, path(u"set.ini"_s), u"--port"_s, gone,
                                            u"diag"_s, u"modbus1"_s, u"--watch"_s, u"5"_s});
    QVERIFY(stopped.waitForReadyRead(5000));
    ::kill(pid_t(stopped.processId()), SIGINT);
    QVERIFY(stopped.waitForFinished(5000));
    QCOMPARE(stopped.exitCode(), 3);
}

void TestCli::reportRecordsEachPlc_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the ports
    QTest::addColumn<QStringList>("results");   // of the first and the second PLC
    QTest::addColumn<int>("differences");       // of the second
    QTest::newRow("download") << QStringList{u"download"_s, u"site.apc"_s}
                              << QStringList{u"done"_s, u"done"_s} << 0;
    QTest::newRow("verify, the second differs")
        << QStringList{u"verify"_s, u"site.apc"_s} << QStringList{u"done"_s, u"differences"_s} << 1;
    QTest::newRow("the second is silent") << QStringList{u"upload"_s, u"read-{port}.apc"_s}
                                          << QStringList{u"done"_s, u"link failure"_s} << 0;
    QTest::newRow("bad file") << QStringList{u"download"_s, u"bad.apc"_s}
                              << QStringList{u"invalid"_s, u"invalid"_s} << 0;
}

// Two PLCs at once, the report appended to: each gets its whole line, with
// its CPU type, the file's hash and how it ended.
void TestCli::reportRecordsEachPlc()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, results);
    QFETCH(int, differences);
    const QString image = path(u"second.img"_s);
    {
        SimProcess loaded(buildPath(PLC_SIM_PATH));
        QVERIFY(loaded.start({u"--image"_s, image}));
        QCOMPARE(cli({u"--port"_s, loaded.link(), u"download"_s, path(u"site.apc"_s)}).code, 0);
    }
    QVERIFY(QFile::copy(image, path(u"first.img"_s)));
    SimProcess first(buildPath(PLC_SIM_PATH));
    QVERIFY(first.start({u"--cpu-type"_s, u"0102"_s, u"--image"_s, path(u"first.img"_s)}));
    SimProcess second(buildPath(PLC_SIM_PATH));
    const bool silent = results.last() == u"link failure"_s;
    QVERIFY(second.start(QStringList{u"--image"_s, image, u"--set"_s, u"2502=09"_s} +
                         (silent ? QStringList{u"--silent"_s, u"@0E02"_s} : QStringList{})));
    QFile(path(u"bad.apc"_s)).open(QIODevice::WriteOnly);
    arguments[1] = path(arguments[1]);
    const QString report = path(u"bench.jsonl"_s);
    {
        QFile earlier(report);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("{\"earlier\":true}\n");
    }
    // Two hours ahead of UTC: the record's time says so.
    cli(QStringList{u"--report"_s, report, u"--port"_s, first.link(), u"--port"_s, second.link()} +
            arguments,
        {}, {u"TZ=EET-2"_s});

    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // the earlier line, one a PLC, and the last end of line
    QCOMPARE(lines.first(), "{\"earlier\":true}");
    QHash<QString, QJsonObject> byPort;
    for (const QByteArray &line : lines.mid(1, 2)) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        byPort.insert(record.value(u"port"_s).toString(), record);
    }
    const QJsonObject one = byPort.value(first.link());
    const QJsonObject two = byPort.value(second.link());
    QCOMPARE(one.value(u"result"_s).toString(), results.first());
    QCOMPARE(two.value(u"result"_s).toString(), results.last());
    QCOMPARE(one.value(u"cpuType"_s).toInt(), 258);
    QCOMPARE(two.value(u"cpuType"_s).isNull(), silent);
    QCOMPARE(two.value(u"differences"_s).toInt(), differences);
    QCOMPARE(one.value(u"command"_s).toString(), arguments.first());
    // An upload's file is one per port.
    const QString firstFile =
        QString(arguments.at(1)).replace(u"{port}"_s, PlcBackup::portInName(first.link()));
    QCOMPARE(one.value(u"file"_s).toString(), firstFile);
    QFile configuration(firstFile);
    QVERIFY(configuration.open(QIODevice::ReadOnly));
    QCOMPARE(
        one.value(u"sha256"_s).toString(),
        QString::fromLatin1(
            QCryptographicHash::hash(configuration.readAll(), QCryptographicHash::Sha256).toHex()));
    const QString time = one.value(u"time"_s).toString();
    QVERIFY2(time.endsWith(u"+02:00"_s), qPrintable(time));
    QVERIFY(QDateTime::fromString(time, Qt::ISODateWithMs).isValid());
    QVERIFY(one.value(u"durationMs"_s).toInteger(-1) >= 0);
    QCOMPARE(two.contains(u"message"_s),
             results.last() != u"done"_s && results.last() != u"differences"_s);
}

// A report line is written whole or not at all, and a run whose line could
// not be written fails.
void TestCli::reportLinesAreWholeOrNone()
{
    const QString file = path(u"bench.jsonl"_s);
    BenchReport report(file);
    BenchReport::Entry entry{
        QDateTime::currentDateTime(), u"COM1"_s, {}, u"download"_s, {}, 0, 0, {}, 0, {}};
    QCOMPARE(report.append(entry), QString());
    const qint64 whole = QFileInfo(file).size();
    // The file may grow by only a few bytes: the write comes out short.
    struct rlimit before = {};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = rlim_t(whole + 10);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    const QString error = report.append(entry);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(error.startsWith(u"Cannot write "_s + file));
    QCOMPARE(QFileInfo(file).size(), whole);
    QCOMPARE(report.append(entry), QString());
    QFile read(file);
    QVERIFY(read.open(QIODevice::ReadOnly));
    for (const QByteArray &line : read.readAll().trimmed().split('\n'))
        QVERIFY2(!QJsonDocument::fromJson(line).isNull(), line.constData());

    SimProcess sim(buildPath(PLC_SIM_PATH));
    QVERIFY(sim.start());
    const Run full = cli({u"--report"_s, u"/dev/full"_s, u"--port"_s, sim.link(), u"download"_s,
                          path(u"site.apc"_s)});
    QCOMPARE(full.code, 6);
    QVERIFY2(full.err.contains(u"Cannot write /dev/full"_s), qPrintable(full.err));
}

void TestCli::convertsBothWays()
{
    QCOMPARE(cli({u"convert"_s, path(u"site.apc"_s), path(u"site.json"_s)}).code, 0);
    QCOMPARE(cli({u"convert"_s, path(u"site.json"_s), path(u"again.apc"_s)}).code, 0);
    QFile a(path(u"site.apc"_s)), b(path(u"again.apc"_s));
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), a.readAll());
    const Run shown = cli({u"show"_s, path(u"site.apc"_s)});
    QCOMPARE(shown.code, 0);
    QVERIFY(shown.out.contains(u"1 | 28 | FF | 4C | 5D | 03 | 00 | 00 | 9A | 3000"_s));
    const Run csv = cli({u"show"_s, path(u"site.apc"_s), u"--csv"_s, u"sensors"_s});
    QCOMPARE(csv.out, u"Num\tByte 0\tByte 1\tByte 2\tByte 3\tByte 4\tByte 5\tByte 6\tByte 7\t"
                      "Dxxxx\n1\t28\tFF\t4C\t5D\t03\t00\t00\t9A\t3000\n"_s);
}

void TestCli::portsAsNamed_data()
{
    QTest::addColumn<QString>("ini");       // %1: the simulator's link
    QTest::addColumn<QStringList>("ports"); // --port values; %1: the link, %2: its folder's name
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said"); // the start of what it says; %3: the run's folder
    const QString connected = u"Successful connect to the CPU with type "_s;
    QTest::newRow("absolute path") << QString() << QStringList{u"%1"_s} << 0 << connected;
    QTest::newRow("path from the current folder")
        << QString() << QStringList{u"%2/plc"_s} << 0 << connected;
    QTest::newRow("COMn through section PORTS")
        << u"[PORTS]\nCOM3=%1\n"_s << QStringList{u"COM3"_s} << 0 << connected;
    QTest::newRow("the window's port")
        << u"[COM]\nPort_num=2\n[PORTS]\nCOM3=%1\n"_s << QStringList() << 0 << connected;
    QTest::newRow("bare name under /dev")
        << QString() << QStringList{u"plc-no-such-tty"_s} << 3
        << u"Cannot open /dev/plc-no-such-tty: there is no such device"_s;
    QTest::newRow("path that is not there")
        << QString() << QStringList{u"nowhere/plc"_s} << 3
        << u"Cannot open %3/nowhere/plc: there is no such device"_s;
    QTest::newRow("mapped device that is not there")
        << u"[COM]\nPort_num=4\n[PORTS]\nCOM5=nowhere/plc\n"_s << QStringList() << 3
        << u"Cannot open %3/nowhere/plc: there is no such device"_s;
}

// The connection test on the port as named, run from the folder that holds
// the simulator's.
void TestCli::portsAsNamed()
{
    QFETCH(QString, ini);
    QFETCH(QStringList, ports);
    QFETCH(int, code);
    QFETCH(QString, said);
    SimProcess sim(buildPath(PLC_SIM_PATH));
    QVERIFY(sim.start());
    const QFileInfo link(sim.link());
    const QString folder = link.dir().absolutePath().section(u'/', 0, -2);
    const QString simFolder = link.dir().dirName();
    if (!ini.isEmpty()) {
        QFile file(path(u"set.ini"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini.arg(sim.link()).toUtf8());
    }
    QStringList arguments;
    for (const QString &port : ports)
        arguments << u"--port"_s
                  << QString(port).replace(u"%1"_s, sim.link()).replace(u"%2"_s, simFolder);
    const Run run = cli(arguments << u"test"_s, folder);
    QCOMPARE(run.code, code);
    QVERIFY2((code == 0 ? run.out : run.err).startsWith(said.replace(u"%3"_s, folder)),
             qPrintable(run.out + run.err));
    QVERIFY2(!run.err.contains(u"No first answer"_s), qPrintable(run.err));

    // `ports` lists what the link form offers, each COMn mapped with its device.
    if (ini.contains(u"[PORTS]"_s)) {
        const Run listed = cli({u"ports"_s}, folder);
        QCOMPARE(listed.code, 0);
        const QString mapped =
            ini.contains(u"COM3"_s) ? u"COM3  "_s + sim.link() : u"COM5  nowhere/plc"_s;
        QVERIFY2(listed.out.split(u'\n').contains(mapped), qPrintable(listed.out));
    }
}

// A device held under one name is busy under every other: the simulator's
// link and the pseudo-terminal it points to are one device.
void TestCli::oneDeviceOneUserWhateverItsName()
{
    SimProcess sim(buildPath(PLC_SIM_PATH));
    QVERIFY(sim.start());
    const QString device = QFileInfo(sim.link()).canonicalFilePath();
    QtPlcPort holder(path(u"set.ini"_s));
    holder.setDevice(sim.link());
    QVERIFY2(holder.open(), qPrintable(holder.errorString()));

    for (const QString &name : {device, sim.link()}) {
        const Run busy = cli({u"--port"_s, name, u"test"_s});
        QCOMPARE(busy.code, 3);
        QCOMPARE(busy.err, u"Cannot open %1: it is in use by another program (PID %2).\n"_s.arg(
                               name, QString::number(QCoreApplication::applicationPid())));
    }
    holder.close();
    QCOMPARE(cli({u"--port"_s, device, u"test"_s}).code, 0);
}

void TestCli::writesFilesByTheirEnding_data()
{
    QTest::addColumn<QStringList>("arguments"); // after --port; %1: the file
    QTest::addColumn<QString>("file");
    QTest::newRow("upload JSON") << QStringList{u"upload"_s, u"%1"_s} << u"read.json"_s;
    QTest::newRow("upload JSON, upper case") << QStringList{u"upload"_s, u"%1"_s} << u"READ.JSON"_s;
    QTest::newRow("upload record") << QStringList{u"upload"_s, u"%1"_s} << u"read.apc"_s;
    QTest::newRow("search --add JSON")
        << QStringList{u"search"_s, u"--add"_s, u"%1"_s} << u"found.json"_s;
    QTest::newRow("search --add record")
        << QStringList{u"search"_s, u"--add"_s, u"%1"_s} << u"found.apc"_s;
}

// What the PLC holds goes into the file in the form its name asks for; the
// second run reads the file it wrote and keeps what it held.
void TestCli::writesFilesByTheirEnding()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    SimProcess sim(buildPath(PLC_SIM_PATH));
    QVERIFY(sim.start({u"--rom"_s, u"28FF4C5D0300009A"_s}));
    QCOMPARE(cli({u"--port"_s, sim.link(), u"download"_s, path(u"site.apc"_s)}).code, 0);
    const QString written = path(file);
    arguments.replaceInStrings(u"%1"_s, written);
    for (int run = 0; run < 2; ++run) {
        const Run done = cli(QStringList{u"--port"_s, sim.link()} + arguments);
        QVERIFY2(done.code == 0, qPrintable(done.err));
    }
    QFile out(written);
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray contents = out.readAll();
    std::optional<Configuration> read;
    if (file.endsWith(u".json"_s, Qt::CaseInsensitive)) {
        read = ConfigurationJson::read(contents).configuration;
    } else {
        QCOMPARE(contents.size(), 15046);
        read = ConfigurationFile::load(written, Configuration::defaults()).configuration;
    }
    QVERIFY(read);
    if (arguments.first() == u"upload"_s)
        QCOMPARE(configurationDifferences(site(), *read), QStringList());
    else
        QCOMPARE(read->aux.sensors.size(), 1);
}

void TestCli::badFilesAreRefused_data()
{
    QTest::addColumn<QString>("name");          // the file made for the run
    QTest::addColumn<QByteArray>("contents");   // empty: a folder stands there
    QTest::addColumn<QStringList>("arguments"); // %1: the file
    QTest::addColumn<QString>("error");         // the start of the message; %1: the file
    const QByteArray json = ConfigurationJson::write(site());
    const QByteArray record = ConfigurationFile::encode(site()).record;
    const QStringList toApc = {u"convert"_s, u"%1"_s, u"out.apc"_s};
    QTest::newRow("JSON truncated")
        << u"a.json"_s << json.left(json.size() / 2) << toApc << u"%1: not JSON: "_s;
    QTest::newRow("JSON oversized")
        << u"a.json"_s << QByteArray(2 * 1024 * 1024, ' ') + json << toApc
        << u"%1 holds %2 bytes, more than a configuration in JSON can"_s.arg(
               u"%1"_s, QString::number(2 * 1024 * 1024 + json.size()));
    QTest::newRow("JSON of another kind") << u"a.json"_s << record << toApc << u"%1: not JSON"_s;
    QTest::newRow("JSON unreadable") << u"a.json"_s << QByteArray() << toApc << u"Cannot read %1"_s;
    QTest::newRow("JSON row too short")
        << u"a.json"_s << QByteArray(R"({"uart1": {"requests": [["1", "2"]]}})") << toApc
        << u"%1: UART1 requests row 1 is not an array of 6 cells"_s;
    QTest::newRow("JSON row a cell short")
        << u"a.json"_s << QByteArray(R"({"uart1": {"requests": [["1", "2", "3", "4", "5"]]}})")
        << toApc << u"%1: UART1 requests row 1 is not an array of 6 cells"_s;
    QTest::newRow("JSON sensor row a cell long")
        << u"a.json"_s
        << QByteArray(
               R"({"aux": {"sensors": [["28","FF","4C","5D","03","00","00","9A","3000","1"]]}})")
        << toApc << u"%1: aux sensors row 1 is not an array of 9 cells"_s;
    QTest::newRow("JSON key twice")
        << u"a.json"_s << QByteArray(R"({"uart1": {"role": 0}, "uart1": {"role": 1}})") << toApc
        << u"%1: the key uart1 is given twice"_s;
    QTest::newRow("JSON key twice in a point")
        << u"a.json"_s << QByteArray(R"({"io": [{"function": 0}, {"function": 1, "function": 2}]})")
        << toApc << u"%1: the key io[1].function is given twice"_s;
    QTest::newRow("JSON sensor cell a download refuses")
        << u"a.json"_s
        << QByteArray(
               R"({"aux": {"sensors": [["0x1","FF","4C","5D","03","00","00","9A","3000"]]}})")
        << toApc << u"%1 was not converted: a download refuses it"_s;
    QTest::newRow("JSON index out of its list")
        << u"a.json"_s << QByteArray(R"({"aux": {"fieldNet": {"speed": 9}}})") << toApc
        << u"%1: aux fieldNet speed: 9 is not a whole number from 0 to 4"_s;
    // What convert writes always loads: JSON passes the file's checks.
    QTest::newRow("JSON slave timeout the file refuses")
        << u"a.json"_s << QByteArray(R"({"uart2": {"role": 1, "slaveTimeout": "-10000"}})") << toApc
        << u"%1: UART 2 slave timeout is -10000, not a whole number from -9999 to 32767"_s;
    QTest::newRow("JSON misspelt key")
        << u"a.json"_s << QByteArray(R"({"uart1": {"role": 0, "request": []}})") << toApc
        << u"%1: unknown key \"uart1.request\""_s;
    QTest::newRow("JSON misspelt part") << u"a.json"_s << QByteArray(R"({"Aux": {"mode": 0}})")
                                        << toApc << u"%1: unknown key \"Aux\""_s;
    QByteArray rows129 = record;
    rows129[3741] = char(129);
    QTest::newRow("record of 129 requests")
        << u"a.apc"_s << rows129 << toApc << u"%1: UART 1 request count is 129, not 0 to 128"_s;
    QByteArray sensors129 = record;
    sensors129[2 * 3754 + 3741 + 1] = char(129);
    QTest::newRow("record of 129 sensors")
        << u"a.apc"_s << sensors129 << QStringList{u"show"_s, u"%1"_s}
        << u"1-wire sensor count is 129, not 0 to 128"_s;
    QTest::newRow("record truncated")
        << u"a.apc"_s << record.left(100) << QStringList{u"show"_s, u"%1"_s}
        << u"%1 is not a configuration file: it holds 100 bytes, a configuration file 15046"_s;
    QTest::newRow("record unreadable")
        << u"a.apc"_s << QByteArray() << QStringList{u"convert"_s, u"%1"_s, u"out.json"_s}
        << u"%1: Cannot read %1"_s;
    QTest::newRow("settings binary")
        << u"set.ini"_s << QByteArrayLiteral("[COM]\x00")
        << QStringList{u"download"_s, u"site.apc"_s} << u"%1 is not a text file"_s;
}

// Nothing is written and the run ends with 4 and the reason.
void TestCli::badFilesAreRefused()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const QString file = path(name);
    if (contents.isEmpty()) {
        QVERIFY(QDir().mkpath(file));
    } else {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(contents) == contents.size());
    }
    for (QString &argument : arguments)
        argument = argument.contains(u'%')   ? argument.arg(file)
                   : argument.contains(u'.') ? path(argument)
                                             : argument;
    const Run run = cli(arguments);
    QCOMPARE(run.code, 4);
    QVERIFY2(run.err.startsWith(error.replace(u"%1"_s, file)), qPrintable(run.err));
    QVERIFY(!QFile::exists(path(u"out.apc"_s)) && !QFile::exists(path(u"out.json"_s)));
}

void TestCli::completesFromItsOwnTables_data()
{
    QTest::addColumn<QStringList>("words"); // COMP_WORDS after the program's name; the last is
                                            // the word being completed
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("commands") << QStringList{u"d"_s} << QStringList{u"diag"_s, u"download"_s};
    QTest::newRow("options") << QStringList{u"--ve"_s}
                             << QStringList{u"--verify"_s, u"--version"_s};
    QTest::newRow("no hidden option") << QStringList{u"--comp"_s} << QStringList();
    QTest::newRow("configuration files, by their endings")
        << QStringList{u"--port"_s, u"COM1"_s, u"download"_s, u""_s}
        << QStringList{u"B.JSON"_s, u"folder"_s, u"site.apc"_s};
    QTest::newRow("a command's arguments, no more")
        << QStringList{u"show"_s, u"site.apc"_s, u""_s} << QStringList();
    QTest::newRow("convert's second file")
        << QStringList{u"convert"_s, u"site.apc"_s, u"s"_s} << QStringList{u"site.apc"_s};
    QTest::newRow("diag's buffers") << QStringList{u"--json"_s, u"diag"_s, u""_s}
                                    << QStringList{u"modbus1"_s, u"modbus2"_s, u"onewire"_s};
    QTest::newRow("--only, the list's last part")
        << QStringList{u"--only"_s, u"uart1,"_s} << QStringList{u"uart1,aux"_s, u"uart1,uart2"_s};
    QTest::newRow("--csv") << QStringList{u"show"_s, u"--csv"_s, u"u"_s}
                           << QStringList{u"uart1"_s, u"uart2"_s};
    QTest::newRow("--port COMn") << QStringList{u"--port"_s, u"COM1"_s}
                                 << QStringList{u"COM1"_s, u"COM10"_s};
    QTest::newRow("--port a path")
        << QStringList{u"--port"_s, u"folder/"_s} << QStringList{u"folder/link"_s};
    QTest::newRow("--ini=, settings files")
        << QStringList{u"--ini"_s, u"="_s, u""_s} << QStringList{u"folder"_s, u"set.ini"_s};
    QTest::newRow("--backup, folders only")
        << QStringList{u"--backup"_s, u""_s} << QStringList{u"folder"_s};
    QTest::newRow("a value to type") << QStringList{u"--watch"_s, u""_s} << QStringList();
    QTest::newRow("after a value, the command")
        << QStringList{u"--log"_s, u"site.apc"_s, u"te"_s} << QStringList{u"test"_s};
}

// The script --completion bash prints, run in bash as the shell runs it,
// in a folder of a few files.
void TestCli::completesFromItsOwnTables()
{
    QFETCH(QStringList, words);
    QFETCH(QStringList, offered);
    const Run script = cli({u"--completion"_s, u"bash"_s});
    QCOMPARE(script.code, 0);
    QVERIFY(!cli({u"--help"_s}).out.contains(u"completion"_s));
    QFile file(path(u"plc-tarvik-cli.bash"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(script.out.toUtf8()) > 0);
    file.close();
    QVERIFY(QDir(m_dir->path()).mkpath(u"folder"_s));
    for (const QString &name : {u"B.JSON"_s, u"notes.txt"_s, u"set.ini"_s, u"folder/link"_s}) {
        QFile touched(path(name));
        QVERIFY(touched.open(QIODevice::WriteOnly));
    }
    QStringList quoted{u"plc-tarvik-cli"_s};
    for (const QString &word : words)
        quoted << u"'"_s + word + u"'"_s;
    QProcess bash;
    bash.setWorkingDirectory(m_dir->path());
    bash.start(u"bash"_s, {u"-c"_s, u"source plc-tarvik-cli.bash; COMP_WORDS=(%1); "
                                    "COMP_CWORD=%2; _plc_tarvik_cli; "
                                    "printf '%s\\n' \"${COMPREPLY[@]}\""_s.arg(quoted.join(u' '))
                                        .arg(words.size())});
    QVERIFY(bash.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(bash.readAllStandardError()), QString());
    QStringList got = QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n');
    got.removeAll(QString());
    got.sort();
    QCOMPARE(got, offered);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
