// Renders the main window, each of its tabs, its menus and the progress
// window to PNG files, offscreen, for a look at the layout.
#include "idleport.h"
#include "link/comsetting.h"
#include "support/renderharness.h"
#include "workspace/main.h"
#include "workspace/progress.h"

#include <QApplication>
#include <QDir>
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

    Progress progress(&window);
    progress.setPercent(40);
    progress.show();
    save(&progress, dir, QStringLiteral("progress"));

    ComSetting link(window.iniFile(), dialogs, std::make_unique<IdlePort>(), &window);
    link.show();
    save(&link, dir, QStringLiteral("com-setting"));
    return 0;
}
