#include "link/plcframe.h"
#include "link/transferrun.h"
#include "support/scriptedport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// Answers every request: ACK to writes, 0x5A bytes to reads.
class AnsweringPort : public ScriptedPort
{
public:
    bool write(const QByteArray &data) override
    {
        const bool read = data.mid(1, 3) == "E00";
        const int count = data.mid(8, 2).toInt(nullptr, 16);
        addScript({{1ms, read ? PlcFrame::dataAnswer(QByteArray(2 * count, '5'))
                              : QByteArray(1, PlcFrame::ACK)}});
        return ScriptedPort::write(data);
    }
};

// "address count" of each request the port got.
QStringList blocksOf(const ScriptedPort &port)
{
    QStringList blocks;
    for (const QByteArray &frame : port.written)
        blocks << QString::fromLatin1(frame.mid(4, 4) + ' ' + frame.mid(8, 2));
    return blocks;
}

} // namespace

// The block writes and reads every configuration transfer uses.
class TestTransferRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesBlocks_data();
    void writesBlocks();
    void readsBlocks_data();
    void readsBlocks();
    void failureMessages_data();
    void failureMessages();
};

void TestTransferRun::writesBlocks_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<bool>("skipEmpty");
    QTest::addColumn<QStringList>("blocks");
    QTest::addColumn<QList<int>>("progress");
    QTest::addColumn<std::chrono::milliseconds>("paused");
    QTest::newRow("empty, written")
        << 0 << false << QStringList{"200C 00"} << QList<int>{100} << 0ms;
    QTest::newRow("empty, skipped") << 0 << true << QStringList{} << QList<int>{} << 0ms;
    QTest::newRow("63 bytes") << 63 << true << QStringList{"200C 3F"} << QList<int>{100} << 0ms;
    QTest::newRow("64 bytes") << 64 << true << QStringList{"200C 40"} << QList<int>{100} << 100ms;
    QTest::newRow("70 bytes") << 70 << true << QStringList{"200C 40", "204C 06"}
                              << QList<int>{91, 100} << 200ms;
}

void TestTransferRun::writesBlocks()
{
    QFETCH(int, bytes);
    QFETCH(bool, skipEmpty);
    AnsweringPort port;
    QList<int> steps;
    {
        TransferRun run(port);
        QVERIFY(run.writeBlocks(650ms, 0x200C, QByteArray(bytes, '\x11'),
                                skipEmpty ? TransferRun::Empty::Skip : TransferRun::Empty::Write,
                                [&steps](int percent) { steps << percent; }));
        QVERIFY(run.result().ok);
    }
    QTEST(blocksOf(port), "blocks");
    QTEST(steps, "progress");
    QFETCH(std::chrono::milliseconds, paused);
    QCOMPARE(port.now, 1ms * port.written.size() + paused);
    QVERIFY(!port.isOpen());
}

void TestTransferRun::readsBlocks_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QStringList>("blocks");
    QTest::newRow("none") << 0 << QStringList{};
    QTest::newRow("30 bytes") << 30 << QStringList{"200C 1E"};
    QTest::newRow("130 bytes") << 130 << QStringList{"200C 40", "204C 40", "208C 02"};
}

void TestTransferRun::readsBlocks()
{
    QFETCH(int, bytes);
    AnsweringPort port;
    TransferRun run(port);
    const std::optional<QByteArray> data = run.readBlocks(350ms, 0x200C, bytes);
    QCOMPARE(data, std::optional(QByteArray(bytes, '\x55')));
    QTEST(blocksOf(port), "blocks");
}

// What a failed run says beside the message of its kind: how often an
// answer failed its checksum (and, the first time on a port, where to turn
// the check off, which AnswerChecksum=0 in [COM] does), and that a
// configuration write stopped half-way.
void TestTransferRun::failureMessages_data()
{
    QTest::addColumn<QString>("ini");               // section [COM]
    QTest::addColumn<QList<QByteArray>>("answers"); // to each request
    QTest::addColumn<bool>("write");                // a configuration write, else a read
    QTest::addColumn<QString>("message");           // "INI" stands for the file's path
    const QByteArray digit = PlcFrame::dataAnswer("0100").replace("01", "11");
    const QByteArray ack(1, PlcFrame::ACK);
    const QString hint = QStringLiteral(
        " For a PLC whose firmware sums its answers otherwise, the check is turned off by "
        "AnswerChecksum=0 in section [COM] of INI.");
    QTest::newRow("read, checksum three times")
        << QString() << QList<QByteArray>(3, digit) << false
        << "Wrong answer from PLC\nThe answer failed its checksum (3 tries)." + hint;
    QTest::newRow("read, check turned off")
        << QStringLiteral("AnswerChecksum=0") << QList<QByteArray>{digit} << false << QString();
    QTest::newRow("read, check on")
        << QStringLiteral("AnswerChecksum=1")
        << QList<QByteArray>{digit, PlcFrame::dataAnswer("0100")} << false << QString();
    QTest::newRow("write refused half-way")
        << QString() << QList<QByteArray>{ack, ack, "\x15"} << true
        << QStringLiteral("Wrong answer from PLC\nThe download stopped half-way: 1 of its writes "
                          "was accepted, the last at 2008; the PLC may hold part of the new "
                          "configuration.");
    const QString waiting = QStringLiteral(
        "\nThe download stopped before its first data write was accepted: the PLC was left "
        "waiting for a configuration; a new write mends it.");
    const auto mayHave = [](const char *address) {
        return QStringLiteral("\nThe write at %1 got no proper answer; the PLC may have applied "
                              "it.")
            .arg(QLatin1String(address));
    };
    QTest::newRow("write refused after the control word")
        << QString() << QList<QByteArray>{ack, "\x15"} << true
        << QStringLiteral("Wrong answer from PLC") + waiting;
    QTest::newRow("write garbled after the control word")
        << QString() << QList<QByteArray>{ack, "\x07"} << true
        << QStringLiteral("Wrong answer from PLC") + waiting + mayHave("2008");
    QTest::newRow("write unanswered half-way")
        << QString() << QList<QByteArray>{ack, ack, {}} << true
        << QStringLiteral("Answer timeout from PLC\nThe download stopped half-way: 1 of its "
                          "writes was accepted, the last at 2008; the PLC may hold part of the "
                          "new configuration.") +
               mayHave("2502");
    QTest::newRow("control word unanswered")
        << QString() << QList<QByteArray>{{}} << true
        << QStringLiteral("Answer timeout from PLC") + mayHave("3000");
    QTest::newRow("write refused at once") << QString() << QList<QByteArray>{"\x15"} << true
                                           << QStringLiteral("Wrong answer from PLC");
}

void TestTransferRun::failureMessages()
{
    QFETCH(QString, ini);
    QFETCH(QList<QByteArray>, answers);
    QFETCH(QString, message);
    QFETCH(bool, write);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("set.ini"));
    QFile settings(file);
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[COM]\n" + ini.toLatin1() + "\n");
    settings.close();
    ScriptedPort port;
    for (const QByteArray &answer : answers)
        port.addScript({{1ms, answer}});
    for (int run = 1; run <= 2; ++run) { // the hint comes once per port
        TransferRun transfer(port, file);
        if (write) {
            transfer.beginConfiguration();
            transfer.write(650ms, 0x2008, QByteArray(2, '\0'));
            transfer.write(650ms, 0x2502, QByteArray(8, '\0'));
        } else {
            QCOMPARE(transfer.read(350ms, 0x2008, 2).has_value(), message.isEmpty());
        }
        const QString expected = QString(message).replace(QLatin1String("INI"), file);
        QCOMPARE(transfer.result().message,
                 run == 1 ? expected : expected.section(QLatin1String(" For a PLC"), 0, 0));
        for (const QByteArray &answer : answers)
            port.addScript({{1ms, answer}});
    }
}

QTEST_APPLESS_MAIN(TestTransferRun)
#include "tst_transferrun.moc"
