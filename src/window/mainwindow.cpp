#include "mainwindow.h"

#include "config/configurationdocument.h"
#include "config/configurationupload.h"
#include "diag/convertertab.h"
#include "diag/modbusdiagtab.h"
#include "diag/onewirediagtab.h"
#include "io/hwconfigtab.h"
#include "link/inifile.h"
#include "link/portsetup.h"
#include "link/traffic.h"
#include "modbus/uarttab.h"
#include "onewire/onewiretab.h"
#include "widgets/focusframe.h"
#include "widgets/gridview.h"
#include "widgets/userdialogs.h"
#include "window/trafficmonitor.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
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
    followFocusWithFrame();
    m_monitor = new TrafficMonitor(*m_recorder, dialogs(), this);
    connect(m_context.get(), &TabContext::statusMessage, this,
            [this](const QString &text) { statusBar()->showMessage(text); });
    addDockWidget(Qt::BottomDockWidgetArea, m_monitor);
    const Configuration startUp = Configuration::startUp(iniFile());
    m_document = std::make_unique<ConfigurationDocument>(iniFile(), startUp);
    m_history = std::make_unique<ConfigurationHistory>(startUp);
    buildTabs();
    buildMenu();
    m_context->setHooks(this);
    // Any edit of a table, and any choice of a role or mode, may change the
    // map.
    for (const GridView *grid : {m_uart1->grid(), m_uart2->grid(), m_oneWire->grid()}) {
        connect(grid, &GridView::rowsPasted, this, [this](int count) {
            m_context->nameNextChange(QStringLiteral("Paste %1 rows").arg(count));
        });
    }
    // Each tab tells of the edits of its part: what the user is still
    // typing moves only the modified mark.
    for (PartTab *tab : std::initializer_list<PartTab *>{m_hwConfig, m_uart1, m_uart2, m_oneWire})
        connect(tab, &PartTab::edited, this, [this](PlcPart, PartTab::Edit edit) {
            if (edit == PartTab::Edit::Typing)
                updateFileState();
            else
                followChange();
        });
    // What a transfer reads is shown at its end over the configuration as
    // it was at its start, so nothing can be edited, undone or loaded
    // meanwhile.
    connect(m_context.get(), &TabContext::userOperationRunning, this, [this](bool running) {
        setEditable(!running);
        // What the operation changed is one step, named as it asked; an
        // operation that changed nothing leaves no name to the next edit.
        if (!running)
            recordChange();
        // Once its result has been shown, the window closes as it was asked.
        if (!running && m_closeWhenDone)
            QTimer::singleShot(0, this, [this] {
                if (m_context->userOperationPending())
                    return;
                m_closeWhenDone = false;
                close();
            });
    });
    setUpStatus();
    apply(startUp);
    m_history->reset(configuration());
    updateRegisterMap();
    updateEditMenu();
    updateFileState();
    Change_main_caption();
    // An unfit settings file leaves the defaults in place; say so, without
    // holding up the start.
    if (const QString problem = Ini_problem(iniFile()); !problem.isEmpty())
        statusBar()->showMessage(problem + QStringLiteral("; the default settings are used"));
}

// The context outlives the members declared after it; it tells this window
// nothing more on its way out, and nor does the application, whose focus
// moves while the window's widgets go.
Main::~Main()
{
    disconnect(m_context.get(), nullptr, this, nullptr);
    disconnect(qApp, nullptr, this, nullptr);
    m_context->setHooks(nullptr);
    // The monitor, hidden as the window goes, would turn off the recorder
    // the members have already taken with them: it goes first.
    delete m_monitor;
}

// A part goes into the PLC only when the PLC can hold it beside the rest.
std::optional<TransferResult> Main::downloadRefusal(PlcPart part) const
{
    return plcMemoryClash(configuration(), ConfigurationParts::only(part));
}

// A part written alone must fit beside what the PLC holds of the other.
WindowHooks::PlcCheck Main::plcCheck(PlcPart part) const
{
    return [ini = iniFile(), shown = configuration(),
            parts = ConfigurationParts::only(part)](PlcPort &port) {
        return clashWithPlc(port, ini, shown, parts);
    };
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

// A write cut off half-way leaves the PLC with part of a table: while an
// operation of the user runs, closing waits for its end, when the user says
// so, and for its result to be shown.
void Main::closeEvent(QCloseEvent *event)
{
    if (m_context->userOperationPending()) {
        event->ignore();
        if (m_closeWhenDone)
            return;
        m_closeWhenDone = dialogs().askYesNo(
            this, m_context->isWriting()
                      ? QStringLiteral("A write to the PLC is running. Close when it has ended?")
                      : QStringLiteral("A PLC operation is running. Close when it has ended?"));
        return;
    }
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

void Main::Change_main_caption()
{
    const int port = Ini_read_index(iniFile(), QStringLiteral("COM"), QStringLiteral("Port_num"),
                                    LinkChoices::portCount) +
                     1;
    setWindowTitle(QStringLiteral("PLC Tarvik v 465 for  STM32F103C8T6 from firmware G025 ") +
                   QStringLiteral("  //Active port - COM ") + QString::number(port));
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
            QList<PlcPart> parts;
            if (read.uart1)
                parts << PlcPart::Uart1;
            if (read.uart2)
                parts << PlcPart::Uart2;
            if (read.aux)
                parts << PlcPart::Aux;
            if (!parts.isEmpty())
                showDone(parts, QStringLiteral("read from"));
        });
}
