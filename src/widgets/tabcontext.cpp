#include "tabcontext.h"

#include "link/plcport.h"
#include "link/portsetup.h"
#include "widgets/progress.h"
#include "widgets/userdialogs.h"

#include <QDir>
#include <QPointer>
#include <QPushButton>

namespace {

std::unique_ptr<PlcSession> sessionOver(std::unique_ptr<PlcPort> port, const QString &iniFile)
{
    Port_setup(*port, iniFile);
    return std::make_unique<PlcSession>(std::move(port));
}

PlcSession::CancellableOperation cancellable(PlcSession::Operation operation)
{
    return [operation = std::move(operation)](PlcPort &port, const TransferProgress &progress,
                                              const PlcSession::CancelToken &) {
        operation(port, progress);
    };
}

} // namespace

TabContext::TabContext(QString iniFile, UserDialogs &dialogs, PortFactory ports, QWidget *window)
    : m_iniFile(std::move(iniFile)), m_dialogs(dialogs), m_window(window),
      m_scheduler(sessionOver(ports(), m_iniFile))
{
    connect(&m_scheduler, &SessionScheduler::userOperationRunning, this,
            &TabContext::followUserOperation);
    connect(&m_scheduler, &SessionScheduler::idle, this, &TabContext::idle);
}

TabContext::~TabContext() = default;

void TabContext::registerPlcControl(QWidget *control, Availability availability)
{
    m_plcControls.add(control, availability);
}

void TabContext::registerPlcAction(QAction *action, Availability availability)
{
    m_plcControls.add(action, availability);
}

QPushButton *TabContext::plcButton(const QString &name, const QString &caption, QWidget *parent,
                                   std::function<void()> clicked, Availability availability)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, parent, [this, clicked = std::move(clicked)] {
        const UserOperation asked(*this);
        clicked();
    });
    registerPlcControl(button, availability);
    return button;
}

bool TabContext::run(PlcSession::Operation operation, ProgressWindow progress,
                     std::function<void()> done)
{
    return run(cancellable(std::move(operation)), progress, std::move(done));
}

bool TabContext::run(PlcSession::CancellableOperation operation, ProgressWindow progress,
                     std::function<void()> done)
{
    auto shown = std::make_shared<QPointer<Progress>>();
    const auto open = [this, shown] {
        *shown = new Progress(m_window);
        (*shown)->setAttribute(Qt::WA_DeleteOnClose);
        connect(&session(), &PlcSession::progressChanged, *shown, &Progress::setPercent);
    };
    auto onProgress = std::make_shared<QMetaObject::Connection>();
    // The window opens when the operation starts, not while it waits for a
    // background read.
    const auto starting = [this, progress, open, shown, onProgress] {
        if (progress == ProgressWindow::Shown) {
            open();
            (*shown)->show();
        } else if (progress == ProgressWindow::OnProgress) {
            *onProgress =
                connect(&session(), &PlcSession::progressChanged, this, [open, shown](int percent) {
                    if (*shown)
                        return;
                    open();
                    (*shown)->setPercent(percent);
                    (*shown)->show();
                });
        }
    };
    return m_scheduler.run(
        {std::move(operation), starting, [shown, onProgress, done = std::move(done)] {
             disconnect(*onProgress);
             if (*shown)
                 (*shown)->close();
             if (done)
                 done();
         }});
}

bool TabContext::runInBackground(PlcSession::Operation operation, std::function<void()> done)
{
    return m_scheduler.runInBackground({cancellable(std::move(operation)), {}, std::move(done)});
}

// The button that started an operation gets the keyboard back once it is
// enabled again, after the window's own locks are lifted. A background read
// leaves the controls enabled: what they start waits for it.
void TabContext::followUserOperation(bool running)
{
    if (running)
        m_keptFocus.disabling(m_plcControls.widgets());
    m_plcControls.setBusy(running);
    Q_EMIT userOperationRunning(running);
    if (running)
        m_keptFocus.disabled();
    else
        m_keptFocus.enabled();
}

void TabContext::report(QWidget *from, const TransferResult &result)
{
    if (result.message.isEmpty())
        return;
    const auto icon = result.ok ? UserDialogs::Icon::Information : UserDialogs::Icon::Warning;
    // A form closed meanwhile (a dialog that has ended) is no parent for it.
    if (!from || !from->window()->isVisible())
        from = m_window;
    m_dialogs.message(from, result.message, result.title, icon);
}

void TabContext::reportBusy(QWidget *from)
{
    report(from, TransferResult::failure(busyMessage));
}

bool TabContext::mayDownload(QWidget *from, PlcPart part)
{
    const std::optional<TransferResult> refusal =
        m_hooks ? m_hooks->downloadRefusal(part) : std::nullopt;
    if (refusal)
        report(from, *refusal);
    return !refusal;
}

GridModel::Notes TabContext::withConflicts(PlcTable table, GridModel::Notes notes) const
{
    return [this, table, notes = std::move(notes)](const QStringList &cells, int column) {
        GridModel::CellNote note = notes ? notes(cells, column) : GridModel::CellNote{};
        bool isRow = false;
        const int row = cells.value(0).toInt(&isRow);
        const QString conflict =
            m_hooks && isRow ? m_hooks->cellConflict(table, row, column) : QString();
        if (!conflict.isEmpty()) {
            note.warning = true;
            note.toolTip += (note.toolTip.isEmpty() ? QString() : QStringLiteral("\n")) + conflict;
        }
        return note;
    };
}

void TabContext::download(QWidget *from, PlcPart part,
                          std::function<TransferResult(PlcPort &, const TransferProgress &)> work,
                          ProgressWindow progress)
{
    if (WindowHooks::PlcCheck check = m_hooks ? m_hooks->plcCheck(part) : WindowHooks::PlcCheck())
        work = [check = std::move(check), work = std::move(work)](
                   PlcPort &port, const TransferProgress &shown) -> TransferResult {
            if (const std::optional<TransferResult> refusal = check(port))
                return *refusal;
            return work(port, shown);
        };
    ++m_writes;
    std::optional<WindowHooks::Backup> backup =
        m_hooks ? m_hooks->backupBefore(part) : std::nullopt;
    if (!backup) {
        if (!transfer<TransferResult>(from, std::move(work), progress, written(part)))
            --m_writes;
        return;
    }
    auto failure = std::make_shared<QString>();
    const bool started =
        run([read = backup->read, failure](PlcPort &port,
                                           const TransferProgress &) { *failure = read(port); },
            ProgressWindow::Hidden,
            [this, from = QPointer<QWidget>(from), part, failure, keep = backup->keep,
             work = std::move(work), progress]() mutable {
                // The question is part of the download the user asked for: no
                // background read comes between it and the write.
                const UserOperation asked(*this);
                QString reason = *failure;
                WindowHooks::Kept kept;
                if (reason.isEmpty() && keep) {
                    kept = keep();
                    reason = kept.error;
                }
                if (!reason.isEmpty() &&
                    !m_dialogs.askYesNo(from ? from.data() : m_window,
                                        QStringLiteral("No backup of the PLC was made: %1\n"
                                                       "Write without a backup?")
                                            .arg(reason))) {
                    --m_writes;
                    return;
                }
                if (!kept.path.isEmpty())
                    work = [work = std::move(work),
                            backup = kept.path](PlcPort &port, const TransferProgress &shown) {
                        TransferResult result = work(port, shown);
                        if (!result.ok && !result.refused)
                            result.message += restoreHint(backup);
                        return result;
                    };
                if (!transfer<TransferResult>(from ? from.data() : m_window, std::move(work),
                                              progress, written(part)))
                    --m_writes;
            });
    if (!started) {
        --m_writes;
        reportBusy(from);
    }
}

QString TabContext::restoreHint(const QString &backup)
{
    return QStringLiteral(
               "\nWhat the PLC held before this write is in the backup %1; "
               "File > \"Restore PLC backup…\" shows it in the window, to be written again.")
        .arg(QDir::toNativeSeparators(backup));
}

std::function<void(const TransferResult &)> TabContext::written(PlcPart part)
{
    return [this, part](const TransferResult &result) {
        --m_writes;
        if (result.ok)
            Q_EMIT partWritten(part);
    };
}

void TabContext::setSlotHealth(ErrorBuffer buffer, const QList<SlotHealth> &slots)
{
    if (slots.isEmpty() && !m_slotHealth.contains(buffer))
        return;
    if (slots.isEmpty())
        m_slotHealth.remove(buffer);
    else
        m_slotHealth.insert(buffer, slots);
    Q_EMIT slotHealthChanged(buffer);
}

QString SlotHealth::toolTip() const
{
    if (!unreadBecause.isEmpty()) {
        SlotHealth read = *this;
        read.unreadBecause.clear();
        return QStringLiteral("Not known: %1. Last read: %2").arg(unreadBecause, read.toolTip());
    }
    switch (state) {
    case NoError:
        return QStringLiteral("No error");
    case ActiveError:
        return QStringLiteral("Active error: %1, since %2, %3 time%4 active")
            .arg(text, activeSince.toString(QStringLiteral("HH:mm:ss (dd.MM.yyyy)")))
            .arg(activations)
            .arg(activations == 1 ? QString() : QStringLiteral("s"));
    case InactiveError:
        return QStringLiteral("Inactive error: %1, %2 time%3 active while watched")
            .arg(text)
            .arg(activations)
            .arg(activations == 1 ? QString() : QStringLiteral("s"));
    }
    return {};
}
