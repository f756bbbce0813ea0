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

} // namespace

TabContext::TabContext(QString iniFile, UserDialogs &dialogs, PortFactory ports, QWidget *window)
    : m_iniFile(std::move(iniFile)), m_dialogs(dialogs), m_ports(std::move(ports)),
      m_window(window), m_session(sessionOver(m_ports(), m_iniFile))
{
    // The session's own state, not the signal's value, decides: an operation
    // started from the end of another keeps the controls disabled.
    connect(m_session.get(), &PlcSession::busyChanged, this, [this] { settle(); });
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
    if (m_next || (m_session->isBusy() && !m_background))
        return false;
    if (m_session->isBusy()) {
        m_next = Waiting{std::move(operation), progress, std::move(done)};
        settle();
        return true;
    }
    start(std::move(operation), progress, std::move(done), true);
    return true;
}

bool TabContext::runInBackground(PlcSession::Operation operation, std::function<void()> done)
{
    if (m_session->isBusy() || userOperationPending())
        return false;
    start(std::move(operation), ProgressWindow::Hidden, std::move(done), false);
    return true;
}

void TabContext::whenSessionFree(QObject *receiver, std::function<void()> then)
{
    if (!m_session->isBusy())
        return then();
    connect(
        m_session.get(), &PlcSession::finished, receiver,
        [this, receiver, then = std::move(then)] { whenSessionFree(receiver, then); },
        Qt::SingleShotConnection);
}

TabContext::UserOperation::UserOperation(TabContext &context) : m_context(&context)
{
    ++context.m_asked;
}

TabContext::UserOperation::~UserOperation()
{
    if (!m_context)
        return;
    --m_context->m_asked;
    m_context->settle();
}

bool TabContext::userOperationPending() const
{
    return m_asked > 0 || m_next || (m_session->isBusy() && !m_background);
}

void TabContext::start(PlcSession::Operation operation, ProgressWindow progress,
                       std::function<void()> done, bool user)
{
    m_background = !user;
    auto shown = std::make_shared<QPointer<Progress>>();
    const auto open = [this, shown] {
        *shown = new Progress(m_window);
        (*shown)->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_session.get(), &PlcSession::progressChanged, *shown, &Progress::setPercent);
    };
    QMetaObject::Connection onProgress;
    if (progress == ProgressWindow::Shown)
        open();
    else if (progress == ProgressWindow::OnProgress)
        onProgress = connect(m_session.get(), &PlcSession::progressChanged, this,
                             [open, shown](int percent) {
                                 if (*shown)
                                     return;
                                 open();
                                 (*shown)->setPercent(percent);
                                 (*shown)->show();
                             });
    const bool started =
        m_session->run(std::move(operation), [this, shown, onProgress, done = std::move(done)] {
            m_background = false;
            disconnect(onProgress);
            if (*shown)
                (*shown)->close();
            if (done)
                done();
        });
    Q_ASSERT(started);
    if (*shown)
        (*shown)->show();
    settle();
}

// The session's own state, not a signal's value, decides: an operation
// started from the end of another keeps the controls disabled. A background
// read leaves them enabled: what they start waits for it.
void TabContext::settle()
{
    if (!m_session->isBusy() && m_next) {
        Waiting next = std::move(*m_next);
        m_next.reset();
        return start(std::move(next.operation), next.progress, std::move(next.done), true);
    }
    const bool userRuns = (m_session->isBusy() && !m_background) || m_next;
    if (userRuns != m_plcControls.isBusy()) {
        // The button that started the operation gets the keyboard back once
        // it is enabled again, after the window's own locks are lifted.
        if (userRuns)
            m_keptFocus.disabling(m_plcControls.widgets());
        m_plcControls.setBusy(userRuns);
        Q_EMIT userOperationRunning(userRuns);
        if (userRuns)
            m_keptFocus.disabled();
        else
            m_keptFocus.enabled();
    }
    if (!m_session->isBusy() && !userOperationPending())
        Q_EMIT idle();
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

bool TabContext::mayDownload(QWidget *from, const QString &part)
{
    const std::optional<TransferResult> refusal =
        m_downloadCheck ? m_downloadCheck(part) : std::nullopt;
    if (refusal)
        report(from, *refusal);
    return !refusal;
}

GridModel::Notes TabContext::withConflicts(const QString &table, GridModel::Notes notes) const
{
    return [this, table, notes = std::move(notes)](const QStringList &cells, int column) {
        GridModel::CellNote note = notes ? notes(cells, column) : GridModel::CellNote{};
        bool isRow = false;
        const int row = cells.value(0).toInt(&isRow);
        const QString conflict =
            m_cellConflict && isRow ? m_cellConflict(table, row, column) : QString();
        if (!conflict.isEmpty()) {
            note.warning = true;
            note.toolTip += (note.toolTip.isEmpty() ? QString() : QStringLiteral("\n")) + conflict;
        }
        return note;
    };
}

void TabContext::download(QWidget *from, const QString &part,
                          std::function<TransferResult(PlcPort &, const TransferProgress &)> work,
                          ProgressWindow progress)
{
    if (PlcCheck check = m_plcCheck ? m_plcCheck(part) : PlcCheck())
        work = [check = std::move(check), work = std::move(work)](
                   PlcPort &port, const TransferProgress &shown) -> TransferResult {
            if (const std::optional<TransferResult> refusal = check(port))
                return *refusal;
            return work(port, shown);
        };
    ++m_writes;
    if (!m_backup.read || (m_backup.wanted && !m_backup.wanted(part))) {
        if (!transfer<TransferResult>(from, std::move(work), progress, written(part)))
            --m_writes;
        return;
    }
    auto failure = std::make_shared<QString>();
    const bool started =
        run([read = m_backup.read, part,
             failure](PlcPort &port, const TransferProgress &) { *failure = read(port, part); },
            ProgressWindow::Hidden,
            [this, from = QPointer<QWidget>(from), part, failure, work = std::move(work),
             progress]() mutable {
                // The question is part of the download the user asked for: no
                // background read comes between it and the write.
                const UserOperation asked(*this);
                QString reason = *failure;
                Kept kept;
                if (reason.isEmpty() && m_backup.keep) {
                    kept = m_backup.keep();
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

std::function<void(const TransferResult &)> TabContext::written(const QString &part)
{
    return [this, part](const TransferResult &result) {
        --m_writes;
        if (result.ok)
            Q_EMIT partWritten(part);
    };
}

void TabContext::setSlotHealth(const QString &buffer, const QList<SlotHealth> &slots)
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
