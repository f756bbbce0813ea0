// Renders the main window, each of its tabs, its menus and the progress
// window to PNG files, offscreen, for a look at the layout.
#include "diag/convertertab.h"
#include "io/hwconfigtab.h"
#include "onewire/onewiretab.h"
#include "onewire/searchform.h"
#include "onewire/sensordialog.h"
#include "support/idleport.h"
#include "support/renderharness.h"
#include "widgets/gridview.h"
#include "widgets/progress.h"
#include "widgets/tableframe.h"
#include "window/comsetting.h"
#include "window/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
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
    auto *search = tab.findChild<SearchForm *>();
    search->grid()->setEntries({{"1", "28", "FF", "4C", "5D", "03", "00", "00", "21"},
                                {"2", "02", "1C", "B8", "01", "00", "00", "00", "A2"}});
    save(search, dir, QStringLiteral("search-form"));
    search->reject();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(RENDER_DIR);
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

    ComSetting link(window.iniFile(), dialogs, std::make_unique<IdlePort>(), &window);
    link.show();
    save(&link, dir, QStringLiteral("com-setting"));
    return 0;
}
