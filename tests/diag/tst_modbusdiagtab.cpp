#include "diag/modbusdiagtab.h"
#include "diag/modbuserrorbuffer.h"
#include "link/inifile.h"
#include "link/plcframe.h"
#include "plcsimulator.h"
#include "simport.h"
#include "support/gridrows.h"
#include "support/scripteddialogs.h"
#include "widgets/gridview.h"
#include "widgets/tabcontext.h"
#include "window/mainwindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

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
    void watchFollowsErrors();
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
    faults.perRequest[SimFault::Silent].ordinals = {5, 6}; // and when sent once more
    w.sim.setFaults(faults);
    w.sim.setWord(0x2008, 0xC001);
    QVERIFY(w.read(1));
    QCOMPARE(shownRows(w.grid(1)), shown);
    QCOMPARE(w.dialogs.messages(), QStringList{u"Answer timeout from PLC"_s});
}

// Watching UART 1 (UART 2 is a slave) every second: an error the PLC raises
// shows within an interval, stands out for one and is counted; a failed read
// goes to the status bar and the watch goes on; another operation holds the
// reads back; a UART that stops being a master ends the watch.
void TestModbusDiagTab::watchFollowsErrors()
{
    DiagWindow w;
    w.sim.setWord(0x2008, 0xC003);
    w.sim.setWord(0x2006, 0x4001);
    QStringList status;
    connect(&w.main.tabContext(), &TabContext::statusMessage, this,
            [&status](const QString &text) { status << text; });
    auto *interval = w.main.findChild<QSpinBox *>(u"MB_watch_interval"_s);
    QCOMPARE(interval->value(), 2);
    interval->setValue(1);
    QCOMPARE(Ini_read(w.main.iniFile(), u"WATCH"_s, u"Modbus"_s, {}), u"1"_s);
    auto *watch = w.main.findChild<QCheckBox *>(u"MB_watch"_s);
    watch->setChecked(true);
    QTRY_COMPARE(shownRows(w.grid(1)).size(), 5);
    QCOMPARE(shownRows(w.grid(1)).first().mid(3), QStringList({"Active since", "Times active"}));
    QCOMPARE(status, QStringList{u"Watching: UART 2 is not a Modbus master"_s});
    const auto highlighted = [&w](int row) {
        return w.grid(1)->grid()->cell(row, 1).data(GridModel::HighlightRole).toBool();
    };

    w.sim.setMemory(0x3601, QByteArray::fromHex("81"));
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(w.grid(1)).at(2).mid(1, 2),
                              QStringList({"Active error", "illegal register address "}), 2500);
    QCOMPARE(shownRows(w.grid(1)).at(2).at(4), u"1"_s);
    QVERIFY(!shownRows(w.grid(1)).at(2).at(3).isEmpty());
    QVERIFY(highlighted(2));
    QVERIFY(!highlighted(1));
    // Unchanged in the next read, it no longer stands out.
    QTRY_VERIFY_WITH_TIMEOUT(!highlighted(2), 2500);
    w.sim.setMemory(0x3601, QByteArray::fromHex("00"));
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(w.grid(1)).at(2).at(1), u"No error"_s, 2500);
    QCOMPARE(shownRows(w.grid(1)).at(2).at(3), QString());

    SimFaults faults;
    faults.perRequest[SimFault::Silent].ordinals = {w.sim.requestCount() + 1,
                                                    w.sim.requestCount() + 2};
    w.sim.setFaults(faults);
    QTRY_VERIFY_WITH_TIMEOUT(status.contains(u"Watching: UART 1: Answer timeout from PLC"_s), 4000);
    QVERIFY(watch->isChecked());
    QVERIFY(w.dialogs.shown.isEmpty());

    // While another operation runs, no read is made; it comes once that ends.
    std::atomic<bool> release = false;
    QTRY_VERIFY(!w.main.tabContext().session().isBusy());
    QVERIFY(w.main.tabContext().run(
        [&release](PlcPort &, const TransferProgress &) {
            while (!release)
                QThread::msleep(5);
        },
        TabContext::ProgressWindow::Hidden));
    const int before = w.sim.requestCount();
    QTest::qWait(1500);
    QCOMPARE(w.sim.requestCount(), before);
    release = true;
    QTRY_VERIFY_WITH_TIMEOUT(w.sim.requestCount() > before, 2000);

    w.sim.setWord(0x2008, 0x4003);
    QTRY_VERIFY_WITH_TIMEOUT(!watch->isChecked(), 2500);
    QCOMPARE(status.last(), u"Watching stopped: UART 1 is not a Modbus master"_s);
    const int stopped = w.sim.requestCount();
    QTest::qWait(1200);
    QCOMPARE(w.sim.requestCount(), stopped);
    // A read by the button shows the plain columns again.
    w.sim.setWord(0x2008, 0xC001);
    QVERIFY(w.read(1));
    QCOMPARE(shownRows(w.grid(1)).first().size(), 3);
}

QTEST_MAIN(TestModbusDiagTab)
#include "tst_modbusdiagtab.moc"
