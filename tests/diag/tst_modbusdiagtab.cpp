#include "diag/modbusdiagtab.h"
#include "diag/modbuserrorbuffer.h"
#include "link/inifile.h"
#include "link/plcframe.h"
#include "modbus/modbusfixture.h"
#include "modbus/requesttable.h"
#include "modbus/uarttab.h"
#include "plcsimulator.h"
#include "simport.h"
#include "support/gridrows.h"
#include "support/scripteddialogs.h"
#include "widgets/gridview.h"
#include "widgets/tabcontext.h"
#include "window/mainwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
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
    void watchYieldsToAConfirmedWrite_data();
    void watchYieldsToAConfirmedWrite();
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
    QCOMPARE(panel->findChild<QPushButton *>(u"Command4"_s)->text(), u"Read modbus buffer &1"_s);
    QCOMPARE(panel->findChild<QPushButton *>(u"Command6"_s)->text(), u"Read modbus buffer &2"_s);
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
    // A slave's empty table is not a clean buffer: the read says so.
    QCOMPARE(w.dialogs.messages(),
             QStringList({u"UART 1 is not a Modbus master"_s, u"Answer timeout from PLC"_s}));
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
    QStringList withdrawn;
    connect(&w.main.tabContext(), &TabContext::statusMessage, this,
            [&status](const QString &text) { status << text; });
    connect(&w.main.tabContext(), &TabContext::statusWithdrawn, this,
            [&withdrawn](const QString &text) { withdrawn << text; });
    // UART 1's requests show their slots' health while the watch runs.
    GridView *requests = w.main.findChild<GridView *>(u"grid"_s);
    requests->setEntries({{"1", "1", "1", "0", "0", "1", "100"},
                          {"2", "2", "1", "0", "1", "1", "100"},
                          {"3", "3", "1", "0", "2", "1", "100"}});
    const auto mark = [requests](int row) {
        return requests->grid()->cell(row, 0).data(GridModel::MarkRole).toInt();
    };
    const auto health = [requests](int row) {
        return requests->grid()->cell(row, 0).data(Qt::ToolTipRole).toString();
    };
    QCOMPARE(mark(1), 0);
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
    QCOMPARE(mark(1), int(SlotHealth::NoError));
    QCOMPARE(health(1), u"No error"_s);
    QCOMPARE(mark(2), int(SlotHealth::ActiveError));
    QVERIFY2(health(2).startsWith(u"Active error: illegal register address, since "_s) &&
                 health(2).endsWith(u", 1 time active"_s),
             qPrintable(health(2)));
    // Unchanged in the next read, it no longer stands out.
    QTRY_VERIFY_WITH_TIMEOUT(!highlighted(2), 2500);
    w.sim.setMemory(0x3601, QByteArray::fromHex("00"));
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(w.grid(1)).at(2).at(1), u"No error"_s, 2500);
    QCOMPARE(shownRows(w.grid(1)).at(2).at(3), QString());
    QCOMPARE(mark(2), int(SlotHealth::NoError));
    // The diag rows carry the request's colours.
    const auto diagMark = [&w](int row) {
        return w.grid(1)->grid()->cell(row, 0).data(GridModel::MarkRole).toInt();
    };
    QCOMPARE(diagMark(2), int(SlotHealth::NoError));
    // A request changed since its slot was read has no health until the next read.
    requests->grid()->setText(3, 6, u"200"_s);
    QCOMPARE(mark(3), 0);
    QCOMPARE(mark(2), int(SlotHealth::NoError));
    QTRY_COMPARE_WITH_TIMEOUT(mark(3), int(SlotHealth::NoError), 2500);

    SimFaults faults;
    faults.perRequest[SimFault::Silent].ordinals = {w.sim.requestCount() + 1,
                                                    w.sim.requestCount() + 2};
    w.sim.setFaults(faults);
    QTRY_VERIFY_WITH_TIMEOUT(status.contains(u"Watching: UART 1: Answer timeout from PLC"_s), 4000);
    QVERIFY(watch->isChecked());
    QVERIFY(w.dialogs.shown.isEmpty());
    // What the failed read would have told is not known: grey, with the
    // state last read in the tooltip.
    QCOMPARE(mark(2), SlotHealth::Unread);
    QCOMPARE(diagMark(2), SlotHealth::Unread);
    QCOMPARE(health(2), u"Not known: the last read failed (Answer timeout from PLC). Last read: "
                        "No error"_s);
    // The next read works: the failure is taken back from the status bar.
    QTRY_VERIFY_WITH_TIMEOUT(withdrawn.contains(u"Watching: UART 1: Answer timeout from PLC"_s),
                             2500);
    QCOMPARE(mark(2), int(SlotHealth::NoError));
    QCOMPARE(diagMark(2), int(SlotHealth::NoError));

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
    QCOMPARE(mark(2), 0); // no watch, no marks
    const int stopped = w.sim.requestCount();
    QTest::qWait(1200);
    QCOMPARE(w.sim.requestCount(), stopped);
    // A read by the button shows the plain columns again.
    w.sim.setWord(0x2008, 0xC001);
    QVERIFY(w.read(1));
    QCOMPARE(shownRows(w.grid(1)).first().size(), 3);
}

void TestModbusDiagTab::watchYieldsToAConfirmedWrite_data()
{
    QTest::addColumn<bool>("backup"); // backups on, and the backup cannot be kept
    QTest::newRow("confirmed") << false;
    QTest::newRow("written without a backup") << true;
}

// Watching every second, "Write to PLC" is confirmed (and, when the backup
// fails, "Write without a backup?" answered Yes) after the boxes were open
// for longer than the interval: no read starts while they are open, and the
// write goes out in full.
void TestModbusDiagTab::watchYieldsToAConfirmedWrite()
{
    QFETCH(bool, backup);
    DiagWindow w;
    w.sim.setWord(0x2008, 0xC003);
    w.sim.setWord(0x2006, 0x4001);
    w.main.findChild<QAction *>(u"backup_first"_s)->setChecked(backup);
    if (backup) {
        QFile blocking(w.main.backupFolder()); // a file where the folder goes
        QVERIFY(blocking.open(QIODevice::WriteOnly));
    }
    UartTab &uart = w.main.uart1Tab();
    uart.selectRole(0);
    uart.grid()->setEntries(RequestTable::fromRows({{1, 10, 0, 100, 1, 1000}}));
    uart.grid()->setEnabled(true);
    w.main.findChild<QSpinBox *>(u"MB_watch_interval"_s)->setValue(1);
    w.main.findChild<QCheckBox *>(u"MB_watch"_s)->setChecked(true);
    QTRY_VERIFY(w.sim.requestCount() > 0 && !w.main.tabContext().session().isBusy());

    // The confirmation, or the question after the failed backup, stays open
    // until a read would start, or for longer than the interval.
    QList<bool> readWhileOpen;
    int boxes = 0;
    w.dialogs.whileOpen = [&w, &readWhileOpen, &boxes, backup] {
        if (boxes++ == (backup ? 1 : 0))
            readWhileOpen << QTest::qWaitFor(
                [&w] { return w.main.tabContext().session().isBusy(); }, 1300);
    };
    w.dialogs.confirmations = {true, true};
    const int before = w.sim.requestCount();
    uart.findChild<QPushButton *>(u"Command19"_s)->click();
    const QByteArray last = writeFrame(u"2002"_s, u"0080"_s, "E10");
    // The simulator's log is read only while no operation runs on it.
    QTRY_VERIFY_WITH_TIMEOUT(!w.main.tabContext().session().isBusy() &&
                                 w.sim.requests().mid(before).contains(last),
                             5000);
    w.dialogs.whileOpen = {};
    QCOMPARE(readWhileOpen, QList<bool>{false});
    QCOMPARE(boxes, backup ? 2 : 1);
    const QList<QByteArray> sent = w.sim.requests().mid(before);
    const qsizetype begin = sent.indexOf(writeFrame(u"3000"_s, u"0FFF"_s));
    QVERIFY(begin >= 0);
    QCOMPARE(sent.mid(begin, 4).last(), writeFrame(u"3000"_s, u"0000"_s));
    QVERIFY(w.main.findChild<QCheckBox *>(u"MB_watch"_s)->isChecked());
    // The watch goes on once the write has ended.
    const int written = w.sim.requestCount();
    QTRY_VERIFY_WITH_TIMEOUT(w.sim.requestCount() > written, 2500);
}

QTEST_MAIN(TestModbusDiagTab)
#include "tst_modbusdiagtab.moc"
