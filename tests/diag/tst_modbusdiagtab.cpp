#include "diag/modbusdiagtab.h"
#include "diag/modbuserrorbuffer.h"
#include "link/plcframe.h"
#include "plcsimulator.h"
#include "simport.h"
#include "support/gridrows.h"
#include "support/scripteddialogs.h"
#include "widgets/gridview.h"
#include "window/mainwindow.h"

#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SimFault)

namespace {

QByteArray readFrame(const char *address, const char *count)
{
    return PlcFrame::request("E00", address, count);
}

struct DiagWindow
{
    PlcSimulator sim;
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    Main main{{dir.filePath(u"set.ini"_s), dialogs, [this] {
                   return std::make_unique<SimPort>(sim);
               }}};

    GridView *grid(int uart) const { return main.modbusDiagTab().errorGrid(uart); }
    bool read(int uart)
    {
        const QString button = uart == 1 ? u"Command4"_s : u"Command6"_s;
        main.modbusDiagTab().findChild<QPushButton *>(button)->click();
        return QTest::qWaitFor([this] { return !main.tabContext().session().isBusy(); }, 5000);
    }
};

} // namespace

// The "Modbus diag" tab: its tables and the buffer reads.
class TestModbusDiagTab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsWithHeaderAndOneRow();
    void readShowsDecodedSlots_data();
    void readShowsDecodedSlots();
    void failedReadKeepsTable();
};

void TestModbusDiagTab::startsWithHeaderAndOneRow()
{
    DiagWindow w;
    const QStringList header = {"Slot", "Errors  type", "Short descriptions of error"};
    for (int uart : {1, 2}) {
        QCOMPARE(w.grid(uart)->objectName(), uart == 1 ? u"MB_grid"_s : u"MB_grid2"_s);
        QCOMPARE(shownRows(w.grid(uart)), TextTable({header, {"", "", ""}}));
        QCOMPARE(
            w.grid(uart)->grid()->cell(1, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
            Qt::AlignCenter);
        QCOMPARE(w.grid(uart)->parentWidget()->objectName(),
                 uart == 1 ? u"Frame7"_s : u"Frame12"_s);
    }
    auto *panel = w.main.findChild<QGroupBox *>(u"Frame6"_s);
    QCOMPARE(panel->findChild<QPushButton *>(u"Command4"_s)->text(), u"Read modbus buffer 1"_s);
    QCOMPARE(panel->findChild<QPushButton *>(u"Command6"_s)->text(), u"Read modbus buffer 2"_s);
}

void TestModbusDiagTab::readShowsDecodedSlots_data()
{
    QTest::addColumn<int>("uart");
    QTest::addRow("UART1") << 1;
    QTest::addRow("UART2") << 2;
}

// A read after another shows only what it found: the table is rebuilt whole.
void TestModbusDiagTab::readShowsDecodedSlots()
{
    QFETCH(int, uart);
    DiagWindow w;
    const quint16 mode = uart == 1 ? 0x2008 : 0x2006;
    const quint16 block = uart == 1 ? 0x3600 : 0x3680;
    w.sim.setWord(mode, 0xC003);
    w.sim.setMemory(block, QByteArray::fromHex("008109"));
    QVERIFY(w.read(uart));
    QCOMPARE(w.sim.requests(), QList<QByteArray>({readFrame(uart == 1 ? "2008" : "2006", "02"),
                                                  readFrame(uart == 1 ? "3600" : "3680", "40")}));
    TextTable expected = {shownRows(w.grid(uart)).first(),
                          {"1", "No error", ""},
                          {"2", "Active error", "illegal register address "},
                          {"3", "Active error", ""},
                          {"4", "", ""}};
    QCOMPARE(shownRows(w.grid(uart)), expected);
    QCOMPARE(w.grid(uart)->grid()->cell(2, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
             Qt::AlignCenter);
    QCOMPARE(w.grid(3 - uart)->rows(), 2);

    w.sim.setWord(mode, 0xC001);
    w.sim.setMemory(block, QByteArray::fromHex("09"));
    QVERIFY(w.read(uart));
    expected = {expected.first(), {"1", "Active error", ""}, {"2", "", ""}};
    QCOMPARE(shownRows(w.grid(uart)), expected);
    QVERIFY(w.dialogs.shown.isEmpty());
}

void TestModbusDiagTab::failedReadKeepsTable()
{
    DiagWindow w;
    w.sim.setWord(0x2008, 0xC001);
    QVERIFY(w.read(1));
    const TextTable shown = shownRows(w.grid(1));
    w.sim.setWord(0x2008, 0x4001); // a slave: nothing to read
    QVERIFY(w.read(1));
    SimFaults faults;
    faults.perRequest[SimFault::Silent].ordinals.insert(5);
    w.sim.setFaults(faults);
    w.sim.setWord(0x2008, 0xC001);
    QVERIFY(w.read(1));
    QCOMPARE(shownRows(w.grid(1)), shown);
    QCOMPARE(w.dialogs.messages(), QStringList{u"Answer timeout from PLC"_s});
}

QTEST_MAIN(TestModbusDiagTab)
#include "tst_modbusdiagtab.moc"
