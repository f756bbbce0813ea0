// Renders the UART tabs in each role, the "Slave add/modify" dialog and the
// "Modbus diag" tab to PNG files, offscreen, for a look at their layout:
// render-modbus [dir]
#include "diag/modbusdiagtab.h"
#include "diag/modbuserrorbuffer.h"
#include "modbus/requesttable.h"
#include "modbus/slavedialog.h"
#include "modbus/uarttab.h"
#include "support/idleport.h"
#include "support/renderharness.h"
#include "widgets/gridview.h"
#include "widgets/tableframe.h"
#include "window/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {

const auto save = savePng;

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
    window.show();
    renderUart(window, window.uart1Tab(), 1, dir);
    renderUart(window, window.uart2Tab(), 2, dir);
    renderDialog(window.uart1Tab(), dir);
    renderDiag(window, dir);
    return 0;
}
