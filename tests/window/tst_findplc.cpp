// "Find PLC" of the link settings form against two plc-sim at different
// speeds on pseudo-terminals.
#include "link/inifile.h"
#include "link/qtplcport.h"
#include "link/traffic.h"
#include "simprocess.h"
#include "support/buildpath.h"
#include "support/scripteddialogs.h"
#include "window/comsetting.h"

#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFindPlc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findsEachPlcAtItsSpeed();
};

// Each simulator answers only at its own speed; the one chosen fills the
// form, and nothing reaches the settings file before "OK".
void TestFindPlc::findsEachPlcAtItsSpeed()
{
    SimProcess slow(buildPath(PLC_SIM_PATH));
    SimProcess fast(buildPath(PLC_SIM_PATH));
    QVERIFY(slow.start({u"--speed"_s, u"19200"_s}));
    QVERIFY(fast.start({u"--speed"_s, u"57600"_s, u"--cpu-type"_s, u"0102"_s}));
    const QString ini = slow.path(u"set.ini"_s);
    Ini_write(ini, u"PORTS"_s, u"COM2"_s, slow.link());
    // The same device named another way is tried once.
    const QFileInfo link(slow.link());
    Ini_write(ini, u"PORTS"_s, u"COM3"_s, link.path() + u"/./"_s + link.fileName());
    ScriptedDialogs dialogs;
    // The ports tried report to the traffic monitor under their device names.
    TrafficRecorder recorder;
    recorder.setEnabled(true);
    QStringList answered;
    connect(&recorder, &TrafficRecorder::entry, &recorder, [&answered](const TrafficEntry &e) {
        if (e.kind == TrafficEntry::Kind::Answer)
            answered << e.port + u' ' + e.meaning;
    });
    ComSetting form(ini, dialogs, std::make_unique<QtPlcPort>(ini), nullptr,
                    [&recorder](const QString &device, std::unique_ptr<PlcPort> port) {
                        return std::make_unique<RecordingPort>(std::move(port), recorder, device);
                    });
    form.findChild<QComboBox *>(u"Bit_setting"_s)->setCurrentIndex(1);
    // A device typed in the form, not stored yet, is tried too.
    form.findChild<QComboBox *>(u"Port_num"_s)->setCurrentIndex(4);
    form.findChild<QComboBox *>(u"Port_device"_s)->setEditText(fast.link());
    form.findChild<QPushButton *>(u"find_plc"_s)->click();
    QVERIFY(form.isTesting());
    QTRY_VERIFY_WITH_TIMEOUT(!form.isTesting(), 15000);
    auto *found = form.findChild<QTableWidget *>(u"found_plcs"_s);
    QStringList lines;
    for (int row = 0; row < found->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < found->columnCount(); ++column)
            cells << found->item(row, column)->text();
        lines << cells.join(u" | "_s);
    }
    QCOMPARE(lines, QStringList({slow.link() + u" | 19200 baud | 4660"_s,
                                 fast.link() + u" | 57600 baud | 258"_s}));
    // The Device list offers what was found, beside the devices mapped.
    auto *devices = form.findChild<QComboBox *>(u"Port_device"_s);
    QVERIFY(devices->findText(fast.link()) >= 0 && devices->findText(slow.link()) >= 0);
    // The device column is wide enough for the device's path.
    QVERIFY(found->columnWidth(0) > found->fontMetrics().horizontalAdvance(slow.link()));
    QTRY_VERIFY(answered.contains(fast.link() + u" read 0E02 (2): 0102"_s));
    QVERIFY(answered.contains(slow.link() + u" probe: ACK"_s));
    const QString before = Ini_read(ini, u"COM"_s, u"Speed"_s, u"none"_s);
    found->cellClicked(1, 1);
    QCOMPARE(form.findChild<QComboBox *>(u"Port_num"_s)->currentText(), u"COM5"_s);
    QCOMPARE(form.findChild<QComboBox *>(u"Speed_set"_s)->currentText(), u"57600"_s);
    // Enter on a row takes it too, and the form stays open.
    form.show();
    found->setFocus();
    found->setCurrentCell(0, 2);
    QTest::keyClick(found, Qt::Key_Return);
    QVERIFY(form.isVisible() && form.result() == 0);
    QCOMPARE(form.findChild<QComboBox *>(u"Port_num"_s)->currentText(), u"COM2"_s);
    QCOMPARE(Ini_read(ini, u"COM"_s, u"Speed"_s, u"none"_s), before);

    // A device typed for COM5 and turned down at OK's question gives way to
    // the PLC taken from the list: the form shows COM5 with its device, and
    // OK keeps that and nothing else.
    auto *port = form.findChild<QComboBox *>(u"Port_num"_s);
    auto *device = form.findChild<QComboBox *>(u"Port_device"_s);
    port->setCurrentIndex(4);
    device->setEditText(u"/dev/plc-no-such-tty"_s);
    auto *ok = form.findChild<QPushButton *>(u"Command1"_s);
    ok->click(); // "No" to mapping a device that is not there
    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY(form.result() == 0);
    found->cellClicked(1, 0);
    QCOMPARE(port->currentText(), u"COM5"_s);
    QCOMPARE(device->currentText(), fast.link());
    ok->click();
    QCOMPARE(dialogs.shown.size(), 1); // no second question
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(QtPlcPort::deviceFor(5, ini), serialDevicePath(fast.link()));
    QCOMPARE(QtPlcPort::deviceFor(2, ini), slow.link());
    QCOMPARE(Ini_read(ini, u"PORTS"_s, u"COM1"_s, u"none"_s), u"none"_s);

    // "Stop" ends a search under way at once.
    auto *find = form.findChild<QPushButton *>(u"find_plc"_s);
    find->click();
    QCOMPARE(find->text(), u"Stop"_s);
    find->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.isTesting(), 1000);
    QCOMPARE(find->text(), u"F&ind PLC"_s);
}

QTEST_MAIN(TestFindPlc)
#include "tst_findplc.moc"
