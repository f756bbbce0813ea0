// Takes the pictures of the user guide (docs/guide.md) from the real windows,
// offscreen, against the demo PLC of sim/demo: guide-screenshots [dir]
//
// The window talks to the demo PLC in-process, on simulated time; the link
// settings form's "Find PLC" looks for it on a pseudo-terminal, through a
// plc-sim started with the same options. Each picture is cropped to the
// window, dialog or menu it shows.
#include "config/configurationjson.h"
#include "configload.h"
#include "diag/convertertab.h"
#include "diag/modbusdiagtab.h"
#include "diag/onewirediagtab.h"
#include "io/hwconfigtab.h"
#include "link/forwardingport.h"
#include "link/inifile.h"
#include "link/qtplcport.h"
#include "modbus/slavedialog.h"
#include "modbus/uarttab.h"
#include "onewire/onewiretab.h"
#include "onewire/searchform.h"
#include "plcsimulator.h"
#include "simoptions.h"
#include "simport.h"
#include "simprocess.h"
#include "support/buildpath.h"
#include "support/renderharness.h"
#include "support/scripteddialogs.h"
#include "window/comsetting.h"
#include "window/mainwindow.h"
#include "window/registermapwindow.h"
#include "window/trafficmonitor.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {

int failures = 0;

void fail(const QString &what)
{
    std::fprintf(stderr, "guide-screenshots: %s\n", qPrintable(what));
    ++failures;
}

// The one line to the demo PLC, lent to each form. The simulated line
// answers at once in the clock's time; while `realTime` is set, an answer
// comes as long after its request as the request's and the answer's
// characters take at the line's speed, so the answer times the tool
// measures are those of a real line.
class RealTimePort : public ForwardingPort
{
public:
    RealTimePort(PlcPort &line, const std::atomic<bool> &realTime)
        : ForwardingPort(line), m_realTime(realTime)
    {}
    bool write(const QByteArray &data) override
    {
        m_sent = data.size();
        m_answered = false;
        return ForwardingPort::write(data);
    }
    QByteArray takeReceived() override
    {
        const QByteArray received = ForwardingPort::takeReceived();
        if (m_realTime && !received.isEmpty() && !std::exchange(m_answered, true)) {
            const int baud = std::max(1, settings().section(QLatin1Char(','), 0, 0).toInt());
            // Ten bits a character: start, seven or eight data, parity, stop.
            const qsizetype bits = (m_sent + received.size()) * 10;
            std::this_thread::sleep_for(std::chrono::milliseconds(bits * 1000 / baud));
        }
        return received;
    }

private:
    const std::atomic<bool> &m_realTime;
    qsizetype m_sent = 0;
    bool m_answered = false;
};

// The options file of the demo PLC, as plc-sim reads it.
bool setUpDemo(PlcSimulator &simulator)
{
    SimOptions options;
    if (!options.parse({QStringLiteral("plc-sim"), QStringLiteral("--link"),
                        QStringLiteral("unused"), QStringLiteral("--options"),
                        buildPath(PLC_DEMO_OPTIONS)})) {
        fail(options.errorString());
        return false;
    }
    const QString error = loadConfiguration(simulator, options.configPath());
    if (!error.isEmpty()) {
        fail(error);
        return false;
    }
    options.apply(simulator);
    return true;
}

// The I/O points of the demo configuration. The PLC keeps none the window
// can read (the HW config tab's transfers are inactive), so they come from
// the file.
IoAssignment demoIo()
{
    QFile file(buildPath(PLC_DEMO_CONFIG));
    if (!file.open(QIODevice::ReadOnly)) {
        fail(file.errorString());
        return {};
    }
    const ConfigurationJson::Read read = ConfigurationJson::read(file.readAll());
    if (!read.configuration) {
        fail(read.error);
        return {};
    }
    return read.configuration->io;
}

class Guide
{
public:
    Guide(PlcSimulator &simulator, QString dir)
        : m_plc(simulator), m_line(simulator), m_dir(std::move(dir))
    {
        Ini_write(m_ini, QStringLiteral("BACKUP"), QStringLiteral("Enabled"), QStringLiteral("1"));
        m_window.resize(900, 620);
        m_window.show();
        m_tabs = m_window.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    }

    void take()
    {
        m_window.hwConfigTab().apply(demoIo());
        trigger("upload_from_plc");
        front(&m_window.uart1Tab());
        save(&m_window, "main-window");
        takeLink();
        takeModbus();
        takeOneWire();
        takeFiles();
        takeDiagnostics();
        takeConverter();
        takeRegisterMap();
        takeTraffic();
    }

private:
    void save(QWidget *widget, const char *name)
    {
        QCoreApplication::processEvents();
        savePng(widget, m_dir, QLatin1String(name));
        if (!QFile::exists(m_dir + QLatin1Char('/') + QLatin1String(name) + ".png"))
            fail(QStringLiteral("%1.png was not written").arg(QLatin1String(name)));
    }

    void front(QWidget *tab) { m_tabs->setCurrentWidget(tab); }

    // Waits for the operation under way to end.
    void settle()
    {
        if (!QTest::qWaitFor([this] { return !m_window.tabContext().session().isBusy(); }, 10000))
            fail(QStringLiteral("an operation did not end"));
        QCoreApplication::processEvents();
    }

    void trigger(const char *action)
    {
        m_window.findChild<QAction *>(QLatin1String(action))->trigger();
        settle();
    }

    void click(QWidget *parent, const char *button)
    {
        auto *found = parent->findChild<QAbstractButton *>(QLatin1String(button));
        if (!found)
            return fail(QStringLiteral("no button %1").arg(QLatin1String(button)));
        found->click();
        settle();
    }

    void saveMenu(const char *name, const char *file)
    {
        auto *menu = m_window.findChild<QMenu *>(QLatin1String(name));
        menu->adjustSize();
        save(menu, file);
    }

    // The link settings form after "Find PLC" has found the demo PLC on a
    // pseudo-terminal, COM1 mapped to it as scripts/run maps it.
    void takeLink()
    {
        SimProcess plc(buildPath(PLC_SIM_PATH));
        if (!plc.start({QStringLiteral("--options"), buildPath(PLC_DEMO_OPTIONS)}))
            return fail(QStringLiteral("plc-sim did not start"));
        const QString ini = plc.path(QStringLiteral("set.ini"));
        Ini_write(ini, QStringLiteral("PORTS"), QStringLiteral("COM1"), plc.link());
        ComSetting form(ini, m_dialogs, std::make_unique<QtPlcPort>(ini));
        form.show();
        form.findChild<QAbstractButton *>(QStringLiteral("find_plc"))->click();
        if (!QTest::qWaitFor([&form] { return !form.isTesting(); }, 60000))
            fail(QStringLiteral("Find PLC did not end"));
        // The PLCs found, one a row, whatever view shows them; the user
        // clicks the first.
        auto *found = form.findChild<QAbstractItemView *>(QStringLiteral("found_plcs"));
        const int rows = found ? found->model()->rowCount() : 0;
        if (rows != 1)
            return fail(QStringLiteral("Find PLC found %1 PLCs, not one").arg(rows));
        const QModelIndex first = found->model()->index(0, 0);
        QTest::mouseClick(found->viewport(), Qt::LeftButton, {}, found->visualRect(first).center());
        form.resize(560, form.sizeHint().height());
        save(&form, "link-settings");
    }

    // UART 1 as the demo PLC holds it, and the dialog that adds a request.
    void takeModbus()
    {
        UartTab &tab = m_window.uart1Tab();
        front(&tab);
        click(&tab, "Command1");
        auto *dialog = tab.findChild<SlaveDialog *>(QStringLiteral("Slave"));
        if (!dialog)
            return fail(QStringLiteral("no request dialog"));
        save(dialog, "request-dialog");
        dialog->reject();
        front(&m_window.uart2Tab());
        save(&m_window, "uart2-slave");
    }

    // The 1-wire tab, and the bus search with two devices not in the table.
    void takeOneWire()
    {
        OneWireTab &tab = m_window.oneWireTab();
        front(&tab);
        save(&m_window, "onewire");
        tab.openSearch();
        QPointer<SearchForm> search = m_window.findChild<SearchForm *>();
        click(search, "Command2");
        save(search, "bus-search");
        // Adding the new devices may close the form.
        click(search, "Command3");
        if (search)
            search->reject();
        front(&m_window.hwConfigTab());
        save(&m_window, "hw-config");
    }

    void takeFiles()
    {
        saveMenu("menus", "menu-file");
        saveMenu("plc", "menu-plc");
    }

    // Each buffer read by its button; then UART 1's watched while an error
    // comes to request 3.
    void takeDiagnostics()
    {
        ModbusDiagTab &modbus = m_window.modbusDiagTab();
        front(&modbus);
        click(&modbus, "Command4");
        save(&m_window, "modbus-diag");
        front(&m_window.oneWireDiagTab());
        click(&m_window.oneWireDiagTab(), "Command5");
        save(&m_window, "onewire-diag");

        front(&modbus);
        modbus.findChild<QSpinBox *>(QStringLiteral("MB_watch_interval"))->setValue(1);
        auto *watch = modbus.findChild<QCheckBox *>(QStringLiteral("MB_watch"));
        watch->setChecked(true);
        settle();
        const int before = m_plc.requestCount();
        m_plc.setMemory(0x3602, QByteArray::fromHex("81"));
        if (!QTest::qWaitFor([&] { return m_plc.requestCount() > before; }, 3000))
            fail(QStringLiteral("the watch did not read again"));
        settle();
        save(&m_window, "modbus-diag-watch");
        front(&m_window.uart1Tab());
        settle();
        save(&m_window, "uart1-health");
        watch->setChecked(false);
        m_plc.setMemory(0x3602, QByteArray::fromHex("00"));
    }

    void takeConverter()
    {
        auto &tab = m_window.converterTab();
        front(&tab);
        tab.findChild<QLineEdit *>(QStringLiteral("Text13"))->setText(QStringLiteral("21,5"));
        click(&tab, "Command22");
        save(&m_window, "converter");
    }

    // The register map with the sensors the search added, and that addition
    // in the Edit menu's undo.
    void takeRegisterMap()
    {
        QTest::qWait(50);
        saveMenu("edit", "menu-edit");
        m_window.showRegisterMap();
        auto *map = m_window.findChild<RegisterMapWindow *>();
        map->resize(720, 420);
        save(map, "register-map");
        map->close();
    }

    // A read of each buffer, the second refused once: the refusal stands
    // out, and the statistics count it.
    void takeTraffic()
    {
        TrafficMonitor &monitor = m_window.trafficMonitor();
        monitor.setFloating(true);
        monitor.resize(900, 380);
        monitor.show();
        // The monitor shows the answer times the line's speed makes.
        m_realTime = true;
        click(&m_window.oneWireDiagTab(), "Command5");
        SimFaults faults;
        faults.perRequest[SimFault::Refuse].ordinals.insert(m_plc.requestCount() + 2);
        m_plc.setFaults(faults);
        click(&m_window.modbusDiagTab(), "Command4");
        m_plc.setFaults({});
        m_realTime = false;
        save(&monitor, "traffic-monitor");
    }

    PlcSimulator &m_plc;
    SimPort m_line;
    std::atomic<bool> m_realTime = false; // while the traffic monitor is taken
    QString m_dir;
    QTemporaryDir m_home;
    QString m_ini = m_home.filePath(QStringLiteral("set.ini"));
    ScriptedDialogs m_dialogs;
    Main m_window{{m_ini,
                   m_dialogs,
                   // Every form's port is the one line to the demo PLC, so that simulated
                   // time runs on from one operation to the next.
                   [this] { return std::make_unique<RealTimePort>(m_line, m_realTime); },
                   {},
                   m_home.filePath(QStringLiteral("backups"))}};
    QTabWidget *m_tabs = nullptr;
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : buildPath(PLC_GUIDE_IMAGES);
    QDir().mkpath(dir);
    PlcSimulator simulator;
    if (!setUpDemo(simulator))
        return 1;
    Guide guide(simulator, dir);
    guide.take();
    return failures == 0 ? 0 : 1;
}
