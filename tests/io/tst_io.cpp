#include "io/iotransfer.h"
#include "modbus/modbusfixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SimFault)

namespace {

enum Item { Input = 0, Output = 1, NotUse = 2 };
using Choices = QList<QPair<int, int>>; // point, item

// The Prog.name cells of points 0 to `count` - 1, joined.
QString names(const IoAssignment &io, int count)
{
    QStringList shown;
    for (int i = 0; i < count; ++i)
        shown << io.points.at(i).programName;
    return shown.join(u',');
}

} // namespace

// The I/O assignment: the next-point rule, octal names, the usage of X and
// Y numbers, the masks and their transfers.
class TestIo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void assignsPointsInTurn_data();
    void assignsPointsInTurn();
    void masksAndBlock();
    void uploadShowsMaskedPoints();
    void transfersOnTheWire();
    void failedTransfersChangeNothing_data();
    void failedTransfersChangeNothing();
};

void TestIo::assignsPointsInTurn_data()
{
    QTest::addColumn<Choices>("choices");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected"); // Prog.name of points 0 to count - 1
    using P = QPair<int, int>;
    QTest::newRow("X0, Y0, X1") << QList<P>{{0, Input}, {1, Output}, {2, Input}} << 3 << "X0,Y0,X1";
    QList<P> all;
    for (int i = 0; i < 21; ++i)
        all << P{i, Input};
    QTest::newRow("nine inputs end at X10") << all.mid(0, 9) << 9 << "X0,X1,X2,X3,X4,X5,X6,X7,X10";
    QTest::newRow("21 inputs end at X24") << all << 21
                                          << "X0,X1,X2,X3,X4,X5,X6,X7,X10,X11,X12,X13,X14,X15,X16,"
                                             "X17,X20,X21,X22,X23,X24";
    QTest::newRow("point 5 out of turn: text only")
        << QList<P>{{0, Input}, {1, Input}, {2, Input}, {5, Input}} << 6 << "X0,X1,X2,,,";
    QTest::newRow("not use frees the number shown")
        << QList<P>{{0, Input}, {1, Input}, {1, NotUse}, {1, Output}, {2, Input}} << 3
        << "X0,Y0,X1";
    // A number kept by point index would stay taken here: Y0 is shown on
    // point 1, not on point 0.
    QTest::newRow("an output freed, then given again")
        << QList<P>{{0, Input}, {1, Output}, {1, NotUse}, {1, Output}} << 2 << "X0,Y0";
    QTest::newRow("a new kind frees the old number")
        << QList<P>{{0, Input}, {1, Output}, {2, Input}, {0, NotUse}, {1, Input}, {2, Output}} << 3
        << ",X0,Y0";
}

void TestIo::assignsPointsInTurn()
{
    QFETCH(Choices, choices);
    QFETCH(int, count);
    IoAssignment io;
    for (const auto &[point, item] : choices)
        io.choose(point, item);
    QTEST(names(io, count), "expected");
    const IoPoint last = io.points.at(choices.last().first);
    QCOMPARE(last.functionText, IoAssignment::choices.at(choices.last().second));
}

void TestIo::masksAndBlock()
{
    IoAssignment io;
    QCOMPARE(ioBlock(io).toHex().toUpper(), QByteArray("0000000000000000"));
    io.points[0].function = io.points[2].function = io.points[16].function = 1;
    io.points[1].function = 2;
    QCOMPARE(io.inputMask(), 0x10005u);
    QCOMPARE(io.outputMask(), 0x2u);
    QCOMPARE(ioBlock(io).toHex().toUpper(), QByteArray("0500010002000000"));
    IoAssignment last;
    last.points[20].function = 2;
    QVERIFY(ioBlock(last).toHex().toUpper().endsWith("00001000"));
    io.choose(3, NotUse);
    QCOMPARE(io.points.at(3), (IoPoint{0, u"Not use"_s, {}}));
    io.clear();
    QCOMPARE(io, IoAssignment());
    QCOMPARE(IoTable::pointLabel(0) + u'|' + IoTable::pointLabel(20), u"IO  0|IO  20"_s);
}

// An input where both bits are set; points without a bit stay as they are.
void TestIo::uploadShowsMaskedPoints()
{
    IoAssignment io;
    io.points[3] = {2, u"Output-Y"_s, u"Y7"_s};
    io.applyMasks(0x5 | 0x200000, 0x2 | 0x4);
    QCOMPARE(io.points.at(0), (IoPoint{1, u"Input -X"_s, u"X0"_s}));
    QCOMPARE(io.points.at(1), (IoPoint{2, u"Output -Y"_s, u"Y0"_s}));
    QCOMPARE(io.points.at(2), (IoPoint{1, u"Input -X"_s, u"X1"_s}));
    QCOMPARE(io.points.at(3), (IoPoint{2, u"Output-Y"_s, u"Y7"_s}));
    QCOMPARE(io.nextFree(u'Y'), 1);
}

void TestIo::transfersOnTheWire()
{
    ModbusBench bench;
    IoAssignment io;
    for (auto [point, item] : {std::pair{0, Input}, {1, Output}, {2, Input}})
        io.choose(point, item);
    QVERIFY(downloadIo(bench.port, io).ok);
    QCOMPARE(bench.sim.requests(), (QList<QByteArray>{writeFrame(u"3000"_s, u"0FFF"_s),
                                                      writeFrame(u"2000"_s, u"0500000002000000"_s),
                                                      writeFrame(u"3000"_s, u"0000"_s)}));
    QVERIFY(!bench.port.isOpen());

    const IoUpload up = uploadIo(bench.port, bench.ini, IoAssignment());
    QVERIFY(up.result.ok && up.assignment);
    QCOMPARE(bench.sim.requests().last(), readFrame(u"2000"_s, u"08"_s));
    QCOMPARE(names(*up.assignment, 3), u"X0,Y0,X1"_s);
    QCOMPARE(up.assignment->points.at(1).functionText, u"Output -Y"_s);
}

void TestIo::failedTransfersChangeNothing_data()
{
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("left");
    QTest::newRow("refused") << SimFault::Refuse << "Wrong answer from PLC" << QString();
    QTest::newRow("unanswered")
        << SimFault::Silent << "Answer timeout from PLC"
        << "\nThe write at 3000 got no proper answer; the PLC may have applied it.";
}

// The first write refused stops the download (one unanswered may have gone
// in, and the message says so); an upload that gets no answer says so and
// shows nothing.
void TestIo::failedTransfersChangeNothing()
{
    QFETCH(SimFault, fault);
    QFETCH(QString, message);
    QFETCH(QString, left);
    ModbusBench bench;
    bench.fault(fault, 1);
    const TransferResult down = downloadIo(bench.port, IoAssignment());
    QCOMPARE(down.message, message + left);
    QCOMPARE(bench.sim.requests().size(), 1);
    bench.faultEveryTry(fault, 2); // and when the read is sent again
    const IoUpload up = uploadIo(bench.port, bench.ini, IoAssignment());
    QCOMPARE(up.result.message, message);
    QCOMPARE(up.assignment, std::nullopt);
    QVERIFY(!bench.port.isOpen());
}

QTEST_GUILESS_MAIN(TestIo)
#include "tst_io.moc"
