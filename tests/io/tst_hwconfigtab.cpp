#include "io/hwconfigtab.h"
#include "plcsimulator.h"
#include "simport.h"
#include "support/gridrows.h"
#include "support/scripteddialogs.h"
#include "widgets/gridview.h"
#include "widgets/tabcontext.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The tab on its own context, shown.
struct Tab
{
    PlcSimulator sim;
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    TabContext context{dir.filePath(u"set.ini"_s), dialogs,
                       [this] { return std::make_unique<SimPort>(sim); }, nullptr};
    HwConfigTab tab{context};

    Tab()
    {
        tab.resize(600, 700);
        tab.show();
        QApplication::setActiveWindow(&tab);
        if (!QTest::qWaitForWindowActive(&tab))
            qWarning("the tab is not active");
    }
    GridView *grid() const { return tab.grid(); }
    QComboBox *selector() const
    {
        for (QComboBox *combo : grid()->viewport()->findChildren<QComboBox *>()) {
            if (combo->isVisible())
                return combo;
        }
        return nullptr;
    }
    void click(int row, int column) const
    {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                          grid()->cellRect(row, column).center());
    }
    // Chooses an item of the selector on a point's row, as the user does.
    void choose(int row, int item) const
    {
        click(row, 1);
        QComboBox *combo = selector();
        QVERIFY(combo);
        combo->setCurrentIndex(item);
        Q_EMIT combo->activated(item);
    }
};

} // namespace

// The "HW config" tab: its table, the selector and its buttons.
class TestHwConfigTab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsWithLabelledPoints();
    void selectorAssignsInTurn();
    void selectorOnlyOnFunctionCells();
    void buttonsInactiveButWorking();
};

void TestHwConfigTab::startsWithLabelledPoints()
{
    Tab t;
    const TextTable rows = shownRows(t.grid());
    QCOMPARE(t.grid()->objectName(), u"MSFlexGrid1"_s);
    QCOMPARE(rows.size(), 23);
    QCOMPARE(rows.first(), (QStringList{"Address", "Function", "Prog.name"}));
    QCOMPARE(rows.at(1), (QStringList{"IO  0", "", ""}));
    QCOMPARE(rows.at(21), (QStringList{"IO  20", "", ""}));
    QCOMPARE(rows.at(22), (QStringList{"", "", ""}));
    QCOMPARE(t.tab.configuration(), IoAssignment());
    QVERIFY(t.grid()->verticalHeader()->defaultSectionSize() >= QComboBox().sizeHint().height());
}

void TestHwConfigTab::selectorAssignsInTurn()
{
    Tab t;
    t.click(1, 1);
    QComboBox *combo = t.selector();
    QVERIFY(combo);
    QCOMPARE(combo->geometry(), t.grid()->cellRect(1, 1));
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(1), u"Output-Y"_s);
    for (auto [row, item] : {std::pair{1, 0}, {2, 1}, {3, 0}})
        t.choose(row, item);
    QCOMPARE(t.grid()->text(1, 2) + t.grid()->text(2, 2) + t.grid()->text(3, 2), u"X0Y0X1"_s);
    QCOMPARE(t.grid()->text(2, 1), u"Output-Y"_s);
    t.choose(6, 0); // out of turn: the Function text only
    QCOMPARE(t.grid()->text(6, 1) + u'|' + t.grid()->text(6, 2), u"Input -X|"_s);
    t.choose(1, 2);
    QCOMPARE(t.tab.configuration().points.at(0), (IoPoint{0, u"Not use"_s, {}}));
    QCOMPARE(t.tab.configuration().inputMask(), 0x4u);

    // The selector follows the column's width.
    t.grid()->setColumnWidth(1, 150);
    t.click(4, 1);
    QTRY_COMPARE(t.selector()->geometry(), t.grid()->cellRect(4, 1));
    QVERIFY(t.selector()->width() > 140);
}

void TestHwConfigTab::selectorOnlyOnFunctionCells()
{
    Tab t;
    t.click(3, 2);
    QVERIFY(!t.selector());
    t.click(22, 1);
    QVERIFY(!t.selector());
    t.click(2, 0);
    QVERIFY(!t.selector());
    // From the keys, the selector opens with its list shown.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        t.grid()->setCursorCell(4, 1);
        QTest::keyClick(t.grid(), key);
        QComboBox *combo = t.selector();
        QVERIFY(combo);
        QTRY_VERIFY(combo->view()->isVisible());
        combo->hidePopup();
        QTest::keyClick(combo, Qt::Key_Escape);
        QTRY_VERIFY(!t.selector());
    }
}

// Inactive in the window, as they overwrite UART2's words; built all the same.
void TestHwConfigTab::buttonsInactiveButWorking()
{
    Tab t;
    for (const char *name : {"Command12", "Command13", "Command14"})
        QVERIFY(!t.tab.findChild<QPushButton *>(QLatin1String(name))->isEnabled());
    t.choose(1, 1);
    t.tab.downloadToPlc();
    QTRY_VERIFY(!t.context.session().isBusy());
    QCOMPARE(t.sim.memory(0x2000, 8).toHex().toUpper(), QByteArray("0000000001000000"));
    t.tab.newConfig();
    QCOMPARE(t.tab.configuration(), IoAssignment());
    QCOMPARE(t.grid()->cursorRow(), 21);
    QCOMPARE(t.grid()->cursorColumn(), 1);
    t.tab.uploadFromPlc();
    QTRY_VERIFY(!t.context.session().isBusy());
    QCOMPARE(t.tab.configuration().points.at(0), (IoPoint{2, u"Output -Y"_s, u"Y0"_s}));
    QVERIFY(t.dialogs.shown.isEmpty());
}

QTEST_MAIN(TestHwConfigTab)
#include "tst_hwconfigtab.moc"
