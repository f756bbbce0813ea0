#pragma once

#include "link/inifile.h"
#include "modbus/requesttable.h"
#include "modbus/slavedialog.h"
#include "modbus/uarttab.h"
#include "plcsimulator.h"
#include "simport.h"
#include "support/scripteddialogs.h"
#include "widgets/gridview.h"
#include "widgets/tableframe.h"
#include "window/mainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

// The main window on a simulated PLC, shown offscreen, its message boxes and
// confirmations answered from a script.
struct UartWindow
{
    PlcSimulator sim;
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    // Backups before downloads are the window's default; tests of the
    // downloads' own frames turn them off in the settings file.
    bool backups;
    std::unique_ptr<Main> main;

    explicit UartWindow(bool withBackups = false)
        : backups(settle(dir.filePath(QStringLiteral("set.ini")), withBackups)),
          main(std::make_unique<Main>(
              Main::Context{dir.filePath(QStringLiteral("set.ini")), dialogs, [this] {
                                return std::make_unique<SimPort>(sim);
                            }}))
    {
        main->show();
        QApplication::setActiveWindow(main.get());
        if (!QTest::qWaitForWindowActive(main.get()))
            qWarning("the main window is not active");
    }

    static bool settle(const QString &ini, bool withBackups)
    {
        if (!withBackups)
            Ini_write(ini, QStringLiteral("BACKUP"), QStringLiteral("Enabled"),
                      QStringLiteral("0"));
        return withBackups;
    }

    UartTab &tab(int uart) const { return uart == 1 ? main->uart1Tab() : main->uart2Tab(); }
    // Brings the tab to the front, so that its controls show and take focus.
    UartTab &open(int uart) const
    {
        main->findChild<QTabWidget *>(QStringLiteral("SSTab1"))->setCurrentWidget(&tab(uart));
        return tab(uart);
    }
    template <typename T> T *child(int uart, const QString &name) const
    {
        return tab(uart).findChild<T *>(name);
    }
    // The "Slave add/modify" dialog while it is open.
    SlaveDialog *dialog(int uart) const
    {
        const QString name = uart == 1 ? QStringLiteral("Slave") : QStringLiteral("Slave2");
        for (SlaveDialog *dialog : tab(uart).findChildren<SlaveDialog *>(name)) {
            if (dialog->isVisible())
                return dialog;
        }
        return nullptr;
    }
    // Clicks a button of the tab by its object name.
    void click(int uart, const QString &name) const;
    // Waits for the operation the last click started to end.
    bool finished() const
    {
        return QTest::qWaitFor([this] { return !main->tabContext().session().isBusy(); }, 5000);
    }
    // A master whose table holds the rows, no row chosen yet (as after an
    // upload).
    void master(int uart, const QList<RequestRow> &rows) const
    {
        open(uart).selectRole(0);
        tab(uart).grid()->setEntries(RequestTable::fromRows(rows));
        tab(uart).grid()->setEnabled(true);
    }
    // Clicks a cell of the grid, as the user chooses a row.
    void clickCell(int uart, int row, int column) const
    {
        GridView *grid = tab(uart).grid();
        const QRect cell = grid->cellRect(row, column);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
};

inline void UartWindow::click(int uart, const QString &name) const
{
    auto *button = child<QAbstractButton>(uart, name);
    QVERIFY2(button, qPrintable(name));
    button->click();
}
