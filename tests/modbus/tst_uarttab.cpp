#include "link/plcframe.h"
#include "onewire/onewiretab.h"
#include "support/gridrows.h"
#include "uartwindow.h"
#include "widgets/rowdialog.h"
#include "widgets/tabcontext.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

using namespace Qt::StringLiterals;

namespace {

QLabel *labelOf(const QWidget *field)
{
    const QList<QLabel *> labels = field->window()->findChildren<QLabel *>();
    const auto found = std::find_if(labels.begin(), labels.end(),
                                    [field](const QLabel *l) { return l->buddy() == field; });
    return found == labels.end() ? nullptr : *found;
}

// The in-cell editor while it is shown.
QLineEdit *openEditor(GridView *grid)
{
    for (QLineEdit *editor : grid->viewport()->findChildren<QLineEdit *>()) {
        if (editor->isVisible())
            return editor;
    }
    return nullptr;
}

} // namespace

// The role buttons, the frames they show and the slave settings, for both
// twins; and the request table's in-cell editor.
class TestUartTab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsUnused_data();
    void startsUnused();
    void roleShowsFrames_data();
    void roleShowsFrames();

    void editorOpensOnCurrentCell();
    void enterWritesAndMovesDown();
    void cellRefusals_data();
    void cellRefusals();
    void leavingEditorDropsText();
    void tabWorksWithoutMainWindow();
    void marksTimeoutsTheLineCannotMeet();
    void copiesAndPastesRows();
    void undoesAndRedoesFromTheEditMenu();
    void buttonsActOnTheHighlightedRow_data();
    void buttonsActOnTheHighlightedRow();
};

void TestUartTab::startsUnused_data()
{
    QTest::addColumn<int>("uart");
    QTest::addColumn<QStringList>("names"); // role group, address, timeout
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("timeoutLength");
    QTest::newRow("UART1") << 1 << QStringList{"Option4", "Text1", "Text2"} << "1" << 32767;
    QTest::newRow("UART2") << 2 << QStringList{"Option5", "Text16", "Text5"} << "2" << 5;
}

void TestUartTab::startsUnused()
{
    QFETCH(int, uart);
    QFETCH(QStringList, names);
    UartWindow w;
    auto *roles = w.child<QButtonGroup>(uart, names[0]);
    QCOMPARE(roles->checkedButton()->objectName(), names[0] + u"_2"_s);
    QCOMPARE(roles->checkedButton()->text(), u"Not use"_s);
    QCOMPARE(w.tab(uart).optionHw(), 2);

    auto *address = w.child<QLineEdit>(uart, names[1]);
    auto *timeout = w.child<QLineEdit>(uart, names[2]);
    QTEST(address->text(), "address");
    QCOMPARE(typingLimit(address), 3);
    QCOMPARE(timeout->text(), u"2"_s);
    QTEST(typingLimit(timeout), "timeoutLength");
    QCOMPARE(labelOf(address)->text(), u"MB address"_s);
    QCOMPARE(labelOf(timeout)->text(), u"Timeout,[msec]"_s);
    QVERIFY(address->isEnabled() && !timeout->isEnabled() && !labelOf(timeout)->isEnabled());
    QCOMPARE(shownRows(w.tab(uart).grid()),
             TextTable({headerFromFormat(RequestTable::format), QStringList(7)}));
}

void TestUartTab::roleShowsFrames_data()
{
    QTest::addColumn<int>("uart");
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("master");
    QTest::addColumn<bool>("slave");
    for (int uart : {1, 2}) {
        QTest::addRow("UART%d master", uart) << uart << 0 << true << false;
        QTest::addRow("UART%d slave", uart) << uart << 1 << false << true;
        QTest::addRow("UART%d not use", uart) << uart << 2 << false << false;
    }
}

// On a fresh start no row is chosen, so a master's table takes no clicks;
// once a row exists the table stays enabled through role changes.
void TestUartTab::roleShowsFrames()
{
    QFETCH(int, uart);
    QFETCH(int, role);
    UartWindow w;
    w.open(uart);
    const QString suffix = uart == 1 ? QString() : u"2"_s;
    const QString group = uart == 1 ? u"Option4"_s : u"Option5"_s;
    w.child<QRadioButton>(uart, group + u'_' + QString::number(role))->click();
    QCOMPARE(w.tab(uart).optionHw(), role);
    QTEST(w.child<QGroupBox>(uart, u"Frame_master"_s + suffix)->isVisible(), "master");
    QTEST(w.child<QGroupBox>(uart, u"Frame_slave"_s + suffix)->isVisible(), "slave");
    QVERIFY(w.tab(uart).speedList()->isVisible() && w.tab(uart).parityList()->isVisible());
    QCOMPARE(w.tab(uart).grid()->isEnabled(), role != 0);
    if (role == 0) {
        // "Add slave", "Modify slave", "Delete slave", left to right.
        const QStringList buttons =
            uart == 1 ? QStringList{u"Command1"_s, u"Command2"_s, u"Command3"_s}
                      : QStringList{u"Command27"_s, u"Command28"_s, u"Command29"_s};
        QList<int> lefts;
        for (const QString &name : buttons)
            lefts << w.child<QAbstractButton>(uart, name)->x();
        QVERIFY(lefts[0] < lefts[1] && lefts[1] < lefts[2]);
    }

    w.tab(uart).requestTable()->addRow();
    w.dialog(uart)->findChild<QAbstractButton *>(u"Command2"_s)->click(); // "OK"
    w.tab(uart).selectRole(1);
    w.tab(uart).selectRole(0);
    QVERIFY(w.tab(uart).grid()->isEnabled());
}

void TestUartTab::editorOpensOnCurrentCell()
{
    UartWindow w;
    w.master(1, {{3, 100, 0, 0, 1, 100}, {4, 20, 7, 8, 0, 250}});
    GridView *grid = w.tab(1).grid();
    grid->setFocus();
    grid->setCursorCell(2, 6);
    QTest::keyClick(grid, Qt::Key_Return);
    QLineEdit *editor = openEditor(grid);
    QVERIFY(editor);
    QCOMPARE(editor->text(), u"250"_s);
    QCOMPARE(editor->selectedText(), u"250"_s);
    QTest::keyClick(editor, Qt::Key_Escape);

    w.clickCell(1, 1, 3);
    QCOMPARE(w.tab(1).requestTable()->chosenRow(), 1);
    QCOMPARE(w.tab(1).requestTable()->chosenColumn(), 3);
    const QRect cell = grid->cellRect(1, 3);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(openEditor(grid)->selectedText(), u"0"_s);

    // The slot column is fixed; Delete empties an editable cell unchecked.
    QTest::keyClick(openEditor(grid), Qt::Key_Escape);
    grid->setCursorCell(1, 0);
    QTest::keyClick(grid, Qt::Key_Return);
    QVERIFY(!openEditor(grid));
    grid->setCursorCell(1, 1);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(grid->text(1, 1), QString());
    QVERIFY(w.dialogs.shown.isEmpty());
}

void TestUartTab::enterWritesAndMovesDown()
{
    UartWindow w;
    w.master(1, {{3, 100, 0, 0, 1, 100}});
    GridView *grid = w.tab(1).grid();
    grid->setFocus();
    for (int row : {1, 2}) {
        grid->setCursorCell(row, 2);
        QTest::keyClick(grid, Qt::Key_Return);
        QTest::keyClicks(openEditor(grid), u"4%1"_s.arg(row));
        QTest::keyClick(openEditor(grid), Qt::Key_Return);
        QCOMPARE(grid->text(row, 2), u"4%1"_s.arg(row));
        QVERIFY(grid->hasFocus());
        QCOMPARE(grid->cursorRow(), 2); // the open last row stays current
    }
    QVERIFY(w.dialogs.shown.isEmpty());
}

void TestUartTab::cellRefusals_data()
{
    QTest::addColumn<int>("uart");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // empty: accepted
    const QString one = u"You are enter incorrect value ! Pls use correct value!"_s;
    const QString outer = u"You are enter incorrect value ! Pls use correct value !"_s;
    const QString inner = u"You are enter incorrect value !  Pls use correct value !"_s;
    QTest::newRow("1: address 256") << 1 << 1 << "256" << one;
    QTest::newRow("1: address 255") << 1 << 1 << "255"
                                    << "";
    QTest::newRow("1: slave 65536") << 1 << 3 << "65536" << one;
    QTest::newRow("1: timeout 0") << 1 << 6 << "0"
                                  << "";
    QTest::newRow("1: function sign") << 1 << 5 << "+1" << one;
    QTest::newRow("2: address 300") << 2 << 1 << "300" << outer;
    QTest::newRow("2: count -1") << 2 << 2 << "-1" << inner;
    QTest::newRow("2: slave fraction") << 2 << 3 << "1.5" << inner;
    QTest::newRow("2: timeout letters") << 2 << 6 << "abc" << outer;
}

void TestUartTab::cellRefusals()
{
    QFETCH(int, uart);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    UartWindow w;
    w.master(uart, {{3, 100, 0, 0, 1, 100}});
    GridView *grid = w.tab(uart).grid();
    grid->setFocus();
    grid->setCursorCell(1, column);
    QTest::keyClick(grid, Qt::Key_Return);
    openEditor(grid)->setText(typed);
    QTest::keyClick(openEditor(grid), Qt::Key_Return);
    QCOMPARE(grid->text(1, column), message.isEmpty() ? typed : QString());
    QCOMPARE(w.dialogs.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty())
        QCOMPARE(w.dialogs.shown.first().title, QString());
    QCOMPARE(grid->cursorRow(), 2);
}

// Focus moving elsewhere, Tab and Escape all drop what was typed.
void TestUartTab::leavingEditorDropsText()
{
    UartWindow w;
    w.master(1, {{3, 100, 0, 0, 1, 100}});
    GridView *grid = w.tab(1).grid();
    for (int way = 0; way < 3; ++way) {
        grid->setFocus();
        grid->setCursorCell(1, 4);
        QTest::keyClick(grid, Qt::Key_Return);
        QLineEdit *editor = openEditor(grid);
        QTest::keyClicks(editor, u"999"_s);
        if (way == 0)
            w.tab(1).speedList()->setFocus();
        else
            QTest::keyClick(editor, way == 1 ? Qt::Key_Tab : Qt::Key_Escape);
        QTRY_VERIFY(!openEditor(grid));
        QCOMPARE(grid->text(1, 4), u"0"_s);
    }
    QVERIFY(w.dialogs.shown.isEmpty());
}

// A tab needs only its context: the dialogs, the settings file and a session.
void TestUartTab::tabWorksWithoutMainWindow()
{
    PlcSimulator sim;
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    TabContext context(
        dir.filePath(u"set.ini"_s), dialogs, [&sim] { return std::make_unique<SimPort>(sim); },
        nullptr);
    UartTab tab(UartTabDescription::uart2(), context);
    QCOMPARE(tab.configuration(), UartSettings::defaults(2));
    UartSettings master = UartSettings::defaults(2);
    master.role = ModbusRole::Master;
    master.table = RequestTable::fromRows({{1, 10, 0, 100, 1, 1000}});
    tab.apply(master);
    QCOMPARE(tab.configuration(), master);
    tab.writeToPlc();
    QTRY_VERIFY(!context.session().isBusy());
    QCOMPARE(sim.requests().size(), 5);
    QCOMPARE(sim.requests().at(2), PlcFrame::request("E11", "2902", "08", "010A00006400E813"));
    QCOMPARE(dialogs.shown.size(), 1); // the question, no message
    QCOMPARE(dialogs.shown.first().kind, ScriptedDialogs::Shown::Confirmation);
}

void TestUartTab::marksTimeoutsTheLineCannotMeet()
{
    UartWindow w;
    w.master(1, {{1, 125, 0, 0, 1, 100}, {1, 125, 0, 0, 1, 300}});
    w.tab(1).speedList()->setCurrentIndex(0);
    const GridModel *model = w.tab(1).grid()->grid();
    QVERIFY(model->cell(1, 6).data(GridModel::WarningRole).toBool());
    QCOMPARE(model->cell(1, 6).data(Qt::ToolTipRole).toString(),
             u"needs at least 282 ms at 9600 baud"_s);
    QVERIFY(!model->cell(2, 6).data(GridModel::WarningRole).toBool());
    w.tab(1).speedList()->setCurrentIndex(4);
    QVERIFY(!model->cell(1, 6).data(GridModel::WarningRole).toBool());
    QVERIFY(!Check_grid(w.tab(1).configuration().table)); // never blocks a download
    // The slave address as a device manual numbers it.
    QCOMPARE(model->cell(1, RequestTable::AddressSlave).data(Qt::ToolTipRole).toString(),
             u"holding register 40001 (protocol address 0)"_s);
}

// A table copied to a spreadsheet and pasted back gives the same rows; a
// paste past 128 rows, or with other columns, changes nothing.
void TestUartTab::copiesAndPastesRows()
{
    UartWindow w;
    const QList<RequestRow> rows = {{1, 10, 0, 100, 1, 1000}, {3, 100, 0, 0, 1, 100}};
    w.master(1, rows);
    GridView *grid = w.tab(1).grid();
    grid->setFocus();
    grid->clearSelection();
    QTest::keySequence(grid, QKeySequence::Copy);
    const QString copied = QGuiApplication::clipboard()->text();
    QVERIFY(copied.startsWith(u"Slot\tAddress\tNum word"_s));
    w.master(2, {});
    GridView *other = w.tab(2).grid();
    other->setFocus();
    QTest::keySequence(other, QKeySequence::Paste);
    QCOMPARE(other->entries(), RequestTable::fromRows(rows));
    QCOMPARE(other->rows(), 4);

    QGuiApplication::clipboard()->setText(u"1,2,3\n"_s);
    QTest::keySequence(other, QKeySequence::Paste);
    QString many;
    for (int i = 0; i < 127; ++i)
        many += u"1\t1\t0\t0\t1\t100\n"_s;
    QGuiApplication::clipboard()->setText(many);
    QTest::keySequence(other, QKeySequence::Paste);
    QCOMPARE(w.dialogs.messages(),
             QStringList({u"Line 1 has 3 columns; the table takes 6."_s,
                          u"The table holds 128 rows at the most; with the 127 pasted it would "
                          "hold 129."_s}));
    QCOMPARE(other->entries(), RequestTable::fromRows(rows));
}

void TestUartTab::buttonsActOnTheHighlightedRow_data()
{
    QTest::addColumn<bool>("sensors"); // the sensor table, else UART 1's requests
    QTest::addColumn<int>("afterAdd"); // the chosen row after the add
    QTest::newRow("requests") << false << 7;
    QTest::newRow("sensors") << true << 3;
}

// Row 3 of six clicked, a row added: the highlighted row is the chosen one,
// and Delete removes that row and highlights the row that takes its place;
// a full table takes no more.
void TestUartTab::buttonsActOnTheHighlightedRow()
{
    QFETCH(bool, sensors);
    QFETCH(int, afterAdd);
    UartWindow w;
    TextTable rows;
    for (int n = 1; n <= 6; ++n)
        rows << (sensors ? QStringList{QString::number(n), "28", "FF", "4C", "5D", "03", "00", "00",
                                       QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')),
                                       QString::number(1000 + 2 * n)}
                         : RequestTable::fromRows({{n, 10, 0, 100 * n, 1, 1000}}).first());
    TableFrame *frame = nullptr;
    if (sensors) {
        AuxSettings aux;
        aux.mode = AuxMode::OneWireMaster;
        aux.sensors = rows;
        w.main->oneWireTab().apply(aux);
        w.main->findChild<QTabWidget *>(u"SSTab1"_s)->setCurrentWidget(&w.main->oneWireTab());
        frame = w.main->oneWireTab().findChild<TableFrame *>(u"Frame3"_s);
    } else {
        w.master(1, {});
        w.tab(1).grid()->setEntries(rows);
        frame = w.tab(1).requestTable();
    }
    GridView *grid = frame->view();
    const auto highlighted = [grid] {
        const QModelIndexList selected = grid->selectionModel()->selectedIndexes();
        return selected.size() == 1 ? GridModel::rowOf(selected.first()) : -1;
    };
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->cellRect(3, 2).center());
    QCOMPARE(highlighted(), 3);

    frame->addRow();
    RowDialog *dialog = frame->findChild<RowDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    dialog->findChild<QAbstractButton *>(u"Command2"_s)->click();
    QCOMPARE(frame->chosenRow(), afterAdd);
    QCOMPARE(highlighted(), afterAdd);
    QCOMPARE(grid->cursorRow(), afterAdd);

    const TextTable before = grid->entries();
    w.dialogs.confirmations = {true};
    frame->deleteRow();
    TextTable expected = before;
    expected.removeAt(afterAdd - 1);
    const auto cells = [](TextTable table) {
        for (QStringList &row : table)
            row.removeFirst();
        return table;
    };
    QCOMPARE(cells(grid->entries()), cells(expected));
    QCOMPARE(highlighted(), afterAdd);
    QCOMPARE(frame->chosenRow(), afterAdd);

    // An upload or load of fewer rows leaves the open row chosen and shown.
    grid->setEntries(rows.mid(0, 1));
    QCOMPARE(frame->chosenRow(), 2);
    QCOMPARE(highlighted(), 2);
    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(frame->chosenRow(), 1);

    // A full table opens no dialog for a 129th row and says why.
    TextTable full;
    for (int n = 0; n < 128; ++n)
        full << rows.at(n % rows.size());
    grid->setEntries(full);
    const qsizetype dialogs = frame->findChildren<RowDialog *>().size();
    frame->addRow();
    QCOMPARE(w.dialogs.messages().last(),
             u"The table holds 128 rows at the most; with the one added it would hold 129."_s);
    QCOMPARE(frame->findChildren<RowDialog *>().size(), dialogs);
    QCOMPARE(grid->entries().size(), 128);
}

// Each change is one step with its name; undo gives back exactly the
// configuration before it, and the unsaved state follows.
void TestUartTab::undoesAndRedoesFromTheEditMenu()
{
    UartWindow w;
    const auto action = [&w](const QString &name) {
        return w.main->findChild<QAction *>(name);
    };
    QAction *undo = action(u"undo"_s);
    QAction *redo = action(u"redo"_s);
    QVERIFY(undo && redo && !undo->isEnabled() && !redo->isEnabled());
    QCOMPARE(undo->shortcut(), QKeySequence(QKeySequence::Undo));
    QCOMPARE(redo->shortcuts().size(), 2);
    const Configuration start = w.main->configuration();

    // Rows pasted from the menu into an empty request table, which takes them.
    w.open(1).selectRole(0);
    QGuiApplication::clipboard()->setText(u"1\t1\t10\t0\t100\t1\t1000\n3\t1\t0\t0\t1\t100\n"_s);
    action(u"paste_rows"_s)->trigger();
    QCOMPARE(w.tab(1).grid()->entries().size(), 2);
    QVERIFY(w.tab(1).grid()->isEnabled());
    QTRY_COMPARE(QString(undo->text()).remove(u'&'), u"Undo Paste 2 rows"_s);
    const Configuration pasted = w.main->configuration();

    w.tab(1).requestTable()->addRow();
    w.dialog(1)->findChild<QAbstractButton *>(u"Command2"_s)->click();
    QTRY_COMPARE(QString(undo->text()).remove(u'&'), u"Undo Add request on UART 1"_s);
    const Configuration added = w.main->configuration();
    w.tab(1).speedList()->setCurrentIndex(0);
    QTRY_COMPARE(QString(undo->text()).remove(u'&'), u"Undo Change UART 1 speed"_s);

    undo->trigger();
    QCOMPARE(w.main->configuration(), added);
    QCOMPARE(QString(redo->text()).remove(u'&'), u"Redo Change UART 1 speed"_s);
    undo->trigger();
    QCOMPARE(w.main->configuration(), pasted);
    undo->trigger();
    undo->trigger(); // the role change before the paste
    QCOMPARE(w.main->configuration(), start);
    QVERIFY(!undo->isEnabled() && !w.main->isModified());
    while (redo->isEnabled())
        redo->trigger();
    QCOMPARE(w.main->configuration().uart1.speed, 0);
    QVERIFY(w.main->isModified());
    QCOMPARE(w.sim.requests(), QList<QByteArray>()); // the PLC is never touched
}

QTEST_MAIN(TestUartTab)
#include "tst_uarttab.moc"
