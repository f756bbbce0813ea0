#include "mainwindow.h"

#include "config/configurationdocument.h"
#include "config/configurationfile.h"
#include "config/configurationupload.h"
#include "config/plcbackup.h"
#include "diag/convertertab.h"
#include "diag/modbusdiagtab.h"
#include "diag/onewirediagtab.h"
#include "io/hwconfigtab.h"
#include "link/inifile.h"
#include "link/portsetup.h"
#include "link/traffic.h"
#include "modbus/uarttab.h"
#include "onewire/onewiretab.h"
#include "widgets/gridview.h"
#include "widgets/userdialogs.h"
#include "window/backuplist.h"
#include "window/comsetting.h"
#include "window/registermapwindow.h"
#include "window/trafficmonitor.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTime>
#include <QTimer>

Main::Main(Context context, QWidget *parent)
    : QMainWindow(parent), m_recorder(std::make_unique<TrafficRecorder>()),
      m_context(std::make_unique<TabContext>(
          std::move(context.iniFile), context.dialogs,
          // Every port the window makes reports to the traffic monitor.
          [ports = std::move(context.portFactory), recorder = m_recorder.get()] {
              return std::make_unique<RecordingPort>(ports(), *recorder);
          },
          this)),
      m_programFolder(context.programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                      : context.programFolder),
      m_backupFolder(context.backupFolder.isEmpty()
                         ? QFileInfo(m_context->iniFile()).absolutePath() +
                               QStringLiteral("/backups")
                         : context.backupFolder)
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("PLC Tarvik"));
    setMinimumSize(900, 600);
    resize(1000, 660);
    setAcceptDrops(true);
    m_monitor = new TrafficMonitor(*m_recorder, dialogs(), this);
    connect(m_context.get(), &TabContext::statusMessage, this,
            [this](const QString &text) { statusBar()->showMessage(text); });
    addDockWidget(Qt::BottomDockWidgetArea, m_monitor);
    const Configuration startUp = Configuration::startUp(iniFile());
    m_document = std::make_unique<ConfigurationDocument>(iniFile(), startUp);
    m_history = std::make_unique<ConfigurationHistory>(startUp);
    buildTabs();
    buildMenu();
    // A part goes into the PLC only when the PLC can hold it beside the rest.
    m_context->setDownloadCheck([this](const QString &part) -> std::optional<TransferResult> {
        const std::optional<ConfigurationParts> parts = ConfigurationParts::fromText(part);
        return parts ? plcMemoryClash(configuration(), *parts) : std::nullopt;
    });
    m_context->setCellConflict([this](const QString &table, int row, int column) {
        return cellConflict(table, row, column);
    });
    m_conflictCount = new QLabel(this);
    m_conflictCount->setObjectName(QStringLiteral("register_conflicts"));
    m_conflictCount->hide();
    connect(m_conflictCount, &QLabel::linkActivated, this, &Main::showRegisterMap);
    statusBar()->addPermanentWidget(m_conflictCount);
    // Any edit of a table, and any choice of a role or mode, may change the
    // map.
    for (const GridView *grid : {m_uart1->grid(), m_uart2->grid(), m_oneWire->grid()}) {
        connect(grid, &GridView::rowsPasted, this, [this](int count) {
            m_context->nameNextChange(QStringLiteral("Paste %1 rows").arg(count));
        });
    }
    for (const GridView *grid : m_tabs->findChildren<GridView *>()) {
        const GridModel *model = grid->grid();
        connect(model, &QAbstractItemModel::dataChanged, this, &Main::followChange);
        connect(model, &QAbstractItemModel::rowsInserted, this, &Main::followChange);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &Main::followChange);
        connect(model, &QAbstractItemModel::modelReset, this, &Main::followChange);
    }
    for (QWidget *tab : std::initializer_list<QWidget *>{m_hwConfig, m_uart1, m_uart2, m_oneWire}) {
        for (QAbstractButton *choice : tab->findChildren<QRadioButton *>())
            connect(choice, &QAbstractButton::toggled, this, &Main::followChange);
        for (QComboBox *list : tab->findChildren<QComboBox *>())
            connect(list, &QComboBox::currentIndexChanged, this, &Main::followChange);
        // What the user types into a box is one change, made when the box
        // is left or confirmed; meanwhile only the modified mark follows it.
        for (QLineEdit *box : tab->findChildren<QLineEdit *>()) {
            connect(box, &QLineEdit::editingFinished, this, &Main::followChange);
            connect(box, &QLineEdit::textChanged, this, [this, box] {
                if (box->hasFocus())
                    updateFileState();
                else
                    followChange();
            });
        }
    }
    // What a transfer reads is shown at its end over the configuration as
    // it was at its start, so nothing can be edited, undone or loaded
    // meanwhile.
    connect(m_context.get(), &TabContext::userOperationRunning, this,
            [this](bool running) { setEditable(!running); });
    setUpBackups();
    setUpStatus();
    apply(startUp);
    m_history->reset(configuration());
    updateRegisterMap();
    updateEditMenu();
    Change_main_caption();
    // An unfit settings file leaves the defaults in place; say so, without
    // holding up the start.
    if (const QString problem = Ini_problem(iniFile()); !problem.isEmpty())
        statusBar()->showMessage(problem + QStringLiteral("; the default settings are used"));
}

// The context outlives the members declared after it; it tells this window
// nothing more on its way out.
Main::~Main()
{
    disconnect(m_context.get(), nullptr, this, nullptr);
}

void Main::buildTabs()
{
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_hwConfig = new HwConfigTab(*m_context, m_tabs);
    m_uart1 = new UartTab(UartTabDescription::uart1(), *m_context, m_tabs);
    m_uart2 = new UartTab(UartTabDescription::uart2(), *m_context, m_tabs);
    m_oneWire = new OneWireTab(*m_context, m_tabs);
    m_modbusDiag = new ModbusDiagTab(*m_context, m_tabs);
    m_oneWireDiag = new OneWireDiagTab(*m_context, m_tabs);
    m_converter = new ConverterTab(*m_context, m_tabs);
    m_tabs->addTab(m_hwConfig, QStringLiteral("HW config"));
    m_tabs->addTab(m_uart1, QStringLiteral("UART 1"));
    m_tabs->addTab(m_uart2, QStringLiteral("UART 2"));
    m_tabs->addTab(m_oneWire, QStringLiteral("1-wire"));
    m_tabs->addTab(m_modbusDiag, QStringLiteral("Modbus diag"));
    m_tabs->addTab(m_oneWireDiag, QStringLiteral("1-wire diag"));
    m_tabs->addTab(m_converter, QStringLiteral("Converter"));
    setCentralWidget(m_tabs);
}

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
    QAction *save = addItem(menu, QStringLiteral("Save_config"), QStringLiteral("&Save config"));
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, &Main::Save_config_Click);
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

Configuration Main::configuration() const
{
    return {m_uart1->configuration(), m_uart2->configuration(), m_oneWire->configuration(),
            m_hwConfig->configuration()};
}

void Main::apply(const Configuration &configuration)
{
    m_oneWire->apply(configuration.aux);
    m_uart1->apply(configuration.uart1);
    m_uart2->apply(configuration.uart2);
    m_hwConfig->apply(configuration.io);
}

QString Main::dialogFolder() const
{
    return m_document->dialogFolder(
        m_programFolder, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

bool Main::isModified() const
{
    return m_document->isModified(configuration());
}

bool Main::Save_config_Click()
{
    const QString path = dialogs().saveFileName(this, QStringLiteral("Save PLC configuration"),
                                                ConfigurationFile::filter, dialogFolder(),
                                                ConfigurationFile::suffix);
    if (path.isEmpty()) {
        dialogs().message(this, QStringLiteral("Saving was cancelled: nothing was written."));
        return false;
    }
    return saveFile(path);
}

bool Main::saveFile(const QString &path)
{
    const QString error = m_document->save(path, configuration());
    if (!error.isEmpty()) {
        dialogs().message(this, QStringLiteral("The configuration was not saved. ") + error, {},
                          UserDialogs::Icon::Warning);
        return false;
    }
    showFile(path);
    return true;
}

void Main::Load_config_Click()
{
    if (!maySetAside())
        return;
    const QString path = dialogs().openFileName(this, QStringLiteral("Load PLC configuration"),
                                                ConfigurationFile::filter, dialogFolder());
    if (path.isEmpty()) {
        dialogs().message(this, QStringLiteral("Loading was cancelled: nothing was read."));
        return;
    }
    loadAccepted(path);
}

bool Main::loadFile(const QString &path)
{
    return maySetAside() && loadAccepted(path);
}

// The whole file is checked before anything is shown; a file refused leaves
// the window as it was.
bool Main::loadAccepted(const QString &path)
{
    const ConfigurationFile::Decoded loaded = m_document->load(path, configuration());
    if (!loaded.configuration) {
        dialogs().message(this, QStringLiteral("%1 was not loaded: %2").arg(path, loaded.error), {},
                          UserDialogs::Icon::Warning);
        return false;
    }
    m_context->nameNextChange(QStringLiteral("Load ") + QFileInfo(path).fileName());
    apply(*loaded.configuration);
    m_uart1->grid()->setEnabled(true);
    m_document->remember(path, configuration());
    showFile(path);
    // A file a download would refuse loads, so it can be repaired; the
    // tables mark its cells, and the status bar counts them.
    if (const qsizetype refused = refusedCells(configuration()).size())
        statusBar()->showMessage(QStringLiteral("%1: %2 cell%3 a download refuses, marked in the "
                                                "tables")
                                     .arg(QDir::toNativeSeparators(path))
                                     .arg(refused)
                                     .arg(refused == 1 ? QString() : QStringLiteral("s")));
    return true;
}

bool Main::maySetAside()
{
    using Choice = ConfigurationDocument::Choice;
    return m_document->maySetAside(
        configuration(),
        [this] {
            switch (dialogs().askToSave(this, ConfigurationDocument::saveQuestion)) {
            case UserDialogs::SaveChoice::Save:
                return Choice::Save;
            case UserDialogs::SaveChoice::Discard:
                return Choice::Discard;
            case UserDialogs::SaveChoice::Cancel:
                break;
            }
            return Choice::Cancel;
        },
        [this] { return Save_config_Click(); });
}

void Main::showFile(const QString &path)
{
    statusBar()->showMessage(QDir::toNativeSeparators(path));
    buildRecentMenu();
    updateFileState();
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

void Main::closeEvent(QCloseEvent *event)
{
    if (maySetAside())
        event->accept();
    else
        event->ignore();
}

void Main::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (m_editable && !urls.isEmpty() && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void Main::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!m_editable || urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    loadFile(urls.first().toLocalFile());
}

void Main::verifyPlc()
{
    // A configuration the PLC cannot hold is unfit, whatever the PLC holds.
    if (const std::optional<TransferResult> clash = plcMemoryClash(configuration()))
        return m_context->report(this, *clash);
    m_context->transfer<ConfigurationCheck>(
        this,
        [ini = iniFile(), current = configuration()](PlcPort &port,
                                                     const TransferProgress &progress) {
            return verifyConfiguration(port, ini, current, progress, {}, QStringLiteral("window"));
        },
        TabContext::ProgressWindow::Shown,
        [this](const ConfigurationCheck &check) {
            if (!check.result.ok)
                return;
            const QString when = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
            statusBar()->showMessage(
                check.differences.isEmpty()
                    ? QStringLiteral("Verified on %1 at %2: the PLC holds what the window shows")
                          .arg(portName(), when)
                    : QStringLiteral("Verified on %1 at %2: %3 difference%4 from the window")
                          .arg(portName(), when)
                          .arg(check.differences.size())
                          .arg(check.differences.size() == 1 ? QString() : QStringLiteral("s")));
            dialogs().message(this, check.differences.isEmpty()
                                        ? QStringLiteral("The PLC holds the configuration "
                                                         "shown in the window.")
                                        : check.differences.join(QLatin1Char('\n')));
        });
}

void Main::followChange()
{
    if (std::exchange(m_followScheduled, true))
        return;
    QTimer::singleShot(0, this, [this] {
        m_followScheduled = false;
        recordChange();
        updateRegisterMap();
        updateFileState();
    });
}

void Main::recordChange()
{
    const Configuration now = configuration();
    const QString named = m_context->takeChangeName();
    if (now == m_history->current())
        return;
    m_history->record(named.isEmpty() ? changeName(m_history->current(), now) : named, now);
    updateEditMenu();
}

void Main::setUpBackups()
{
    auto taken = std::make_shared<std::optional<PlcBackup::Taken>>();
    auto parts = std::make_shared<ConfigurationParts>();
    m_context->setBackup(
        {[this, parts](const QString &part) {
             const std::optional<ConfigurationParts> chosen = ConfigurationParts::fromText(part);
             if (!m_backupFirst->isChecked() || !chosen ||
                 downloadRefusal(configuration(), *chosen))
                 return false;
             *parts = *chosen;
             return true;
         },
         [ini = iniFile(), taken, parts](PlcPort &port, const QString &) {
             *taken = PlcBackup::take(port, ini, *parts);
             return (*taken)->result.ok ? QString() : (*taken)->result.message;
         },
         [this, taken, parts] {
             const int port = Ini_read_index(iniFile(), QStringLiteral("COM"),
                                             QStringLiteral("Port_num"), LinkChoices::portCount) +
                              1;
             const PlcBackup::Saved saved = PlcBackup::save(
                 m_backupFolder, **taken, QStringLiteral("COM%1").arg(port), *parts);
             taken->reset();
             if (saved.error.isEmpty())
                 statusBar()->showMessage(QStringLiteral("PLC backed up to ") +
                                          QDir::toNativeSeparators(saved.path));
             return saved.error;
         }});
}

void Main::restoreBackup()
{
    const QList<PlcBackup::Entry> backups = PlcBackup::list(m_backupFolder);
    if (backups.isEmpty())
        return dialogs().message(this, QStringLiteral("There are no backups of the PLC in %1.")
                                           .arg(QDir::toNativeSeparators(m_backupFolder)));
    // On the heap: a dialog dies with its parent, never on the stack.
    const QPointer<BackupList> list = new BackupList(backups, this);
    const bool accepted = list->exec() == QDialog::Accepted;
    const int chosen = list ? list->chosen() : -1;
    delete list.data();
    if (!accepted || chosen < 0)
        return;
    const PlcBackup::Entry &backup = backups.at(chosen);
    const ConfigurationFile::Decoded loaded = m_document->load(backup.path, configuration());
    if (!loaded.configuration)
        return dialogs().message(
            this, QStringLiteral("%1 was not loaded: %2").arg(backup.path, loaded.error), {},
            UserDialogs::Icon::Warning);
    // Only what the backup holds is shown; the other tabs stay as they are.
    QStringList held;
    if (backup.parts.uart1)
        held << QStringLiteral("UART 1");
    if (backup.parts.uart2)
        held << QStringLiteral("UART 2");
    if (backup.parts.aux)
        held << QStringLiteral("1-wire");
    m_context->nameNextChange(
        QStringLiteral("Show backup (%1) of %2 in window")
            .arg(held.join(QStringLiteral(", ")),
                 backup.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    apply(withParts(configuration(), *loaded.configuration, backup.parts));
    if (backup.parts.uart1)
        m_uart1->grid()->setEnabled(true);
    followChange();
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

void Main::setEditable(bool editable)
{
    m_editable = editable;
    for (QWidget *tab : std::initializer_list<QWidget *>{m_hwConfig, m_uart1, m_uart2, m_oneWire})
        tab->setEnabled(editable);
    for (QAction *item : m_loadItems)
        item->setEnabled(editable);
    updateEditMenu();
}

void Main::updateEditMenu()
{
    m_paste->setEnabled(m_editable);
    m_undo->setEnabled(m_editable && m_history->canUndo());
    m_undo->setText(m_history->canUndo() ? QStringLiteral("&Undo ") + m_history->undoName()
                                         : QStringLiteral("&Undo"));
    m_redo->setEnabled(m_editable && m_history->canRedo());
    m_redo->setText(m_history->canRedo() ? QStringLiteral("&Redo ") + m_history->redoName()
                                         : QStringLiteral("&Redo"));
}

void Main::undo()
{
    recordChange(); // an edit not yet recorded comes first
    if (!m_history->canUndo())
        return;
    apply(m_history->undo());
    updateEditMenu();
    updateRegisterMap();
}

void Main::redo()
{
    recordChange();
    if (!m_history->canRedo())
        return;
    apply(m_history->redo());
    updateEditMenu();
    updateRegisterMap();
}

GridView *Main::currentTable() const
{
    QWidget *tab = m_tabs->currentWidget();
    if (tab == m_uart1 || tab == m_uart2)
        return static_cast<UartTab *>(tab)->grid();
    if (tab == m_oneWire)
        return m_oneWire->grid();
    return nullptr;
}

void Main::updateRegisterMap()
{
    m_map = RegisterMap::of(configuration());
    m_refused = refusedCells(configuration());
    const qsizetype count = m_map.conflicts.size();
    m_conflictCount->setText(QStringLiteral("<a href=\"map\">%1 register conflict%2</a>")
                                 .arg(count)
                                 .arg(count == 1 ? QString() : QStringLiteral("s")));
    m_conflictCount->setVisible(count > 0);
    for (GridView *grid : {m_uart1->grid(), m_uart2->grid(), m_oneWire->grid()})
        grid->viewport()->update();
    if (m_mapWindow && m_mapWindow->isVisible())
        m_mapWindow->showMap(m_map);
}

QString Main::cellConflict(const QString &table, int row, int column) const
{
    using RegisterMap::Table;
    const Table which = table == QLatin1String("sensors") ? Table::Sensors
                        : table == QLatin1String("uart1") ? Table::Uart1
                                                          : Table::Uart2;
    QStringList texts;
    for (const RegisterMap::Conflict &conflict : m_map.conflicts) {
        if (conflict.places.contains(RegisterMap::Place{which, row, column}))
            texts << conflict.text;
    }
    for (const RefusedCell &cell : m_refused) {
        if (cell.table == table && cell.row == row && cell.column == column)
            texts << QStringLiteral("A download refuses this cell: %1 takes %2")
                         .arg(cell.columnName, cell.range);
    }
    return texts.join(QLatin1Char('\n'));
}

void Main::showRegisterMap()
{
    if (!m_mapWindow)
        m_mapWindow = new RegisterMapWindow(this);
    m_mapWindow->showMap(m_map);
    m_mapWindow->show();
    m_mapWindow->raise();
}

void Main::Change_main_caption()
{
    const int port = Ini_read_index(iniFile(), QStringLiteral("COM"), QStringLiteral("Port_num"),
                                    LinkChoices::portCount) +
                     1;
    setWindowTitle(QStringLiteral("PLC Tarvik v 465 for  STM32F103C8T6 from firmware G025 ") +
                   QStringLiteral("  //Active port - COM ") + QString::number(port));
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
    // The form opens the window's device itself: a read of the window's
    // session under way (the watch's) ends first, and none starts while the
    // form is open.
    auto pausesBackground = std::make_shared<TabContext::UserOperation>(*m_context);
    m_context->whenSessionFree(this, [this, pausesBackground] {
        // The connection test's port is the window's, so it reports to the
        // monitor already; the ports Find PLC tries go by their device's name.
        const QPointer<ComSetting> form = new ComSetting(
            iniFile(), dialogs(), m_context->makePort(), this,
            [recorder = m_recorder.get()](const QString &device, std::unique_ptr<PlcPort> port) {
                return std::make_unique<RecordingPort>(std::move(port), *recorder, device);
            });
        const bool accepted = form->exec() == QDialog::Accepted;
        delete form.data();
        if (accepted)
            Change_main_caption();
    });
}

// UART1, UART2, then the auxiliary port, as their own buttons do; what was
// read is shown once the whole run has ended.
void Main::upload_from_plc_Click()
{
    m_context->transfer<ConfigurationUpload>(
        this,
        [ini = iniFile(), current = configuration()](PlcPort &port,
                                                     const TransferProgress &progress) {
            return uploadConfiguration(port, ini, current, progress);
        },
        TabContext::ProgressWindow::Shown,
        [this](const ConfigurationUpload &read) {
            m_context->nameNextChange(QStringLiteral("Upload from PLC"));
            if (read.uart1)
                m_uart1->applyUpload(*read.uart1);
            if (read.uart2)
                m_uart2->applyUpload(*read.uart2);
            if (read.aux)
                m_oneWire->applyUpload(*read.aux);
        });
}

void Main::setUpStatus()
{
    m_fileState = new QLabel(this);
    m_fileState->setObjectName(QStringLiteral("file_state"));
    statusBar()->addPermanentWidget(m_fileState);
    connect(m_context.get(), &TabContext::statusWithdrawn, this, [this](const QString &text) {
        if (statusBar()->currentMessage() == text)
            statusBar()->clearMessage();
    });
    connect(m_context.get(), &TabContext::partWritten, this, [this](const QString &part) {
        const QString name = part == QLatin1String("uart1")   ? QStringLiteral("UART 1")
                             : part == QLatin1String("uart2") ? QStringLiteral("UART 2")
                                                              : QStringLiteral("Auxiliary port");
        statusBar()->showMessage(
            QStringLiteral("%1 written to %2 at %3")
                .arg(name, portName(), QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    });
}

// "site.apc — modified"; "No file" before the first save or load.
void Main::updateFileState()
{
    if (!m_fileState)
        return;
    const QString name = m_document->fileName().isEmpty()
                             ? QStringLiteral("No file")
                             : QFileInfo(m_document->fileName()).fileName();
    m_fileState->setText(isModified() ? name + QStringLiteral(" \u2014 modified") : name);
    m_fileState->setToolTip(QDir::toNativeSeparators(m_document->fileName()));
}

QString Main::portName() const
{
    return QStringLiteral("COM%1").arg(Ini_read_index(iniFile(), QStringLiteral("COM"),
                                                      QStringLiteral("Port_num"),
                                                      LinkChoices::portCount) +
                                       1);
}
