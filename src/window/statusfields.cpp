// The status bar's fields and the messages of what was done.

#include "mainwindow.h"

#include "config/configurationdocument.h"
#include "link/inifile.h"
#include "link/portsetup.h"
#include "widgets/fieldmark.h"
#include "widgets/gridview.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTime>

void Main::setUpStatus()
{
    m_conflictCount = new QLabel(this);
    m_conflictCount->setObjectName(QStringLiteral("register_conflicts"));
    m_conflictCount->hide();
    connect(m_conflictCount, &QLabel::linkActivated, this, &Main::showRegisterMap);
    statusBar()->addPermanentWidget(m_conflictCount);
    m_fileState = new QLabel(this);
    m_fileState->setObjectName(QStringLiteral("file_state"));
    statusBar()->addPermanentWidget(m_fileState);
    connect(m_context.get(), &TabContext::statusWithdrawn, this, [this](const QString &text) {
        if (statusBar()->currentMessage() == text)
            statusBar()->clearMessage();
    });
    connect(m_context.get(), &TabContext::partWritten, this,
            [this](PlcPart part) { showDone({part}, QStringLiteral("written to")); });
    connect(m_context.get(), &TabContext::partRead, this,
            [this](PlcPart part) { showDone({part}, QStringLiteral("read from")); });
    // A keyboard user never sees a tooltip: a marked field or cell that gets
    // the keyboard says in the status bar what its tooltip says.
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { showMarkOf(now); });
    const QList<GridView *> grids = findChildren<GridView *>();
    for (GridView *grid : grids)
        connect(grid, &GridView::chosen, this, [this, grid] {
            if (grid->hasFocus())
                showMarkOf(grid);
        });
}

void Main::showMarkOf(QWidget *widget)
{
    if (!widget || widget->window() != this)
        return;
    QString rule;
    if (const auto *field = qobject_cast<const QLineEdit *>(widget)) {
        rule = fieldMark(field);
    } else if (const auto *grid = qobject_cast<const GridView *>(widget)) {
        const QModelIndex cell = grid->currentIndex();
        if (cell.data(GridModel::WarningRole).toBool())
            rule = cell.data(Qt::ToolTipRole).toString();
    }
    if (!rule.isEmpty())
        statusBar()->showMessage(rule);
}

// "UART 1 and Auxiliary port read from COM1 at 16:48:07".
void Main::showDone(const QList<PlcPart> &parts, const QString &how)
{
    QStringList names;
    for (PlcPart part : parts)
        names << (part == PlcPart::Uart1   ? QStringLiteral("UART 1")
                  : part == PlcPart::Uart2 ? QStringLiteral("UART 2")
                  : part == PlcPart::Io    ? QStringLiteral("I/O assignment")
                                           : QStringLiteral("Auxiliary port"));
    const QString last = names.takeLast();
    const QString what =
        names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
    statusBar()->showMessage(
        QStringLiteral("%1 %2 %3 at %4")
            .arg(what, how, portName(), QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
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
    // The caption stays as it is; a desktop that shows a window's file (its
    // task bar, its window list) tells two windows apart by it.
    setWindowFilePath(m_document->fileName());
}

QString Main::portName() const
{
    return QStringLiteral("COM%1").arg(Ini_read_index(iniFile(), QStringLiteral("COM"),
                                                      QStringLiteral("Port_num"),
                                                      LinkChoices::portCount) +
                                       1);
}
