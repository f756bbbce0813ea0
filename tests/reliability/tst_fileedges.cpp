#include "cli/benchreport.h"
#include "cli/command.h"
#include "config/configurationfile.h"
#include "config/plcbackup.h"
#include "link/inifile.h"
#include "link/wholefile.h"
#include "support/sampleconfiguration.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<WholeFile::Fault>)

namespace {

// One of the tool's writers: the file it writes in `folder` and how it
// writes it, returning its error (empty on success).
struct Writer
{
    QString file;
    std::function<QString(const QString &path)> write;
};

Writer writer(const QString &name)
{
    if (name == "configuration"_L1)
        return {u"site.apc"_s,
                [](const QString &path) {
                    return ConfigurationFile::save(path, sampleConfiguration());
                }};
    if (name == "json"_L1)
        return {u"site.json"_s,
                [](const QString &path) { return Cli::saveFile(path, sampleConfiguration()); }};
    if (name == "settings"_L1)
        return {u"set.ini"_s,
                [](const QString &path) {
                    return Ini_write(path, u"COM"_s, u"Port"_s, u"3"_s);
                }};
    if (name == "report"_L1)
        return {u"bench.jsonl"_s,
                [](const QString &path) {
                    BenchReport::Entry entry;
                    entry.start = QDateTime::currentDateTime();
                    entry.port = u"COM1"_s;
                    entry.command = u"test"_s;
                    return BenchReport(path).append(entry);
                }};
    // A backup is a new pair of files: what was in the folder must stay.
    return {u"backups"_s, [](const QString &folder) {
                PlcBackup::Taken taken{TransferResult::success(), 1, sampleConfiguration(),
                                       {true, true, true}};
                return PlcBackup::save(folder, taken, u"COM1"_s, {true, true, true}).error;
            }};
}

QMap<QString, QByteArray> contents(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo &info :
         QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        QFile file(info.filePath());
        files.insert(info.fileName(),
                     info.isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : "special");
    }
    return files;
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

// The program's edges on the file system: a write that fails at any step
// leaves the old file byte for byte and says why; special files are never
// replaced; reads are bounded whatever the file is.
class TestFileEdges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
    void specialFilesAreNotReplaced_data();
    void specialFilesAreNotReplaced();
    void readsAreBounded_data();
    void readsAreBounded();
    void linkKeepsPointingAtTheFile();
    void fullFileSystem();

private:
    static void prepare(const QString &name, const QString &folder, const Writer &w);
};

// Every writer has written once before: the file the fault must not touch.
void TestFileEdges::prepare(const QString &name, const QString &folder, const Writer &w)
{
    const QString path = QDir(folder).filePath(w.file);
    if (name == "backup"_L1)
        QDir().mkpath(path);
    QCOMPARE(w.write(path), QString());
}

void TestFileEdges::failedWriteKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<std::optional<WholeFile::Fault>>("fault");
    QTest::addColumn<QString>("reason");

    using WholeFile::Step;
    const QList<std::tuple<const char *, std::optional<WholeFile::Fault>, int>> faults = {
        {"short write", WholeFile::Fault{Step::Write, 0}, ENOSPC},
        {"no space", WholeFile::Fault{Step::Write, ENOSPC}, ENOSPC},
        {"quota", WholeFile::Fault{Step::Write, EDQUOT}, EDQUOT},
        {"sync", WholeFile::Fault{Step::Sync, EIO}, EIO},
        {"close", WholeFile::Fault{Step::Close, ENOSPC}, ENOSPC},
        {"rename", WholeFile::Fault{Step::Rename, EACCES}, EACCES},
    };
    for (const char *name : {"configuration", "json", "settings", "report", "backup"}) {
        for (const auto &[label, fault, error] : faults) {
            // A report line is appended in one write: it has no later steps.
            if (name == "report"_L1 && fault->step != Step::Write)
                continue;
            QTest::addRow("%s, %s", name, label) << QString::fromLatin1(name) << fault
                                                 << reason(error);
        }
    }
}

void TestFileEdges::failedWriteKeepsTheOldFile()
{
    QFETCH(QString, writer);
    QFETCH(std::optional<WholeFile::Fault>, fault);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    const Writer w = ::writer(writer);
    prepare(writer, dir.path(), w);
    const QString path = dir.filePath(w.file);
    const QString watched = writer == "backup"_L1 ? path : dir.path();
    const auto before = contents(watched);

    WholeFile::setFault(fault);
    const QString error = w.write(path);
    WholeFile::setFault(std::nullopt);

    QVERIFY2(error.endsWith(reason), qPrintable(error));
    QVERIFY2(error.contains(w.file), qPrintable(error));
    QCOMPARE(contents(watched), before);
    // And the next write, with the fault gone, goes through.
    QCOMPARE(w.write(path), QString());
}

void TestFileEdges::specialFilesAreNotReplaced_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("kind");
    for (const char *name : {"configuration", "json", "settings", "report"}) {
        for (const char *kind : {"fifo", "folder", "link to a fifo"})
            QTest::addRow("%s, %s", name, kind) << QString::fromLatin1(name)
                                                << QString::fromLatin1(kind);
    }
}

void TestFileEdges::specialFilesAreNotReplaced()
{
    QFETCH(QString, writer);
    QFETCH(QString, kind);

    QTemporaryDir dir;
    const Writer w = ::writer(writer);
    const QString path = dir.filePath(w.file);
    const QString fifo = kind == "link to a fifo"_L1 ? dir.filePath(u"out.fifo"_s) : path;
    if (kind == "folder"_L1)
        QVERIFY(QDir().mkpath(path));
    else
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    if (fifo != path)
        QVERIFY(QFile::link(fifo, path));

    const QString error = w.write(path);

    QVERIFY2(error.contains(u"not an ordinary file"_s), qPrintable(error));
    struct stat status = {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
    QVERIFY(kind == "folder"_L1 ? S_ISDIR(status.st_mode) : S_ISFIFO(status.st_mode));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
             kind == "folder"_L1 ? 0 : fifo == path ? 1 : 2);
}

void TestFileEdges::readsAreBounded_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("error");
    QTest::newRow("json") << u"zero.json"_s
                          << u"holds more than 1048576 bytes, more than a configuration in JSON "
                             "can"_s;
    QTest::newRow("configuration") << u"zero.apc"_s
                                   << u"is not a configuration file: it holds more than 15046 "
                                      "bytes"_s;
    QTest::newRow("settings") << u"set.ini"_s << u"is not an ordinary file: it is left as it is"_s;
}

// A link to an endless device is read up to the bound and refused.
void TestFileEdges::readsAreBounded()
{
    QFETCH(QString, file);
    QFETCH(QString, error);

    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    QVERIFY(QFile::link(u"/dev/zero"_s, path));
    QString message;
    if (file.endsWith(".ini"_L1)) {
        message = Ini_problem(path);
    } else {
        QVERIFY(!Cli::loadFile(path, message));
    }
    QVERIFY2(message.contains(error), qPrintable(message));
}

// A link to a configuration: the file it names is replaced, the link stays.
void TestFileEdges::linkKeepsPointingAtTheFile()
{
    QTemporaryDir dir;
    const QString real = dir.filePath(u"real.json"_s);
    const QString link = dir.filePath(u"site.json"_s);
    QCOMPARE(Cli::saveFile(real, Configuration::defaults()), QString());
    QVERIFY(QFile::link(real, link));
    QCOMPARE(Cli::saveFile(link, sampleConfiguration()), QString());
    QVERIFY(QFileInfo(link).isSymLink());
    QString error;
    QCOMPARE(Cli::loadFile(real, error), std::optional(sampleConfiguration()));
}

// A real file system with no room left: the good file stays whole.
void TestFileEdges::fullFileSystem()
{
    if (::geteuid() != 0)
        QSKIP("mounting a tmpfs needs root");
    QTemporaryDir dir;
    const QString mount = dir.filePath(u"full"_s);
    QVERIFY(QDir().mkpath(mount));
    if (QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=24k"_s, u"tmpfs"_s,
                                       mount}) != 0)
        QSKIP("this machine does not let its root mount a tmpfs");
    const auto unmount = qScopeGuard([&mount] { QProcess::execute(u"umount"_s, {mount}); });

    const QString site = mount + u"/site.apc"_s;
    QCOMPARE(ConfigurationFile::save(site, Configuration::defaults()), QString());
    QFile filler(mount + u"/filler"_s);
    QVERIFY(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(1024, 'x')) == 1024 && filler.flush()) {
    }
    filler.close();
    QFile good(site);
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray before = good.readAll();
    good.close();

    const QString error = ConfigurationFile::save(site, sampleConfiguration());
    QVERIFY2(error.endsWith(reason(ENOSPC)), qPrintable(error));
    QVERIFY(good.open(QIODevice::ReadOnly));
    QCOMPARE(good.readAll(), before);
    QCOMPARE(QDir(mount).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

QTEST_GUILESS_MAIN(TestFileEdges)
#include "tst_fileedges.moc"
