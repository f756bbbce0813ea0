#include "diag/onewirediagtab.h"
#include "diag/onewireerrorbuffer.h"
#include "link/inifile.h"
#include "link/plcframe.h"
#include "modbus/modbusfixture.h"
#include "modbus/uarttab.h"
#include "onewire/onewiretab.h"
#include "onewire/searchform.h"
#include "onewire/sensordialog.h"
#include "onewire/sensortable.h"
#include "support/gridrows.h"
#include "support/scripteddialogs.h"
#include "widgets/fieldmark.h"
#include "widgets/tableframe.h"
#include "window/mainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <atomic>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QStringList sensor = {"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"};

// The simulated PLC on a line that, while `paced`, takes real time to be
// silent and to pause, so that a search can be caught under way.
class PacedPort : public SimPort
{
public:
    // Counts the requests written while paced in `written`, which the test
    // reads while the operation runs on the session's thread.
    PacedPort(PlcSimulator &sim, const std::atomic<bool> &paced, std::atomic<int> &written)
        : SimPort(sim), m_paced(paced), m_written(written)
    {}
    bool write(const QByteArray &data) override
    {
        const bool ok = SimPort::write(data);
        if (m_paced)
            ++m_written;
        return ok;
    }
    Wait waitForData(std::chrono::milliseconds timeout) override
    {
        const Wait wait = SimPort::waitForData(timeout);
        if (wait == Wait::Timeout && m_paced)
            std::this_thread::sleep_for(timeout);
        return wait;
    }
    void pause(std::chrono::milliseconds duration) override
    {
        if (m_paced)
            std::this_thread::sleep_for(duration);
        SimPort::pause(duration);
    }

private:
    const std::atomic<bool> &m_paced;
    std::atomic<int> &m_written;
};

// The main window on a simulated PLC with the 1-wire tab in front.
struct Window
{
    PlcSimulator sim;
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    // Backups before downloads are the window's default; these tests look
    // at the downloads' own frames.
    const QString ini = [this] {
        const QString file = dir.filePath(u"set.ini"_s);
        Ini_write(file, u"BACKUP"_s, u"Enabled"_s, u"0"_s);
        return file;
    }();
    std::atomic<bool> paced = false; // the line takes real time
    std::atomic<int> pacedRequests = 0;
    Main main{{ini, dialogs, [this]() -> std::unique_ptr<PlcPort> {
                   return std::make_unique<PacedPort>(sim, paced, pacedRequests);
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
        return QTest::qWaitFor([this] { return !main.tabContext().session().isBusy(); }, 5000);
    }
    // The search form while it is open.
    SearchForm *search() const { return main.findChild<SearchForm *>(); }
    bool searched() const
    {
        return QTest::qWaitFor([this] { return !search()->isSearching(); }, 5000);
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
    void searchFormControls();
    void searchAddsOnlyNewDevices_data();
    void searchAddsOnlyNewDevices();
    void failedSearchListsNothing();
    void closeEndsSearchAtOnce_data();
    void closeEndsSearchAtOnce();
    void replacesAMissingSensor();
    void closingAsTheSearchEndsSaysNothing();
    void searchSharesTheWindowsSession();
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
    QCOMPARE(typingLimit(byte1), 3);
    QCOMPARE(typingLimit(address), 4);
    QCOMPARE(address->text(), u"3000"_s);
    // What a download would refuse is marked as it is typed; the dialog
    // still takes what it holds.
    auto *byte3 = dialog->findChild<QLineEdit *>(u"Text1_3"_s);
    byte3->setText(u"G7"_s);
    address->setText(u"8000"_s);
    QCOMPARE(fieldMark(byte3),
             u"A download refuses this field: it takes two hex digits, 00 to FF"_s);
    QCOMPARE(fieldMark(address), u"A download refuses this field: it takes -32768 to 7997"_s);
    QCOMPARE(fieldMark(byte1), QString());
    address->setText(u"3000"_s);
    for (int k = 0; k < 8; ++k)
        dialog->findChild<QLineEdit *>(u"Text1_%1"_s.arg(k))->setText(sensor.at(k + 1));
    QCOMPARE(fieldMark(byte3) + fieldMark(address), QString());
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
    w.dialog()->findChild<QLineEdit *>(u"Text2"_s)->setText(u"-3000"_s);
    w.dialog()->findChild<QAbstractButton *>(u"Command2"_s)->click();
    QCOMPARE(w.tab.grid()->text(1, 9), u"-3000"_s);
    // A register longer than the box takes by typing comes back whole.
    w.child(u"Command9"_s)->click();
    QCOMPARE(w.dialog()->findChild<QLineEdit *>(u"Text2"_s)->text(), u"-3000"_s);
    w.dialog()->findChild<QAbstractButton *>(u"Command1"_s)->click();
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
    // Unanswered, and again when sent once more.
    faults.perRequest[SimFault::Silent].ordinals = {w.sim.requestCount() + 1,
                                                    w.sim.requestCount() + 2};
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

// Opened from the menu whatever the mode; the grid edits in place.
void TestOneWireTab::searchFormControls()
{
    Window w;
    w.child<QAction>(u"Search_1wire"_s)->trigger();
    SearchForm *form = w.search();
    QVERIFY(form && form->isVisible() && form->isModal());
    QCOMPARE(form->windowTitle(), u"Search module for 1-wire device"_s);
    QCOMPARE(form->objectName(), u"Search_onewire"_s);
    auto *count = form->findChild<QLineEdit *>(u"Text1"_s);
    auto *start = form->findChild<QLineEdit *>(u"Text2"_s);
    QCOMPARE(labelOf(count), u"Number sensor on the bus"_s);
    QCOMPARE(labelOf(start), u"Start address for automatic slave addition in the main table"_s);
    QCOMPARE(count->text() + u' ' + start->text(), u"0 1500"_s);
    QStringList captions;
    for (const char *name : {"Command2", "Command3", "Command4", "Command1"})
        captions << form->findChild<QAbstractButton *>(QLatin1String(name))->text();
    QCOMPARE(captions, QStringList({"Start search", "Add new in the table",
                                    "Replace all in the table", "Close"}));
    QCOMPARE(shownRows(form->grid()),
             TextTable({headerFromFormat(u"Num | Byte 0 | Byte 1 | Byte 2 | Byte 3 | Byte 4 | "
                                         "Byte 5 | Byte 6 | Byte 7 "_s),
                        QStringList(9)}));

    w.sim.setRomCodes({QByteArray::fromHex("28FF4C5D0300009A")});
    form->startSearch();
    QVERIFY(w.searched());
    QCOMPARE(form->grid()->text(1, 8), u"9A"_s);
    form->grid()->setFocus();
    form->grid()->setCursorCell(1, 2);
    QTest::keyClick(form->grid(), Qt::Key_Delete);
    QCOMPARE(form->grid()->text(1, 2), QString());
    QCOMPARE(form->grid()->rows(), 3);
    form->findChild<QAbstractButton *>(u"Command1"_s)->click();
    QTRY_VERIFY(!w.search());
    QCOMPARE(w.tab.grid()->rows(), 2);
}

// The device already in the table is marked and skipped; the summary says
// which configured sensor did not answer.
void TestOneWireTab::searchAddsOnlyNewDevices_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<TextTable>("added"); // the rows after the two configured, or all
    const QStringList second = {"02", "1C", "B8", "01", "00", "00", "00", "A2"};
    const QStringList third = {"28", "AA", "00", "00", "00", "00", "00", "01"};
    QTest::newRow("Add new in the table")
        << "Command3"
        << TextTable{QStringList{"3"} + second + QStringList{"2012"},
                     QStringList{"4"} + third + QStringList{"2014"}};
    // Replace starts again from the start box's 1500, each device once.
    QTest::newRow("Replace all in the table")
        << "Command4"
        << TextTable{QStringList{"1"} + sensor.mid(1, 8) + QStringList{"1500"},
                     QStringList{"2"} + second + QStringList{"1502"},
                     QStringList{"3"} + third + QStringList{"1504"}};
}

void TestOneWireTab::searchAddsOnlyNewDevices()
{
    QFETCH(QString, button);
    QFETCH(TextTable, added);
    Window w;
    QStringList gone = sensor;
    gone[2] = u"01"_s;
    QStringList kept = sensor;
    kept[0] = u"2"_s;
    kept[9] = u"2010"_s;
    w.master({gone, kept});
    w.sim.setRomCodes({QByteArray::fromHex("28FF4C5D0300009A"),
                       QByteArray::fromHex("021CB801000000A2"),
                       QByteArray::fromHex("28AA000000000001")});
    w.child(u"Command10"_s)->click();
    SearchForm *form = w.search();
    form->findChild<QAbstractButton *>(u"Command2"_s)->click();
    QVERIFY(!form->findChild<QAbstractButton *>(u"Command2"_s)->isEnabled());
    QVERIFY(form->findChild<QProgressBar *>(u"searching"_s)->isVisible());
    QVERIFY(w.searched());
    QVERIFY(form->findChild<QAbstractButton *>(u"Command2"_s)->isEnabled());
    QCOMPARE(form->findChild<QLineEdit *>(u"Text1"_s)->text(), u"3"_s);
    // Three devices: three rows, and the open row numbered 4.
    const TextTable listed = shownRows(form->grid());
    QCOMPARE(listed.size(), 5);
    QCOMPARE(listed.at(3).first(), u"3"_s);
    QCOMPARE(listed.last().first(), u"4"_s);
    QCOMPARE(form->findChild<QLabel *>(u"summary"_s)->text(),
             u"Found 3: 2 new, 1 already in the table. Not found on the bus: sensor rows 1."_s);
    const QModelIndex known = form->grid()->grid()->cell(1, 1);
    QVERIFY(known.data(GridModel::HighlightRole).toBool());
    QVERIFY(
        known.data(Qt::ToolTipRole).toString().endsWith(u"Already in the sensor table, row 2"_s));
    QVERIFY(!form->grid()->grid()->cell(2, 1).data(GridModel::HighlightRole).toBool());

    form->findChild<QAbstractButton *>(button)->click();
    QTRY_VERIFY(!w.search());
    const TextTable expected = button == u"Command3"_s ? TextTable{gone, kept} + added : added;
    QCOMPARE(w.tab.configuration().sensors, expected);
    QCOMPARE(shownRows(w.tab.grid()).last().first(), QString::number(expected.size() + 1));
}

void TestOneWireTab::failedSearchListsNothing()
{
    Window w;
    w.sim.setRomCodes({QByteArray::fromHex("28FF4C5D0300009A")});
    w.tab.openSearch();
    SearchForm *form = w.search();
    form->startSearch();
    QVERIFY(w.searched());
    SimFaults faults;
    // The count read unanswered, and again when sent once more.
    faults.perRequest[SimFault::Silent].ordinals = {w.sim.requestCount() + 3,
                                                    w.sim.requestCount() + 4};
    w.sim.setFaults(faults);
    form->startSearch();
    QVERIFY(w.searched());
    QCOMPARE(form->grid()->rows(), 2);
    QCOMPARE(form->findChild<QLineEdit *>(u"Text1"_s)->text(), u"1"_s);
    QCOMPARE(w.dialogs.messages(), QStringList{u"Answer timeout from PLC"_s});
    // Nothing found: adding and replacing are not offered, and say why.
    for (const QString &name : {u"Command3"_s, u"Command4"_s}) {
        auto *take = form->findChild<QAbstractButton *>(name);
        QVERIFY(!take->isEnabled());
        QCOMPARE(take->toolTip(), u"No devices listed: search the bus first"_s);
    }
    form->findChild<QAbstractButton *>(u"Command1"_s)->click();
    QTRY_VERIFY(!w.search());
    QCOMPARE(w.tab.grid()->rows(), 2);
}

void TestOneWireTab::closeEndsSearchAtOnce_data()
{
    QTest::addColumn<int>("after"); // requests the PLC has seen when Close is pressed
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("button");
    QTest::newRow("during the wait") << 2 << false << "Command1";
    QTest::newRow("during the count read") << 3 << true << "Command1";
    QTest::newRow("stopped during the wait") << 2 << false << "stop_search";
    QTest::newRow("stopped during the count read") << 3 << true << "stop_search";
}

// Close ends the search, the port closes, nothing is added, and the next
// search runs as usual.
void TestOneWireTab::closeEndsSearchAtOnce()
{
    QFETCH(int, after);
    QFETCH(bool, silent);
    Window w;
    w.paced = true;
    w.sim.setRomCodes({QByteArray::fromHex("28FF4C5D0300009A")});
    if (silent) {
        SimFaults faults;
        faults.perRequest[SimFault::Silent].ordinals.insert(3);
        w.sim.setFaults(faults);
    }
    w.tab.openSearch();
    w.search()->startSearch();
    QTRY_VERIFY(w.pacedRequests == after);
    QVERIFY(w.search()->isSearching());
    QElapsedTimer clock;
    clock.start();
    QFETCH(QString, button);
    w.search()->findChild<QAbstractButton *>(button)->click();
    if (button == u"stop_search"_s) {
        // The form stays, says so, and can search again.
        QTRY_VERIFY(!w.search()->isSearching());
        QCOMPARE(w.search()->findChild<QLabel *>(u"summary"_s)->text(),
                 u"The search was stopped."_s);
        QVERIFY(w.search()->findChild<QAbstractButton *>(u"Command2"_s)->isEnabled());
        w.search()->findChild<QAbstractButton *>(u"Command1"_s)->click();
    }
    QTRY_VERIFY(!w.search());
    QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(w.tab.grid()->rows(), 2);
    QVERIFY2(w.dialogs.shown.isEmpty(), qPrintable(w.dialogs.messages().join(u'|')));

    w.paced = false;
    w.sim.setFaults({});
    w.tab.openSearch();
    w.search()->startSearch();
    QVERIFY(w.searched());
    QCOMPARE(w.search()->grid()->rows(), 3);
    QCOMPARE(w.sim.requestCount(), after + 4);
}

// The new device takes the failed sensor's row and register; with two of
// each, the ones chosen.
void TestOneWireTab::replacesAMissingSensor()
{
    Window w;
    QStringList first = sensor;
    first[2] = u"01"_s;
    QStringList second = sensor;
    second[0] = u"2"_s;
    second[2] = u"02"_s;
    second[9] = u"3002"_s;
    w.master({first, second});
    w.sim.setRomCodes(
        {QByteArray::fromHex("28014C5D0300009A"), QByteArray::fromHex("021CB801000000A2")});
    w.tab.openSearch();
    w.search()->startSearch();
    QVERIFY(w.searched());
    auto *replace = w.search()->findChild<QAbstractButton *>(u"replace_missing"_s);
    QVERIFY(replace->isEnabled());
    replace->click();
    QTRY_VERIFY(!w.search());
    QCOMPARE(w.tab.configuration().sensors,
             TextTable({first, {"2", "02", "1C", "B8", "01", "00", "00", "00", "A2", "3002"}}));

    // Two missing and two new: the user picks the pair.
    w.master({first, second});
    w.sim.setRomCodes(
        {QByteArray::fromHex("021CB801000000A2"), QByteArray::fromHex("28FF4C5D03000021")});
    w.tab.openSearch();
    SearchForm *form = w.search();
    form->startSearch();
    QVERIFY(w.searched());
    auto *missing = form->findChild<QComboBox *>(u"missing"_s);
    QCOMPARE(missing->count(), 2);
    missing->setCurrentIndex(0);
    form->grid()->setCursorCell(3, 1); // the open row: no device
    form->replaceMissing();
    QCOMPARE(w.dialogs.messages().last(),
             u"Choose the new device in the list of devices found first."_s);
    form->grid()->setCursorCell(2, 1);
    form->replaceMissing();
    QTRY_VERIFY(!w.search());
    QCOMPARE(w.tab.configuration().sensors.first(),
             (QStringList{"1", "28", "FF", "4C", "5D", "03", "00", "00", "21", "3000"}));
    QCOMPARE(w.tab.configuration().sensors.last(), second);
}

// The search ends (here with a timeout to report) and, before its end is
// handled, Esc closes the form: nothing is reported to the closing form,
// which goes once the boxes' event loops let it.
void TestOneWireTab::closingAsTheSearchEndsSaysNothing()
{
    Window w;
    SimFaults faults;
    faults.perRequest[SimFault::Silent].ordinals.insert(3);
    w.sim.setFaults(faults);
    w.dialogs.whileOpen = [] {
        QTest::qWait(20);
    };
    w.tab.openSearch();
    const QPointer<SearchForm> form = w.search();
    form->startSearch();
    // The search runs on its own thread; its end waits in the queue.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QTest::keyClick(form.data(), Qt::Key_Escape);
    QTRY_VERIFY(!form);
    QVERIFY2(w.dialogs.shown.isEmpty(), qPrintable(w.dialogs.messages().join(u'|')));
}

// The search runs on the window's session: the watch goes on reading while
// the form is open, a search waits for a read under way, and nothing comes
// between the search's own frames.
void TestOneWireTab::searchSharesTheWindowsSession()
{
    Window w;
    w.sim.setWord(0x2008, 0xC003);
    w.main.findChild<QSpinBox *>(u"MB_watch_interval"_s)->setValue(1);
    w.main.findChild<QCheckBox *>(u"MB_watch"_s)->setChecked(true);
    QTRY_VERIFY(w.sim.requestCount() > 0);
    w.child<QAction>(u"Search_1wire"_s)->trigger();
    const int before = w.sim.requestCount();
    QTRY_VERIFY_WITH_TIMEOUT(w.sim.requestCount() > before, 2500);
    w.sim.setRomCodes({QByteArray::fromHex("28FF4C5D0300009A")});
    w.search()->startSearch();
    QVERIFY(w.searched());
    QCOMPARE(w.search()->grid()->rows(), 3);
    const QList<QByteArray> frames = w.sim.requests();
    const qsizetype at = frames.indexOf(
        PlcFrame::request(PlcCommand::Command, 0x2000, 2, QByteArray::fromHex("0180")));
    QVERIFY(at >= 0 && at + 4 <= frames.size());
    QCOMPARE(frames.mid(at + 1, 3),
             (QList<QByteArray>{PlcFrame::request(PlcCommand::Read, 0x3000, 2),
                                PlcFrame::request(PlcCommand::Read, 0x3000, 2),
                                PlcFrame::request(PlcCommand::Read, 0x3002, 8)}));
    w.search()->findChild<QAbstractButton *>(u"Command1"_s)->click();
    QTRY_VERIFY(!w.search());
    QVERIFY(w.dialogs.shown.isEmpty());
}

QTEST_MAIN(TestOneWireTab)
#include "tst_onewiretab.moc"
