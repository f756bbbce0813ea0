#include "config/configurationfile.h"
#include "config/plcbackup.h"
#include "modbusfixture.h"
#include "onewire/onewiretab.h"
#include "support/gridrows.h"
#include "uartwindow.h"
#include "widgets/progress.h"
#include "window/backuplist.h"
#include "window/trafficmonitor.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>
#include <QToolTip>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SimFault)

namespace {

const QString wrongAnswer = u"Wrong answer from PLC"_s;
const QString answerTimeout = u"Answer timeout from PLC"_s;

struct Names
{
    QString write, upload, mode;
    quint16 table;
};

Names namesOf(int uart)
{
    return uart == 1 ? Names{u"Command19"_s, u"Command20"_s, u"2008"_s, 0x2502}
                     : Names{u"Command7"_s, u"Command26"_s, u"2006"_s, 0x2902};
}

// The fault at the ordinal-th request and, for silence, at the one after
// too: a read met by silence is sent once more before it fails.
void faultAt(PlcSimulator &sim, SimFault kind, int ordinal)
{
    SimFaults faults;
    faults.perRequest[kind].ordinals.insert(ordinal);
    if (kind == SimFault::Silent)
        faults.perRequest[kind].ordinals.insert(ordinal + 1);
    sim.setFaults(faults);
}

} // namespace

// "Write to PLC" and "Upload from PLC" of both tabs, UART2's slave-settings
// "Download" and "Upload", and the menu's "Upload from PLC", against the
// simulated PLC.
class TestUartTabTransfer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesMasterFrameByFrame_data();
    void writesMasterFrameByFrame();
    void failedWriteStopsAtOnce_data();
    void failedWriteStopsAtOnce();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void uploadShowsWhatWasRead_data();
    void uploadShowsWhatWasRead();
    void failedUploadChangesNothing_data();
    void failedUploadChangesNothing();
    void slaveSettingsRoundTrip();
    void slaveSettingsFailures();
    void menuUploadsEveryPort();
    void tabWriteFitsWhatThePlcHolds_data();
    void tabWriteFitsWhatThePlcHolds();
    void verifyNamesDifferences_data();
    void verifyNamesDifferences();
    void trafficMonitorShowsFrames();
    void backsUpBeforeWriting_data();
    void backsUpBeforeWriting();
};

void TestUartTabTransfer::writesMasterFrameByFrame_data()
{
    QTest::addColumn<int>("uart");
    QTest::addRow("UART1") << 1;
    QTest::addRow("UART2") << 2;
}

void TestUartTabTransfer::writesMasterFrameByFrame()
{
    QFETCH(int, uart);
    const Names names = namesOf(uart);
    UartWindow w;
    const RequestRow second{3, 100, 0, 0, 1, 100};
    w.master(uart, {{1, 10, 0, 100, 1, 1000}, second});
    w.tab(uart).speedList()->setCurrentIndex(7);
    w.tab(uart).parityList()->setCurrentIndex(1);
    w.click(uart, names.write);
    QVERIFY(w.main->findChild<Progress *>());
    QVERIFY(w.finished());
    QCOMPARE(w.dialogs.shown.size(), 1);
    QCOMPARE(w.dialogs.shown.first().text, downloadQuestion);
    QCOMPARE(w.dialogs.shown.first().title, QString());
    // UART 1's requests are checked first against the PLC's sensor count.
    QList<QByteArray> expected;
    if (uart == 1)
        expected << readFrame(u"200A"_s, u"02"_s);
    expected << QList<QByteArray>{
        writeFrame(u"3000"_s, u"0FFF"_s), writeFrame(names.mode, u"02CF"_s),
        writeFrame(QString::number(names.table, 16),
                   u"010A00006400E813"_s +
                       QString::fromLatin1(RequestRecord::encode(second).toHex().toUpper())),
        writeFrame(u"3000"_s, u"0000"_s), writeFrame(u"2002"_s, u"0080"_s, "E10")};
    QCOMPARE(w.sim.requests(), expected);
    QTRY_VERIFY(w.main->findChildren<Progress *>().isEmpty());
}

void TestUartTabTransfer::failedWriteStopsAtOnce_data()
{
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<QString>("message");
    // Request 1 reads the PLC's sensor count.
    QTest::newRow("NAK to the control word") << SimFault::Refuse << 2 << wrongAnswer;
    QTest::newRow("NAK to the second block") << SimFault::Refuse << 5 << wrongAnswer;
    QTest::newRow("silence at the mode word") << SimFault::Silent << 3 << answerTimeout;
}

// Nine rows go in two blocks, so the progress window shows; it closes
// however the write ends.
void TestUartTabTransfer::failedWriteStopsAtOnce()
{
    QFETCH(SimFault, fault);
    QFETCH(int, ordinal);
    QFETCH(QString, message);
    UartWindow w;
    w.master(1, sampleRows(9));
    faultAt(w.sim, fault, ordinal);
    w.click(1, u"Command19"_s);
    QVERIFY(w.main->findChild<Progress *>());
    QVERIFY(w.finished());
    QCOMPARE(w.sim.requests().size(), ordinal);
    QCOMPARE(w.dialogs.messages(),
             QStringList{failedWriteMessage(message, w.sim.requests(), ordinal,
                                            fault != SimFault::Refuse)});
    QCOMPARE(w.dialogs.shown.last().title, QString());
    QVERIFY(w.main->findChildren<Progress *>().isEmpty());
}

void TestUartTabTransfer::refusedBeforeSending_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("timeout");   // of the table's one row
    QTest::addColumn<int>("sensors");   // of the 1-wire master beside it
    QTest::addColumn<QString>("press"); // the button or menu item
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    const QString uart = u"Error in configurations"_s;
    QTest::newRow("bad row, slave")
        << 1 << "12" << 0 << 0 << "Command19"
        << "You configuration has error in the Timeout - row 1\r\nColumn [Timeout,[ms]]" << uart;
    QTest::newRow("address 0") << 1 << "0" << 100 << 0 << "Command19"
                               << "Please, use valid range - address range from 1 to 247 " << uart;
    QTest::newRow("cancelled") << 0 << "12" << 100 << 0 << "Command19"
                               << "" << uart;
    const QString clash =
        u"The PLC cannot hold 128 sensors and UART 1's requests at once: the 128th sensor's "
        "record (2502 to 250B) is UART 1's first request. Remove a sensor or UART 1's "
        "requests."_s;
    for (const QString &press : {u"Command19"_s, u"Command17"_s, u"verify_plc"_s})
        QTest::addRow("128 sensors, %s", qPrintable(press))
            << 0 << "12" << 100 << 128 << press << clash << u"Error in configuration"_s;
}

void TestUartTabTransfer::refusedBeforeSending()
{
    QFETCH(int, role);
    QFETCH(QString, address);
    QFETCH(int, timeout);
    QFETCH(int, sensors);
    QFETCH(QString, press);
    QFETCH(QString, message);
    QFETCH(QString, title);
    UartWindow w;
    w.master(1, {{1, 10, 0, 100, 1, timeout}});
    w.tab(1).selectRole(role);
    w.tab(1).slaveAddressBox()->setText(address);
    AuxSettings aux = w.main->oneWireTab().configuration();
    aux.mode = AuxMode::OneWireMaster;
    for (int row = 1; row <= sensors; ++row)
        aux.sensors.append({QString::number(row), "28", "FF", "4C", "5D", "03", "00", "00", "9A",
                            QString::number(1000 + 2 * row)});
    w.main->oneWireTab().apply(aux);
    w.dialogs.confirmations = {!message.isEmpty()};
    if (auto *item = w.main->findChild<QAction *>(press))
        item->trigger();
    else
        QVERIFY(QTest::qWaitFor([&] {
            auto *button = w.main->findChild<QAbstractButton *>(press);
            return button && (button->click(), true);
        }));
    QVERIFY(!w.main->findChild<Progress *>());
    QVERIFY(w.finished());
    QVERIFY(w.sim.requests().isEmpty());
    QCOMPARE(w.dialogs.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty())
        QCOMPARE(w.dialogs.shown.last().title, title);
}

void TestUartTabTransfer::uploadShowsWhatWasRead_data()
{
    writesMasterFrameByFrame_data();
}

void TestUartTabTransfer::uploadShowsWhatWasRead()
{
    QFETCH(int, uart);
    const Names names = namesOf(uart);
    const quint16 modeAddress = quint16(names.mode.toUInt(nullptr, 16));
    UartWindow w;
    w.open(uart).selectRole(1);
    const QList<RequestRow> rows = sampleRows(9);
    w.sim.setWord(modeAddress, 0xCF09);
    w.sim.setMemory(names.table, recordBytes(rows));
    w.click(uart, names.upload);
    QVERIFY(w.finished());
    QCOMPARE(w.tab(uart).optionHw(), 0);
    QVERIFY(w.tab(uart).requestTable()->isVisible() && w.tab(uart).grid()->isEnabled());
    QCOMPARE(w.tab(uart).speedList()->currentIndex(), 7);
    QCOMPARE(w.tab(uart).parityList()->currentIndex(), 1);
    QCOMPARE(shownRows(w.tab(uart).grid()),
             framedRows(RequestTable::format, RequestTable::fromRows(rows)));
    QVERIFY(w.main->statusBar()->currentMessage().startsWith(
        u"UART %1 read from COM1 at "_s.arg(uart)));

    w.sim.setWord(modeAddress, 0x540C);
    w.click(uart, names.upload);
    QVERIFY(w.finished());
    QCOMPARE(w.tab(uart).optionHw(), 1);
    QCOMPARE(w.tab(uart).slaveAddressBox()->text(), u"12"_s);
    QCOMPARE(w.tab(uart).speedList()->currentText(), u"115200"_s);
    QCOMPARE(w.tab(uart).parityList()->currentText(), u"None"_s);
    QCOMPARE(shownRows(w.tab(uart).grid()),
             framedRows(RequestTable::format, RequestTable::fromRows(rows)));
    QVERIFY(w.dialogs.shown.isEmpty());

    // An upload that reads what is shown changes nothing, and the next edit
    // goes by its own name.
    w.click(uart, names.upload);
    QVERIFY(w.finished());
    w.tab(uart).speedList()->setCurrentIndex(0);
    QTRY_COMPARE(w.main->findChild<QAction *>(u"undo"_s)->text().remove(u'&'),
                 u"Undo Change UART %1 speed"_s.arg(uart));
}

void TestUartTabTransfer::failedUploadChangesNothing_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("silent"); // the request not answered; 0 for none
    QTest::addColumn<QString>("message");
    QTest::newRow("silent mode word") << 0xC002 << 1 << answerTimeout;
    QTest::newRow("silent table") << 0xC002 << 2 << answerTimeout;
    QTest::newRow("129 rows") << 0xC081 << 0 << wrongAnswer;
    QTest::newRow("parity 3") << 0x5801 << 0 << wrongAnswer;
    QTest::newRow("no role") << 0x2000 << 0 << "";
}

// The tab holds a master role chosen on a fresh start (table disabled) with
// rows of a configuration load; none of it changes.
void TestUartTabTransfer::failedUploadChangesNothing()
{
    QFETCH(int, word);
    QFETCH(int, silent);
    QFETCH(QString, message);
    UartWindow w;
    w.open(2).selectRole(0);
    w.tab(2).grid()->setEntries(RequestTable::fromRows(sampleRows(3)));
    w.tab(2).speedList()->setCurrentIndex(0);
    const UartSettings before = w.tab(2).configuration();
    w.sim.setWord(0x2006, quint16(word));
    if (silent)
        faultAt(w.sim, SimFault::Silent, silent);
    w.click(2, u"Command26"_s);
    QVERIFY(w.finished());
    QCOMPARE(w.dialogs.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(w.main->statusBar()->currentMessage(), QString()); // nothing was read
    QCOMPARE(w.tab(2).configuration(), before);
    QVERIFY(!w.tab(2).grid()->isEnabled());
}

// "Download" and "Upload" are inactive in the window; their handlers move
// the mode word and the slave timeout alone.
void TestUartTabTransfer::slaveSettingsRoundTrip()
{
    UartWindow w;
    UartTab &tab = w.open(2);
    QVERIFY(!w.child<QWidget>(2, u"Command24"_s)->isEnabled());
    QVERIFY(!w.child<QWidget>(2, u"Command25"_s)->isEnabled());
    tab.speedList()->setCurrentIndex(7);
    tab.parityList()->setCurrentIndex(1);
    tab.slaveAddressBox()->setText(u"5"_s);
    tab.slaveTimeoutBox()->setText(u"2000"_s);
    tab.downloadSlave();
    QVERIFY(w.finished());
    QCOMPARE(w.dialogs.shown.first().text, downloadQuestion);
    QCOMPARE(
        w.sim.requests(),
        QList<QByteArray>({writeFrame(u"3000"_s, u"0FFF"_s), writeFrame(u"2006"_s, u"054F"_s),
                           writeFrame(u"2004"_s, u"D007"_s), writeFrame(u"3000"_s, u"0000"_s)}));

    tab.speedList()->setCurrentIndex(0);
    tab.parityList()->setCurrentIndex(2);
    tab.slaveAddressBox()->setText(u"9"_s);
    tab.slaveTimeoutBox()->setText(u"1"_s);
    tab.uploadSlave();
    QVERIFY(w.finished());
    QCOMPARE(w.sim.requests().mid(4),
             QList<QByteArray>({readFrame(u"2006"_s, u"02"_s), readFrame(u"2004"_s, u"02"_s)}));
    QCOMPARE(tab.speedList()->currentText(), u"500000"_s);
    QCOMPARE(tab.parityList()->currentText(), u"Even"_s);
    QCOMPARE(tab.slaveAddressBox()->text(), u"5"_s);
    QCOMPARE(tab.slaveTimeoutBox()->text(), u"2000"_s);
    QCOMPARE(tab.optionHw(), 2);
    QCOMPARE(w.dialogs.messages(), QStringList());
}

void TestUartTabTransfer::slaveSettingsFailures()
{
    UartWindow w;
    UartTab &tab = w.open(2);
    faultAt(w.sim, SimFault::Refuse, 1);
    tab.downloadSlave();
    QVERIFY(w.finished());
    QCOMPARE(w.sim.requests().size(), 1);

    const UartSettings before = tab.configuration();
    faultAt(w.sim, SimFault::Silent, 2);
    tab.uploadSlave();
    QVERIFY(w.finished());
    QCOMPARE(tab.configuration(), before);
    QCOMPARE(w.dialogs.messages(), QStringList({wrongAnswer, answerTimeout}));
}

void TestUartTabTransfer::menuUploadsEveryPort()
{
    UartWindow w;
    const QList<RequestRow> rows = sampleRows(1);
    w.sim.setWord(0x2008, 0x540C);
    w.sim.setWord(0x2006, 0xD401);
    w.sim.setMemory(0x2902, recordBytes(rows));
    w.sim.setWord(0x200A, 0xC001);
    w.sim.setMemory(0x200C, QByteArray::fromHex("FF285D4C00039A00B80B"));
    auto *menu = w.main->findChild<QAction *>(u"upload_from_plc"_s);
    QVERIFY(menu->isEnabled());
    menu->trigger();
    QVERIFY(!menu->isEnabled());
    QVERIFY(w.finished());
    QCOMPARE(w.sim.requests(),
             QList<QByteArray>({readFrame(u"2008"_s, u"02"_s), readFrame(u"2006"_s, u"02"_s),
                                readFrame(u"2902"_s, u"08"_s), readFrame(u"200A"_s, u"02"_s),
                                readFrame(u"200C"_s, u"0A"_s)}));
    QCOMPARE(w.main->oneWireTab().configuration().sensors,
             TextTable({{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"}}));
    QCOMPARE(w.tab(1).optionHw(), 1);
    QCOMPARE(w.tab(1).slaveAddressBox()->text(), u"12"_s);
    QCOMPARE(w.tab(2).optionHw(), 0);
    QCOMPARE(shownRows(w.tab(2).grid()),
             framedRows(RequestTable::format, RequestTable::fromRows(rows)));
    QVERIFY(w.main->statusBar()->currentMessage().startsWith(
        u"UART 1, UART 2 and Auxiliary port read from COM1 at "_s));

    // A failure of UART1 leaves the other ports unread.
    faultAt(w.sim, SimFault::Silent, 6);
    menu->trigger();
    QVERIFY(w.finished());
    QCOMPARE(w.sim.requests().size(), 7); // the read sent once more
    QCOMPARE(w.dialogs.messages(), QStringList{answerTimeout});
    QVERIFY(menu->isEnabled());
}

void TestUartTabTransfer::tabWriteFitsWhatThePlcHolds_data()
{
    QTest::addColumn<bool>("sensors"); // the 1-wire tab writes 128 sensors, else UART 1 its rows
    QTest::newRow("UART 1 beside the PLC's 128 sensors") << false;
    QTest::newRow("128 sensors beside the PLC's UART 1 requests") << true;
}

// A tab writes its part only when it fits beside what the PLC holds of the
// other: the mode word is read, and nothing is written.
void TestUartTabTransfer::tabWriteFitsWhatThePlcHolds()
{
    QFETCH(bool, sensors);
    UartWindow w;
    if (sensors) {
        w.sim.setWord(0x2008, 0xC402); // UART 1: a master with two requests
        AuxSettings aux;
        aux.mode = AuxMode::OneWireMaster;
        for (int n = 1; n <= 128; ++n)
            aux.sensors << QStringList{
                QString::number(n),           "28", "FF", "4C", "5D", "03", "00", "00", "9A",
                QString::number(3000 + 2 * n)};
        w.main->oneWireTab().apply(aux);
        w.main->oneWireTab().writeToPlc();
    } else {
        w.sim.setWord(0x200A, 0xC080); // a 1-wire master with 128 sensors
        w.master(1, {{1, 10, 0, 100, 1, 1000}});
        w.click(1, u"Command19"_s);
    }
    QVERIFY(w.finished());
    QVERIFY2(w.dialogs.messages().last().startsWith(
                 u"The PLC cannot hold 128 sensors and UART 1's requests at once"_s),
             qPrintable(w.dialogs.messages().join(u'\n')));
    const QList<QByteArray> requests = w.sim.requests();
    QCOMPARE(requests, QList<QByteArray>{readFrame(sensors ? u"2008"_s : u"200A"_s, u"02"_s)});
}

void TestUartTabTransfer::verifyNamesDifferences_data()
{
    QTest::addColumn<int>("address"); // where the PLC's memory is changed
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("difference");
    QTest::newRow("request address")
        << 0x2502 << QByteArray("\x09") << "UART 1 row 1 Address: window 1, PLC 9";
    // The last columns: the request's timeout (low 12 bits of its last word)
    // and the sensor's register (its record's last two bytes).
    QTest::newRow("request timeout")
        << 0x2508 << QByteArray("\xE9") << "UART 1 row 1 Timeout,[ms]: window 1000, PLC 1001";
    QTest::newRow("sensor register")
        << 0x2014 << QByteArray("\xB9") << "1-wire row 1 Dxxxx: window 3000, PLC 3001";
}

// The window's "Verify PLC" reads the PLC, changes nothing and names what
// differs, column by column, as the command line does.
void TestUartTabTransfer::verifyNamesDifferences()
{
    QFETCH(int, address);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, difference);
    UartWindow w;
    w.master(1, {{1, 10, 0, 100, 1, 1000}});
    AuxSettings aux;
    aux.mode = AuxMode::OneWireMaster;
    aux.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"}};
    w.main->oneWireTab().apply(aux);
    w.click(1, u"Command19"_s);
    QVERIFY(w.finished());
    w.main->oneWireTab().writeToPlc();
    QVERIFY(w.finished());
    auto *verify = w.main->findChild<QAction *>(u"verify_plc"_s);
    verify->trigger();
    QVERIFY(w.finished());
    QCOMPARE(w.dialogs.messages(),
             QStringList{u"The PLC holds the configuration shown in the window."_s});
    // The status bar keeps the answer, with where and when.
    const QString said = w.main->statusBar()->currentMessage();
    QVERIFY2(said.startsWith(u"Verified on COM1 at "_s) &&
                 said.endsWith(u": the PLC holds what the window shows"_s),
             qPrintable(said));
    const Configuration shown = w.main->configuration();
    w.sim.setMemory(quint16(address), bytes);
    verify->trigger();
    QVERIFY(w.finished());
    QCOMPARE(w.dialogs.messages().last(), difference);
    QCOMPARE(w.main->configuration(), shown);
}

// Off, nothing is recorded; on, every frame with what it meant, including
// the silence of a write never answered.
void TestUartTabTransfer::trafficMonitorShowsFrames()
{
    UartWindow w;
    TrafficMonitor &monitor = w.main->trafficMonitor();
    QVERIFY(!monitor.isVisible());
    w.sim.setWord(0x2008, 0xD403);
    w.sim.setMemory(0x2502, recordBytes(sampleRows(3)));
    w.click(1, u"Command20"_s);
    QVERIFY(w.finished());
    QCoreApplication::processEvents();
    QCOMPARE(monitor.text(), QString());

    auto *toggle = w.main->findChild<QAction *>(u"traffic_monitor"_s);
    QCOMPARE(toggle->shortcut(), QKeySequence(Qt::Key_F12));
    toggle->trigger();
    QVERIFY(monitor.isVisible());
    w.click(1, u"Command20"_s);
    QVERIFY(w.finished());
    QTRY_VERIFY(monitor.text().contains(u"COM1 sent <STX>E00200802<ETX>D4"_s));
    QVERIFY(monitor.text().contains(u"received <STX>03D4<ETX>"_s));
    QVERIFY(monitor.text().contains(u"read 2008 (2): D403"_s));
    // Ten lines in sight at least; the record's answer, wider than the list,
    // shows its frame's middle left out and the whole line in its tooltip.
    auto *lines = monitor.findChild<QPlainTextEdit *>(u"traffic"_s);
    QVERIFY(lines->viewport()->height() >= 10 * lines->fontMetrics().lineSpacing());
    w.main->resize(700, w.main->height());
    QTest::qWait(400); // the lines are fitted again once resizing ends
    const QStringList whole = monitor.text().split(u'\n');
    QTextBlock block = lines->document()->firstBlock();
    qsizetype line = 0;
    while (block.isValid() && block.text() == whole.value(line)) {
        block = block.next();
        ++line;
    }
    QVERIFY2(block.isValid(), qPrintable(monitor.text()));
    QVERIFY(block.text().contains(u'\u2026'));
    QVERIFY(lines->fontMetrics().horizontalAdvance(block.text()) <= lines->viewport()->width());
    const QPoint at = lines->cursorRect(QTextCursor(block)).center();
    QHelpEvent help(QEvent::ToolTip, at, lines->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(lines->viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), whole.at(line));

    monitor.clear();
    faultAt(w.sim, SimFault::Silent, w.sim.requestCount() + 3); // after the check and 0FFF
    w.click(1, u"Command19"_s);
    QVERIFY(w.finished());
    QTRY_VERIFY(monitor.text().contains(u"no answer after 650 ms"_s));
    QVERIFY(monitor.text().contains(u"write 3000 \u2190 0FFF: ACK"_s));

    // Each line starts with its time of day; answers carry their time, the
    // silence its mark; the statistics count them.
    static const QRegularExpression stamped(u"^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} COM1 "_s);
    for (const QString &line : monitor.text().split(u'\n'))
        QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));
    QVERIFY(QRegularExpression(u"0FFF: ACK  \\+\\d+ ms$"_s, QRegularExpression::MultilineOption)
                .match(monitor.text())
                .hasMatch());
    QVERIFY(monitor.text().contains(u"no answer after 650 ms  [timeout]"_s));
    QVERIFY2(
        monitor.statistics().startsWith(u"COM1: 3 sent, 2 answers, 0 NAK, 0 wrong, 1 timeouts; "
                                        "answer time mean"_s),
        qPrintable(monitor.statistics()));

    const QString file = w.dir.filePath(u"traffic.txt"_s);
    w.dialogs.fileNames = {file};
    monitor.save();
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), monitor.text() + u'\n');

    // The filter shows the lines holding its text, and Save writes just those,
    // as CSV when the name says so.
    monitor.setFilter(u"timeout"_s);
    QCOMPARE(monitor.text().count(u'\n'), 0);
    QVERIFY(monitor.text().endsWith(u"[timeout]"_s));
    const QString csv = w.dir.filePath(u"traffic.csv"_s);
    w.dialogs.fileNames = {csv};
    monitor.save();
    QFile savedCsv(csv);
    QVERIFY(savedCsv.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(savedCsv.readAll()).split(u'\n');
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0), u"time,port,direction,frame,meaning,answer ms,mark,retry"_s);
    QVERIFY(rows.at(1).endsWith(u",COM1,silent,,no answer after 650 ms,,timeout,"_s));
    monitor.setFilter({});
    monitor.clear();
    QCOMPARE(monitor.statistics(), QString());
    toggle->trigger();
    monitor.clear();
    w.click(1, u"Command20"_s);
    QVERIFY(w.finished());
    QCoreApplication::processEvents();
    QCOMPARE(monitor.text(), QString());
}

void TestUartTabTransfer::backsUpBeforeWriting_data()
{
    QTest::addColumn<bool>("fails");      // the backup's first read goes unanswered
    QTest::addColumn<bool>("writes");     // the answer to "Write without a backup?"
    QTest::addColumn<int>("backups");     // kept afterwards
    QTest::addColumn<bool>("writeFails"); // the write after the backup goes unanswered
    QTest::newRow("backed up") << false << false << 1 << false;
    QTest::newRow("backed up, write lost") << false << false << 1 << true;
    QTest::newRow("failed, not written") << true << false << 0 << false;
    QTest::newRow("failed, written anyway") << true << true << 0 << false;
}

// The backup's reads come first, the download's frames stay as they are; a
// failed backup asks before anything is written.
void TestUartTabTransfer::backsUpBeforeWriting()
{
    QFETCH(bool, fails);
    QFETCH(bool, writes);
    UartWindow w(true);
    QVERIFY(w.main->findChild<QAction *>(u"backup_first"_s)->isChecked());
    w.master(1, {{1, 10, 0, 100, 1, 1000}});
    w.sim.setWord(0x0E02, 0x4501);
    w.sim.setWord(0x2008, 0xC401);
    w.sim.setMemory(0x2502, QByteArray::fromHex("0109000005001013"));
    QFETCH(bool, writeFails);
    if (fails)
        faultAt(w.sim, SimFault::Silent, 1);
    if (writeFails) // after the backup's three reads and the sensor count's
        faultAt(w.sim, SimFault::Silent, 5);
    w.dialogs.confirmations = {true, writes};
    w.click(1, u"Command19"_s);
    QTRY_VERIFY(w.finished() && w.dialogs.shown.size() >= (fails ? 2 : 1));
    QVERIFY(w.finished());
    const QList<PlcBackup::Entry> backups = PlcBackup::list(w.main->backupFolder());
    QTEST(int(backups.size()), "backups");
    const QList<QByteArray> requests = w.sim.requests();
    // CPU type (sent twice when unanswered), mode word, one row
    const qsizetype reads = fails ? 2 : 3;
    for (qsizetype k = 0; k < reads; ++k)
        QVERIFY(requests.at(k).startsWith("\x02"
                                          "E00"));
    QCOMPARE(requests.size() > reads, !fails || writes);
    if (fails) {
        QCOMPARE(w.dialogs.shown.at(1).text,
                 u"No backup of the PLC was made: Answer timeout from PLC\nWrite without a "
                 "backup?"_s);
        QCOMPARE(w.dialogs.shown.at(1).buttons, u"Yes|No"_s);
        return;
    }
    // Then the check of the PLC's sensor count, then the write.
    QCOMPARE(requests.mid(reads, 2),
             QList<QByteArray>({readFrame(u"200A"_s, u"02"_s), writeFrame(u"3000"_s, u"0FFF"_s)}));
    if (writeFails) {
        // The failure names the backup the PLC's part can be had back from.
        const QString told = w.dialogs.shown.last().text;
        QVERIFY2(
            told.startsWith(u"Answer timeout from PLC"_s) &&
                told.endsWith(
                    u"\nWhat the PLC held before this write is in the backup %1; File > "
                    "\"Restore PLC backup\u2026\" shows it in the window, to be written again."_s
                        .arg(QDir::toNativeSeparators(backups.first().path))),
            qPrintable(told));
        return;
    }
    QCOMPARE(backups.first().cpuType, 0x4501);
    QCOMPARE(backups.first().port, u"COM1"_s);
    const ConfigurationFile::Decoded kept =
        ConfigurationFile::load(backups.first().path, Configuration::defaults());
    QVERIFY(kept.configuration);
    QCOMPARE(kept.configuration->uart1.table, RequestTable::fromRows({{1, 9, 0, 5, 1, 0x310}}));

    // Shown in the window as a load, one undo step named by what the backup
    // holds (UART 1 only); UART 2 and the 1-wire tab stay as they are.
    w.master(2, {{2, 3, 0, 40, 2, 500}});
    AuxSettings aux;
    aux.mode = AuxMode::OneWireMaster;
    aux.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"}};
    w.main->oneWireTab().apply(aux);
    const Configuration before = w.main->configuration();
    auto *restore = w.main->findChild<QAction *>(u"Restore_backup"_s);
    QTimer::singleShot(0, w.main.get(), [&w] {
        auto *list = w.main->findChild<BackupList *>();
        QVERIFY(list && list->grid()->entries().size() == 1);
        list->accept();
    });
    restore->trigger();
    QCOMPARE(w.main->configuration().uart1.table, kept.configuration->uart1.table);
    QCOMPARE(w.main->configuration().uart2, before.uart2);
    QCOMPARE(w.main->configuration().aux, before.aux);
    QVERIFY(
        w.main->statusBar()->currentMessage().startsWith(u"UART 1 shown from the backup of "_s));
    QTRY_VERIFY(w.main->findChild<QAction *>(u"undo"_s)->text().remove(u'&').startsWith(
        u"Undo Show backup (UART 1) of "_s));
}

QTEST_MAIN(TestUartTabTransfer)
#include "tst_uarttabtransfer.moc"
