#include "config/configurationfile.h"
#include "config/configurationjson.h"
#include "link/inifile.h"
#include "modbus/requesttable.h"
#include "modbus/uarttab.h"
#include "onewire/onewiretab.h"
#include "onewire/sensortable.h"
#include "plcsimulator.h"
#include "simport.h"
#include "support/idleport.h"
#include "support/scripteddialogs.h"
#include "widgets/gridview.h"
#include "widgets/plccontrols.h"
#include "widgets/progress.h"
#include "widgets/qtuserdialogs.h"
#include "window/comsetting.h"
#include "window/mainwindow.h"
#include "window/registermapwindow.h"
#include "window/trafficmonitor.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <bit>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(UserDialogs::SaveChoice)

namespace {

const QString captionStart =
    u"PLC Tarvik v 465 for  STM32F103C8T6 from firmware G025   //Active port - COM "_s;

// Waits on the idle line until released or cancelled; reports 40 % first.
PlcSession::Operation heldOperation(const std::atomic<bool> &release)
{
    return [&release](PlcPort &port, const TransferProgress &progress) {
        progress(40);
        while (!release && port.waitForData(10ms) != PlcPort::Wait::Error) {
        }
    };
}

// Object names and captions of a menu's items, separators left out, the
// mnemonics' marks taken out as a screen reader does.
QStringList items(const QMenu *menu, bool enabledOnly = false)
{
    QStringList texts;
    for (const QAction *item : menu->actions()) {
        if (!item->isSeparator() && (item->isEnabled() || !enabledOnly))
            texts << item->objectName() + u'=' + QString(item->text()).remove(u'&');
    }
    return texts;
}

// The letters a menu's items are reached by with Alt, each item's own.
QString mnemonics(const QMenu *menu)
{
    QString letters;
    for (const QAction *item : menu->actions()) {
        const QString text = item->text();
        const qsizetype at = text.indexOf(u'&');
        if (!item->isSeparator())
            letters += at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : u'?';
    }
    return letters;
}

} // namespace

class TestMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void firstStartWithoutSettingsFile();
    void tabsFramesAndLabels();
    void mnemonicsDoNotClash();
    void diagTabOrderFollowsWhatIsShown();
    void startUpAppliesLinkSettingsToClosedPort();
    void savedAppSettingShowsBitsAndStopOnly();
    void captionFollowsPortNumber();
    void menuItemsAndTheirStates();

    void onlyOneOperationAtATime();
    void chainedOperationKeepsControlsDisabled();
    void progressWindowFollowsOperation();
    void closingDuringOperationWaitsForItsEnd_data();
    void closingDuringOperationWaitsForItsEnd();
    void userOperationWaitsForBackgroundRead();
    void noEditWhileTransferRuns();

    void defaultsAreTheStartUp();
    void appliedConfigurationIsCollectedBack();
    void collectShowsTypedEdits();
    void boxesWithoutTitleCarryToolName();
    void boxGoesWithItsParent_data();
    void boxGoesWithItsParent();

    void savesAndLoadsThroughMenu();
    void cancelledDialogsChangeNothing();
    void refusedFileChangesNothing_data();
    void refusedFileChangesNothing();
    void unfitSettingsFileKeepsDefaults();
    void asksBeforeSettingWorkAside_data();
    void asksBeforeSettingWorkAside();
    void marksRegisterConflicts();
    void randomConfigurationsRoundTrip();
    void wholeJourneyByKeyboard();

private:
    std::unique_ptr<Main> makeWindow();
    template <typename T = QComboBox>
    static T *child(const std::unique_ptr<Main> &window, const QString &name)
    {
        return window->findChild<T *>(name);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_ini;
    ScriptedDialogs m_dialogs;
    IdlePort *m_windowPort = nullptr; // the first port made: the window's own
};

void TestMain::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_ini = m_dir->filePath(u"set.ini"_s);
    m_dialogs = ScriptedDialogs();
}

std::unique_ptr<Main> TestMain::makeWindow()
{
    m_windowPort = nullptr;
    const auto factory = [this] {
        auto port = std::make_unique<IdlePort>();
        if (!m_windowPort)
            m_windowPort = port.get();
        return port;
    };
    return std::make_unique<Main>(Main::Context{m_ini, m_dialogs, factory});
}

void TestMain::firstStartWithoutSettingsFile()
{
    auto window = makeWindow();
    QCOMPARE(window->objectName(), u"Main"_s);
    QCOMPARE(window->windowTitle(), captionStart + u"1"_s);
    const QStringList shown = {
        "Speed_set=115200",  "Parity_set=None",  "Bit_setting=7", "Stop_bit=1",
        "Speed_set2=115200", "Parity_set2=None", "Combo10=",      "Combo7="};
    for (const QString &expected : shown) {
        const QString name = expected.section(u'=', 0, 0);
        QCOMPARE(name + u'=' + child(window, name)->currentText(), expected);
    }
    QVERIFY(!QFile::exists(m_ini));
    QVERIFY(m_dialogs.shown.isEmpty());
    QCOMPARE(child<QLabel>(window, u"file_state"_s)->text(), u"No file"_s);
}

void TestMain::tabsFramesAndLabels()
{
    const QStringList tabs = {"HW config:Frame5",
                              "UART 1:Frame_master,Frame_slave,Frame1",
                              "UART 2:Frame_master2,Frame_slave2,Frame13",
                              "1-wire:Frame3,USART3_setting,Frame2",
                              "Modbus diag:Frame7,Frame12,Frame6",
                              "1-wire diag:Frame8,Frame9",
                              "Converter:Frame10"};
    auto window = makeWindow();
    auto *tab = child<QTabWidget>(window, u"SSTab1"_s);
    QCOMPARE(tab->count(), tabs.size());
    for (int i = 0; i < tab->count(); ++i) {
        QCOMPARE(tab->tabText(i), tabs.at(i).section(u':', 0, 0));
        for (const QString &frame : tabs.at(i).section(u':', 1).split(u','))
            QVERIFY2(tab->widget(i)->findChild<QGroupBox *>(frame), qPrintable(frame));
    }
    QCOMPARE(child<QGroupBox>(window, u"Frame2"_s)->title(), u" Auxiliary port setting"_s);
    QCOMPARE(child<QGroupBox>(window, u"Frame13"_s)->title(), u"Modbus general setting"_s);

    // Every list has its label; the data and stop bits are inactive with it.
    // name|label|active
    const QStringList labels = {"Speed_set|Speed setting:|1",   "Parity_set|Parity setting|1",
                                "Bit_setting|Bit number:|0",    "Stop_bit|Stop bit|0",
                                "Parity_set2|Parity setting|1", "Combo10|Bit number:|0"};
    for (const QString &row : labels) {
        QComboBox *list = child(window, row.section(u'|', 0, 0));
        const QList<QLabel *> all = window->findChildren<QLabel *>();
        const auto label = std::find_if(all.begin(), all.end(),
                                        [list](const QLabel *l) { return l->buddy() == list; });
        QVERIFY2(label != all.end(), qPrintable(row));
        QCOMPARE((*label)->text(), row.section(u'|', 1, 1));
        const bool active = row.section(u'|', 2) == u"1"_s;
        QVERIFY(list->isEnabled() == active && (*label)->isEnabled() == active);
    }
}

namespace {

// The letter Alt takes a control to: after a '&' that is not "&&".
QChar mnemonicOf(const QString &text)
{
    for (qsizetype i = text.indexOf(u'&'); i >= 0 && i + 1 < text.size();
         i = text.indexOf(u'&', i + 2)) {
        if (text.at(i + 1) != u'&')
            return text.at(i + 1).toUpper();
    }
    return {};
}

// The mnemonics under `root`: buttons, labels given a buddy, menus' titles.
QMultiMap<QChar, QString> mnemonicsIn(const QWidget *root)
{
    QMultiMap<QChar, QString> found;
    const auto take = [&found](const QString &text) {
        if (const QChar c = mnemonicOf(text); !c.isNull() && c != u' ')
            found.insert(c, text);
    };
    for (const QAbstractButton *b : root->findChildren<QAbstractButton *>())
        take(b->text());
    for (const QLabel *l : root->findChildren<QLabel *>()) {
        if (l->buddy())
            take(l->text());
    }
    for (const QMenuBar *bar : root->findChildren<QMenuBar *>()) {
        for (const QAction *a : bar->actions())
            take(a->text());
    }
    return found;
}

QString clashes(const QMultiMap<QChar, QString> &letters)
{
    QStringList found;
    for (const QChar c : letters.uniqueKeys()) {
        if (letters.count(c) > 1)
            found << QStringList(letters.values(c)).join(u" / ");
    }
    return found.join(u"; ");
}

} // namespace

// Alt and a letter reaches one control in a window: the menus', the traffic
// monitor's (docked) and each tab page's letters together have no twins. The
// main buttons have one, and their accessible names are their captions.
void TestMain::mnemonicsDoNotClash()
{
    auto window = makeWindow();
    window->show();
    window->trafficMonitor().show();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    // With the traffic monitor docked, Alt+F opens the File menu at once.
    QMenu *file = window->menuBar()->actions().first()->menu();
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window.get(), Qt::Key_F,
                    Qt::AltModifier);
    QTRY_VERIFY(file->isVisible());
    file->hide();
    auto *tabs = child<QTabWidget>(window, u"SSTab1"_s);
    QMultiMap<QChar, QString> shared;
    for (const QAction *a : window->menuBar()->actions()) {
        if (const QChar c = mnemonicOf(a->text()); !c.isNull())
            shared.insert(c, a->text());
    }
    const QMultiMap<QChar, QString> monitor = mnemonicsIn(&window->trafficMonitor());
    for (auto it = monitor.cbegin(); it != monitor.cend(); ++it)
        shared.insert(it.key(), it.value());
    QVERIFY2(clashes(shared).isEmpty(), qPrintable(clashes(shared)));
    for (int i = 0; i < tabs->count(); ++i) {
        QMultiMap<QChar, QString> letters = shared;
        const QMultiMap<QChar, QString> page = mnemonicsIn(tabs->widget(i));
        for (auto it = page.cbegin(); it != page.cend(); ++it)
            letters.insert(it.key(), it.value());
        QVERIFY2(clashes(letters).isEmpty(),
                 qPrintable(tabs->tabText(i) + u": "_s + clashes(letters)));
    }
    ComSetting form(m_ini, m_dialogs, std::make_unique<IdlePort>());
    QVERIFY2(clashes(mnemonicsIn(&form)).isEmpty(), qPrintable(clashes(mnemonicsIn(&form))));
    // name|the letter|the accessible name
    const QStringList buttons = {"Command1|O|OK",         "Command2|E|Test",
                                 "find_plc|I|Find PLC",   "Command19|W|Write to PLC",
                                 "Command27|A|Add slave", "MB_watch|W|Watch"};
    for (const QString &row : buttons) {
        const QString name = row.section(u'|', 0, 0);
        auto *button = form.findChild<QAbstractButton *>(name);
        if (!button)
            button = window->findChild<QAbstractButton *>(name);
        QVERIFY2(button, qPrintable(name));
        QCOMPARE(mnemonicOf(button->text()), row.section(u'|', 1, 1).at(0));
        QCOMPARE(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name),
                 row.section(u'|', 2, 2));
    }
}

// Tab walks a diag tab as it is laid out: the tables from left to right,
// then the command panel's controls from left to right.
void TestMain::diagTabOrderFollowsWhatIsShown()
{
    auto window = makeWindow();
    window->show();
    auto *tabs = child<QTabWidget>(window, u"SSTab1"_s);
    for (const QString &name : {u"Modbus diag"_s, u"1-wire diag"_s}) {
        int index = 0;
        while (tabs->tabText(index) != name)
            ++index;
        tabs->setCurrentIndex(index);
        QWidget *page = tabs->widget(index);
        QCoreApplication::processEvents();
        QList<QWidget *> chain;
        for (QWidget *w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
            if (page->isAncestorOf(w) && w->isVisibleTo(page) &&
                (w->focusPolicy() & Qt::TabFocus) && !chain.contains(w))
                chain << w;
            if (chain.size() > 50 || w == window.get())
                break;
        }
        QVERIFY2(chain.size() >= 3, qPrintable(name));
        const auto place = [page](const QWidget *w) {
            return w->mapTo(page, QPoint(0, 0));
        };
        for (qsizetype i = 1; i < chain.size(); ++i) {
            const QPoint before = place(chain.at(i - 1));
            const QPoint now = place(chain.at(i));
            // The next control lies to the right on the same band, or below.
            const bool sameBand = std::abs(now.y() - before.y()) < 30;
            QVERIFY2(sameBand ? now.x() > before.x() : now.y() > before.y(),
                     qPrintable(name + u": "_s + chain.at(i - 1)->objectName() + u" then "_s +
                                chain.at(i)->objectName()));
        }
    }
}

void TestMain::startUpAppliesLinkSettingsToClosedPort()
{
    for (const QString pair : {"Speed=4", "Parity=0", "Bit_num=1", "Stop_bit=0", "Port_num=2"})
        Ini_write(m_ini, u"COM"_s, pair.section(u'=', 0, 0), pair.section(u'=', 1));
    auto window = makeWindow();
    QVERIFY(m_windowPort);
    QCOMPARE(m_windowPort->settings(), u"115200,N,8,1"_s);
    QCOMPARE(m_windowPort->portNumber(), 3);
    QVERIFY(!m_windowPort->isOpen());
    QCOMPARE(window->windowTitle(), captionStart + u"3"_s);
}

void TestMain::savedAppSettingShowsBitsAndStopOnly()
{
    auto window = makeWindow();
    for (const QString pair : {"Speed_set=0", "Parity_set=1", "Bit_setting=1", "Stop_bit=2"})
        child(window, pair.section(u'=', 0, 0))->setCurrentIndex(pair.section(u'=', 1).toInt());
    window->Save_app_Click();
    QCOMPARE(m_dialogs.shown.size(), 1);
    QCOMPARE(m_dialogs.shown.at(0).text,
             u"New default application setting was saved in *.ini file successfully "_s);
    QCOMPARE(m_dialogs.shown.at(0).title, QString());
    QFile file(m_ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(file.readAll()).simplified(),
             u"[COM_MB] Speed=0 Parity=1 Bit_num=1 Stop_bit=2"_s);

    auto next = makeWindow();
    QCOMPARE(child(next, u"Bit_setting"_s)->currentText(), u"8"_s);
    QCOMPARE(child(next, u"Stop_bit"_s)->currentText(), u"2"_s);
    QCOMPARE(child(next, u"Speed_set"_s)->currentText(), u"115200"_s);
    QCOMPARE(child(next, u"Parity_set"_s)->currentText(), u"None"_s);
}

// Called directly and after "OK" in the link settings form; closing the form
// otherwise leaves the caption as it was.
void TestMain::captionFollowsPortNumber()
{
    auto window = makeWindow();
    Ini_write(m_ini, u"COM"_s, u"Port_num"_s, u"4"_s);
    window->Change_main_caption();
    QCOMPARE(window->windowTitle(), captionStart + u"5"_s);

    const auto answer = [](int port, bool ok) {
        QTimer::singleShot(0, qApp, [port, ok] {
            QWidget *form = QApplication::activeModalWidget();
            QVERIFY(form && form->objectName() == u"Com_setting"_s);
            form->findChild<QComboBox *>(u"Port_num"_s)->setCurrentIndex(port);
            if (ok)
                form->findChild<QPushButton *>(u"Command1"_s)->click();
            else
                form->close();
        });
    };
    answer(6, true);
    child<QAction>(window, u"Comm_setting"_s)->trigger();
    QCOMPARE(window->windowTitle(), captionStart + u"7"_s);
    answer(1, false);
    Ini_write(m_ini, u"COM"_s, u"Port_num"_s, u"8"_s);
    child<QAction>(window, u"Comm_setting"_s)->trigger();
    QCOMPARE(window->windowTitle(), captionStart + u"7"_s);
}

void TestMain::menuItemsAndTheirStates()
{
    auto window = makeWindow();
    window->show();
    auto *file = child<QMenu>(window, u"menus"_s);
    auto *plc = child<QMenu>(window, u"plc"_s);
    auto *about = child<QMenu>(window, u"about"_s);
    QCOMPARE(QStringList({file->title(), plc->title(), about->title()}),
             QStringList({"&File", "&PLC", "About"}));
    // Every item has its own letter.
    for (const QMenu *menu :
         {file, plc, child<QMenu>(window, u"edit"_s), child<QMenu>(window, u"view"_s)}) {
        const QString letters = mnemonics(menu);
        QVERIFY2(!letters.contains(u'?'), qPrintable(menu->objectName() + u' ' + letters));
        for (QChar letter : letters)
            QVERIFY2(letters.count(letter) == 1, qPrintable(menu->objectName() + u' ' + letters));
    }
    QVERIFY(!about->menuAction()->isEnabled());
    QCOMPARE(items(file), QStringList({"New_config=New config", "Load_config=Load config",
                                       "Save_config=Save config", "Recent_files=Recent files",
                                       u"Restore_backup=Restore PLC backup\u2026"_s, "Print=Print",
                                       "Save_app=Save app setting", "Exit=Exit"}));
    QCOMPARE(items(plc),
             QStringList({"Comm_setting=Comm. setting", "check_config=Check config",
                          "Search_1wire=Search 1-wire", "upload_from_plc=Upload from PLC",
                          "verify_plc=Verify PLC", "load_to_plc=Load to PLC",
                          "backup_first=Back up before writing"}));
    QCOMPARE(items(file, true) + items(plc, true),
             QStringList({"Load_config=Load config", "Save_config=Save config",
                          u"Restore_backup=Restore PLC backup\u2026"_s, "Exit=Exit",
                          "Comm_setting=Comm. setting", "Search_1wire=Search 1-wire",
                          "upload_from_plc=Upload from PLC", "verify_plc=Verify PLC",
                          "backup_first=Back up before writing"}));
    // What stays disabled says so.
    for (const QMenu *menu : {file, plc}) {
        for (const QAction *item : menu->actions()) {
            if (!item->isSeparator() && !item->isEnabled() &&
                item != child<QAction>(window, u"Recent_files"_s))
                QCOMPARE(item->toolTip(), PlcControls::notAvailable);
        }
    }
    QCOMPARE(child<QWidget>(window, u"Bit_setting"_s)->toolTip(), PlcControls::notAvailable);
    QVERIFY(child<QAction>(window, u"backup_first"_s)->isChecked()); // on unless turned off
    QCOMPARE(child<QAction>(window, u"Load_config"_s)->shortcut(), QKeySequence(u"Ctrl+O"_s));
    QCOMPARE(child<QAction>(window, u"Save_config"_s)->shortcut(), QKeySequence(u"Ctrl+Shift+S"_s));
    QCOMPARE(child<QAction>(window, u"save_shown_file"_s)->shortcut(), QKeySequence(u"Ctrl+S"_s));
    QCOMPARE(child<QAction>(window, u"Exit"_s)->shortcut(), QKeySequence(u"Ctrl+Q"_s));

    window->check_config_Click();
    QCOMPARE(m_dialogs.messages(), QStringList({"Not implemented yet "}));
    child<QAction>(window, u"Exit"_s)->trigger();
    QVERIFY(!window->isVisible());
}

void TestMain::onlyOneOperationAtATime()
{
    auto window = makeWindow();
    auto *button = new QPushButton(u"Write"_s, window.get());
    auto *inactive = new QPushButton(u"Download"_s, window.get());
    window->tabContext().registerPlcControl(button);
    window->tabContext().registerPlcControl(inactive, TabContext::Availability::Inactive);
    auto *comm = child<QAction>(window, u"Comm_setting"_s);
    QVERIFY(button->isEnabled() && !inactive->isEnabled() && comm->isEnabled());

    std::atomic<bool> release = false;
    QVERIFY(window->tabContext().session().run(heldOperation(release)));
    QVERIFY(!button->isEnabled() && !inactive->isEnabled() && !comm->isEnabled());
    QVERIFY(!window->tabContext().session().run(heldOperation(release)));
    auto *late = new QPushButton(u"Read"_s, window.get());
    window->tabContext().registerPlcControl(late);
    QVERIFY(!late->isEnabled());

    release = true;
    QTRY_VERIFY(button->isEnabled());
    QVERIFY(comm->isEnabled() && late->isEnabled() && !inactive->isEnabled());
}

// An operation started as another one ends keeps the controls disabled.
void TestMain::chainedOperationKeepsControlsDisabled()
{
    auto window = makeWindow();
    auto *button = new QPushButton(u"Upload"_s, window.get());
    window->tabContext().registerPlcControl(button);
    std::atomic<bool> releaseFirst = false;
    std::atomic<bool> releaseSecond = false;
    bool chained = false;
    window->tabContext().session().run(heldOperation(releaseFirst), [&] {
        chained = window->tabContext().session().run(heldOperation(releaseSecond));
    });
    releaseFirst = true;
    QTRY_VERIFY(chained);
    QTest::qWait(50);
    QVERIFY(window->tabContext().session().isBusy() && !button->isEnabled());
    releaseSecond = true;
    QTRY_VERIFY(button->isEnabled());
}

// A background read leaves the buttons enabled; an operation of the user
// asked for meanwhile waits for it and runs next; another one is refused
// until then. While one is asked for, no background read starts.
void TestMain::userOperationWaitsForBackgroundRead()
{
    auto window = makeWindow();
    TabContext &context = window->tabContext();
    auto *button = new QPushButton(u"Write"_s, window.get());
    context.registerPlcControl(button);
    std::atomic<bool> releaseRead = false;
    std::atomic<bool> releaseUser = false;
    QVERIFY(context.runInBackground(heldOperation(releaseRead)));
    QVERIFY(button->isEnabled());
    bool ran = false;
    QVERIFY(context.run(heldOperation(releaseUser), TabContext::ProgressWindow::Hidden,
                        [&ran] { ran = true; }));
    QVERIFY(!button->isEnabled() && context.userOperationPending());
    QVERIFY(!context.run(heldOperation(releaseUser), TabContext::ProgressWindow::Hidden));
    releaseRead = true;
    QTRY_VERIFY(context.session().isBusy() && !button->isEnabled() && !ran);
    QVERIFY(!context.runInBackground(heldOperation(releaseRead)));
    releaseUser = true;
    QTRY_VERIFY(ran && button->isEnabled());

    int idle = 0;
    connect(&context, &TabContext::idle, this, [&idle] { ++idle; });
    {
        const TabContext::UserOperation asked(context);
        QVERIFY(!context.runInBackground(heldOperation(releaseRead)));
        QCOMPARE(idle, 0);
    }
    QCOMPARE(idle, 1);
    QVERIFY(context.runInBackground(heldOperation(releaseRead)));
    QTRY_VERIFY(!context.session().isBusy());

    // The link settings form opens at once, a read under way or not: its
    // test runs on the window's session, next after the read.
    releaseRead = false;
    QVERIFY(context.runInBackground(heldOperation(releaseRead)));
    const qsizetype shown = m_dialogs.shown.size();
    bool clicked = false;
    bool waited = false;
    QTimer closer;
    closer.callOnTimeout([&] {
        auto *form = qobject_cast<ComSetting *>(QApplication::activeModalWidget());
        if (!form)
            return;
        if (!std::exchange(clicked, true)) {
            form->findChild<QPushButton *>(u"Command2"_s)->click();
            waited = form->isTesting() && context.session().isBusy();
            releaseRead = true;
        } else if (!form->isTesting()) {
            form->close();
        }
    });
    closer.start(10);
    child<QAction>(window, u"Comm_setting"_s)->trigger();
    QVERIFY(clicked && waited);
    QCOMPARE(m_dialogs.shown.size(), shown + 1);
    QVERIFY(m_dialogs.shown.last().text.startsWith(u"No first answer from PLC"_s));
}

// While a transfer of the user runs, the configuration's tabs, the Edit
// menu and loading take nothing: what it reads is applied over the
// configuration as it was at its start. A background read stops nothing.
void TestMain::noEditWhileTransferRuns()
{
    auto window = makeWindow();
    window->uart1Tab().findChild<QLineEdit *>()->setText(u"7"_s);
    QTRY_VERIFY(child<QAction>(window, u"undo"_s)->isEnabled());
    const auto editable = [&window] {
        return window->uart1Tab().isEnabled() && window->uart2Tab().isEnabled() &&
               window->oneWireTab().isEnabled() && child<QAction>(window, u"undo"_s)->isEnabled() &&
               child<QAction>(window, u"paste_rows"_s)->isEnabled() &&
               child<QAction>(window, u"Load_config"_s)->isEnabled() &&
               child<QAction>(window, u"Restore_backup"_s)->isEnabled();
    };
    std::atomic<bool> release = false;
    QVERIFY(window->tabContext().runInBackground(heldOperation(release)));
    QVERIFY(editable());
    release = true;
    QTRY_VERIFY(!window->tabContext().session().isBusy());
    release = false;
    QVERIFY(window->tabContext().run(heldOperation(release), TabContext::ProgressWindow::Hidden));
    QVERIFY(!window->uart1Tab().isEnabled() && !window->uart2Tab().isEnabled() &&
            !window->oneWireTab().isEnabled());
    QVERIFY(!child<QAction>(window, u"undo"_s)->isEnabled());
    QVERIFY(!child<QAction>(window, u"paste_rows"_s)->isEnabled());
    QVERIFY(!child<QAction>(window, u"Load_config"_s)->isEnabled());
    QVERIFY(!child<QAction>(window, u"Restore_backup"_s)->isEnabled());
    release = true;
    QTRY_VERIFY(editable());
}

void TestMain::progressWindowFollowsOperation()
{
    auto window = makeWindow();
    window->show();
    std::atomic<bool> release = false;
    bool progressShownAtDone = true;
    QVERIFY(
        window->tabContext().run(heldOperation(release), TabContext::ProgressWindow::Shown, [&] {
            progressShownAtDone = window->findChild<Progress *>()->isVisible();
        }));
    auto *progress = window->findChild<Progress *>(u"Progress"_s);
    QVERIFY(progress && progress->isVisible() && !progress->isModal());
    QCOMPARE(progress->windowTitle(), u"Download/upload progress"_s);
    auto *bar = progress->findChild<QProgressBar *>(u"ProgressBar1"_s);
    QVERIFY(bar && bar->minimum() == 0 && bar->maximum() == 100);
    QTRY_COMPARE(bar->value(), 40);
    QVERIFY(!window->tabContext().run(heldOperation(release), TabContext::ProgressWindow::Shown));
    QCOMPARE(window->findChildren<Progress *>().size(), 1);

    release = true;
    QTRY_VERIFY(window->findChildren<Progress *>().isEmpty());
    QVERIFY(!progressShownAtDone);

    // Shown on progress: only an operation that reports progress opens it.
    TabContext &context = window->tabContext();
    bool opened = false;
    QVERIFY(context.run([](PlcPort &, const TransferProgress &) {},
                        TabContext::ProgressWindow::OnProgress,
                        [&] { opened = !window->findChildren<Progress *>().isEmpty(); }));
    QTRY_VERIFY(!window->tabContext().session().isBusy());
    QVERIFY(!opened && window->findChildren<Progress *>().isEmpty());
    release = false;
    QVERIFY(context.run(heldOperation(release), TabContext::ProgressWindow::OnProgress));
    QTRY_VERIFY(!window->findChildren<Progress *>().isEmpty());
    QTRY_COMPARE(window->findChild<Progress *>()->findChild<QProgressBar *>()->value(), 40);
    release = true;
    QTRY_VERIFY(window->findChildren<Progress *>().isEmpty());
}

// No question, no write to the settings file, and the operation waiting on
// the line is cancelled rather than waited out.
void TestMain::closingDuringOperationWaitsForItsEnd_data()
{
    QTest::addColumn<bool>("write");  // a tab's download, or another operation
    QTest::addColumn<bool>("answer"); // to "Close when it has ended?"
    QTest::addColumn<bool>("exit");   // File > Exit, or the window manager's close
    QTest::newRow("write, exit, yes") << true << true << true;
    QTest::newRow("write, window manager, yes") << true << true << false;
    QTest::newRow("write, window manager, no") << true << false << false;
    QTest::newRow("read, exit, yes") << false << true << true;
    QTest::newRow("read, exit, no") << false << false << true;
}

// Both ways of closing ask while an operation runs; on Yes the window closes
// once the operation has ended and its result was shown, on No it stays.
void TestMain::closingDuringOperationWaitsForItsEnd()
{
    QFETCH(bool, write);
    QFETCH(bool, answer);
    QFETCH(bool, exit);
    auto window = makeWindow();
    window->show();
    child<QAction>(window, u"backup_first"_s)->setChecked(false);
    std::atomic<bool> release = false;
    const auto held = heldOperation(release);
    const TransferResult ended = TransferResult::failure(u"ended"_s);
    if (write)
        window->tabContext().download(
            window.get(), PlcPart::Uart1,
            [&held, &ended](PlcPort &port, const TransferProgress &progress) {
                held(port, progress);
                return ended;
            },
            TabContext::ProgressWindow::Shown);
    else
        QVERIFY(window->tabContext().transfer<TransferResult>(
            window.get(),
            [&held, &ended](PlcPort &port, const TransferProgress &progress) {
                held(port, progress);
                return ended;
            },
            TabContext::ProgressWindow::Shown));
    QTRY_VERIFY(window->tabContext().session().isBusy());
    m_dialogs.confirmations = {answer};
    if (exit)
        child<QAction>(window, u"Exit"_s)->trigger();
    else
        window->close();
    QCOMPARE(m_dialogs.shown.size(), 1);
    QCOMPARE(m_dialogs.shown.first().text,
             write ? u"A write to the PLC is running. Close when it has ended?"_s
                   : u"A PLC operation is running. Close when it has ended?"_s);
    QVERIFY(window->isVisible());
    // Asked again, it does not ask twice.
    window->close();
    QVERIFY(window->isVisible() && m_dialogs.shown.size() <= 2);

    release = true;
    QTRY_VERIFY(!window->tabContext().session().isBusy());
    QTRY_COMPARE(m_dialogs.messages().contains(u"ended"_s), true);
    if (answer)
        QTRY_VERIFY(!window->isVisible());
    else
        QVERIFY(!QTest::qWaitFor([&window] { return !window->isVisible(); }, 200));
}

// The start of the window: every port unused, UART1 and UART2 at 115200 and
// None, UART1 with 7 data bits and 1 stop bit, UART2 with none chosen,
// Field Net at 115200, 8 bits, Even and 2 stop bits, all tables empty.
void TestMain::defaultsAreTheStartUp()
{
    const Configuration defaults = Configuration::defaults();
    for (const UartSettings *uart : {&defaults.uart1, &defaults.uart2}) {
        QCOMPARE(uart->role, ModbusRole::NotUsed);
        QCOMPARE(uart->speed, 4);
        QCOMPARE(uart->parity, 2);
        QCOMPARE(uart->slaveTimeout, u"2"_s);
        QVERIFY(uart->table.isEmpty());
    }
    QCOMPARE(QList<int>({defaults.uart1.dataBits, defaults.uart1.stopBits}), QList<int>({0, 0}));
    QCOMPARE(QList<int>({defaults.uart2.dataBits, defaults.uart2.stopBits}), QList<int>({-1, -1}));
    QCOMPARE(defaults.uart1.slaveAddress + defaults.uart2.slaveAddress, u"12"_s);
    QCOMPARE(defaults.aux.mode, AuxMode::NotUsed);
    QCOMPARE(QList<int>({defaults.aux.fieldNetSpeed, defaults.aux.fieldNetDataBits,
                         defaults.aux.fieldNetParity, defaults.aux.fieldNetStopBits}),
             QList<int>({4, 1, 2, 1}));
    QVERIFY(defaults.aux.sensors.isEmpty());
    QCOMPARE(defaults.io.points.size(), 21);
    QCOMPARE(defaults.io, IoAssignment());

    auto window = makeWindow();
    QCOMPARE(window->configuration(), defaults);
    QCOMPARE(Configuration::startUp(m_ini), defaults);

    // Only the stored data and stop bits take effect.
    for (const QString pair : {"Speed=0", "Parity=1", "Bit_num=1", "Stop_bit=2"})
        Ini_write(m_ini, u"COM_MB"_s, pair.section(u'=', 0, 0), pair.section(u'=', 1));
    Configuration stored = defaults;
    stored.uart1.dataBits = 1;
    stored.uart1.stopBits = 2;
    QCOMPARE(Configuration::startUp(m_ini), stored);
    QCOMPARE(makeWindow()->configuration(), stored);
}

// What is applied is what is collected, and applying what was collected
// changes nothing on screen: not the table's open row, not its state.
void TestMain::appliedConfigurationIsCollectedBack()
{
    auto window = makeWindow();
    Configuration configuration = Configuration::defaults();
    configuration.uart1.role = ModbusRole::Master;
    configuration.uart1.speed = 7;
    configuration.uart1.table = {{"1", "3", "100", "0", "0", "1", "100"}};
    configuration.uart2.role = ModbusRole::Slave;
    configuration.uart2.parity = 1;
    configuration.uart2.dataBits = 1;
    configuration.uart2.slaveAddress = u"17"_s;
    configuration.uart2.slaveTimeout = u"250"_s;
    configuration.aux.mode = AuxMode::OneWireMaster;
    configuration.aux.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"}};
    configuration.io.points[0] = {1, u"Input -X"_s, u"X0"_s};
    window->apply(configuration);
    QCOMPARE(window->configuration(), configuration);

    GridView *grid = window->uart1Tab().grid();
    grid->setText(2, 3, u"typed in the open row"_s);
    const bool enabled = grid->isEnabled();
    window->apply(window->configuration());
    QCOMPARE(window->configuration(), configuration);
    QCOMPARE(grid->text(2, 3), u"typed in the open row"_s);
    QCOMPARE(grid->isEnabled(), enabled);
    QVERIFY(m_dialogs.shown.isEmpty());
}

void TestMain::collectShowsTypedEdits()
{
    auto window = makeWindow();
    window->show();
    window->findChild<QTabWidget *>(u"SSTab1"_s)->setCurrentWidget(&window->uart2Tab());
    auto *address = window->findChild<QLineEdit *>(u"Text16"_s);
    address->selectAll();
    QTest::keyClicks(address, u"42"_s);
    child(window, u"Speed_set2"_s)->setCurrentIndex(1);
    const UartSettings uart2 = window->configuration().uart2;
    QCOMPARE(uart2.slaveAddress, u"42"_s);
    QCOMPARE(uart2.speed, 1);
    QCOMPARE(window->configuration().uart1, Configuration::defaults().uart1);
}

void TestMain::boxesWithoutTitleCarryToolName()
{
    QtUserDialogs qtDialogs;
    UserDialogs &dialogs = qtDialogs;
    QStringList titles;
    const auto close = [&titles] {
        QTimer::singleShot(0, qApp, [&titles] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            titles << box->windowTitle();
            box->accept();
        });
    };
    close();
    dialogs.message(nullptr, u"text"_s);
    close();
    dialogs.message(nullptr, u"text"_s, u"Error in data"_s);
    close();
    dialogs.confirm(nullptr, u"sure?"_s);
    QCOMPARE(titles, QStringList({"PLC Tarvik", "Error in data", "PLC Tarvik"}));
}

void TestMain::boxGoesWithItsParent_data()
{
    QTest::addColumn<int>("kind"); // message, confirm, Yes/No, save question
    QTest::newRow("message") << 0;
    QTest::newRow("confirmation") << 1;
    QTest::newRow("yes or no") << 2;
    QTest::newRow("save question") << 3;
}

// A form deleted while a box over it is open (its deferred delete run by the
// box's own event loop) takes the box with it; the question counts as not
// answered, and nothing is freed twice.
void TestMain::boxGoesWithItsParent()
{
    QFETCH(int, kind);
    QtUserDialogs qtDialogs;
    UserDialogs &dialogs = qtDialogs;
    QPointer<QWidget> form = new QWidget;
    form->show();
    QTimer::singleShot(0, form.data(), [&form] {
        QVERIFY(QApplication::activeModalWidget());
        form->deleteLater();
    });
    bool answer = true;
    switch (kind) {
    case 0:
        dialogs.message(form.data(), u"Searching ended"_s);
        break;
    case 1:
        answer = dialogs.confirm(form.data(), u"sure?"_s);
        break;
    case 2:
        answer = dialogs.askYesNo(form.data(), u"sure?"_s);
        break;
    default:
        answer = dialogs.askToSave(form.data(), u"save?"_s) == UserDialogs::SaveChoice::Save;
        break;
    }
    QVERIFY(!form);
    QCOMPARE(answer, kind == 0);
    QVERIFY(!QApplication::activeModalWidget());
}

namespace {

Configuration sample()
{
    Configuration c = Configuration::defaults();
    c.uart1.role = ModbusRole::Master;
    c.uart1.table = {{"1", "3", "100", "0", "0", "1", "100"}, {"2", "4", "8", "7", "9", "0", "50"}};
    c.uart2.role = ModbusRole::Slave;
    c.uart2.slaveAddress = u"9"_s;
    c.aux.mode = AuxMode::OneWireMaster;
    c.aux.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"}};
    return c;
}

} // namespace

void TestMain::savesAndLoadsThroughMenu()
{
    const QString path = m_dir->filePath(u"plant.apc"_s);
    auto window = makeWindow();
    window->apply(sample());
    QVERIFY(window->isModified());
    m_dialogs.fileNames = {path};
    // Ctrl+S with no file shown yet asks where, as "Save config" does.
    child<QAction>(window, u"save_shown_file"_s)->trigger();
    QCOMPARE(m_dialogs.shown.size(), 1);
    const ScriptedDialogs::Shown save = m_dialogs.shown.first();
    QCOMPARE(save.kind, ScriptedDialogs::Shown::SaveFile);
    QCOMPARE(save.title, u"Save PLC configuration"_s);
    QCOMPARE(save.text, u"Ardel technology PLC config (*.apc);;All file (*.*);;PLC configuration "
                        "as JSON (*.json)"_s);
    // No file saved yet, and the settings file is not beside the program.
    QCOMPARE(save.directory, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    QCOMPARE(save.suffix, u"apc"_s);
    QVERIFY(QFile::exists(path) && !window->isModified());
    QCOMPARE(window->statusBar()->currentMessage(), QDir::toNativeSeparators(path));
    QCOMPARE(Ini_read(m_ini, u"RECENT"_s, u"File1"_s, {}), path);
    QCOMPARE(window->windowFilePath(), path);
    QVERIFY(window->windowTitle().startsWith(captionStart)); // the caption as it was
    // Then it saves there without asking, and says so.
    Configuration changed = sample();
    changed.uart2.speed = changed.uart2.speed == 3 ? 2 : 3;
    window->apply(changed);
    QVERIFY(window->isModified());
    child<QAction>(window, u"save_shown_file"_s)->trigger();
    QCOMPARE(m_dialogs.shown.size(), 1);
    QVERIFY(!window->isModified());
    QCOMPARE(window->statusBar()->currentMessage(),
             u"Saved to "_s + QDir::toNativeSeparators(path));
    QCOMPARE(ConfigurationFile::load(path, Configuration::defaults()).configuration, changed);
    window->apply(sample());
    child<QAction>(window, u"save_shown_file"_s)->trigger();

    // A fresh window loads it, from the menu or from the recent files.
    auto next = makeWindow();
    next->uart1Tab().grid()->setEnabled(false);
    m_dialogs = ScriptedDialogs();
    m_dialogs.fileNames = {path};
    child<QAction>(next, u"Load_config"_s)->trigger();
    QCOMPARE(m_dialogs.shown.first().title, u"Load PLC configuration"_s);
    QCOMPARE(m_dialogs.shown.first().directory, m_dir->path()); // the last file's folder
    QCOMPARE(next->configuration(), sample());
    QVERIFY(next->uart1Tab().grid()->isEnabled() && !next->isModified());
    QCOMPARE(next->windowTitle(), captionStart + u"1"_s);

    // Into tables that hold other entries, asking once about them.
    auto third = makeWindow();
    Configuration other = sample();
    other.uart1.table.append({"3", "5", "10", "1", "2", "3", "200"});
    other.aux.sensors.append({"2", "28", "00", "00", "00", "00", "00", "00", "01", "3002"});
    third->apply(other);
    m_dialogs = ScriptedDialogs();
    m_dialogs.saveChoices = {UserDialogs::SaveChoice::Discard};
    m_dialogs.fileNames = {path};
    child<QAction>(third, u"Load_config"_s)->trigger();
    QCOMPARE(third->configuration(), sample());
    QCOMPARE(std::count_if(m_dialogs.shown.cbegin(), m_dialogs.shown.cend(),
                           [](const ScriptedDialogs::Shown &s) {
                               return s.kind == ScriptedDialogs::Shown::SaveQuestion;
                           }),
             1);
    third->apply(Configuration::defaults());
    m_dialogs.saveChoices = {UserDialogs::SaveChoice::Discard};
    child<QAction>(third, u"Recent_file_1"_s)->trigger();
    QCOMPARE(third->configuration(), sample());

    // A copy whose settings file lies beside it offers its own folder.
    auto portable = std::make_unique<Main>(Main::Context{
        m_ini, m_dialogs, [] { return std::make_unique<IdlePort>(); }, m_dir->path()});
    m_dialogs = ScriptedDialogs();
    portable->Save_config_Click();
    QCOMPARE(m_dialogs.shown.first().directory, m_dir->path());

    // The JSON form by its name: the whole configuration, the I/O
    // assignment and Field Net's line too, which a record does not hold.
    const QString json = m_dir->filePath(u"plant.json"_s);
    Configuration whole = sample();
    whole.io.choose(0, 0); // X0
    whole.aux.fieldNetSpeed = 1;
    auto fifth = makeWindow();
    fifth->apply(whole);
    m_dialogs = ScriptedDialogs();
    m_dialogs.fileNames = {json};
    QVERIFY(fifth->Save_config_Click());
    QFile written(json);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), ConfigurationJson::write(whole));
    QVERIFY(!fifth->isModified());
    Configuration ioChanged = whole;
    ioChanged.io.choose(0, 1); // Y0
    fifth->apply(ioChanged);
    QVERIFY(fifth->isModified()); // the file holds it
    auto sixth = makeWindow();
    QVERIFY(sixth->loadFile(json));
    QCOMPARE(sixth->configuration(), whole);
    QVERIFY(!sixth->isModified());
    QCOMPARE(sixth->windowFilePath(), json);

    // A file dragged onto the window and dropped is loaded too.
    auto fourth = makeWindow();
    fourth->show();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(fourth.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(fourth.get(), &drop);
    QCOMPARE(fourth->configuration(), sample());
}

void TestMain::cancelledDialogsChangeNothing()
{
    auto window = makeWindow();
    window->Save_config_Click();
    child<QAction>(window, u"Load_config"_s)->trigger();
    QCOMPARE(m_dialogs.messages(), QStringList({"Saving was cancelled: nothing was written.",
                                                "Loading was cancelled: nothing was read."}));
    QCOMPARE(window->configuration(), Configuration::defaults());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
}

// A file that fails a check is refused whole: the message names what is
// wrong and the window shows what it showed.
void TestMain::refusedFileChangesNothing_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("error"); // after "<path> was not loaded: "
    QTest::addColumn<QString>("name");  // broken.apc unless given
    QByteArray record = ConfigurationFile::encode(sample()).record;
    // The JSON form, by its name, through the command line's own checks.
    QTest::newRow("json out of range") << QByteArray(R"({"uart1":{"role":5}})")
                                       << "%1: UART1 role: 5 is not a whole number "
                                          "from 0 to 2"
                                       << "broken.json";
    QTest::newRow("json cut short")
        << QByteArray(R"({"uart1":)") << "%1: not JSON: unterminated object at offset 9"
        << "broken.JSON";
    QTest::newRow("json unknown key")
        << QByteArray(R"({"uart3":{}})") << "%1: unknown key \"uart3\""
        << "broken.json";
    QTest::newRow("json, a record") << record << "%1: not JSON: illegal value at offset 1"
                                    << "broken.json";
    QTest::newRow("truncated") << record.left(15000)
                               << "%1 is not a configuration file: it holds 15000 bytes, a "
                                  "configuration file 15046"
                               << QString();
    QTest::newRow("oversized") << record + '\0'
                               << "%1 is not a configuration file: it holds 15047 bytes"
                               << QString();
    QTest::newRow("another kind") << QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(15038, 'x')
                                  << "UART 1 mode is 120, not 0 to 2" << QString();
    QTest::newRow("unreadable") << QByteArray() << "Cannot read %1: " << QString();
    const auto with = [&record](int offset, QByteArray bytes) {
        QByteArray changed = record;
        changed.replace(offset, bytes.size(), bytes);
        return changed;
    };
    const int uart2 = 3754 + 3741;
    QTest::newRow("mode out of range")
        << with(uart2 + 4, "\x07") << "UART 2 mode is 7, not 0 to 2" << QString();
    // A slave timeout the box cannot show whole; the load changes nothing.
    QByteArray half(4, '\0');
    qToLittleEndian(std::bit_cast<quint32>(2.5f), half.data());
    QTest::newRow("timeout 2.5")
        << with(uart2 + 9, half)
        << "UART 2 slave timeout is 2.5, not a whole number from -9999 to 32767" << QString();
}

void TestMain::refusedFileChangesNothing()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, error);
    QFETCH(QString, name);
    const QString path = m_dir->filePath(name.isEmpty() ? u"broken.apc"_s : name);
    QFile file(path);
    if (contents.isEmpty())
        QVERIFY(QDir().mkpath(path)); // a folder cannot be read as a file
    else
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    file.close();
    auto window = makeWindow();
    QVERIFY(!window->loadFile(path));
    QCOMPARE(m_dialogs.messages().size(), 1);
    const QString message = m_dialogs.messages().constFirst();
    // The file is named as the system names it (C:\\... on Windows).
    const QString native = QDir::toNativeSeparators(path);
    QVERIFY2(message.startsWith(native + u" was not loaded: "_s + error.replace(u"%1"_s, native)),
             qPrintable(message));
    QCOMPARE(window->configuration(), Configuration::defaults());
}

// A settings file the window cannot take: it starts with the defaults, says
// why in the status bar, and a save of the app setting reports the failure
// and leaves the file as it was.
void TestMain::unfitSettingsFileKeepsDefaults()
{
    const QByteArray binary = QByteArrayLiteral("[COM_MB]\nSpeed=0\n\0\x01");
    QFile file(m_ini);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(binary) == binary.size());
    file.close();
    auto window = makeWindow();
    QCOMPARE(window->configuration(), Configuration::defaults());
    QVERIFY(window->statusBar()->currentMessage().startsWith(m_ini + u" is not a text file"_s));
    window->Save_app_Click();
    QCOMPARE(m_dialogs.messages(), QStringList{Ini_problem(m_ini)});
    QCOMPARE(m_dialogs.shown.at(0).icon, UserDialogs::Icon::Critical);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), binary);
}

void TestMain::asksBeforeSettingWorkAside_data()
{
    QTest::addColumn<QString>("change"); // what is changed in the window
    QTest::addColumn<bool>("changed");   // whether that is a change a file holds
    QTest::addColumn<UserDialogs::SaveChoice>("choice");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("saved");
    const auto cancel = UserDialogs::SaveChoice::Cancel;
    QTest::newRow("unchanged") << "" << false << cancel << true << false;
    QTest::newRow("cancel") << "tables" << true << cancel << false << false;
    QTest::newRow("discard") << "tables" << true << UserDialogs::SaveChoice::Discard << true
                             << false;
    QTest::newRow("save") << "tables" << true << UserDialogs::SaveChoice::Save << true << true;
    // What the file does not hold is no unsaved change.
    QTest::newRow("I/O only") << "io" << false << cancel << true << false;
    QTest::newRow("Field Net only") << "fieldNet" << false << cancel << true << false;
    QTest::newRow("UART2 bits only") << "uart2Bits" << false << cancel << true << false;
}

void TestMain::asksBeforeSettingWorkAside()
{
    QFETCH(QString, change);
    QFETCH(bool, changed);
    QFETCH(UserDialogs::SaveChoice, choice);
    const QString path = m_dir->filePath(u"kept.apc"_s);
    auto window = makeWindow();
    window->show();
    Configuration c = window->configuration();
    if (change == u"tables")
        c = sample();
    else if (change == u"io")
        c.io.choose(3, 1);
    else if (change == u"fieldNet")
        c.aux.fieldNetSpeed = 1;
    else if (change == u"uart2Bits")
        c.uart2.dataBits = c.uart2.stopBits = 1;
    window->apply(c);
    QCOMPARE(window->configuration(), c);
    m_dialogs.saveChoices = {choice};
    m_dialogs.fileNames = {path};
    child<QAction>(window, u"Exit"_s)->trigger();
    QTEST(!window->isVisible(), "closes");
    QTEST(QFile::exists(path), "saved");
    QCOMPARE(m_dialogs.shown.isEmpty(), !changed);
    if (changed) {
        QCOMPARE(m_dialogs.shown.first().text, u"Save changes to the configuration?"_s);
        QCOMPARE(m_dialogs.shown.first().buttons, u"Save|Discard|Cancel"_s);
    }
}

// The cells of a conflict are marked with it, the status bar counts them,
// the map's window lists every area; an edit that ends them clears it all.
void TestMain::marksRegisterConflicts()
{
    auto window = makeWindow();
    window->show();
    Configuration c = sample();
    c.uart1.table = {{"1", "1", "25", "0", "1500", "1", "1000"},
                     {"2", "2", "10", "0", "1510", "1", "1000"}};
    c.aux.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "1502"}};
    window->apply(c);
    QTRY_COMPARE(window->registerMap().conflicts.size(), 2);
    auto *count = child<QLabel>(window, u"register_conflicts"_s);
    QVERIFY(count->isVisible() && count->text().contains(u">2 register conflicts<"_s));
    const GridModel *requests = window->uart1Tab().grid()->grid();
    const QModelIndex master = requests->cell(2, RequestTable::AddressMaster);
    QVERIFY(master.data(GridModel::WarningRole).toBool());
    QCOMPARE(master.data(Qt::ToolTipRole).toString(),
             u"UART 1 row 1 and UART 1 row 2 both fill registers 1510 to 1519"_s);
    const QModelIndex reg = window->oneWireTab().grid()->grid()->cell(1, SensorTable::Register);
    QVERIFY(reg.data(Qt::ToolTipRole)
                .toString()
                .endsWith(u"sensor 1 (register 1502) lies inside UART 1 row 1's registers 1500 "
                          "to 1524"_s));
    QVERIFY(!requests->cell(2, RequestTable::Timeout).data(GridModel::WarningRole).toBool());

    child<QAction>(window, u"register_map"_s)->trigger();
    auto *map = window->findChild<RegisterMapWindow *>();
    QVERIFY(map && map->isVisible());
    QCOMPARE(map->grid()->entries().size(), 3); // two requests and the sensor
    QVERIFY(map->grid()->grid()->cell(1, 1).data(GridModel::HighlightRole).toBool());

    window->uart1Tab().grid()->setText(2, RequestTable::AddressMaster, u"3000"_s);
    window->oneWireTab().grid()->setText(1, SensorTable::Register, u"4000"_s);
    QTRY_VERIFY(window->registerMap().conflicts.isEmpty());
    QVERIFY(!count->isVisible());
    QVERIFY(!requests->cell(2, RequestTable::AddressMaster).data(GridModel::WarningRole).toBool());
    QVERIFY(!map->grid()->grid()->cell(1, 1).data(GridModel::HighlightRole).toBool());

    // A file with cells a download refuses loads, and they are marked at once.
    c.uart1.table = {{"1", "1", "10", "0", "100", "238", "1000"}};
    c.aux.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "9000"}};
    const QString path = m_dir->filePath(u"refused.apc"_s);
    QVERIFY(ConfigurationFile::save(path, c).isEmpty());
    m_dialogs.saveChoices = {UserDialogs::SaveChoice::Discard};
    QVERIFY(window->loadFile(path));
    QCOMPARE(window->statusBar()->currentMessage(),
             QDir::toNativeSeparators(path) +
                 u": 2 cells a download refuses, marked in the tables"_s);
    const QModelIndex function = requests->cell(1, RequestTable::Function);
    QTRY_VERIFY(function.data(GridModel::WarningRole).toBool());
    QVERIFY(function.data(Qt::ToolTipRole)
                .toString()
                .endsWith(u"A download refuses this cell: Function takes 0 to 4"_s));
    QVERIFY(window->oneWireTab()
                .grid()
                ->grid()
                ->cell(1, SensorTable::Register)
                .data(Qt::ToolTipRole)
                .toString()
                .endsWith(u"A download refuses this cell: Dxxxx takes -32768 to 7997"_s));

    // The keyboard on a marked cell: the status bar says what its tooltip
    // says, which a keyboard user would never see.
    GridView *grid = window->uart1Tab().grid();
    window->show();
    QApplication::setActiveWindow(window.get());
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());
    grid->setCursorCell(1, RequestTable::Function + 1);
    QTest::keyClick(grid, Qt::Key_Left);
    QCOMPARE(grid->cursorColumn(), int(RequestTable::Function));
    QCOMPARE(window->statusBar()->currentMessage(), function.data(Qt::ToolTipRole).toString());
}

// Any configuration the tabs can hold comes back from its file unchanged.
void TestMain::randomConfigurationsRoundTrip()
{
    QRandomGenerator random(20261208);
    const auto number = [&random](int low, int high) {
        return QString::number(random.bounded(low, high + 1));
    };
    const auto hex = [&random] {
        return QStringLiteral("%1").arg(random.bounded(256), 2, 16, QLatin1Char('0')).toUpper();
    };
    for (int round = 0; round < 10; ++round) {
        Configuration c = Configuration::defaults();
        for (UartSettings *uart : {&c.uart1, &c.uart2}) {
            uart->role = ModbusRole(random.bounded(3));
            uart->speed = random.bounded(8);
            uart->parity = random.bounded(3);
            uart->slaveAddress = number(0, 255);
            // UART2's box takes five characters.
            uart->slaveTimeout = number(uart == &c.uart1 ? -32768 : -9999, 32767);
            for (int row = 1, rows = random.bounded(0, 129); row <= rows; ++row)
                uart->table << QStringList{QString::number(row),  number(0, 255),
                                           number(0, 255),        number(-32768, 32767),
                                           number(-32768, 32767), number(0, 255),
                                           number(-32768, 32767)};
        }
        c.uart1.dataBits = random.bounded(3);
        c.uart1.stopBits = random.bounded(3);
        c.aux.mode = AuxMode(random.bounded(3));
        for (int row = 1, rows = random.bounded(0, 129); row <= rows; ++row) {
            QStringList cells{QString::number(row)};
            for (int b = 0; b < 8; ++b)
                cells << hex();
            c.aux.sensors << (cells << number(-32768, 32767));
        }
        const QString path = m_dir->filePath(QStringLiteral("round%1.apc").arg(round));
        auto window = makeWindow();
        window->apply(c);
        m_dialogs.fileNames = {path};
        QVERIFY(window->Save_config_Click());
        auto fresh = makeWindow();
        QVERIFY(fresh->loadFile(path));
        QCOMPARE(fresh->configuration(), c);
    }
}

// Keys go where the focus is, as a user's do, and the window takes each
// before the next comes; `to` presses Tab until the control of that name
// has the focus.
struct Keyboard
{
    static QWidget *focus() { return QApplication::focusWidget(); }
    static void press(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QVERIFY(QTest::qWaitFor([] { return focus() != nullptr; })); // a window opening
        QTest::keyClick(focus(), Qt::Key(key), modifiers);
        QCoreApplication::processEvents();
    }
    // Into a box, in place of its text; on a cell, the first key opens it.
    static void type(const QString &text)
    {
        if (qobject_cast<QLineEdit *>(focus()))
            press(Qt::Key_A, Qt::ControlModifier);
        for (QChar c : text) {
            QTest::keyClick(focus(), c.toLatin1());
            QCoreApplication::processEvents();
        }
    }
    // Tabs to the control named, which must show a frame around it.
    static bool to(const QString &name)
    {
        for (int n = 0; n < 80; ++n) {
            if (focus() && focus()->objectName() == name)
                return framed();
            press(Qt::Key_Tab);
        }
        return false;
    }
    static bool framed()
    {
        const QList<QFocusFrame *> frames = focus()->window()->findChildren<QFocusFrame *>();
        return std::any_of(frames.cbegin(), frames.cend(), [](const QFocusFrame *frame) {
            return frame->widget() == focus() && frame->isVisible();
        });
    }
};

// A UART 1 master table set up, written and saved without the mouse: the
// tabs, the role, the request dialog, a cell typed into and its undo, the
// write with its status line, and the file with its status field.
void TestMain::wholeJourneyByKeyboard()
{
    using K = Keyboard;
    PlcSimulator sim;
    Main window(Main::Context{m_ini, m_dialogs, [&sim] {
                                  return std::make_unique<SimPort>(sim);
                              }});
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *tabs = window.findChild<QTabWidget *>(u"SSTab1"_s);
    tabs->tabBar()->setFocus();
    K::press(Qt::Key_Right);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), u"UART 1"_s);

    QVERIFY(K::to(u"Option4_0"_s)); // "Modbus master"
    K::press(Qt::Key_Space);
    QVERIFY(window.findChild<QRadioButton *>(u"Option4_0"_s)->isChecked());

    QVERIFY(K::to(u"Command1"_s)); // "Add slave"
    K::press(Qt::Key_Space);
    QTRY_VERIFY(K::focus() && K::focus()->window()->objectName() == u"Slave"_s);
    for (const auto &[field, text] : {std::pair{"mb_address", "1"},
                                      {"mb_slave_count", "10"},
                                      {"mb_slave_addr", "0"},
                                      {"mb_master_addr", "100"},
                                      {"mb_timeout", "1000"}}) {
        QVERIFY2(K::to(QLatin1String(field)), field);
        K::type(QLatin1String(text));
    }
    K::press(Qt::Key_Return);
    // The desktop gives the window back its activation once a dialog has
    // closed; the offscreen platform leaves that to the test.
    QTRY_VERIFY(!QApplication::activeWindow());
    QApplication::setActiveWindow(&window);
    QTRY_VERIFY(K::focus() && K::focus()->window() == &window);
    GridView *grid = window.findChild<GridView *>(u"grid"_s);
    QStringList row = grid->entries().value(0);
    row.removeAt(RequestTable::Function); // the dialog's first function, untouched
    QCOMPARE(row, QStringList({"1", "1", "10", "0", "100", "1000"}));
    QCOMPARE(grid->accessibleName(), u"Modbus master configuration"_s);

    // Typing on the timeout cell edits it; Undo takes the whole edit back.
    QVERIFY(K::to(u"grid"_s));
    grid->setCursorCell(1, 1);
    for (int c = 1; c < RequestTable::Timeout; ++c)
        K::press(Qt::Key_Right);
    K::type(u"2000"_s);
    K::press(Qt::Key_Return);
    QTRY_COMPARE(grid->text(1, RequestTable::Timeout), u"2000"_s);
    QTRY_COMPARE(window.history().undoName(), u"Edit request 1 on UART 1"_s);
    K::press(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(grid->text(1, RequestTable::Timeout), u"1000"_s);

    QVERIFY(K::to(u"Command19"_s)); // "Write to PLC"
    K::press(Qt::Key_Space);
    QTRY_VERIFY(window.statusBar()->currentMessage().startsWith(u"UART 1 written to COM1 at "_s));
    const QList<QByteArray> requests = sim.requests();
    QVERIFY(std::any_of(requests.cbegin(), requests.cend(), [](const QByteArray &r) {
        return r.contains("E11250208010A"); // the request record
    }));
    // The progress window has come and gone (see above on activation).
    QTRY_VERIFY(!window.tabContext().session().isBusy());
    if (!QApplication::activeWindow())
        QApplication::setActiveWindow(&window);
    // The keyboard is back on the button that started the write.
    QTRY_COMPARE(window.focusWidget()->objectName(), u"Command19"_s);

    const QString path = m_dir->filePath(u"site.apc"_s);
    m_dialogs.fileNames.push_back(path);
    K::press(Qt::Key_S, Qt::ControlModifier);
    QVERIFY(QFile::exists(path));
    auto *fileState = window.findChild<QLabel *>(u"file_state"_s);
    QCOMPARE(fileState->text(), u"site.apc"_s);
    QVERIFY(K::to(u"grid"_s));
    K::press(Qt::Key_Home, Qt::ControlModifier);
    K::press(Qt::Key_Right);
    K::type(u"3"_s);
    K::press(Qt::Key_Return);
    QTRY_COMPARE(fileState->text(), u"site.apc \u2014 modified"_s);
}

QTEST_MAIN(TestMain)
#include "tst_mainwindow.moc"
