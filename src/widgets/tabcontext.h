#pragma once

#include "link/plcpart.h"
#include "link/plcport.h"
#include "link/plcsession.h"
#include "link/sessionscheduler.h"
#include "link/transferresult.h"
#include "tables/gridmodel.h"
#include "widgets/plccontrols.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QPushButton;
class QWidget;
class UserDialogs;

// How a watched error buffer last read one slot (a request, or a sensor):
// its state, the error's text, since when it has been active and how many
// times it became active; and, once a later read failed, why the state is
// no longer known.
struct SlotHealth
{
    enum State { NoError = 1, ActiveError, InactiveError };
    State state = NoError;
    QString text;
    QDateTime activeSince; // invalid unless the error is active
    int activations = 0;
    QString unreadBecause; // empty while the last read gave the state

    // The mark shown beside the slot: its state, or Unread.
    static constexpr int Unread = 4;
    int mark() const { return unreadBecause.isEmpty() ? int(state) : Unread; }

    // The tooltip: "Active error: timeout error occurred, since 12:03:04
    // (09.12.2026), 3 times active"; once unread, "Not known: <why>. Last
    // read: ..." with the state last read.
    QString toolTip() const;
};

// The result part of what a transfer gives.
inline const TransferResult &transferResultOf(const TransferResult &result)
{
    return result;
}
template <typename Read> const TransferResult &transferResultOf(const Read &read)
{
    return read.result;
}

// What the window around the tabs decides for them from the whole
// configuration, and the backups it keeps. A tab on its own (in a test) has
// none: its downloads go unchecked and without a backup.
class WindowHooks
{
public:
    // What a download of a part must pass of what the PLC holds: made on
    // the window's thread when the download starts, run on the session's
    // thread just before the writes, its refusal ending the download as a
    // failed write would.
    using PlcCheck = std::function<std::optional<TransferResult>(PlcPort &)>;
    // Where a backup was kept, or why it could not be.
    struct Kept
    {
        QString path;
        QString error; // empty when kept
    };
    // A backup of what the PLC holds before a part is written: `read` runs
    // on the session's thread and gives why it failed (empty when it read
    // it); `keep` then keeps it, on the window's thread.
    struct Backup
    {
        std::function<QString(PlcPort &port)> read;
        std::function<Kept()> keep;
    };

    virtual ~WindowHooks() = default;

    // What a download of the part must pass of the whole configuration
    // before anything is sent: the refusal to show, or nothing.
    virtual std::optional<TransferResult> downloadRefusal(PlcPart part) const = 0;
    // The check against what the PLC holds; empty when there is nothing to
    // ask the PLC.
    virtual PlcCheck plcCheck(PlcPart part) const = 0;
    // The backup to take before the part is written, when one is wanted
    // (backups are on, and the download would not be refused before
    // sending).
    virtual std::optional<Backup> backupBefore(PlcPart part) = 0;
    // What the whole configuration says of a cell: a register conflict it is
    // part of, or a download's refusal of its value; empty for neither.
    virtual QString cellConflict(PlcTable table, int row, int column) const = 0;
};

// What a tab, a dialog or the window's menu needs of the window around it:
// the user dialogs, the settings file, and the session over the window's
// port on which PLC operations run, one at a time, with the progress window
// when they move many blocks. A tab built on it can be built and tested
// without the main window.
class TabContext : public QObject
{
    Q_OBJECT

public:
    using Availability = PlcControls::Availability;
    using PortFactory = std::function<std::unique_ptr<PlcPort>()>;
    // Whether the progress window shows: never, from the start, or from the
    // operation's first report of progress on.
    enum class ProgressWindow { Hidden, Shown, OnProgress };

    // The session's port, made here, gets the settings file's link settings;
    // it stays closed until an operation opens it. The progress window shows
    // beside `window`.
    TabContext(QString iniFile, UserDialogs &dialogs, PortFactory ports, QWidget *window);
    // Ends a running operation (cancelled, waited for) and closes the port.
    ~TabContext() override;

    const QString &iniFile() const { return m_iniFile; }
    UserDialogs &dialogs() const { return m_dialogs; }
    PlcSession &session() { return m_scheduler.session(); }
    SessionScheduler &scheduler() { return m_scheduler; }

    // Disabled while an operation runs; inactive ones stay disabled for good.
    void registerPlcControl(QWidget *control, Availability availability = Availability::Active);
    // A button that starts a PLC operation: named, captioned, running
    // `clicked` and registered as above.
    QPushButton *plcButton(const QString &name, const QString &caption, QWidget *parent,
                           std::function<void()> clicked,
                           Availability availability = Availability::Active);
    void registerPlcAction(QAction *action, Availability availability = Availability::Active);

    // Runs an operation of the user, with the progress window following it
    // when asked; the window closes before `done` runs. One that finds a
    // background read (a watch's) under way waits for it and runs next.
    // False, and nothing run, while another operation of the user runs or
    // waits.
    [[nodiscard]] bool run(PlcSession::Operation operation, ProgressWindow progress,
                           std::function<void()> done = {});
    // The same for an operation that loops on ports of its own.
    [[nodiscard]] bool run(PlcSession::CancellableOperation operation, ProgressWindow progress,
                           std::function<void()> done = {});
    // A read the user did not ask for just now (a watch's): see
    // SessionScheduler::runInBackground().
    [[nodiscard]] bool runInBackground(PlcSession::Operation operation,
                                       std::function<void()> done = {});
    // Calls `then` once no operation runs on the session (at once when none
    // does), unless `receiver` is gone by then.
    void whenSessionFree(QObject *receiver, std::function<void()> then)
    {
        m_scheduler.whenFree(receiver, std::move(then));
    }

    // While one lives, an operation of the user is asked for (its
    // confirmation is open) or a form that uses the PLC is open: no
    // background read starts. Buttons made by plcButton() hold one while
    // their handler runs.
    class UserOperation : public SessionScheduler::UserOperation
    {
    public:
        explicit UserOperation(TabContext &context)
            : SessionScheduler::UserOperation(context.m_scheduler)
        {}
    };
    // Whether an operation of the user is asked for, waits or runs.
    bool userOperationPending() const { return m_scheduler.userOperationPending(); }
    // Whether a download() is under way (its backup, question or write).
    bool isWriting() const { return m_writes > 0; }

    // Runs a transfer, then shows what it read (`show`, when given), then
    // reports how it ended (see report()). Result is a TransferResult or a
    // value with one in its `result`. A transfer that cannot run (another of
    // the user's runs) says so.
    template <typename Result>
    bool transfer(QWidget *from, std::function<Result(PlcPort &, const TransferProgress &)> work,
                  ProgressWindow progress, std::function<void(const Result &)> show = {})
    {
        auto result = std::make_shared<Result>();
        const bool started =
            run([work = std::move(work), result](
                    PlcPort &port, const TransferProgress &step) { *result = work(port, step); },
                progress,
                [this, from = QPointer<QWidget>(from), result, show = std::move(show)] {
                    if (show)
                        show(*result);
                    report(from, transferResultOf(*result));
                });
        if (!started)
            reportBusy(from);
        return started;
    }

    // The window's decisions for the tabs; none on a tab of its own.
    void setHooks(WindowHooks *hooks) { m_hooks = hooks; }
    // Shows the window's refusal of a download of the part, if it has one;
    // true when the download may go on.
    bool mayDownload(QWidget *from, PlcPart part);
    // The download of one part, checked against what the PLC holds and
    // after its backup: a backup that fails asks "Write without a backup?"
    // and writes only on Yes. A write that fails after its backup was kept
    // names the backup, to be restored from the File menu.
    void download(QWidget *from, PlcPart part,
                  std::function<TransferResult(PlcPort &, const TransferProgress &)> work,
                  ProgressWindow progress);

    // A table's own notes with the conflicts marked on top: the cell is a
    // warning and its tooltip names the conflict.
    GridModel::Notes withConflicts(PlcTable table, GridModel::Notes notes) const;

    // The name the next change of the configuration goes by in the Edit
    // menu ("Upload UART 2 from PLC", "Paste 12 rows"), for a change that
    // says more than which cells it touched. Taken by the window once.
    void nameNextChange(const QString &name) { m_nextChange = name; }
    QString takeChangeName() { return std::exchange(m_nextChange, QString()); }

    // A line for the window's status bar.
    void showStatus(const QString &text) { Q_EMIT statusMessage(text); }
    // Takes back a line shown before, unless another has replaced it.
    void withdrawStatus(const QString &text) { Q_EMIT statusWithdrawn(text); }

    // What a watch read of an error buffer, slot 1 first; empty while the
    // buffer is not watched. The tabs that show the slots' owners show it
    // beside them.
    void setSlotHealth(ErrorBuffer buffer, const QList<SlotHealth> &slots);
    QList<SlotHealth> slotHealth(ErrorBuffer buffer) const { return m_slotHealth.value(buffer); }

    // A transfer's message, if it has one, in a message box with its title:
    // information after a success, a warning after a failure. The box goes
    // to the main window when `from` is gone or closing.
    void report(QWidget *from, const TransferResult &result);
    // Why an operation of the user did not start: another one runs.
    void reportBusy(QWidget *from);
    static inline const QString busyMessage =
        QStringLiteral("Another PLC operation is running. Try again once it has ended.");

Q_SIGNALS:
    void statusMessage(const QString &text);
    // An operation of the user starts (true) or the last one ends (false).
    void userOperationRunning(bool running);
    // No operation runs, and none of the user's is asked for or waits: a
    // background read may start.
    void idle();

    void statusWithdrawn(const QString &text);
    void slotHealthChanged(ErrorBuffer buffer);
    // A download() of the part ended with the PLC holding it.
    void partWritten(PlcPart part);
    // An upload of the part was read and shown.
    void partRead(PlcPart part);

private:
    // The controls follow the user's operations.
    void followUserOperation(bool running);

    // What a download shows when it has ended: partWritten() on success.
    std::function<void(const TransferResult &)> written(PlcPart part);
    // The line a failed write adds about the backup taken before it.
    static QString restoreHint(const QString &backup);

    QMap<ErrorBuffer, QList<SlotHealth>> m_slotHealth;
    QString m_iniFile;
    UserDialogs &m_dialogs;
    QWidget *m_window = nullptr;
    SessionScheduler m_scheduler;
    PlcControls m_plcControls;
    KeptFocus m_keptFocus;
    WindowHooks *m_hooks = nullptr;
    int m_writes = 0;
    QString m_nextChange;
};
