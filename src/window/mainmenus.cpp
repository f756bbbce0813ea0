// The main window's menu bar, and the items that only open a form or say
// something.

#include "mainwindow.h"

#include "config/configurationdocument.h"
#include "link/inifile.h"
#include "link/portsetup.h"
#include "link/traffic.h"
#include "modbus/uarttab.h"
#include "onewire/onewiretab.h"
#include "widgets/gridview.h"
#include "widgets/plccontrols.h"
#include "widgets/userdialogs.h"
#include "window/comsetting.h"
#include "window/trafficmonitor.h"

#include <QDir>
#include <QMenuBar>
#include <QPointer>

QAction *Main::addItem(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

void Main::buildMenu()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("menus"));
    buildFileMenu(file);
    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("edit"));
    buildEditMenu(edit);
    QMenu *plc = menuBar()->addMenu(QStringLiteral("&PLC"));
    plc->setObjectName(QStringLiteral("plc"));
    buildPlcMenu(plc);
    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("view"));
    view->addAction(m_monitor->toggleViewAction());
    m_monitor->toggleViewAction()->setText(QStringLiteral("&Traffic monitor"));
    connect(addItem(view, QStringLiteral("register_map"), QStringLiteral("&Register map")),
            &QAction::triggered, this, &Main::showRegisterMap);
    QMenu *about = menuBar()->addMenu(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("about"));
    PlcControls::markNotAvailable(about->menuAction());
    for (QMenu *menu : menuBar()->findChildren<QMenu *>())
        menu->setToolTipsVisible(true);
}

// Items without an action, and inactive ones, are shown greyed.
void Main::buildFileMenu(QMenu *menu)
{
    PlcControls::markNotAvailable(
        addItem(menu, QStringLiteral("New_config"), QStringLiteral("&New config")));
    QAction *load = addItem(menu, QStringLiteral("Load_config"), QStringLiteral("&Load config"));
    load->setShortcut(QKeySequence::Open);
    connect(load, &QAction::triggered, this, &Main::Load_config_Click);
    m_loadItems << load;
    // "Save config" asks where, as always (Ctrl+Shift+S); Ctrl+S saves to
    // the file shown, and asks only when there is none.
    QAction *save = addItem(menu, QStringLiteral("Save_config"), QStringLiteral("&Save config"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(save, &QAction::triggered, this, &Main::Save_config_Click);
    auto *saveShown = new QAction(QStringLiteral("Save to the file shown"), this);
    saveShown->setObjectName(QStringLiteral("save_shown_file"));
    saveShown->setShortcut(QKeySequence::Save);
    saveShown->setShortcutContext(Qt::WindowShortcut);
    connect(saveShown, &QAction::triggered, this, &Main::saveShownFile);
    addAction(saveShown);
    m_recent = menu->addMenu(QStringLiteral("&Recent files"));
    m_recent->setObjectName(QStringLiteral("Recent_files"));
    m_recent->menuAction()->setObjectName(QStringLiteral("Recent_files"));
    buildRecentMenu();
    QAction *restore =
        addItem(menu, QStringLiteral("Restore_backup"), QStringLiteral("Restore PLC &backup…"));
    connect(restore, &QAction::triggered, this, &Main::restoreBackup);
    m_loadItems << m_recent->menuAction() << restore;
    PlcControls::markNotAvailable(addItem(menu, QStringLiteral("Print"), QStringLiteral("&Print")));
    QAction *saveApp =
        addItem(menu, QStringLiteral("Save_app"), QStringLiteral("Save &app setting"));
    PlcControls::markNotAvailable(saveApp);
    connect(saveApp, &QAction::triggered, this, &Main::Save_app_Click);
    menu->addSeparator();
    QAction *exit = addItem(menu, QStringLiteral("Exit"), QStringLiteral("E&xit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &QWidget::close);
}

void Main::buildPlcMenu(QMenu *menu)
{
    // The link settings form tests the same line, so it waits for a transfer.
    QAction *comm = addItem(menu, QStringLiteral("Comm_setting"), QStringLiteral("&Comm. setting"));
    connect(comm, &QAction::triggered, this, &Main::Comm_setting_Click);
    m_context->registerPlcAction(comm);
    QAction *check = addItem(menu, QStringLiteral("check_config"), QStringLiteral("C&heck config"));
    PlcControls::markNotAvailable(check);
    connect(check, &QAction::triggered, this, &Main::check_config_Click);
    QAction *search =
        addItem(menu, QStringLiteral("Search_1wire"), QStringLiteral("&Search 1-wire"));
    connect(search, &QAction::triggered, this, &Main::Search_1wire_Click);
    m_context->registerPlcAction(search);
    QAction *upload =
        addItem(menu, QStringLiteral("upload_from_plc"), QStringLiteral("&Upload from PLC"));
    connect(upload, &QAction::triggered, this, &Main::upload_from_plc_Click);
    m_context->registerPlcAction(upload);
    QAction *verify = addItem(menu, QStringLiteral("verify_plc"), QStringLiteral("&Verify PLC"));
    connect(verify, &QAction::triggered, this, &Main::verifyPlc);
    m_context->registerPlcAction(verify);
    PlcControls::markNotAvailable(
        addItem(menu, QStringLiteral("load_to_plc"), QStringLiteral("&Load to PLC")));
    m_backupFirst =
        addItem(menu, QStringLiteral("backup_first"), QStringLiteral("&Back up before writing"));
    m_backupFirst->setCheckable(true);
    m_backupFirst->setChecked(Ini_read(iniFile(), QStringLiteral("BACKUP"),
                                       QStringLiteral("Enabled"), QStringLiteral("1"))
                                  .trimmed() != QLatin1String("0"));
    connect(m_backupFirst, &QAction::toggled, this, [this](bool on) {
        const QString error =
            Ini_write(iniFile(), QStringLiteral("BACKUP"), QStringLiteral("Enabled"),
                      on ? QStringLiteral("1") : QStringLiteral("0"));
        if (!error.isEmpty())
            dialogs().message(this, error, {}, UserDialogs::Icon::Warning);
    });
}

void Main::buildRecentMenu()
{
    m_recent->clear();
    const QStringList files = m_document->recentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files.at(i);
        QAction *item = addItem(m_recent, QStringLiteral("Recent_file_%1").arg(i + 1),
                                QDir::toNativeSeparators(path));
        connect(item, &QAction::triggered, this, [this, path] { loadFile(path); });
    }
    m_recent->setEnabled(!files.isEmpty());
}

void Main::buildEditMenu(QMenu *menu)
{
    m_undo = addItem(menu, QStringLiteral("undo"), QStringLiteral("&Undo"));
    m_undo->setShortcut(QKeySequence::Undo);
    connect(m_undo, &QAction::triggered, this, &Main::undo);
    m_redo = addItem(menu, QStringLiteral("redo"), QStringLiteral("&Redo"));
    m_redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(m_redo, &QAction::triggered, this, &Main::redo);
    menu->addSeparator();
    connect(addItem(menu, QStringLiteral("copy_rows"), QStringLiteral("&Copy rows")),
            &QAction::triggered, this, [this] {
                if (GridView *grid = currentTable())
                    grid->copyRows();
            });
    m_paste = addItem(menu, QStringLiteral("paste_rows"), QStringLiteral("&Paste rows"));
    connect(m_paste, &QAction::triggered, this, [this] {
        GridView *grid = currentTable();
        if (!grid)
            return;
        const qsizetype before = grid->entries().size();
        grid->pasteRows();
        // A request table takes rows at once, as after "Add slave".
        if (grid->entries().size() > before)
            grid->setEnabled(true);
    });
}

void Main::Save_app_Click()
{
    const UartSettings uart1 = m_uart1->configuration();
    const auto entry = [](const char *key, int index) {
        return std::pair{QString::fromLatin1(key), QString::number(index)};
    };
    const QString error =
        Ini_write(iniFile(), QStringLiteral("COM_MB"),
                  {entry("Speed", uart1.speed), entry("Parity", uart1.parity),
                   entry("Bit_num", uart1.dataBits), entry("Stop_bit", uart1.stopBits)});
    if (!error.isEmpty())
        return dialogs().message(this, error, {}, UserDialogs::Icon::Critical);
    dialogs().message(
        this,
        QStringLiteral("New default application setting was saved in *.ini file successfully "));
}

void Main::Search_1wire_Click()
{
    m_oneWire->openSearch();
}

void Main::check_config_Click()
{
    dialogs().message(this, QStringLiteral("Not implemented yet "));
}

void Main::Comm_setting_Click()
{
    // The form tests on the window's session: the test's port is the
    // window's, so it reports to the monitor already; the ports Find PLC
    // tries go by their device's name.
    const QPointer<ComSetting> form = new ComSetting(
        iniFile(), dialogs(), m_context->scheduler(), this,
        [recorder = m_recorder.get()](const QString &device, std::unique_ptr<PlcPort> port) {
            return std::make_unique<RecordingPort>(std::move(port), *recorder, device);
        });
    const bool accepted = form->exec() == QDialog::Accepted;
    delete form.data();
    if (accepted)
        Change_main_caption();
}
