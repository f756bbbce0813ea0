#include "widgets/gridview.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

const QStringList picks = {"Input -X", "Output-Y", "Not use"};

// A view with a line editor in column 1 and a combo editor in column 2,
// shown in a window of its own.
struct Window
{
    QWidget top;
    QLineEdit elsewhere{&top};
    GridView *view = new GridView(QStringLiteral("grid"),
                                  new GridModel(QStringLiteral("Num | Text | Pick ")), &top);

    Window()
    {
        view->setGeometry(0, 30, 400, 200);
        view->setFixedColumns(1);
        view->editors()->setLineEditor(1);
        view->editors()->setComboEditor(2, picks);
        view->setEntries({{"1", "a", ""}, {"2", "b", "Not use"}});
        top.resize(400, 240);
        top.show();
        QApplication::setActiveWindow(&top);
        if (!QTest::qWaitForWindowActive(&top))
            qWarning("the window is not active");
        view->setFocus();
    }

    template <typename T> T *editor() const
    {
        for (T *e : view->viewport()->findChildren<T *>()) {
            if (e->isVisible())
                return e;
        }
        return nullptr;
    }
    // A real double-click starts with a click on the same cell.
    void doubleClick(int row, int column) const
    {
        click(row, column);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                           view->cellRect(row, column).center());
    }
    void click(int row, int column) const
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->cellRect(row, column).center());
    }
};

} // namespace

// The shared table view's in-cell editors, keys and accessibility.
class TestGridView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lineEditorCommitsWithEnter_data();
    void lineEditorCommitsWithEnter();
    void leavingLineEditorDropsText();
    void deleteEmptiesOnlyWithKeyEditing();
    void comboEditorWritesChosenItem();
    void comboEditorOnlyWhereEditable();
    void cellsReachAccessibility();
    void typingStartsAnEdit_data();
    void typingStartsAnEdit();
    void copyTakesTheCellOrTheRows_data();
    void copyTakesTheCellOrTheRows();
};

void TestGridView::lineEditorCommitsWithEnter_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("byKey");
    QTest::addColumn<int>("nextRow");
    QTest::newRow("double-click, first row") << 1 << false << 2;
    QTest::newRow("Enter key, second row") << 2 << true << 3;
    QTest::newRow("open row stays current") << 3 << true << 3;
}

void TestGridView::lineEditorCommitsWithEnter()
{
    QFETCH(int, row);
    QFETCH(bool, byKey);
    Window w;
    QSignalSpy committed(w.view, &GridView::cellCommitted);
    w.view->setKeyEditing(byKey);
    w.view->setCursorCell(row, 1);
    if (byKey)
        QTest::keyClick(w.view, Qt::Key_Return);
    else
        w.doubleClick(row, 1);
    QLineEdit *editor = w.editor<QLineEdit>();
    QVERIFY(editor);
    QCOMPARE(editor->geometry(), w.view->cellRect(row, 1));
    QCOMPARE(editor->selectedText(), w.view->text(row, 1));
    editor->setText(QStringLiteral("typed"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(w.view->text(row, 1), QStringLiteral("typed"));
    QCOMPARE(committed.size(), 1);
    QCOMPARE(committed.first(), (QVariantList{row, 1}));
    QTEST(w.view->cursorRow(), "nextRow");
    QVERIFY(w.view->hasFocus() && !w.editor<QLineEdit>());
}

// Focus moving elsewhere, Tab and Escape all drop what was typed.
void TestGridView::leavingLineEditorDropsText()
{
    Window w;
    QSignalSpy committed(w.view, &GridView::cellCommitted);
    for (int way = 0; way < 3; ++way) {
        w.view->setFocus();
        w.doubleClick(1, 1);
        QLineEdit *editor = w.editor<QLineEdit>();
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("999"));
        if (way == 0)
            w.elsewhere.setFocus();
        else
            QTest::keyClick(editor, way == 1 ? Qt::Key_Tab : Qt::Key_Escape);
        QTRY_VERIFY(!w.editor<QLineEdit>());
        QCOMPARE(w.view->text(1, 1), QStringLiteral("a"));
    }
    QCOMPARE(committed.size(), 0);
    // Neither the fixed column nor Enter without key editing opens an editor.
    w.view->setFocus();
    w.view->setCursorCell(1, 1);
    QTest::keyClick(w.view, Qt::Key_Return);
    w.doubleClick(1, 0);
    QVERIFY(!w.editor<QLineEdit>());
}

void TestGridView::deleteEmptiesOnlyWithKeyEditing()
{
    Window w;
    w.view->setCursorCell(1, 1);
    QTest::keyClick(w.view, Qt::Key_Delete);
    QCOMPARE(w.view->text(1, 1), QStringLiteral("a"));
    w.view->setKeyEditing(true);
    QTest::keyClick(w.view, Qt::Key_Delete);
    QCOMPARE(w.view->text(1, 1), QString());
}

// A click opens the selector over the cell showing its text; choosing an
// item writes its text and reports it, without moving on.
void TestGridView::comboEditorWritesChosenItem()
{
    Window w;
    QSignalSpy committed(w.view, &GridView::cellCommitted);
    w.click(2, 2);
    auto *combo = w.editor<QComboBox>();
    QVERIFY(combo);
    QCOMPARE(combo->geometry(), w.view->cellRect(2, 2));
    QCOMPARE(combo->currentText(), QStringLiteral("Not use"));
    QCOMPARE(combo->count(), 3);
    QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(committed.size(), 1);
    QCOMPARE(w.view->text(2, 2), QStringLiteral("Output-Y"));
    QCOMPARE(w.view->cursorRow(), 2);
    QTRY_VERIFY(!w.editor<QComboBox>());
    // Enter opens it as a click does, key editing or not.
    w.view->setFocus();
    w.view->setCursorCell(1, 2);
    QTest::keyClick(w.view, Qt::Key_Return);
    QVERIFY(w.editor<QComboBox>());
}

void TestGridView::comboEditorOnlyWhereEditable()
{
    Window w;
    w.view->grid()->setOpenRowEditable(false);
    w.click(3, 2);
    QVERIFY(!w.editor<QComboBox>());
    w.click(1, 1);
    QVERIFY(!w.editor<QComboBox>() && !w.editor<QLineEdit>());
    w.click(1, 2);
    QVERIFY(w.editor<QComboBox>());
    QCOMPARE(w.editor<QComboBox>()->currentIndex(), -1);
}

// Screen readers find the rows, the headers and every cell's text.
void TestGridView::cellsReachAccessibility()
{
    Window w;
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(w.view);
    QVERIFY(table && table->tableInterface());
    QCOMPARE(table->tableInterface()->rowCount(), 3);
    QCOMPARE(table->tableInterface()->columnCount(), 3);
    QAccessibleInterface *cell = table->tableInterface()->cellAt(1, 2);
    QVERIFY(cell);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("Not use"));
    QCOMPARE(table->tableInterface()->columnDescription(1), QStringLiteral("Text"));
}

// A printable key on a line-edited cell opens its editor holding that key;
// elsewhere it neither edits nor moves the cursor (no search by letters).
void TestGridView::typingStartsAnEdit_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cell"); // after Enter
    QTest::newRow("digits replace the text") << 1 << "27"
                                             << "27";
    QTest::newRow("a letter that matches another row") << 1 << "b"
                                                       << "b";
    QTest::newRow("label column") << 0 << "2"
                                  << "1";
    QTest::newRow("combo column") << 2 << "N"
                                  << "";
}

void TestGridView::typingStartsAnEdit()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    Window w;
    w.view->setCursorCell(1, column);
    QTest::keyClicks(w.view, typed.left(1));
    if (QLineEdit *editor = w.editor<QLineEdit>())
        QTest::keyClicks(editor, typed.mid(1));
    QCOMPARE(w.view->cursorRow(), 1);
    QCOMPARE(w.editor<QLineEdit>() != nullptr, column == 1);
    if (QLineEdit *editor = w.editor<QLineEdit>()) {
        QCOMPARE(editor->text(), typed);
        QTest::keyClick(editor, Qt::Key_Return);
    }
    QTEST(w.view->text(1, column), "cell");
}

void TestGridView::copyTakesTheCellOrTheRows_data()
{
    QTest::addColumn<QList<int>>("columns"); // chosen in row 2
    QTest::addColumn<QString>("copied");
    QTest::newRow("one cell") << QList<int>{1} << "b";
    QTest::newRow("a row's cells") << QList<int>{1, 2} << "Num\tText\tPick\n2\tb\tNot use\n";
}

void TestGridView::copyTakesTheCellOrTheRows()
{
    QFETCH(QList<int>, columns);
    Window w;
    w.view->selectionModel()->clear();
    for (int column : columns)
        w.view->selectionModel()->select(w.view->grid()->cell(2, column),
                                         QItemSelectionModel::Select);
    QTest::keyClick(w.view, Qt::Key_C, Qt::ControlModifier);
    QTEST(QGuiApplication::clipboard()->text(), "copied");
}

QTEST_MAIN(TestGridView)
#include "tst_gridview.moc"
