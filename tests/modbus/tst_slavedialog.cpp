#include "support/gridrows.h"
#include "uartwindow.h"
#include "widgets/fieldmark.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMap>

using namespace Qt::StringLiterals;

namespace {

// The dialog's fields in the order T_slave, mb_address, mb_func (index),
// mb_slave_count, mb_slave_addr, mb_master_addr, mb_timeout.
QStringList fields(const SlaveDialog *dialog)
{
    QStringList texts;
    for (const char *name : {"T_slave", "mb_address", "mb_func", "mb_slave_count", "mb_slave_addr",
                             "mb_master_addr", "mb_timeout"}) {
        if (auto *list = dialog->findChild<QComboBox *>(QLatin1String(name)))
            texts << QString::number(list->currentIndex());
        else
            texts << dialog->findChild<QLineEdit *>(QLatin1String(name))->text();
    }
    return texts;
}

void type(SlaveDialog *dialog, const char *field, const QString &text)
{
    dialog->findChild<QLineEdit *>(QLatin1String(field))->setText(text);
}

void ok(SlaveDialog *dialog)
{
    dialog->findChild<QAbstractButton *>(u"Command2"_s)->click();
}

QStringList row(const UartWindow &w, int uart, int r)
{
    return shownRows(w.tab(uart).grid()).at(r);
}

const QList<RequestRow> threeRows = {
    {3, 100, 0, 0, 1, 100}, {3, 100, 100, 100, 1, 100}, {7, 10, 5, 6, 0, 300}};

} // namespace

// The "Add slave", "Modify slave" and "Delete slave" buttons of both request
// tables and their "Slave add/modify" dialog.
class TestSlaveDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addProposals_data();
    void addProposals();
    void refusesWrongValues_data();
    void refusesWrongValues();
    void modifyEditsChosenRow();
    void deleteRenumbers();
    void deleteNeedsRequestRow();
};

void TestSlaveDialog::addProposals_data()
{
    QTest::addColumn<int>("uart");
    QTest::addRow("UART1") << 1;
    QTest::addRow("UART2") << 2;
}

// The first add after start-up proposes the defaults, the next one continues
// the last row; after the last row is deleted the defaults come back.
void TestSlaveDialog::addProposals()
{
    QFETCH(int, uart);
    UartWindow w;
    w.open(uart).selectRole(0);
    const QStringList names =
        uart == 1 ? QStringList{"Command1", "Command3"} : QStringList{"Command27", "Command29"};
    w.click(uart, names[0]);
    SlaveDialog *dialog = w.dialog(uart);
    QVERIFY(dialog && dialog->isModal());
    QCOMPARE(dialog->windowTitle(), u"Slave add/modify"_s);
    QCOMPARE(fields(dialog), QStringList({"1", "3", "1", "100", "0", "0", "100"}));
    ok(dialog);
    QVERIFY(!w.dialog(uart) && w.tab(uart).grid()->isEnabled());
    QCOMPARE(w.tab(uart).grid()->rows(), 3);
    QCOMPARE(row(w, uart, 1), QStringList({"1", "3", "100", "0", "0", "1", "100"}));
    QCOMPARE(row(w, uart, 2), QStringList({"2", "", "", "", "", "", ""}));

    w.clickCell(uart, 1, 2);
    w.click(uart, names[0]);
    QCOMPARE(fields(w.dialog(uart)), QStringList({"2", "3", "1", "100", "100", "100", "100"}));
    type(w.dialog(uart), "mb_slave_count", u"20"_s);
    ok(w.dialog(uart));
    QCOMPARE(row(w, uart, 2), QStringList({"2", "3", "20", "100", "100", "1", "100"}));
    QCOMPARE(w.tab(uart).requestTable()->chosenRow(), 2);

    w.click(uart, names[1]);
    w.click(uart, names[1]); // the chosen row 2 is now the open one
    QCOMPARE(w.tab(uart).grid()->rows(), 3);
    w.clickCell(uart, 1, 1);
    w.click(uart, names[1]);
    QCOMPARE(w.tab(uart).grid()->rows(), 2);
    w.click(uart, names[0]);
    QCOMPARE(fields(w.dialog(uart)), QStringList({"1", "3", "1", "100", "0", "0", "100"}));
    w.dialog(uart)->reject();
    QCOMPARE(w.tab(uart).grid()->rows(), 2);
}

void TestSlaveDialog::refusesWrongValues_data()
{
    QTest::addColumn<QStringList>("typed");  // field=text
    QTest::addColumn<QString>("refused");    // empty: accepted
    QTest::addColumn<QStringList>("marked"); // field=range, in the check's order
    QTest::newRow("address 0") << QStringList{"mb_address=0"} << "0"
                               << QStringList{"mb_address=1 to 254"};
    QTest::newRow("master address -1")
        << QStringList{"mb_master_addr=-1"} << "-1" << QStringList{"mb_master_addr=0 to 32767"};
    QTest::newRow("timeout 4096") << QStringList{"mb_timeout=4096"} << "4096"
                                  << QStringList{"mb_timeout=1 to 4095"};
    QTest::newRow("fraction") << QStringList{"mb_slave_count=1.5"} << "1.5"
                              << QStringList{"mb_slave_count=1 to 254"};
    QTest::newRow("first fault named")
        << QStringList{"mb_timeout=x", "mb_slave_addr=y", "mb_address=254"} << "y"
        << QStringList{"mb_slave_addr=0 to 32767", "mb_timeout=1 to 4095"};
    QTest::newRow("emptied field")
        << QStringList{"mb_slave_count="} << "" << QStringList{"mb_slave_count=1 to 254"};
    QTest::newRow("largest values")
        << QStringList{"mb_address=254", "mb_slave_addr=32767", "mb_slave_count=254",
                       "mb_master_addr=32767", "mb_timeout=4095"}
        << "" << QStringList{};
}

void TestSlaveDialog::refusesWrongValues()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, refused);
    QFETCH(QStringList, marked);
    UartWindow w;
    w.open(2).selectRole(0);
    w.tab(2).requestTable()->addRow();
    for (const QString &field : typed)
        type(w.dialog(2), qPrintable(field.section(u'=', 0, 0)), field.section(u'=', 1));
    ok(w.dialog(2));
    if (!marked.isEmpty()) {
        // Every field at fault is marked with what it takes; the first
        // takes the typing.
        QStringList shown;
        for (const char *name :
             {"mb_address", "mb_slave_addr", "mb_slave_count", "mb_master_addr", "mb_timeout"}) {
            const QString mark =
                fieldMark(w.dialog(2)->findChild<QLineEdit *>(QLatin1String(name)));
            if (!mark.isEmpty())
                shown << QLatin1String(name) + u'=' +
                             mark.section(u"OK refuses this field: it takes "_s, 1);
        }
        QCOMPARE(shown, marked);
        QCOMPARE(w.dialog(2)->focusWidget()->objectName(), marked.first().section(u'=', 0, 0));
    }
    if (refused.isEmpty() && marked.isEmpty()) {
        QVERIFY(w.dialogs.shown.isEmpty() && !w.dialog(2));
        QCOMPARE(row(w, 2, 1), QStringList({"1", "254", "254", "32767", "32767", "1", "4095"}));
        return;
    }
    // The Parts' text, then the field and what it takes.
    const QMap<QString, QString> labels = {
        {"mb_address", "Slave modbus address"},
        {"mb_slave_addr", "Slave address point start read/write"},
        {"mb_slave_count", "Word/Coil  number to read/write-slave part"},
        {"mb_master_addr", "Master address to place Word/Coil from slave"},
        {"mb_timeout", "Timeout,[msec]"}};
    const QString first = marked.first();
    QCOMPARE(w.dialogs.messages(),
             QStringList{u"You put wrong value  %1\n%2 takes %3"_s.arg(
                 refused, labels.value(first.section(u'=', 0, 0)), first.section(u'=', 1))});
    QCOMPARE(w.dialogs.shown.first().title, u"Error in data"_s);
    QVERIFY(w.dialog(2));
    QCOMPARE(w.tab(2).grid()->rows(), 2);
}

// With no row chosen (as after an upload) modify starts from the defaults
// with address 2 on row 1; a chosen row starts from its own values; the open
// row stands for the last request row; a cell naming no function leaves the
// list empty, and "OK" refuses that.
void TestSlaveDialog::modifyEditsChosenRow()
{
    UartWindow w;
    w.master(1, threeRows);
    w.click(1, u"Command2"_s);
    QCOMPARE(fields(w.dialog(1)), QStringList({"1", "2", "1", "100", "0", "0", "100"}));
    w.dialog(1)->reject();
    QCOMPARE(row(w, 1, 1), RequestTable::cells(1, threeRows[0]));

    w.clickCell(1, 4, 3);
    w.click(1, u"Command2"_s);
    QCOMPARE(fields(w.dialog(1)), QStringList({"3", "7", "0", "10", "5", "6", "300"}));
    type(w.dialog(1), "mb_timeout", u"400"_s);
    ok(w.dialog(1));
    QCOMPARE(w.tab(1).grid()->rows(), 5);
    QCOMPARE(row(w, 1, 3), QStringList({"3", "7", "10", "5", "6", "0", "400"}));

    w.tab(1).grid()->setText(2, RequestTable::Function, u"9"_s);
    w.clickCell(1, 2, 1);
    w.click(1, u"Command2"_s);
    QCOMPARE(fields(w.dialog(1)).at(2), u"-1"_s);
    ok(w.dialog(1));
    QCOMPARE(w.dialogs.messages(), QStringList{u"You put wrong value  "_s});

    // Nothing to modify in a table without request rows.
    w.master(2, {});
    w.click(2, u"Command28"_s);
    QVERIFY(!w.dialog(2));
}

void TestSlaveDialog::deleteRenumbers()
{
    UartWindow w;
    w.master(1, threeRows);
    w.clickCell(1, 2, 4);
    w.dialogs.confirmations = {false, true};
    w.click(1, u"Command3"_s);
    QCOMPARE(w.tab(1).grid()->rows(), 5);
    w.click(1, u"Command3"_s);
    QCOMPARE(w.dialogs.shown.size(), 2);
    QCOMPARE(w.dialogs.shown.at(1).text, u"You are shure for delete this sensor?"_s);
    QCOMPARE(w.dialogs.shown.at(1).title, QString());
    QCOMPARE(
        shownRows(w.tab(1).grid()),
        framedRows(RequestTable::format, RequestTable::fromRows({threeRows[0], threeRows[2]})));
    QCOMPARE(w.tab(1).requestTable()->chosenRow(), 2);
}

// No row chosen, the open row chosen, or a row beyond the table: nothing is
// asked and nothing is removed.
void TestSlaveDialog::deleteNeedsRequestRow()
{
    UartWindow w;
    w.master(2, threeRows.mid(0, 1));
    w.click(2, u"Command29"_s);
    w.clickCell(2, 2, 1);
    w.click(2, u"Command29"_s);
    QVERIFY(w.dialogs.shown.isEmpty());
    QCOMPARE(w.tab(2).grid()->rows(), 3);

    w.clickCell(2, 1, 1);
    w.click(2, u"Command29"_s);
    w.click(2, u"Command29"_s);
    QCOMPARE(w.dialogs.shown.size(), 1);
    QCOMPARE(shownRows(w.tab(2).grid()),
             framedRows(RequestTable::format, RequestTable::fromRows({})));
}

QTEST_MAIN(TestSlaveDialog)
#include "tst_slavedialog.moc"
