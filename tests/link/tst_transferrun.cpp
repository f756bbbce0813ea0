#include "link/plcframe.h"
#include "link/transferrun.h"
#include "support/scriptedport.h"

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

QTEST_APPLESS_MAIN(TestTransferRun)
#include "tst_transferrun.moc"
