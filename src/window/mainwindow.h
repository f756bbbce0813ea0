#pragma once

#include "config/configuration.h"
#include "config/configurationhistory.h"
#include "config/configurationupload.h"
#include "config/registermap.h"
#include "link/plcport.h"
#include "link/plcsession.h"
#include "widgets/tabcontext.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class ConfigurationDocument;
class ConverterTab;
class GridView;
class HwConfigTab;
class ModbusDiagTab;
class OneWireDiagTab;
class OneWireTab;
class QLabel;
class QMenu;
class RegisterMapWindow;
class QTabWidget;
class TrafficMonitor;
class TrafficRecorder;
class UartTab;
class UserDialogs;

// The main window: the seven tabs that hold the whole working configuration,
// the menu and the caption. Every transfer started from the window runs on
// the session of its tab context, over the window's serial port, one at a
// time.
class Main : public QMainWindow, private WindowHooks
{
    Q_OBJECT

public:
    using PortFactory = TabContext::PortFactory;

    struct Context
    {
        QString iniFile;         // the application settings file
        UserDialogs &dialogs;    // every message box and file dialog
        PortFactory portFactory; // the port of the window's session, made once
        // Where the program lies; empty: where this program was started from.
        QString programFolder = {};
        // Where the backups of the PLC go; empty: "backups" beside the
        // settings file.
        QString backupFolder = {};
    };

    explicit Main(Context context, QWidget *parent = nullptr);
    // Ends a running operation (cancelled, waited for) and closes the port.
    ~Main() override;

    const QString &iniFile() const { return m_context->iniFile(); }
    UserDialogs &dialogs() const { return m_context->dialogs(); }
    // What the tabs see of the window: dialogs, settings file, session.
    TabContext &tabContext() const { return *m_context; }
    // The dock of the traffic monitor.
    TrafficMonitor &trafficMonitor() const { return *m_monitor; }

    // The whole configuration, collected from the tabs.
    Configuration configuration() const;
    // Shows a configuration in every tab.
    void apply(const Configuration &configuration);

    HwConfigTab &hwConfigTab() const { return *m_hwConfig; }
    UartTab &uart1Tab() const { return *m_uart1; }
    UartTab &uart2Tab() const { return *m_uart2; }
    OneWireTab &oneWireTab() const { return *m_oneWire; }
    ModbusDiagTab &modbusDiagTab() const { return *m_modbusDiag; }
    OneWireDiagTab &oneWireDiagTab() const { return *m_oneWireDiag; }
    ConverterTab &converterTab() const { return *m_converter; }

    // "Save config": the configuration to a file the user chooses. True once
    // it is written.
    bool Save_config_Click();
    // "Load config": a configuration file the user chooses.
    void Load_config_Click();
    // Loads a configuration file (named on the command line, dropped on the
    // window or chosen among the recent ones), once unsaved changes are saved
    // or given up. True once it is shown.
    bool loadFile(const QString &path);
    // Whether the configuration differs from the one last saved, loaded or
    // shown at start-up.
    // Only what a file holds counts.
    bool isModified() const;

    // "PLC Tarvik v 465 ..." followed by the active port of section "COM".
    void Change_main_caption();
    // Stores the UART1 line settings as the start-up defaults ("COM_MB").
    void Save_app_Click();
    void check_config_Click();
    // The link settings form, modal; the caption follows its "OK".
    void Comm_setting_Click();
    // The menu's "Upload from PLC": both UARTs and the auxiliary port.
    void upload_from_plc_Click();
    // "Verify PLC": reads what the upload reads, changes nothing, and shows
    // how the PLC differs from the window.
    void verifyPlc();
    // The register map of the configuration shown, as of the last change.
    const RegisterMap::Map &registerMap() const { return m_map; }
    // View > "Register map": the map's window, opened or raised.
    void showRegisterMap();
    // Where the backups taken before downloads go.
    const QString &backupFolder() const { return m_backupFolder; }
    // File > "Restore PLC backup...": the backups, one of them shown in the
    // window as a load (one undo step).
    void restoreBackup();
    // Edit > Undo and Redo: the configuration before the last change, and
    // after the change last undone. The PLC is never touched.
    const ConfigurationHistory &history() const { return *m_history; }
    void undo();
    void redo();

protected:
    // Closing asks first when the configuration has unsaved changes.
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildTabs();

    // The menu bar and its items (mainmenus.cpp).
    void buildMenu();
    void buildFileMenu(QMenu *menu);
    void buildPlcMenu(QMenu *menu);
    void buildEditMenu(QMenu *menu);
    void buildRecentMenu();
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption);
    // "Search 1-wire": the bus search, at any time.
    void Search_1wire_Click();

    // The configuration as a file (documentfiles.cpp).
    // True when the work shown may be set aside: it is saved, or the user
    // saved it now or gave it up.
    bool maySetAside();
    bool saveFile(const QString &path);
    // Ctrl+S: to the file loaded or saved last, else as "Save config".
    bool saveShownFile();
    // The file just saved or loaded, in the status bar and the recent files.
    void showFile(const QString &path);
    // Where the Save and Load dialogs open.
    QString dialogFolder() const;
    // Loads a file once the work shown may be set aside.
    bool loadAccepted(const QString &path);

    // Backups before the tabs' downloads: read on the session, kept here
    // (backupflow.cpp).

    // Undo steps and editing (editsteps.cpp).
    // Once the current change of the configuration is done: it becomes an
    // undo step, and the register map (the cells it marks, the status bar's
    // count, the map's window) follows it.
    void followChange();
    // A change the user made becomes an undo step (named by the context's
    // name for it, or by what changed).
    void recordChange();
    void updateEditMenu();
    // The configuration's tabs, the Edit menu and the ways of loading a file
    // take no edit while a transfer of the user runs.
    void setEditable(bool editable);
    // The table of the tab in front, if it has one.
    GridView *currentTable() const;

    // The register map's marks (conflictmarks.cpp).
    void updateRegisterMap();
    // What the whole configuration decides for the tabs.
    std::optional<TransferResult> downloadRefusal(PlcPart part) const override;
    PlcCheck plcCheck(PlcPart part) const override;
    std::optional<Backup> backupBefore(PlcPart part) override;
    QString cellConflict(PlcTable table, int row, int column) const override;

    // The status bar's account of what was done, and the file in use
    // (statusfields.cpp).
    void setUpStatus();
    void updateFileState();
    QString portName() const;
    // The rule of a marked field or cell, in the status bar.
    void showMarkOf(QWidget *widget);
    // What an operation did, with the port and the time, in the status bar.
    void showDone(const QList<PlcPart> &parts, const QString &how);

    // Made before the ports that report to it, gone after them.
    std::unique_ptr<TrafficRecorder> m_recorder;
    // Destroyed before the tabs: a running operation ends before they go.
    std::unique_ptr<TabContext> m_context;
    TrafficMonitor *m_monitor = nullptr;
    QString m_programFolder;
    std::unique_ptr<ConfigurationDocument> m_document;
    QMenu *m_recent = nullptr;
    RegisterMap::Map m_map;
    QList<RefusedCell> m_refused; // of the configuration shown, as m_map
    QLabel *m_conflictCount = nullptr;
    RegisterMapWindow *m_mapWindow = nullptr;
    bool m_followScheduled = false;
    std::unique_ptr<ConfigurationHistory> m_history;
    QString m_backupFolder;
    QAction *m_backupFirst = nullptr;
    QAction *m_undo = nullptr;
    QAction *m_redo = nullptr;
    QAction *m_paste = nullptr;
    QList<QAction *> m_loadItems; // Load config, Recent files, Restore PLC backup
    bool m_editable = true;
    // The user asked to close while an operation ran: close at its end.
    bool m_closeWhenDone = false;

    QTabWidget *m_tabs = nullptr;
    HwConfigTab *m_hwConfig = nullptr;
    UartTab *m_uart1 = nullptr;
    UartTab *m_uart2 = nullptr;
    OneWireTab *m_oneWire = nullptr;
    ModbusDiagTab *m_modbusDiag = nullptr;
    OneWireDiagTab *m_oneWireDiag = nullptr;
    ConverterTab *m_converter = nullptr;
    QLabel *m_fileState = nullptr;
};
