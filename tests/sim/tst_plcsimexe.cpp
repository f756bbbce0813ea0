#include "config/configurationjson.h"
#include "link/plcframe.h"
#include "support/buildpath.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// The plc-sim executable on a real pseudo-terminal, talked to through the
// link it makes, with plain POSIX calls.
class TestPlcSimExe : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void servesOnLinkUntilTerminated();
    void refusesToReplaceRegularFile();
    void answersAtOnceAfterALargeConfiguration();

private:
    bool start(const QStringList &arguments);
    int openLink() const;

    QTemporaryDir m_dir;
    QString m_link;
    QProcess m_sim;
};

namespace {

// Reads until `count` bytes have come or the line has been silent for 1 s.
QByteArray readAnswer(int fd, qsizetype count)
{
    QByteArray answer;
    while (answer.size() < count) {
        pollfd in = {fd, POLLIN, 0};
        if (::poll(&in, 1, 1000) <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        answer.append(buffer, n);
    }
    return answer;
}

QByteArray ask(int fd, const QByteArray &request, qsizetype answerSize)
{
    if (::write(fd, request.constData(), size_t(request.size())) != request.size())
        return {};
    return readAnswer(fd, answerSize);
}

} // namespace

void TestPlcSimExe::init()
{
    QVERIFY(m_dir.isValid());
    m_link = m_dir.filePath(QStringLiteral("plc"));
}

void TestPlcSimExe::cleanup()
{
    if (m_sim.state() != QProcess::NotRunning) {
        m_sim.kill();
        m_sim.waitForFinished(2000);
    }
}

bool TestPlcSimExe::start(const QStringList &arguments)
{
    m_sim.start(buildPath(PLC_SIM_PATH), QStringList{QStringLiteral("--link"), m_link} + arguments);
    return m_sim.waitForStarted(5000);
}

int TestPlcSimExe::openLink() const
{
    const int fd = ::open(QFile::encodeName(m_link).constData(), O_RDWR | O_NOCTTY);
    termios attributes = {};
    if (fd >= 0 && ::tcgetattr(fd, &attributes) == 0) {
        ::cfmakeraw(&attributes);
        ::tcsetattr(fd, TCSANOW, &attributes);
    }
    return fd;
}

void TestPlcSimExe::servesOnLinkUntilTerminated()
{
    QVERIFY(start({QStringLiteral("--cpu-type"), QStringLiteral("0A0B")}));
    QVERIFY(m_sim.waitForReadyRead(5000));
    const QByteArray line = m_sim.readLine().trimmed();
    const QByteArray expected = "plc-sim: listening on " + QFile::encodeName(m_link) + " (/dev/";
    QVERIFY2(line.startsWith(expected), line.constData());
    QVERIFY(QFileInfo(m_link).isSymLink());

    int fd = openLink();
    QVERIFY(fd >= 0);
    QCOMPARE(ask(fd, QByteArray(1, PlcFrame::ENQ), 1), QByteArray(1, PlcFrame::ACK));
    ::close(fd);
    fd = openLink(); // reopening finds the line working
    QVERIFY(fd >= 0);
    QCOMPARE(ask(fd, PlcFrame::request("0", "0E02", "02"), 8), PlcFrame::dataAnswer("0B0A"));

    ::kill(pid_t(m_sim.processId()), SIGTERM);
    QVERIFY(m_sim.waitForFinished(5000));
    char byte = 0;
    QVERIFY(::read(fd, &byte, 1) <= 0); // the line is gone for a client still on it
    ::close(fd);
    QCOMPARE(m_sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_sim.exitCode(), 0);
    QVERIFY(!QFileInfo(m_link).isSymLink());
}

void TestPlcSimExe::refusesToReplaceRegularFile()
{
    QFile file(m_link);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep");
    file.close();
    QVERIFY(start({}));
    QVERIFY(m_sim.waitForFinished(5000));
    QCOMPARE(m_sim.exitCode(), 1);
    QVERIFY(m_sim.readAllStandardError().contains("not a symbolic link"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep"));
}

// A full table loaded with --config took its time on the simulated line;
// once the link is there, the first request is answered at once.
void TestPlcSimExe::answersAtOnceAfterALargeConfiguration()
{
    Configuration full = Configuration::defaults();
    full.uart1.role = ModbusRole::Master;
    full.uart1.table = QList<QStringList>(128, {"1", "1", "10", "0", "100", "1", "1000"});
    const QString config = m_dir.filePath(QStringLiteral("full.json"));
    m_link = m_dir.filePath(QStringLiteral("full-plc"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ConfigurationJson::write(full));
    file.close();
    QVERIFY(start({QStringLiteral("--config"), config}));
    const bool started = m_sim.waitForReadyRead(10000);
    QVERIFY2(started && m_sim.readLine().startsWith("plc-sim: listening on "),
             m_sim.readAllStandardError().constData());
    const int fd = openLink();
    QVERIFY(fd >= 0);
    QCOMPARE(ask(fd, QByteArray(1, PlcFrame::ENQ), 1), QByteArray(1, PlcFrame::ACK));
    ::close(fd);
}

QTEST_GUILESS_MAIN(TestPlcSimExe)
#include "tst_plcsimexe.moc"
