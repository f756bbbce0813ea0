#include "diag/onewirediagtab.h"
#include "diag/onewireerrorbuffer.h"
#include "modbus/modbusfixture.h"
#include "modbus/uarttab.h"
#include "onewire/onewiretab.h"
#include "onewire/sensordialog.h"
#include "onewire/sensortable.h"
#include "support/gridrows.h"
#include "support/scripteddialogs.h"
#include "workspace/main.h"
#include "workspace/tableframe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QStringList sensor = {"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"};

// The main window on a simulated PLC with the 1-wire tab in front.
struct Window
{
    PlcSimulator sim;
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    Main main{{dir.filePath(u"set.ini"_s), dialogs, [this] {
                   return std::make_unique<SimPort>(sim);
               }}};
    OneWireTab &tab = main.oneWireTab();

    Window()
    {
        main.show();
        main.findChild<QTabWidget *>(u"SSTab1"_s)->setCurrentWidget(&tab);
    }
    template <typename T = QAbstractButton> T *child(const QString &name) const
    {
        return main.findChild<T *>(name);
    }
    bool finished() const
    {
        return QTest::qWaitFor([this] { return !main.session().isBusy(); }, 5000);
    }
    // The "Add/modify 1-wire slave" dialog while it is open.
    SensorDialog *dialog() const
    {
        for (SensorDialog *d : tab.findChildren<SensorDialog *>()) {
            if (d->isVisible())
                return d;
        }
        return nullptr;
    }
    void master(const TextTable &sensors)
    {
        AuxSettings settings;
        settings.mode = AuxMode::OneWireMaster;
        settings.sensors = sensors;
        tab.apply(settings);
    }
    void choose(int row, int column = 1)
    {
        QTest::mouseClick(tab.grid()->viewport(), Qt::LeftButton, {},
                          tab.grid()->cellRect(row, column).center());
    }
};

QString labelOf(const QWidget *field)
{
    for (const QLabel *label : field->window()->findChildren<QLabel *>()) {
        if (label->buddy() == field)
            return label->text();
    }
    return {};
}

} // namespace

// The "1-wire" tab and the "1-wire diag" tab in the window.
class TestOneWireTab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void modesShowTheirFrames_data();
    void modesShowTheirFrames();
    void fieldNetLists();
    void dialogProposesAndWrites();
    void modifyOnlyASensorRow();
    void deletesAfterAsking();
    void editsCellsWithoutChecks();
    void marksDamagedCodes();
    void writesAndUploads();
    void refusesBadTable();
    void diagReadShowsSensors();
};

void TestOneWireTab::modesShowTheirFrames_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("table");
    QTest::addColumn<bool>("fieldNet");
    QTest::newRow("1-wire master") << 0 << true << false;
    QTest::newRow("Field Net") << 1 << false << true;
    QTest::newRow("not used") << 2 << false << false;
}

void TestOneWireTab::modesShowTheirFrames()
{
    QFETCH(int, mode);
    Window w;
    QCOMPARE(w.tab.optionMode(), 2);
    QVERIFY(w.child(u"Option1_2"_s)->isChecked());
    QVERIFY(!w.child(u"Option1_1"_s)->isEnabled()); // Field Net: by upload or file only
    w.tab.selectMode(mode);
    QCOMPARE(w.tab.optionMode(), mode);
    QTEST(w.child<QGroupBox>(u"Frame3"_s)->isVisible(), "table");
    QTEST(w.child<QGroupBox>(u"USART3_setting"_s)->isVisible(), "fieldNet");
    QCOMPARE(w.child<QGroupBox>(u"Frame2"_s)->title(), u" Auxiliary port setting"_s);
    QCOMPARE(shownRows(w.tab.grid()).first(), headerFromFormat(SensorTable::format));
    QCOMPARE(w.tab.grid()->rows(), 2);
}

void TestOneWireTab::fieldNetLists()
{
    Window w;
    // name|label|items|start
    const QStringList lists = {"Combo4|Speed setting:|9600,19200,38400,57600,115200|115200",
                               "Combo2|Parity setting|None,Odd,Even|Even",
                               "Combo3|Bit number:|7,8|8", "Combo5|Stop bit|1,2|2"};
    for (const QString &row : lists) {
        auto *list = w.child<QComboBox>(row.section(u'|', 0, 0));
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        QCOMPARE(labelOf(list), row.section(u'|', 1, 1));
        QCOMPARE(items.join(u','), row.section(u'|', 2, 2));
        QCOMPARE(list->currentText(), row.section(u'|', 3, 3));
    }
}

// The first add proposes 3000; the next the last register + 2.
void TestOneWireTab::dialogProposesAndWrites()
{
    Window w;
    w.tab.selectMode(0);
    w.child(u"Command8"_s)->click();
    SensorDialog *dialog = w.dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), u"Add/modify 1-wire slave"_s);
    auto *byte1 = dialog->findChild<QLineEdit *>(u"Text1_1"_s);
    auto *address = dialog->findChild<QLineEdit *>(u"Text2"_s);
    QCOMPARE(labelOf(byte1), u"Byte1"_s);
    QCOMPARE(labelOf(address), u"Address"_s);
    QCOMPARE(byte1->text(), u"00"_s);
    QCOMPARE(byte1->maxLength(), 3);
    QCOMPARE(address->maxLength(), 4);
    QCOMPARE(address->text(), u"3000"_s);
    for (int k = 0; k < 8; ++k)
        dialog->findChild<QLineEdit *>(u"Text1_%1"_s.arg(k))->setText(sensor.at(k + 1));
    dialog->findChild<QAbstractButton *>(u"Command2"_s)->click();
    QCOMPARE(w.tab.configuration().sensors, TextTable{sensor});
    QCOMPARE(shownRows(w.tab.grid()).last(),
             (QStringList{"2", "", "", "", "", "", "", "", "", ""}));

    w.child(u"Command8"_s)->click();
    QCOMPARE(w.dialog()->findChild<QLineEdit *>(u"Text2"_s)->text(), u"3002"_s);
    w.dialog()->findChild<QAbstractButton *>(u"Command1"_s)->click(); // "Cancel"
    QCOMPARE(w.tab.grid()->rows(), 3);
}

// The open row is never sent: modifying it would lose what was typed.
void TestOneWireTab::modifyOnlyASensorRow()
{
    Window w;
    w.master({sensor});
    w.choose(2);
    w.child(u"Command9"_s)->click();
    QVERIFY(!w.dialog());
    w.choose(1);
    w.child(u"Command9"_s)->click();
    QCOMPARE(w.dialog()->findChild<QLineEdit *>(u"Text1_7"_s)->text(), u"9A"_s);
    QCOMPARE(w.dialog()->findChild<QLineEdit *>(u"Text2"_s)->text(), u"3000"_s);
    w.dialog()->findChild<QLineEdit *>(u"Text2"_s)->setText(u"100"_s);
    w.dialog()->findChild<QAbstractButton *>(u"Command2"_s)->click();
    QCOMPARE(w.tab.grid()->text(1, 9), u"100"_s);
    QCOMPARE(w.tab.grid()->rows(), 3);
}

void TestOneWireTab::deletesAfterAsking()
{
    Window w;
    TextTable five;
    for (int i = 1; i <= 5; ++i)
        five << QStringList(sensor).replaceInStrings(u"3000"_s, QString::number(3000 + 2 * i));
    w.master(five);
    w.choose(3);
    w.dialogs.confirmations = {false, true};
    w.child(u"Command11"_s)->click();
    QCOMPARE(w.tab.grid()->grid()->entryCount(), 5);
    w.child(u"Command11"_s)->click();
    QCOMPARE(w.dialogs.shown.last().text, u"You are shure for delete this sensor?"_s);
    QCOMPARE(w.tab.grid()->grid()->entryCount(), 4);
    QCOMPARE(shownRows(w.tab.grid()).last().first(), u"5"_s);
    QCOMPARE(w.tab.grid()->text(3, 9), u"3008"_s);

    w.dialogs.confirmations = {false, true};
    w.child(u"Command21"_s)->click();
    QCOMPARE(w.tab.grid()->grid()->entryCount(), 4);
    w.child(u"Command21"_s)->click();
    QCOMPARE(w.dialogs.shown.last().text, u"Delete all sensors from the table?"_s);
    QCOMPARE(w.dialogs.shown.last().title, QString());
    QCOMPARE(w.tab.grid()->rows(), 2);
}

// No check on commit, and Enter and Delete do nothing on the table itself.
void TestOneWireTab::editsCellsWithoutChecks()
{
    Window w;
    w.master({sensor});
    GridView *grid = w.tab.grid();
    w.choose(1, 9); // a double-click starts with a click
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->cellRect(1, 9).center());
    auto *editor = grid->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor && editor->isVisible());
    editor->setText(u"abc"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(grid->text(1, 9), u"abc"_s);
    QCOMPARE(grid->cursorRow(), 2);
    grid->setCursorCell(1, 2);
    QTest::keyClick(grid, Qt::Key_Delete);
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(grid->text(1, 2), u"FF"_s);
    QVERIFY(w.dialogs.shown.isEmpty());
}

void TestOneWireTab::marksDamagedCodes()
{
    Window w;
    QStringList sound = sensor;
    sound[8] = u"21"_s;
    w.master({sensor, sound});
    GridModel *model = w.tab.grid()->grid();
    const auto note = [model](int row, int column, int role) {
        return model->cell(row, column).data(role);
    };
    QCOMPARE(note(1, 1, Qt::ToolTipRole).toString(),
             u"DS18B20 temperature sensor\nROM code CRC does not match: check the digits"_s);
    QVERIFY(note(1, 8, GridModel::WarningRole).toBool());
    QCOMPARE(note(2, 3, Qt::ToolTipRole).toString(), u"DS18B20 temperature sensor"_s);
    QVERIFY(!note(2, 3, GridModel::WarningRole).toBool());
    QVERIFY(!note(1, 9, Qt::ToolTipRole).isValid() && !note(3, 1, Qt::ToolTipRole).isValid());
    // The Modbus tables name the function an index stands for.
    w.main.uart1Tab().grid()->setEntries({{"1", "3", "100", "0", "0", "4", "100"}});
    QCOMPARE(w.main.uart1Tab().grid()->grid()->cell(1, 5).data(Qt::ToolTipRole).toString(),
             u"Read input register"_s);
}

void TestOneWireTab::writesAndUploads()
{
    Window w;
    w.master({sensor});
    w.child(u"Command17"_s)->click();
    QVERIFY(w.finished());
    QCOMPARE(w.dialogs.shown.first().text, downloadQuestion);
    QCOMPARE(w.sim.requests(),
             (QList<QByteArray>{writeFrame(u"3000"_s, u"0FFF"_s), writeFrame(u"200A"_s, u"01C0"_s),
                                writeFrame(u"200C"_s, u"FF285D4C00039A00B80B"_s),
                                writeFrame(u"3000"_s, u"0000"_s)}));

    // An upload into the emptied tab brings it all back; a failed one
    // changes nothing.
    w.tab.apply(AuxSettings());
    w.child(u"Command18"_s)->click();
    QVERIFY(w.finished());
    QCOMPARE(w.tab.optionMode(), 0);
    QCOMPARE(w.tab.configuration().sensors, TextTable{sensor});
    w.sim.setWord(0x200A, 0x9480);
    SimFaults faults;
    faults.perRequest[SimFault::Silent].ordinals.insert(w.sim.requestCount() + 1);
    w.sim.setFaults(faults);
    w.child(u"Command18"_s)->click();
    QVERIFY(w.finished());
    QCOMPARE(w.tab.configuration().sensors, TextTable{sensor});
    QCOMPARE(w.dialogs.messages(), QStringList{u"Answer timeout from PLC"_s});
}

void TestOneWireTab::refusesBadTable()
{
    Window w;
    w.master({sensor});
    w.tab.grid()->setText(1, 9, u"7998"_s);
    w.tab.selectMode(2);
    w.child(u"Command17"_s)->click();
    QVERIFY(w.finished());
    QVERIFY(w.sim.requests().isEmpty());
    QCOMPARE(w.dialogs.shown.last().text,
             u"You configuration has error in master addresing data Dxxxx. Row is 1"_s);
    QCOMPARE(w.dialogs.shown.last().title, u"Error in configuration"_s);
}

void TestOneWireTab::diagReadShowsSensors()
{
    Window w;
    OneWireDiagTab &diag = w.main.oneWireDiagTab();
    QCOMPARE(diag.errorGrid()->objectName(), u"W1_grid"_s);
    QCOMPARE(w.child<QGroupBox>(u"Frame9"_s)->title(), u"Command panel"_s);
    w.sim.setWord(0x200A, 0xC003);
    w.sim.setMemory(0x3700, QByteArray::fromHex("00A3FF"));
    diag.findChild<QAbstractButton *>(u"Command5"_s)->click();
    QVERIFY(w.finished());
    QCOMPARE(shownRows(diag.errorGrid()),
             TextTable({headerFromFormat(OneWireErrorBuffer::format),
                        {"1", "No error", ""},
                        {"2", "Active error", "General error number :3"},
                        {"3", "Active error", "No device found error :31"},
                        {"4", "", ""}}));
}

QTEST_MAIN(TestOneWireTab)
#include "tst_onewiretab.moc"
