// Renders the main window, each of its tabs, its menus, its dialogs, the
// UART tabs in each role and the progress window to PNG files, offscreen,
// for a look at the layout: render-windows [dir]
#include "diag/convertertab.h"
#include "diag/errorwatch.h"
#include "diag/modbusdiagtab.h"
#include "diag/modbuserrorbuffer.h"
#include "io/hwconfigtab.h"
#include "modbus/requesttable.h"
#include "modbus/slavedialog.h"
#include "modbus/uarttab.h"
#include "onewire/onewiretab.h"
#include "onewire/searchform.h"
#include "onewire/sensordialog.h"
#include "support/buildpath.h"
#include "support/idleport.h"
#include "support/renderharness.h"
#include "widgets/gridview.h"
#include "widgets/progress.h"
#include "widgets/tabcontext.h"
#include "widgets/tableframe.h"
#include "window/comsetting.h"
#include "window/mainwindow.h"
#include "window/registermapwindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {

const auto save = savePng;

void renderMenus(Main &window, const QString &dir)
{
    for (const char *name : {"menus", "plc"}) {
        auto *menu = window.findChild<QMenu *>(QLatin1String(name));
        menu->adjustSize();
        save(menu, dir, QStringLiteral("menu-") + QLatin1String(name));
    }
}

// The 1-wire tab as a master with three sensors, the last with a damaged
// code; as a Field Net port; and its dialog.
void renderOneWire(Main &window, QTabWidget *tabs, const QString &dir)
{
    OneWireTab &tab = window.oneWireTab();
    tabs->setCurrentWidget(&tab);
    AuxSettings settings;
    settings.mode = AuxMode::OneWireMaster;
    settings.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "21", "3000"},
                        {"2", "02", "1C", "B8", "01", "00", "00", "00", "A2", "3002"},
                        {"3", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3004"}};
    tab.apply(settings);
    save(&window, dir, QStringLiteral("onewire-master"));
    settings.mode = AuxMode::FieldNet;
    tab.apply(settings);
    save(&window, dir, QStringLiteral("onewire-fieldnet"));
    tab.selectMode(0);
    tab.sensorTable()->addRow();
    auto *dialog = tab.findChild<SensorDialog *>();
    save(dialog, dir, QStringLiteral("sensor-dialog"));
    dialog->reject();

    tab.openSearch();
    auto *search = tab.window()->findChild<SearchForm *>();
    search->grid()->setEntries({{"1", "28", "FF", "4C", "5D", "03", "00", "00", "21"},
                                {"2", "02", "1C", "B8", "01", "00", "00", "00", "A2"}});
    save(search, dir, QStringLiteral("search-form"));
    search->reject();
}

QList<RequestRow> sampleRows()
{
    return {{3, 100, 0, 0, 1, 100}, {3, 100, 100, 100, 1, 100}, {17, 8, 3000, 2000, 0, 4095}};
}

void renderUart(Main &window, UartTab &tab, int index, const QString &dir)
{
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    tabs->setCurrentWidget(&tab);
    const QString name = QStringLiteral("uart%1-").arg(index);
    tab.selectRole(0);
    tab.grid()->setEntries(RequestTable::fromRows(sampleRows()));
    tab.grid()->setEnabled(true);
    save(&window, dir, name + QStringLiteral("master"));
    tab.selectRole(1);
    save(&window, dir, name + QStringLiteral("slave"));
    tab.selectRole(2);
    save(&window, dir, name + QStringLiteral("notuse"));
}

void renderDialog(UartTab &tab, const QString &dir)
{
    tab.selectRole(0);
    tab.requestTable()->addRow();
    auto *dialog = tab.findChild<SlaveDialog *>(QStringLiteral("Slave"));
    save(dialog, dir, QStringLiteral("slave-dialog"));
    dialog->reject();
}

void renderDiag(Main &window, const QString &dir)
{
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    tabs->setCurrentWidget(&window.modbusDiagTab());
    window.modbusDiagTab().errorGrid(1)->setEntries(
        ModbusErrorBuffer::table({0x00, 0x80, 0x81, 0x84, 0x8E, 0x09}));
    save(&window, dir, QStringLiteral("modbus-diag"));
    // As a watch shows it, in the smallest window the guide names.
    const QSize size = window.size();
    window.resize(1024, 700);
    GridView *watched = window.modbusDiagTab().errorGrid(1);
    watched->grid()->setFormat(ErrorWatch::format(ErrorWatch::Buffer::Modbus));
    watched->setEntries({{"1", "No error", "", "", "0"},
                         {"2", "Inactive error", "", "", "1"},
                         {"3", "Active error", "illegal register address ", "12:03:44", "2"}});
    save(&window, dir, QStringLiteral("modbus-diag-watch-1024x700"));
    window.resize(size);
}

// The request table beside the slots' health, as a watch hands it over.
void renderHealth(Main &window, const QString &dir)
{
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    UartTab &tab = window.uart1Tab();
    tabs->setCurrentWidget(&tab);
    tab.selectRole(0);
    QList<RequestRow> rows = sampleRows();
    rows.append({4, 10, 200, 300, 1, 500});
    tab.grid()->setEntries(RequestTable::fromRows(rows));
    tab.grid()->setEnabled(true);
    SlotHealth active{SlotHealth::ActiveError,
                      QStringLiteral("illegal register address"),
                      QDateTime::currentDateTime(),
                      2,
                      {}};
    SlotHealth unread;
    unread.unreadBecause = QStringLiteral("the last read failed (Answer timeout from PLC)");
    window.tabContext().setSlotHealth(
        ErrorBuffer::Modbus1,
        {SlotHealth{},
         SlotHealth{SlotHealth::InactiveError, QStringLiteral("Inactive error"), {}, 1, {}}, active,
         unread});
    save(&window, dir, QStringLiteral("uart1-health"));
    window.tabContext().setSlotHealth(ErrorBuffer::Modbus1, {});

    // The focus frame as the Tab key leaves it: on a button, a list, a
    // choice and a table cell.
    window.show();
    for (int n = 0; n < 100 && QApplication::activeWindow() != &window; ++n) {
        QApplication::setActiveWindow(&window);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    window.setAttribute(Qt::WA_KeyboardFocusChange); // as a Tab key press sets it
    for (const char *name : {"Command19", "Speed_set", "Option4_0", "grid"}) {
        auto *control = window.findChild<QWidget *>(QLatin1String(name));
        control->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        save(&window, dir, QStringLiteral("focus-") + QLatin1String(name));
    }
}

// What a newcomer meets: a marked 1-wire byte with the keyboard on it (the
// status bar), the link form's Device list with a device section PORTS
// names, and a UART tab's buttons with their letters.
void renderWalk(Main &window, ScriptedDialogs &dialogs, const QString &dir)
{
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    OneWireTab &tab = window.oneWireTab();
    tabs->setCurrentWidget(&tab);
    AuxSettings settings;
    settings.mode = AuxMode::OneWireMaster;
    settings.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "21", "3000"},
                        {"2", "28", "ZZ", "B8", "01", "00", "00", "00", "A2", "3002"}};
    tab.apply(settings);
    GridView *sensors = tab.sensorTable()->view();
    for (int n = 0; n < 100 && QApplication::activeWindow() != &window; ++n) {
        QApplication::setActiveWindow(&window);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    // The arrow key onto the marked byte, as the user moves.
    sensors->setCursorCell(2, 3);
    sensors->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QCoreApplication::sendEvent(sensors, &left);
    QCoreApplication::processEvents();
    save(&window, dir, QStringLiteral("walk-marked-byte"));

    const QString link = QFileInfo(window.iniFile()).absolutePath() + QStringLiteral("/plc-link");
    QFile(link).open(QIODevice::WriteOnly);
    QSettings ini(window.iniFile(), QSettings::IniFormat);
    ini.setValue(QStringLiteral("PORTS/COM3"), link);
    ini.sync();
    ComSetting form(window.iniFile(), dialogs, std::make_unique<IdlePort>(), &window);
    form.show();
    auto *devices = form.findChild<QComboBox *>(QStringLiteral("Port_device"));
    devices->showPopup();
    QCoreApplication::processEvents();
    QWidget *popup = devices->view()->window();
    QPixmap picture(form.width(), form.height() + popup->height());
    picture.fill(form.palette().window().color());
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, form.grab());
    painter.drawPixmap(devices->mapTo(&form, QPoint(0, devices->height())), popup->grab());
    painter.end();
    picture.save(dir + QStringLiteral("/walk-device-list.png"));
    devices->hidePopup();
    form.hide();

    tabs->setCurrentWidget(&window.uart1Tab());
    window.uart1Tab().selectRole(0);
    QCoreApplication::processEvents();
    save(&window, dir, QStringLiteral("walk-uart-buttons"));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : buildPath(RENDER_DIR);
    QDir().mkpath(dir);

    RenderWindow render;
    Main &window = render.window;
    ScriptedDialogs &dialogs = render.dialogs;
    window.show();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        save(&window, dir, QStringLiteral("main-tab%1").arg(i));
    }
    renderMenus(window, dir);
    renderOneWire(window, tabs, dir);
    IoAssignment io;
    for (int item : {0, 1, 0, 0})
        io.choose(io.nextFree(QLatin1Char('X')) + io.nextFree(QLatin1Char('Y')), item);
    io.choose(6, 2);
    window.hwConfigTab().apply(io);
    tabs->setCurrentWidget(&window.hwConfigTab());
    save(&window, dir, QStringLiteral("hw-config"));
    auto *number = window.converterTab().findChild<QLineEdit *>(QStringLiteral("Text13"));
    number->setText(QStringLiteral("1,5"));
    window.converterTab().toIeee();
    window.converterTab()
        .findChild<QLineEdit *>(QStringLiteral("Text15"))
        ->setText(QStringLiteral("c0000000"));
    window.converterTab().toFloat();
    tabs->setCurrentWidget(&window.converterTab());
    save(&window, dir, QStringLiteral("converter"));

    Progress progress(&window);
    progress.setPercent(40);
    progress.show();
    save(&progress, dir, QStringLiteral("progress"));
    progress.hide();

    ComSetting link(window.iniFile(), dialogs, std::make_unique<IdlePort>(), &window);
    link.show();
    save(&link, dir, QStringLiteral("com-setting"));
    // A device path longer than its field, as a stable name under /dev is.
    link.findChild<QComboBox *>(QStringLiteral("Port_device"))
        ->setEditText(
            QStringLiteral("/dev/serial/by-id/usb-Serial_Adapter_USB_UART_A9XK2LQ1-if00-port0"));
    save(&link, dir, QStringLiteral("com-setting-long-device"));
    link.hide();

    renderUart(window, window.uart1Tab(), 1, dir);
    renderUart(window, window.uart2Tab(), 2, dir);
    renderDialog(window.uart1Tab(), dir);
    renderDiag(window, dir);
    renderHealth(window, dir);
    renderWalk(window, dialogs, dir);

    // Two requests that fill the same registers, and a sensor inside one.
    Configuration conflicting = window.configuration();
    conflicting.uart1.role = ModbusRole::Master;
    conflicting.uart1.table = {{"1", "1", "25", "0", "1500", "1", "1000"},
                               {"2", "2", "10", "0", "1510", "1", "1000"}};
    conflicting.aux.mode = AuxMode::OneWireMaster;
    conflicting.aux.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "1502"}};
    window.apply(conflicting);
    tabs->setCurrentWidget(&window.uart1Tab());
    QCoreApplication::processEvents();
    save(&window, dir, QStringLiteral("register-conflicts"));
    window.showRegisterMap();
    save(window.findChild<RegisterMapWindow *>(), dir, QStringLiteral("register-map"));
    return 0;
}
