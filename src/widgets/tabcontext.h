#pragma once

#include "link/plcport.h"
#include "link/plcsession.h"
#include "link/transferresult.h"
#include "tables/gridmodel.h"
#include "widgets/plccontrols.h"

#include <QDateTime>
#include <QHash>
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
    PlcSession &session() { return *m_session; }
    // A fresh, closed port for a form that runs a session of its own.
    std::unique_ptr<PlcPort> makePort() const { return m_ports(); }

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
    // A read the user did not ask for just now (a watch's): it yields to
    // the user's operations. False, and nothing run, while the session is
    // busy or an operation of the user is asked for, waits or runs; idle()
    // tells when to try again.
    [[nodiscard]] bool runInBackground(PlcSession::Operation operation,
                                       std::function<void()> done = {});
    // Calls `then` once no operation runs on the session (at once when none
    // does), unless `receiver` is gone by then. For a form with a port of its
    // own on the same device.
    void whenSessionFree(QObject *receiver, std::function<void()> then);

    // While one lives, an operation of the user is asked for (its
    // confirmation is open) or a form that uses the PLC on a port of its own
    // is open: no background read starts. Buttons made by plcButton() hold
    // one while their handler runs.
    class UserOperation
    {
    public:
        explicit UserOperation(TabContext &context);
        ~UserOperation();
        UserOperation(const UserOperation &) = delete;
        UserOperation &operator=(const UserOperation &) = delete;

    private:
        QPointer<TabContext> m_context;
    };
    // Whether an operation of the user is asked for, waits or runs.
    bool userOperationPending() const;
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

    // What a download of one part ("uart1", "uart2" or "aux") must pass of
    // the whole configuration before anything is sent: the refusal to show,
    // or nothing. The window sets it; a tab on its own has none.
    using DownloadCheck = std::function<std::optional<TransferResult>(const QString &part)>;
    void setDownloadCheck(DownloadCheck check) { m_downloadCheck = std::move(check); }
    // Shows the check's refusal, if there is one; true when the download of
    // the part may go on.
    bool mayDownload(QWidget *from, const QString &part);

    // What a download of one part must pass of what the PLC holds: made on
    // this thread when the download starts (empty when there is nothing to
    // ask the PLC), run on the session's thread just before the writes, its
    // refusal ending the download as a failed write would. The window sets it.
    using PlcCheck = std::function<std::optional<TransferResult>(PlcPort &)>;
    void setPlcCheck(std::function<PlcCheck(const QString &part)> check)
    {
        m_plcCheck = std::move(check);
    }

    // A backup of what the PLC holds, taken before a tab's "Write to PLC"
    // writes one part ("uart1", "uart2" or "aux"), when `wanted` says so
    // (backups are on, and the download would not be refused before
    // sending): `read` runs on the session's thread and gives why it failed
    // (empty when it read it), `keep` then keeps it and gives where, or why
    // it could not. The window sets it; with none, downloads go without. A
    // write that fails after its backup was kept names the backup, to be
    // restored from the File menu.
    struct Kept
    {
        QString path;
        QString error; // empty when kept
    };
    struct Backup
    {
        std::function<bool(const QString &part)> wanted;
        std::function<QString(PlcPort &port, const QString &part)> read;
        std::function<Kept()> keep;
    };
    void setBackup(Backup backup) { m_backup = std::move(backup); }
    // The download of one part, after its backup: a backup that fails asks
    // "Write without a backup?" and writes only on Yes.
    void download(QWidget *from, const QString &part,
                  std::function<TransferResult(PlcPort &, const TransferProgress &)> work,
                  ProgressWindow progress);

    // What the whole configuration says of a cell of one table ("uart1",
    // "uart2" or "sensors"): a register conflict it is part of, or nothing.
    // The window sets it; a tab on its own has none.
    using CellConflict = std::function<QString(const QString &table, int row, int column)>;
    void setCellConflict(CellConflict conflict) { m_cellConflict = std::move(conflict); }
    // A table's own notes with the conflicts marked on top: the cell is a
    // warning and its tooltip names the conflict.
    GridModel::Notes withConflicts(const QString &table, GridModel::Notes notes) const;

    // The name the next change of the configuration goes by in the Edit
    // menu ("Upload UART 2 from PLC", "Paste 12 rows"), for a change that
    // says more than which cells it touched. Taken by the window once.
    void nameNextChange(const QString &name) { m_nextChange = name; }
    QString takeChangeName() { return std::exchange(m_nextChange, QString()); }

    // A line for the window's status bar.
    void showStatus(const QString &text) { Q_EMIT statusMessage(text); }
    // Takes back a line shown before, unless another has replaced it.
    void withdrawStatus(const QString &text) { Q_EMIT statusWithdrawn(text); }

    // What a watch read of an error buffer ("modbus1", "modbus2",
    // "onewire"), slot 1 first; empty while the buffer is not watched. The
    // tabs that show the slots' owners show it beside them.
    void setSlotHealth(const QString &buffer, const QList<SlotHealth> &slots);
    QList<SlotHealth> slotHealth(const QString &buffer) const { return m_slotHealth.value(buffer); }

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
    void slotHealthChanged(const QString &buffer);
    // A download() of the part ended with the PLC holding it.
    void partWritten(const QString &part);
    // An upload of the part ("uart1", "uart2", "aux", "io") was read and shown.
    void partRead(const QString &part);

private:
    struct Waiting
    {
        PlcSession::Operation operation;
        ProgressWindow progress;
        std::function<void()> done;
    };
    void start(PlcSession::Operation operation, ProgressWindow progress, std::function<void()> done,
               bool user);
    void settle();

    // What a download shows when it has ended: partWritten() on success.
    std::function<void(const TransferResult &)> written(const QString &part);
    // The line a failed write adds about the backup taken before it.
    static QString restoreHint(const QString &backup);

    QHash<QString, QList<SlotHealth>> m_slotHealth;
    QString m_iniFile;
    UserDialogs &m_dialogs;
    PortFactory m_ports;
    QWidget *m_window = nullptr;
    std::unique_ptr<PlcSession> m_session;
    PlcControls m_plcControls;
    KeptFocus m_keptFocus;
    DownloadCheck m_downloadCheck;
    std::function<PlcCheck(const QString &part)> m_plcCheck;
    int m_writes = 0;
    CellConflict m_cellConflict;
    QString m_nextChange;
    Backup m_backup;
    int m_asked = 0;               // operations of the user asked for
    std::optional<Waiting> m_next; // the user's, waiting for a background read
    bool m_background = false;     // the running operation is a background read
};
