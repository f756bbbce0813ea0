// "Find PLC" of the link settings form against two plc-sim at different
// speeds on pseudo-terminals.
#include "link/inifile.h"
#include "link/qtplcport.h"
#include "simprocess.h"
#include "support/scripteddialogs.h"
#include "window/comsetting.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
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
    SimProcess slow(QStringLiteral(PLC_SIM_PATH));
    SimProcess fast(QStringLiteral(PLC_SIM_PATH));
    QVERIFY(slow.start({u"--speed"_s, u"19200"_s}));
    QVERIFY(fast.start({u"--speed"_s, u"57600"_s, u"--cpu-type"_s, u"0102"_s}));
    const QString ini = slow.path(u"set.ini"_s);
    Ini_write(ini, u"PORTS"_s, u"COM2"_s, slow.link());
    ScriptedDialogs dialogs;
    ComSetting form(ini, dialogs, std::make_unique<QtPlcPort>(ini));
    form.findChild<QComboBox *>(u"Bit_setting"_s)->setCurrentIndex(1);
    // A device no COMn stands for is tried too, once its COMn is typed in.
    Ini_write(ini, u"PORTS"_s, u"COM5"_s, fast.link());
    form.findChild<QPushButton *>(u"find_plc"_s)->click();
    QVERIFY(form.isTesting());
    QTRY_VERIFY_WITH_TIMEOUT(!form.isTesting(), 15000);
    auto *found = form.findChild<QListWidget *>(u"found_plcs"_s);
    QStringList lines;
    for (int i = 0; i < found->count(); ++i)
        lines << found->item(i)->text();
    QCOMPARE(lines, QStringList({slow.link() + u"  19200 baud  CPU type 4660"_s,
                                 fast.link() + u"  57600 baud  CPU type 258"_s}));
    const QString before = Ini_read(ini, u"COM"_s, u"Speed"_s, u"none"_s);
    found->itemClicked(found->item(1));
    QCOMPARE(form.findChild<QComboBox *>(u"Port_num"_s)->currentText(), u"COM5"_s);
    QCOMPARE(form.findChild<QComboBox *>(u"Speed_set"_s)->currentText(), u"57600"_s);
    found->itemClicked(found->item(0));
    QCOMPARE(form.findChild<QComboBox *>(u"Port_num"_s)->currentText(), u"COM2"_s);
    QCOMPARE(Ini_read(ini, u"COM"_s, u"Speed"_s, u"none"_s), before);

    // "Stop" ends a search under way at once.
    auto *find = form.findChild<QPushButton *>(u"find_plc"_s);
    find->click();
    QCOMPARE(find->text(), u"Stop"_s);
    find->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.isTesting(), 1000);
    QCOMPARE(find->text(), u"Find PLC"_s);
}

QTEST_MAIN(TestFindPlc)
#include "tst_findplc.moc"
