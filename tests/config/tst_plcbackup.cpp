#include "config/configurationcompare.h"
#include "config/configurationfile.h"
#include "config/configurationupload.h"
#include "config/plcbackup.h"
#include "link/plcframe.h"
#include "modbus/modbusfixture.h"
#include "support/sampleconfiguration.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ConfigurationParts)

namespace {

// What the PLC holds before the download the backup comes before.

} // namespace

// Backups of what the PLC holds, taken before a download.
class TestPlcBackup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsThePartsAboutToBeWritten_data();
    void readsThePartsAboutToBeWritten();
    void failedReadGivesNothing_data();
    void failedReadGivesNothing();
    void keepsTheNewest();
    void namesNeverCollide();
    void unreadableDescriptionIsSaid();
};

void TestPlcBackup::readsThePartsAboutToBeWritten_data()
{
    QTest::addColumn<ConfigurationParts>("parts");
    QTest::addColumn<int>("requests"); // the CPU type, then each part's upload
    QTest::newRow("all") << ConfigurationParts{} << 1 + 2 + 1 + 2;
    QTest::newRow("UART 1") << ConfigurationParts{true, false, false} << 1 + 2;
    QTest::newRow("auxiliary port") << ConfigurationParts{false, false, true} << 1 + 2;
}

// The backup reads as the uploads read, after the CPU type, and saves a
// file that loads as what the PLC held of those parts.
void TestPlcBackup::readsThePartsAboutToBeWritten()
{
    QFETCH(ConfigurationParts, parts);
    ModbusBench bench;
    QVERIFY(downloadConfiguration(bench.port, bench.ini, sampleConfiguration(), {}).ok);
    bench.sim.setMemory(0x0E02, QByteArray::fromHex("0145"));
    const int before = bench.sim.requestCount();
    const PlcBackup::Taken taken = PlcBackup::take(bench.port, bench.ini, parts);
    QVERIFY(taken.result.ok);
    QCOMPARE(taken.cpuType, 0x4501);
    const QList<QByteArray> frames = bench.sim.requests().mid(before);
    QTEST(int(frames.size()), "requests");
    QCOMPARE(PlcFrame::readable(frames.first()), u"<STX>E000E0202<ETX>E1"_s);
    QCOMPARE(configurationDifferences(sampleConfiguration(), taken.configuration, parts),
             QStringList());
    QVERIFY(!bench.port.isOpen());

    const QString folder = bench.dir.filePath(u"backups"_s);
    const QDateTime time(QDate(2026, 12, 9), QTime(10, 11, 12, 345));
    const PlcBackup::Saved saved = PlcBackup::save(folder, taken, u"COM3"_s, parts, time);
    QCOMPARE(saved.error, QString());
    QCOMPARE(QFileInfo(saved.path).fileName(), u"plc-backup-20261209-101112-345-COM3.apc"_s);
    const QList<PlcBackup::Entry> entries = PlcBackup::list(folder);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().time, time);
    QCOMPARE(entries.first().port, u"COM3"_s);
    QCOMPARE(entries.first().cpuType, 0x4501);
    QCOMPARE(PlcBackup::partsText(entries.first().parts), PlcBackup::partsText(parts));
    const ConfigurationFile::Decoded loaded =
        ConfigurationFile::load(saved.path, Configuration::defaults());
    QVERIFY(loaded.configuration);
    QCOMPARE(configurationDifferences(sampleConfiguration(), *loaded.configuration, parts),
             QStringList());
}

void TestPlcBackup::failedReadGivesNothing_data()
{
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<QString>("message");
    // Unanswered when sent again too.
    QTest::newRow("CPU type unanswered") << SimFault::Silent << 1 << "Answer timeout from PLC";
    QTest::newRow("mode word refused") << SimFault::Refuse << 2 << "Wrong answer from PLC";
    QTest::newRow("table unanswered") << SimFault::Silent << 3 << "Answer timeout from PLC";
}

void TestPlcBackup::failedReadGivesNothing()
{
    QFETCH(SimFault, fault);
    QFETCH(int, ordinal);
    ModbusBench scratch;
    QVERIFY(downloadConfiguration(scratch.port, scratch.ini, sampleConfiguration(), {}).ok);
    ModbusBench bench;
    bench.sim.setMemory(0, scratch.sim.memoryImage());
    bench.faultEveryTry(fault, ordinal);
    const PlcBackup::Taken taken =
        PlcBackup::take(bench.port, bench.ini, ConfigurationParts{true, false, false});
    QVERIFY(!taken.result.ok);
    QTEST(taken.result.message, "message");
    QCOMPARE(bench.sim.requestCount(), ordinal + ModbusBench::triesOf(fault) - 1);
    QVERIFY(!bench.port.isOpen());
}

// The newest 50 are kept; what the tool did not make stays, and is not
// listed.
void TestPlcBackup::keepsTheNewest()
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const auto write = [&folder](const QString &name, const QByteArray &contents) {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
    };
    // The user's own files, one with its .json, and a backup without its .json.
    QVERIFY(write(u"plc-backup-2024-03-site-a.apc"_s, "mine"));
    QVERIFY(write(u"plc-backup-my-notes.apc"_s, "notes"));
    QVERIFY(write(u"plc-backup-my-notes.json"_s, "{}"));
    QVERIFY(write(u"plc-backup-20250101-000000-000-COM1.apc"_s, "half"));
    const PlcBackup::Taken taken{TransferResult::success(), 1, Configuration::defaults(), {}};
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0));
    for (int k = 0; k < 53; ++k)
        QVERIFY(
            PlcBackup::save(dir.path(), taken, u"COM1"_s, {}, start.addSecs(k)).error.isEmpty());
    const QList<PlcBackup::Entry> entries = PlcBackup::list(dir.path());
    QCOMPARE(entries.size(), 50);
    QCOMPARE(entries.first().time, start.addSecs(52));
    QCOMPARE(entries.last().time, start.addSecs(3));
    QCOMPARE(folder.entryList(QDir::Files).size(), 2 * 50 + 4);
    for (const QString &mine : {u"plc-backup-2024-03-site-a.apc"_s, u"plc-backup-my-notes.apc"_s,
                                u"plc-backup-20250101-000000-000-COM1.apc"_s})
        QVERIFY2(folder.exists(mine), qPrintable(mine));

    // Pairs named as the tool names them but not its own: a .json of the
    // user's notes, and a .json that is a link (to a description the tool
    // wrote); and 50 backups from a clock ahead. The backup made now stays,
    // the oldest of the tool's own go, the others' files stay.
    QVERIFY(write(u"plc-backup-20240101-000000-002-site.apc"_s, "a site"));
    QVERIFY(write(u"plc-backup-20240101-000000-002-site.json"_s, "my notes on the site"));
    const QString described = folder.filePath(u"plc-backup-20260101-000052-000-COM1.json"_s);
    QVERIFY(write(u"plc-backup-20240101-000000-003-linked.apc"_s, "linked"));
    QVERIFY(QFile::link(described, folder.filePath(u"plc-backup-20240101-000000-003-linked.json"_s)));
    const QDateTime ahead(QDate(2099, 1, 1), QTime(0, 0));
    for (int k = 0; k < 50; ++k)
        QVERIFY(
            PlcBackup::save(dir.path(), taken, u"COM1"_s, {}, ahead.addSecs(k)).error.isEmpty());
    const PlcBackup::Saved now = PlcBackup::save(dir.path(), taken, u"COM1"_s, {}, start.addDays(1));
    QVERIFY(now.error.isEmpty() && QFile::exists(now.path));
    for (const QString &theirs :
         {u"plc-backup-20240101-000000-002-site.apc"_s, u"plc-backup-20240101-000000-002-site.json"_s,
          u"plc-backup-20240101-000000-003-linked.apc"_s,
          u"plc-backup-20240101-000000-003-linked.json"_s})
        QVERIFY2(QFileInfo(folder.filePath(theirs)).exists() ||
                     QFileInfo(folder.filePath(theirs)).isSymLink(),
                 qPrintable(theirs));
    QCOMPARE(QFileInfo(folder.filePath(u"plc-backup-20240101-000000-002-site.json"_s)).size(),
             qint64(20));
    QVERIFY(QFile::exists(folder.filePath(u"plc-backup-20990101-000001-000-COM1.apc"_s)));
    QVERIFY(!QFile::exists(folder.filePath(u"plc-backup-20990101-000000-000-COM1.apc"_s)));
}

// Two ports backed up in the same millisecond, or one port twice: each
// backup a file of its own.
void TestPlcBackup::namesNeverCollide()
{
    QTemporaryDir dir;
    Configuration one = Configuration::defaults();
    one.uart1.slaveAddress = u"1"_s;
    Configuration two = one;
    two.uart1.slaveAddress = u"2"_s;
    const QDateTime time(QDate(2026, 12, 9), QTime(10, 11, 12, 345));
    QStringList paths;
    for (const auto &[configuration, port] :
         {std::pair{one, u"/dev/ttyUSB0"_s}, std::pair{two, u"/dev/ttyUSB1"_s},
          std::pair{two, u"/dev/ttyUSB1"_s}}) {
        const PlcBackup::Saved saved = PlcBackup::save(
            dir.path(), {TransferResult::success(), 1, configuration, {}}, port, {}, time);
        QCOMPARE(saved.error, QString());
        paths << QFileInfo(saved.path).fileName();
    }
    QCOMPARE(paths, QStringList({u"plc-backup-20261209-101112-345-dev_ttyUSB0.apc"_s,
                                 u"plc-backup-20261209-101112-345-dev_ttyUSB1.apc"_s,
                                 u"plc-backup-20261209-101112-345-dev_ttyUSB1-2.apc"_s}));
    const QList<PlcBackup::Entry> entries = PlcBackup::list(dir.path());
    QCOMPARE(entries.size(), 3);
    QCOMPARE(
        ConfigurationFile::load(QDir(dir.path()).filePath(paths.first()), Configuration::defaults())
            .configuration->uart1.slaveAddress,
        u"1"_s);

    // A .json that cannot be written takes only its own .apc with it.
    QVERIFY(QDir(dir.path()).mkdir(u"plc-backup-20261209-101112-345-dev_ttyUSB1-3.json"_s));
    const PlcBackup::Saved failed = PlcBackup::save(
        dir.path(), {TransferResult::success(), 1, one, {}}, u"/dev/ttyUSB1"_s, {}, time);
    QVERIFY(!failed.error.isEmpty());
    QCOMPARE(PlcBackup::list(dir.path()).size(), 3);
    QVERIFY(!QFile::exists(
        QDir(dir.path()).filePath(u"plc-backup-20261209-101112-345-dev_ttyUSB1-3.apc"_s)));
}

// A backup whose description cannot be read is listed as such, holding
// nothing.
void TestPlcBackup::unreadableDescriptionIsSaid()
{
    QTemporaryDir dir;
    const PlcBackup::Saved saved =
        PlcBackup::save(dir.path(), {TransferResult::success(), 7, Configuration::defaults(), {}},
                        u"COM2"_s, {true, false, false});
    QVERIFY(saved.error.isEmpty());
    QFile json(saved.path.chopped(4) + u".json"_s);
    QVERIFY(json.open(QIODevice::WriteOnly) && json.write("{\"port\": ") > 0);
    json.close();
    const QList<PlcBackup::Entry> entries = PlcBackup::list(dir.path());
    QCOMPARE(entries.size(), 1);
    QVERIFY2(entries.first().problem.startsWith(u"its description cannot be read"_s),
             qPrintable(entries.first().problem));
    QCOMPARE(PlcBackup::partsText(entries.first().parts), QString());
}

QTEST_GUILESS_MAIN(TestPlcBackup)
#include "tst_plcbackup.moc"
