#include "link/inifile.h"
#include "link/portsetup.h"
#include "link/qtplcport.h"
#include "link/settingslocation.h"
#include "support/scriptedport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void readWriteRoundTrip();
    void readSeesChangesMadeOutside();
    void portSetupWithoutFile();
    void portSetupFromStoredChoices();
    void badStoredValuesCountAsIndexZero_data();
    void badStoredValuesCountAsIndexZero();
    void portDevices();
    void writeKeepsOtherLines();
    void settingsBesideProgramOrInUserFolder();
    void unfitFiles_data();
    void unfitFiles();
    void failedWriteIsReported();

private:
    void writeFile(const QByteArray &text);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_ini;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_ini = m_dir->path() + QStringLiteral("/set.ini");
}

void TestSettings::writeFile(const QByteArray &text)
{
    QFile file(m_ini);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

void TestSettings::readWriteRoundTrip()
{
    const QString com = QStringLiteral("COM");
    QCOMPARE(Ini_read(m_ini, com, QStringLiteral("Speed"), QStringLiteral("0")),
             QStringLiteral("0"));
    Ini_write(m_ini, com, QStringLiteral("Speed"), QStringLiteral("3"));
    Ini_write(m_ini, QStringLiteral("COM_MB"), QStringLiteral("Speed"), QStringLiteral("7"));
    QCOMPARE(Ini_read(m_ini, com, QStringLiteral("Speed"), QStringLiteral("0")),
             QStringLiteral("3"));
    QCOMPARE(Ini_read(m_ini, QStringLiteral("COM_MB"), QStringLiteral("Speed"), QString()),
             QStringLiteral("7"));

    QFile file(m_ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains("[COM]") && text.contains("[COM_MB]") && text.contains("Speed=3"),
             text.constData());
}

void TestSettings::readSeesChangesMadeOutside()
{
    writeFile("[COM]\nPort_num=2\n");
    QCOMPARE(linkSettings(m_ini).portNumber, 3);
    writeFile("[COM]\nPort_num=9\n\n");
    QCOMPARE(linkSettings(m_ini).portNumber, 10);
}

void TestSettings::portSetupWithoutFile()
{
    ScriptedPort port;
    Port_setup(port, m_ini);
    QCOMPARE(port.settings(), QStringLiteral("9600,N,7,1"));
    QCOMPARE(port.portNumber(), 1);
    QVERIFY(!port.isOpen());
    QVERIFY(!QFile::exists(m_ini));
}

void TestSettings::portSetupFromStoredChoices()
{
    writeFile("[COM]\nSpeed=4\nParity=0\nBit_num=1\nStop_bit=0\nPort_num=2\n");
    ScriptedPort port;
    Port_setup(port, m_ini);
    QCOMPARE(port.settings(), QStringLiteral("115200,N,8,1"));
    QCOMPARE(port.portNumber(), 3);

    writeFile("[COM]\nSpeed=1\nParity=2\nBit_num=2\nStop_bit=1\nPort_num=9\n");
    Port_setup(port, m_ini);
    QCOMPARE(port.settings(), QStringLiteral("19200,E,9,1.5"));
    QCOMPARE(port.portNumber(), 10);
}

void TestSettings::badStoredValuesCountAsIndexZero_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("minus one") << QByteArray("-1");
    QTest::newRow("past the list") << QByteArray("5");
    QTest::newRow("text") << QByteArray("fast");
    QTest::newRow("fraction") << QByteArray("1.5");
    QTest::newRow("empty") << QByteArray("");
}

void TestSettings::badStoredValuesCountAsIndexZero()
{
    QFETCH(QByteArray, value);
    writeFile("[COM]\nSpeed=" + value + "\nParity=" + value + "\nBit_num=" + value +
              "\nStop_bit=" + value + "\nPort_num=" + (value == "5" ? "10" : value) + "\n");
    const LinkSettings link = linkSettings(m_ini);
    QCOMPARE(link.settings, QStringLiteral("9600,N,7,1"));
    QCOMPARE(link.portNumber, 1);
}

void TestSettings::portDevices()
{
#ifndef Q_OS_WIN
    QCOMPARE(QtPlcPort::deviceFor(1, m_ini), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(QtPlcPort::deviceFor(10, m_ini), QStringLiteral("/dev/ttyS9"));
    Ini_write(m_ini, QStringLiteral("PORTS"), QStringLiteral("COM1"),
              QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(QtPlcPort::deviceFor(1, m_ini), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(QtPlcPort::deviceFor(2, m_ini), QStringLiteral("/dev/ttyS1"));
#endif
}

void TestSettings::writeKeepsOtherLines()
{
    writeFile("; link settings\n[com]\nspeed = 2\n\n[PORTS]\nCOM1=/dev/ttyUSB0\n");
    QCOMPARE(Ini_read(m_ini, QStringLiteral("COM"), QStringLiteral("Speed"), {}),
             QStringLiteral("2"));
    Ini_write(m_ini, QStringLiteral("COM"), QStringLiteral("Speed"), QStringLiteral("4"));
    Ini_write(m_ini, QStringLiteral("COM"), QStringLiteral("Parity"), QStringLiteral("1"));
    Ini_write(m_ini, QStringLiteral("COM_MB"), QStringLiteral("Stop_bit"), QStringLiteral("-1"));
    QFile file(m_ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("; link settings\n[com]\nSpeed=4\nParity=1\n\n[PORTS]\n"
                                        "COM1=/dev/ttyUSB0\n\n[COM_MB]\nStop_bit=-1\n"));
}

// A folder that takes a file keeps set.ini beside the program; one that
// cannot (here: not there at all) sends it to the user's folder, made then.
void TestSettings::settingsBesideProgramOrInUserFolder()
{
    const QString program = m_dir->filePath(QStringLiteral("bin"));
    const QString user = m_dir->filePath(QStringLiteral("home/.config/plc-tarvik"));
    // The rule of Linux, whatever system runs the test.
    const auto unixRule = [&user](const QString &folder, const QStringList &prefixes = {}) {
        return settingsFile(folder, user, prefixes, SettingsBeside::WhenWritable);
    };
    QVERIFY(QDir().mkpath(program));
    QCOMPARE(unixRule(program), program + QStringLiteral("/set.ini"));
    QVERIFY(!QFileInfo::exists(user));
    const QString installed = m_dir->filePath(QStringLiteral("usr/bin"));
    QCOMPARE(unixRule(installed), user + QStringLiteral("/set.ini"));
    QVERIFY(QFileInfo(user).isDir());
    // Installed under a prefix, the program keeps out of its folder even when
    // it could write there (run by root); beside the prefix it does not.
    const QString prefix = m_dir->filePath(QStringLiteral("opt/plc"));
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("/bin")));
    QCOMPARE(unixRule(prefix + QStringLiteral("/bin"), {prefix}),
             user + QStringLiteral("/set.ini"));
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("-portable")));
    QCOMPARE(unixRule(prefix + QStringLiteral("-portable"), {prefix}),
             prefix + QStringLiteral("-portable/set.ini"));
#ifndef Q_OS_WIN
    QVERIFY(defaultInstallPrefixes().contains(QStringLiteral("/usr")));
    QCOMPARE(settingsFile(QStringLiteral("/usr/bin"), user), user + QStringLiteral("/set.ini"));
#endif

    // Windows' rule: beside the program only when one is there already;
    // a writable folder is not enough, the installer's least of all.
    const auto windows = [&user](const QString &folder) {
        return settingsFile(folder, user, {}, SettingsBeside::WhenPresent);
    };
    QCOMPARE(windows(program), user + QStringLiteral("/set.ini"));
    QFile portable(program + QStringLiteral("/set.ini"));
    QVERIFY(portable.open(QIODevice::WriteOnly));
    portable.close();
    QCOMPARE(windows(program), program + QStringLiteral("/set.ini"));
}

// An unfit file reads as absent and is never rewritten; a fit one, however
// odd, gives its values and takes a write.
void TestSettings::unfitFiles_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("speed");   // what Speed reads as
    QTest::addColumn<QString>("problem"); // the start of Ini_problem's text
    const QByteArray com = "[COM]\nSpeed=3\n";
    QTest::newRow("empty") << QByteArray() << "d"
                           << "";
    QTest::newRow("binary") << QByteArray(com + '\0' + "\x01\xFF") << "d"
                            << "%1 is not a text";
    QTest::newRow("huge") << QByteArray(com + QByteArray(10 * 1024 * 1024, ';')) << "d"
                          << "%1 holds 10485774 bytes";
    QTest::newRow("keys repeated") << QByteArray(com + "Speed=4\n[com]\nSpeed=1\n") << "3"
                                   << "";
    QTest::newRow("300 characters")
        << QByteArray("[COM]\nSpeed=" + QByteArray(300, '7') + '\n') << QString(254, u'7') << "";
    QTest::newRow("not UTF-8") << QByteArray(com + "; \xE9t\xE9\n") << "3"
                               << "";
}

void TestSettings::unfitFiles()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, speed);
    QFETCH(QString, problem);
    writeFile(contents);
    const QString com = QStringLiteral("COM");
    QVERIFY(problem.isEmpty() ? Ini_problem(m_ini).isEmpty()
                              : Ini_problem(m_ini).startsWith(problem.arg(m_ini)));
    QCOMPARE(Ini_read(m_ini, com, QStringLiteral("Speed"), QStringLiteral("d")), speed);
    const QString error = Ini_write(m_ini, com, QStringLiteral("Parity"), QStringLiteral("1"));
    QCOMPARE(error, Ini_problem(m_ini).isEmpty() ? QString() : Ini_problem(m_ini));
    QFile file(m_ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    if (problem.isEmpty())
        QCOMPARE(Ini_read(m_ini, com, QStringLiteral("Parity"), {}), QStringLiteral("1"));
    else
        QCOMPARE(file.readAll(), contents);
}

// A settings file that cannot be read or written: none of the values is
// taken and the write says why.
void TestSettings::failedWriteIsReported()
{
    QVERIFY(QDir().mkpath(m_ini)); // a folder where the file should be
    QCOMPARE(Ini_problem(m_ini),
             m_ini + QStringLiteral(" is not an ordinary file: it is left as it is"));
    QCOMPARE(Ini_read_index(m_ini, QStringLiteral("COM"), QStringLiteral("Speed"), 5), 0);
    QVERIFY(!Ini_write(m_ini, QStringLiteral("COM"), QStringLiteral("Speed"), {}).isEmpty());

    // A folder that takes no files (here: a file stands in for it).
    const QString file = m_dir->filePath(QStringLiteral("file"));
    const QString inside = file + QStringLiteral("/set.ini");
    QVERIFY(QFile(file).open(QIODevice::WriteOnly));
    const QString error = Ini_write(inside, QStringLiteral("COM"),
                                    {{QStringLiteral("Speed"), QStringLiteral("1")},
                                     {QStringLiteral("Parity"), QStringLiteral("2")}});
    QVERIFY2(error.startsWith(QStringLiteral("Cannot save the settings in ") + inside),
             qPrintable(error));
}

QTEST_APPLESS_MAIN(TestSettings)
#include "tst_settings.moc"
