#include "main.h"

#include "diag/convertertab.h"
#include "diag/modbusdiagtab.h"
#include "diag/modbuserrorbuffer.h"
#include "diag/onewirediagtab.h"
#include "io/hwconfigtab.h"
#include "link/comsetting.h"
#include "link/inifile.h"
#include "link/plcport.h"
#include "link/portsetup.h"
#include "modbus/modbuschoices.h"
#include "modbus/modbusupload.h"
#include "modbus/requesttable.h"
#include "modbus/tablegrid.h"
#include "modbus/uarttab.h"
#include "onewire/onewiretab.h"
#include "workspace/progress.h"
#include "workspace/userdialogs.h"

#include <QComboBox>
#include <QMenuBar>
#include <QPointer>
#include <QTabWidget>

namespace {

const QString modbusSection = QStringLiteral("COM_MB");

// The window's port gets the link settings before the session takes it over;
// it stays closed until a transfer opens it.
std::unique_ptr<PlcSession> sessionOver(std::unique_ptr<PlcPort> port, const QString &iniFile)
{
    Port_setup(*port, iniFile);
    return std::make_unique<PlcSession>(std::move(port));
}

void formatCentred(TableGrid *grid, const QString &format)
{
    grid->setFormat(format);
    grid->setCellAlignment(Qt::AlignCenter);
}

} // namespace

Main::Main(Context context, QWidget *parent)
    : QMainWindow(parent), m_iniFile(std::move(context.iniFile)), m_dialogs(context.dialogs),
      m_portFactory(std::move(context.portFactory)),
      m_session(sessionOver(m_portFactory(), m_iniFile))
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("PLC Tarvik"));
    setMinimumSize(900, 600);
    resize(1000, 660);
    // The session's own state, not the signal's value, decides: an operation
    // started from the end of another keeps the controls disabled.
    connect(m_session.get(), &PlcSession::busyChanged, this,
            [this] { m_plcControls.setBusy(m_session->isBusy()); });
    buildTabs();
    buildMenu();
    startUp();
}

Main::~Main() = default;

void Main::buildTabs()
{
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_hwConfig = new HwConfigTab(m_tabs);
    m_uart1 = new UartTab(UartTabDescription::uart1(), *this, m_tabs);
    m_uart2 = new UartTab(UartTabDescription::uart2(), *this, m_tabs);
    m_oneWire = new OneWireTab(m_tabs);
    m_modbusDiag = new ModbusDiagTab(*this, m_tabs);
    m_oneWireDiag = new OneWireDiagTab(m_tabs);
    m_converter = new ConverterTab(m_tabs);
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
    QMenu *plc = menuBar()->addMenu(QStringLiteral("PLC"));
    plc->setObjectName(QStringLiteral("plc"));
    buildPlcMenu(plc);
    QMenu *about = menuBar()->addMenu(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("about"));
    about->menuAction()->setEnabled(false);
}

// Items without an action, and inactive ones, are shown greyed.
void Main::buildFileMenu(QMenu *menu)
{
    addItem(menu, QStringLiteral("New_config"), QStringLiteral("New config"))->setEnabled(false);
    // Configuration files: disabled until loading and saving exist.
    QAction *load = addItem(menu, QStringLiteral("Load_config"), QStringLiteral("Load config"));
    load->setShortcut(QKeySequence::Open);
    load->setEnabled(false);
    QAction *save = addItem(menu, QStringLiteral("Save_config"), QStringLiteral("Save config"));
    save->setShortcut(QKeySequence::Save);
    save->setEnabled(false);
    addItem(menu, QStringLiteral("Print"), QStringLiteral("Print"))->setEnabled(false);
    QAction *saveApp =
        addItem(menu, QStringLiteral("Save_app"), QStringLiteral("Save app setting"));
    saveApp->setEnabled(false);
    connect(saveApp, &QAction::triggered, this, &Main::Save_app_Click);
    menu->addSeparator();
    QAction *exit = addItem(menu, QStringLiteral("Exit"), QStringLiteral("Exit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &QWidget::close);
}

void Main::buildPlcMenu(QMenu *menu)
{
    // The link settings form tests the same line, so it waits for a transfer.
    QAction *comm = addItem(menu, QStringLiteral("Comm_setting"), QStringLiteral("Comm. setting"));
    connect(comm, &QAction::triggered, this, &Main::Comm_setting_Click);
    registerPlcAction(comm);
    QAction *check = addItem(menu, QStringLiteral("check_config"), QStringLiteral("Check config"));
    check->setEnabled(false);
    connect(check, &QAction::triggered, this, &Main::check_config_Click);
    // The bus search registers here once it exists.
    addItem(menu, QStringLiteral("Search_1wire"), QStringLiteral("Search 1-wire"))
        ->setEnabled(false);
    QAction *upload =
        addItem(menu, QStringLiteral("upload_from_plc"), QStringLiteral("Upload from PLC"));
    connect(upload, &QAction::triggered, this, &Main::upload_from_plc_Click);
    registerPlcAction(upload);
    addItem(menu, QStringLiteral("load_to_plc"), QStringLiteral("Load to PLC"))->setEnabled(false);
}

void Main::startUp()
{
    using namespace ModbusChoices;
    m_uart1->speedList()->setCurrentIndex(speed115200);
    readModbusDefaults();
    formatTables();
    // Port modes: the auxiliary port selects "Not use" here, before the UARTs.
    m_uart1->selectRole(int(ModbusRole::NotUsed));
    m_uart2->selectRole(int(ModbusRole::NotUsed));
    m_uart1->parityList()->setCurrentIndex(parityNone);
    // Field Net speed, data bits, parity and stop bits are set here.
    m_uart2->parityList()->setCurrentIndex(parityNone);
    m_uart2->speedList()->setCurrentIndex(speed115200);
    // The I/O table rows and its selector are filled here.
    // The window's port got Port_setup when the session took it over.
    Change_main_caption();
}

// The column formats; the I/O and 1-wire error tables get theirs here too.
void Main::formatTables()
{
    formatCentred(m_uart1->grid(), RequestTable::format);
    formatCentred(m_uart2->grid(), RequestTable::format);
    formatCentred(m_modbusDiag->errorGrid(1), ModbusErrorBuffer::format);
    formatCentred(m_modbusDiag->errorGrid(2), ModbusErrorBuffer::format);
}

// The stored "Speed" does not take effect, and the stored "Parity" is
// replaced by "None" later in the start-up.
void Main::readModbusDefaults()
{
    const auto stored = [this](const char *key, const QComboBox *list) {
        return Ini_read_index(m_iniFile, modbusSection, QLatin1String(key), list->count());
    };
    m_uart1->parityList()->setCurrentIndex(stored("Parity", m_uart1->parityList()));
    m_uart1->dataBitsList()->setCurrentIndex(stored("Bit_num", m_uart1->dataBitsList()));
    m_uart1->stopBitsList()->setCurrentIndex(stored("Stop_bit", m_uart1->stopBitsList()));
}

void Main::Change_main_caption()
{
    const int port = Ini_read_index(m_iniFile, QStringLiteral("COM"), QStringLiteral("Port_num"),
                                    LinkChoices::portCount) +
                     1;
    setWindowTitle(QStringLiteral("PLC Tarvik v 465 for  STM32F103C8T6 from firmware G025 ") +
                   QStringLiteral("  //Active port - COM ") + QString::number(port));
}

void Main::Save_app_Click()
{
    const auto store = [this](const char *key, const QComboBox *list) {
        Ini_write(m_iniFile, modbusSection, QLatin1String(key),
                  QString::number(list->currentIndex()));
    };
    store("Speed", m_uart1->speedList());
    store("Parity", m_uart1->parityList());
    store("Bit_num", m_uart1->dataBitsList());
    store("Stop_bit", m_uart1->stopBitsList());
    m_dialogs.message(
        this,
        QStringLiteral("New default application setting was saved in *.ini file successfully "));
}

void Main::check_config_Click()
{
    m_dialogs.message(this, QStringLiteral("Not implemented yet "));
}

void Main::Comm_setting_Click()
{
    ComSetting form(m_iniFile, m_dialogs, m_portFactory(), this);
    if (form.exec() == QDialog::Accepted)
        Change_main_caption();
}

void Main::registerPlcControl(QWidget *control, Availability availability)
{
    m_plcControls.add(control, availability);
}

void Main::registerPlcAction(QAction *action, Availability availability)
{
    m_plcControls.add(action, availability);
}

// UART1, then UART2, as their own buttons do; what was read is shown once
// the whole run has ended.
void Main::upload_from_plc_Click()
{
    auto read = std::make_shared<BothUpload>();
    runWithProgress(
        [read, ini = m_iniFile, uart1 = m_uart1->settings(),
         uart2 = m_uart2->settings()](PlcPort &port, const PlcSession::Progress &progress) {
            *read = uploadBothUarts(port, ini, uart1, uart2, progress);
        },
        [this, read] {
            if (read->uart1)
                m_uart1->applyUpload(*read->uart1);
            if (read->uart2)
                m_uart2->applyUpload(*read->uart2);
            if (!read->result.message.isEmpty())
                m_dialogs.message(this, read->result.message, read->result.title,
                                  UserDialogs::Icon::Warning);
        });
}

bool Main::runWithProgress(PlcSession::Operation operation, std::function<void()> done)
{
    if (m_session->isBusy())
        return false;
    auto *window = new Progress(this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_session.get(), &PlcSession::progressChanged, window, &Progress::setPercent);
    const QPointer<Progress> shown(window);
    m_session->run(std::move(operation), [shown, done = std::move(done)] {
        if (shown)
            shown->close();
        if (done)
            done();
    });
    window->show();
    return true;
}
