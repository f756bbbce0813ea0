// window-soak: the real main window under random use, offscreen, against the
// in-process simulator on simulated time.
//
// Each round starts a fresh window on a PLC that holds a random
// configuration, then does one to thirty operations picked by weight through
// the paths a person uses: the menu's actions, the tabs' buttons, typing
// into cells, pasting rows, the row dialogs, the bus search, and the
// dialogs seam answering every way (OK, Cancel, Yes, No, Save, Discard, a
// file or none). While a dialog is open the event loop runs on, as under a
// real modal box, and the watch's timer may fire; faults of the line
// (refusal, silence, a late answer, a port that vanishes and comes back) hit
// the operation after the one that arms them.
//
// After every operation:
//  1. the PLC's memory equals a model of the writes the window reported as
//     done (a failure told resets the model to the PLC; a confirmed write
//     that sent nothing and said nothing is a dropped write);
//  2. the window's configuration equals the model's: edits change only what
//     they touch, uploads bring exactly what the PLC holds, undo and redo give
//     back exact earlier states;
//  3. the window is modified exactly when it differs from its file;
//  4. files change only by a save or a backup the user asked for, and no
//     backup replaces another;
//  5. the traffic monitor ends every request one way;
//  6. every operation ends within 30 s of simulated time, one port at a time
//     holds the line, and a form is never deleted under its own message.
//
// window-soak [--rounds N] [--seed S] [--round K] [--verbose]
#include "config/configurationfile.h"
#include "config/configurationjson.h"
#include "config/configurationupload.h"
#include "config/plcbackup.h"
#include "diag/bufferwatch.h"
#include "diag/convertertab.h"
#include "diag/floatconverter.h"
#include "diag/modbusdiagtab.h"
#include "diag/onewirediagtab.h"
#include "io/hwconfigtab.h"
#include "link/inifile.h"
#include "modbus/modbusdownload.h"
#include "modbus/modbusupload.h"
#include "modbus/requesttable.h"
#include "modbus/uartdescription.h"
#include "modbus/uarttab.h"
#include "onewire/auxtransfer.h"
#include "onewire/onewiretab.h"
#include "onewire/searchform.h"
#include "onewire/sensortable.h"
#include "plcsimulator.h"
#include "simport.h"
#include "support/randomtables.h"
#include "widgets/gridview.h"
#include "widgets/userdialogs.h"
#include "window/backuplist.h"
#include "window/mainwindow.h"
#include "window/trafficmonitor.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMutex>
#include <QPointer>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <map>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Rows as a person enters them: slave addresses 1 to 247 and at least one
// item, what a Modbus slave answers. The edges the download's check also
// passes (address 0 or 248, a count of 0) are the core soak's; this soak's
// refused cells come from what it types and from pasted lines that do not
// fit.
constexpr RequestLimits enteredRows{1, 247, 1};

TextTable randomRequests(Random &random, int most)
{
    return ::randomRequests(random, random.between(0, most), enteredRows);
}

Configuration randomConfiguration(Random &random)
{
    Configuration c = Configuration::defaults();
    for (UartSettings *uart : {&c.uart1, &c.uart2}) {
        uart->role = random.chance(60) ? ModbusRole::Master : ModbusRole(random.between(1, 2));
        uart->speed = random.between(0, 4);
        uart->parity = random.between(0, 2);
        uart->slaveAddress = QString::number(random.between(1, 247));
        uart->table = randomRequests(random, 12);
    }
    c.aux.mode = random.chance(70) ? AuxMode::OneWireMaster : AuxMode::NotUsed;
    for (int n = random.between(0, 10); n > 0; --n)
        c.aux.sensors << randomSensor(random, int(c.aux.sensors.size()) + 1);
    return c;
}

// --- The serial line ---------------------------------------------------------

// The one device every port of the window and its forms opens: a real
// device opens once at a time, so a second port opening it while the first
// holds it fails as a locked device does, and is counted. A line told to
// vanish loses its device after some writes and gets it back when told.
struct SoakLine
{
    explicit SoakLine(PlcSimulator &plc) : port(plc) {}
    QMutex mutex;
    SimPort port;
    bool held = false;
    int clashes = 0;
    std::optional<int> vanishAfter; // writes
    bool gone = false;

    SimTime now()
    {
        QMutexLocker lock(&mutex);
        return port.now();
    }
};

class LinePort : public PlcPort
{
public:
    explicit LinePort(SoakLine &line) : m_line(line) {}
    ~LinePort() override { LinePort::close(); }

    void setSettings(const QString &settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }
    void setPortNumber(int number) override { m_number = number; }
    int portNumber() const override { return m_number; }
    bool open() override
    {
        QMutexLocker lock(&m_line.mutex);
        if (m_open)
            return true;
        if (m_line.gone) {
            m_error = QStringLiteral("device vanished");
            return false;
        }
        if (m_line.held) {
            ++m_line.clashes;
            m_error = QStringLiteral("Permission error while locking the device");
            return false;
        }
        m_line.port.setSettings(m_settings);
        m_line.port.setPortNumber(m_number);
        if (!m_line.port.open()) {
            m_error = m_line.port.errorString();
            return false;
        }
        m_line.held = m_open = true;
        return true;
    }
    void close() override
    {
        QMutexLocker lock(&m_line.mutex);
        if (!m_open)
            return;
        m_line.port.close();
        m_line.held = m_open = false;
    }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &data) override
    {
        QMutexLocker lock(&m_line.mutex);
        if (m_line.vanishAfter && --*m_line.vanishAfter < 0)
            m_line.gone = true;
        if (!m_open || m_line.gone)
            return fail();
        return m_line.port.write(data);
    }
    QByteArray takeReceived() override
    {
        QMutexLocker lock(&m_line.mutex);
        return m_open && !m_line.gone ? m_line.port.takeReceived() : QByteArray();
    }
    void discardInput() override
    {
        QMutexLocker lock(&m_line.mutex);
        if (m_open && !m_line.gone)
            m_line.port.discardInput();
    }
    Wait waitForData(std::chrono::milliseconds timeout) override
    {
        QMutexLocker lock(&m_line.mutex);
        if (!m_open || m_line.gone) {
            fail();
            return Wait::Error;
        }
        return m_line.port.waitForData(timeout);
    }
    void pause(std::chrono::milliseconds duration) override
    {
        QMutexLocker lock(&m_line.mutex);
        m_line.port.pause(duration);
    }
    QString errorString() const override { return m_error; }
    // One device: every port on it shares what the line owes.
    Line &line() override { return m_line.port.line(); }

private:
    bool fail()
    {
        m_error = QStringLiteral("device vanished");
        return false;
    }

    SoakLine &m_line;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_number = 1;
    bool m_open = false;
    QString m_error;
};

// --- The dialogs -------------------------------------------------------------

// Answers every dialog at random, the way a person might, and keeps what was
// shown. Before answering, the event loop may run on as under a modal box,
// and the soak may do something meanwhile (`whileOpen`).
class SoakDialogs : public UserDialogs
{
public:
    struct Shown
    {
        QString kind; // message, confirm, yesno, save?, open, saveas
        QString text;
        QString answer;
        Icon icon = Icon::Information;
    };

    Random *random = nullptr;
    QList<Shown> shown;
    std::function<void()> whileOpen;
    std::function<QString()> openAnswer; // a file to open, or none
    std::function<QString()> saveAnswer; // a file to save to, or none
    int deletedUnderMessage = 0;

    void message(QWidget *parent, const QString &text, const QString &, Icon icon) override
    {
        shown.append({QStringLiteral("message"), text, QStringLiteral("OK"), icon});
        QPointer<QWidget> owner(parent);
        modal();
        if (parent && !owner)
            ++deletedUnderMessage;
    }
    bool confirm(QWidget *, const QString &text, const QString &) override
    {
        modal();
        const bool ok = random->chance(85);
        shown.append({QStringLiteral("confirm"), text, ok ? "OK" : "Cancel"});
        return ok;
    }
    bool askYesNo(QWidget *, const QString &text) override
    {
        modal();
        const bool yes = random->chance(60);
        shown.append({QStringLiteral("yesno"), text, yes ? "Yes" : "No"});
        return yes;
    }
    SaveChoice askToSave(QWidget *, const QString &text) override
    {
        modal();
        const int way = random->between(0, 2);
        shown.append(
            {QStringLiteral("save?"), text, QStringList{"Save", "Discard", "Cancel"}[way]});
        return SaveChoice(way);
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        modal();
        const QString path = openAnswer ? openAnswer() : QString();
        shown.append({QStringLiteral("open"), {}, path});
        return path;
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &,
                         const QString &) override
    {
        modal();
        const QString path = saveAnswer ? saveAnswer() : QString();
        shown.append({QStringLiteral("saveas"), {}, path});
        return path;
    }

    bool anyFailureTold(qsizetype from) const
    {
        for (qsizetype i = from; i < shown.size(); ++i) {
            const Shown &s = shown.at(i);
            if ((s.kind == QLatin1String("message") && s.icon != Icon::Information) ||
                s.kind == QLatin1String("yesno"))
                return true;
        }
        return false;
    }
    bool anyMessage(qsizetype from) const
    {
        for (qsizetype i = from; i < shown.size(); ++i) {
            if (shown.at(i).kind == QLatin1String("message") ||
                shown.at(i).kind == QLatin1String("yesno"))
                return true;
        }
        return false;
    }
    // The answer given to the first dialog of a kind since `from`.
    QString answered(qsizetype from, const QString &kind) const
    {
        for (qsizetype i = from; i < shown.size(); ++i) {
            if (shown.at(i).kind == kind)
                return shown.at(i).answer;
        }
        return {};
    }

private:
    // A modal box runs the event loop until it is answered: queued events,
    // deferred deletes and timers go on meanwhile.
    void modal()
    {
        if (!random->chance(40))
            return;
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
        // What happens just before the answer is still under way after it.
        if (whileOpen && random->chance(50))
            whileOpen();
    }
};

// --- The soak ---------------------------------------------------------------

constexpr std::chrono::milliseconds timeLimit = 30s;
char crashNote[8192]; // the round under way, printed if the process dies

void onCrash(int signal)
{
    const ssize_t ignored = ::write(2, crashNote, strlen(crashNote));
    (void)ignored;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

struct KindCount
{
    int runs = 0;
    int told = 0;
};

class Round
{
public:
    Round(quint64 seed, int number, bool verbose)
        : m_random(seed * 1000003u + quint64(number)), m_verbose(verbose), m_seed(seed),
          m_number(number)
    {
        m_ini = m_home.filePath(QStringLiteral("set.ini"));
        m_backups = m_home.filePath(QStringLiteral("backups"));
        m_files = m_home.filePath(QStringLiteral("files"));
        QDir().mkpath(m_files);
        Ini_write(m_ini, QStringLiteral("BACKUP"), QStringLiteral("Enabled"),
                  m_random.chance(50) ? QStringLiteral("1") : QStringLiteral("0"));
        Ini_write(m_ini, QStringLiteral("WATCH"), QStringLiteral("Modbus"), QStringLiteral("60"));
        Ini_write(m_ini, QStringLiteral("WATCH"), QStringLiteral("OneWire"), QStringLiteral("60"));
        preparePlc();
        m_dialogs.random = &m_random;
        m_dialogs.whileOpen = [this] {
            duringDialog();
        };
        m_dialogs.openAnswer = [this] {
            return fileToOpen();
        };
        m_dialogs.saveAnswer = [this] {
            return fileToSave();
        };
        m_window = std::make_unique<Main>(
            Main::Context{m_ini,
                          m_dialogs,
                          [this] { return std::make_unique<LinePort>(m_line); },
                          {},
                          m_backups});
        m_window->resize(1000, 660);
        m_window->show();
        // The traffic monitor records from the start.
        m_window->trafficMonitor().toggleViewAction()->setChecked(true);
        settle();
        m_model = m_window->configuration();
        m_history = {m_model};
        // Most rounds start from a site's file, as named on the command line.
        m_file = ConfigurationFile::held(m_model);
        m_fileJson = false;
        if (m_random.chance(80)) {
            const QString site = QDir(m_files).filePath(QStringLiteral("site-0.apc"));
            Configuration c = randomConfiguration(m_random);
            if (plcMemoryClash(c))
                c.aux.sensors.clear();
            ConfigurationFile::save(site, c);
            m_window->loadFile(site);
            settle();
            adoptState(m_window->configuration());
            m_file = ConfigurationFile::held(m_model);
        }
        m_memory = m_plc.memoryImage();
        m_filesSeen = snapshot();
    }

    ~Round()
    {
        m_window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Runs the round; the broken invariants, each with its operation.
    QStringList run(std::map<QString, KindCount> &counts, QStringList &done)
    {
        const int operations = m_random.between(1, 30);
        for (int i = 0; i < operations && m_wrong.isEmpty(); ++i) {
            const Kind &kind = pickKind();
            m_op = kind.name;
            m_told = false;
            done << m_op;
            qstrncpy(crashNote,
                     qPrintable(QStringLiteral("window-soak: died in seed %1 round %2 (--seed %1 "
                                               "--round %2), operation %3 of: %4\n")
                                    .arg(m_seed)
                                    .arg(m_number)
                                    .arg(done.size())
                                    .arg(done.join(QStringLiteral(", ")))),
                     sizeof crashNote);
            QElapsedTimer took;
            took.start();
            operate(kind);
            if (m_verbose)
                std::fprintf(stderr, "  %s (%lld ms)%s; undo steps %lld, \"%s\"\n",
                             qPrintable(m_op), (long long)took.elapsed(), m_told ? " told" : "",
                             (long long)m_window->history().steps(),
                             qPrintable(m_window->history().undoName()));
            KindCount &count = counts[kind.name];
            ++count.runs;
            if (m_told)
                ++count.told;
        }
        return m_wrong;
    }

    struct Kind
    {
        QString name;
        int weight;
        void (Round::*run)();
    };
    static const QList<Kind> &kinds();

private:
    const Kind &pickKind()
    {
        int total = 0;
        for (const Kind &k : kinds())
            total += k.weight;
        int at = m_random.between(1, total);
        for (const Kind &k : kinds()) {
            if ((at -= k.weight) <= 0)
                return k;
        }
        return kinds().last();
    }

    // The broken invariant, with the dialogs of the operation and what was
    // done while they were open.
    void wrong(const QString &what)
    {
        QStringList seen;
        for (qsizetype i = m_dialogsFrom; i < m_dialogs.shown.size(); ++i) {
            const SoakDialogs::Shown &s = m_dialogs.shown.at(i);
            seen << QStringLiteral("%1 \"%2\" %3").arg(s.kind, s.text.left(70), s.answer);
        }
        if (!m_duringDialog.isEmpty())
            seen << QStringLiteral("while a dialog was open: ") + m_duringDialog.join(u", ");
        if (!m_fault.isEmpty())
            seen << QStringLiteral("fault of the line: ") + m_fault;
        if (m_verbose) { // the line's last frames
            const QStringList traffic =
                m_window->trafficMonitor().text().split(u'\n', Qt::SkipEmptyParts);
            seen << QStringLiteral("traffic:")
                 << traffic.mid(std::max<qsizetype>(0, traffic.size() - 16));
        }
        m_wrong << QStringLiteral("%1: %2").arg(m_op, what) +
                       (seen.isEmpty() ? QString()
                                       : QStringLiteral("\n    ") + seen.join(u"\n    "));
    }

    // A PLC that holds a configuration, some error bytes and a bus.
    void preparePlc()
    {
        PlcSimulator scratch;
        SimPort port(scratch);
        Configuration c = randomConfiguration(m_random);
        if (plcMemoryClash(c))
            c.aux.sensors.clear();
        downloadConfiguration(port, m_ini, c, {});
        m_plc.setMemory(0, scratch.memoryImage());
        for (const UartDescription *uart : {&UartDescription::uart1(), &UartDescription::uart2()}) {
            QByteArray errors;
            for (int k = 0; k < 128; ++k)
                errors += char(m_random.chance(10) ? m_random.between(0, 255) : 0);
            m_plc.setMemory(uart->errorBytes, errors);
        }
        QList<QByteArray> codes;
        for (int k = m_random.between(0, 6); k > 0; --k)
            codes << QByteArray::fromHex(m_random.hexByte().toLatin1().repeated(7)) +
                         char(m_random.between(0, 255));
        m_plc.setRomCodes(codes);
        m_plc.setWriteHook([this](quint16, QByteArrayView) { ++m_writes; });
    }

    // --- Running an operation and checking after it ---

    void operate(const Kind &kind)
    {
        m_dialogsFrom = m_dialogs.shown.size();
        m_duringDialog.clear();
        m_toldFrom.reset();
        m_writes = 0;
        m_clashesBefore = m_line.clashes;
        m_startTime = m_line.now();
        m_expectFiles.clear();
        m_backupsAllowed = false;
        m_wroteConfiguration = false;
        m_mayWrite.clear();
        m_requestsBefore = m_plc.requestCount();
        m_sentBefore = sentThroughMonitor();
        m_adopt = Adopt::None;
        m_expected = m_model;
        m_undoSteps = 0;
        (this->*kind.run)();
        settle();
        m_told = m_dialogs.anyFailureTold(m_toldFrom.value_or(m_dialogsFrom));
        check();
        endFault();
    }

    // Waits until every operation, form and deferred delete is done.
    void settle()
    {
        QElapsedTimer wall;
        wall.start();
        for (;;) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            // What the end of one operation starts (a watch's read that
            // waited for it) is waited for too.
            if (!busy()) {
                QCoreApplication::processEvents(QEventLoop::AllEvents);
                if (!busy())
                    break;
            }
            if (m_line.now() - m_startTime > timeLimit || wall.elapsed() > 60000) {
                wrong(QStringLiteral("did not end within %1 s of simulated time")
                          .arg(timeLimit.count() / 1000));
                closeForms();
                return;
            }
            QThread::usleep(200);
        }
    }

    bool busy() const
    {
        if (m_window->tabContext().session().isBusy())
            return true;
        for (const SearchForm *form : m_window->findChildren<SearchForm *>()) {
            if (form->isSearching())
                return true;
        }
        return false;
    }

    // Forms left open at the end of an operation are closed as a person
    // closes them.
    void closeForms()
    {
        for (QDialog *dialog : m_window->findChildren<QDialog *>()) {
            if (dialog->isVisible())
                dialog->reject();
        }
    }

    enum class Adopt { None, Edit, Any, Partial };

    void check()
    {
        checkMemory();
        checkConfiguration();
        checkModified();
        checkFiles();
        checkTraffic();
        if (m_line.clashes > m_clashesBefore)
            wrong(QStringLiteral("two ports opened the line at once (the second was refused as "
                                 "a locked device)"));
        if (m_dialogs.deletedUnderMessage > 0) {
            wrong(QStringLiteral("a form was deleted while its own message box was open"));
            m_dialogs.deletedUnderMessage = 0;
        }
    }

    void checkMemory()
    {
        const QByteArray &now = m_plc.memoryImage();
        // The command words (the bus search's, and the one that ends a Modbus
        // download, whose answer is not examined) are the PLC's own; so are
        // the search's results, written at the PLC's pace (a search closed
        // early ends in the PLC later), but for the word at 3000 that the
        // auxiliary port's download writes.
        m_memory.replace(0x2000, 4, now.mid(0x2000, 4));
        m_memory.replace(0x3002, 0x3FE, now.mid(0x3002, 0x3FE));
        if (!m_wroteConfiguration)
            m_memory.replace(0x3000, 2, now.mid(0x3000, 2));
        // After a failure told, the download that failed may have written any
        // of what it writes before it stopped: that is the PLC's now. Nothing
        // outside it changed.
        if (m_told) {
            for (const int address : std::as_const(m_mayWrite))
                m_memory[address] = now.at(address);
        }
        if (now == m_memory)
            return;
        int first = 0;
        while (now.at(first) == m_memory.at(first))
            ++first;
        wrong((m_told
                   ? QStringLiteral("after a failure told, the PLC's memory changed outside what "
                                    "the failed download writes, first at %1 (PLC %2, was %3)")
                   : QStringLiteral("the PLC's memory differs from the writes reported done, "
                                    "first at %1 (PLC %2, expected %3)"))
                  .arg(first, 4, 16, QLatin1Char('0'))
                  .arg(quint8(now.at(first)), 2, 16, QLatin1Char('0'))
                  .arg(quint8(m_memory.at(first)), 2, 16, QLatin1Char('0')));
        m_memory = now;
    }

    void checkConfiguration()
    {
        const Configuration now = m_window->configuration();
        if (m_told) {
            // A failed transfer changes nothing; a refused edit may still
            // have been typed.
            if (m_adopt == Adopt::None && now != m_model)
                wrong(QStringLiteral("the window changed although the operation failed: ") +
                      differences(m_model, now));
            if (m_adopt == Adopt::Partial) {
                const Configuration &was = m_partialBase;
                const Configuration read = m_partial.value_or(was);
                if ((now.uart1 != was.uart1 && now.uart1 != read.uart1) ||
                    (now.uart2 != was.uart2 && now.uart2 != read.uart2) ||
                    (now.aux != was.aux && now.aux != read.aux) || now.io != was.io)
                    wrong(QStringLiteral("a failed upload showed what the PLC does not hold: ") +
                          differences(was, now));
            }
            adoptState(now);
            return;
        }
        if (m_undoSteps != 0) {
            // An edit made while an upload ran may be one undo step with the
            // upload's, or one of its own: either is exact.
            const int direction = m_undoSteps < 0 ? -1 : 1;
            const int last = int(m_history.size()) - 1;
            QSet<int> positions{int(m_at)};
            for (int step = 0; step < std::abs(m_undoSteps); ++step) {
                QSet<int> next;
                for (int p : std::as_const(positions)) {
                    const int q = std::clamp(p + direction, 0, last);
                    next.insert(q);
                    if (m_mergeable.contains(q))
                        next.insert(std::clamp(q + direction, 0, last));
                }
                positions = next;
            }
            std::optional<int> landed;
            for (int p : std::as_const(positions)) {
                if (now == m_history.at(p))
                    landed = p;
            }
            if (!landed) {
                const int target =
                    std::clamp(int(m_at) + m_undoSteps, 0, int(m_history.size()) - 1);
                wrong(QStringLiteral("undo or redo did not give back the state of step %1: ")
                          .arg(target) +
                      differences(m_history.at(target), now));
                adoptState(now);
                return;
            }
            m_at = *landed;
            m_model = now;
            return;
        }
        switch (m_adopt) {
        case Adopt::None:
            if (now != m_expected)
                wrong(QStringLiteral("the window's configuration is not the expected one: ") +
                      differences(m_expected, now));
            break;
        case Adopt::Edit:
            if (now.io != m_model.io && !m_editParts.contains(QLatin1String("io")))
                wrong(QStringLiteral("the I/O points changed, which it does not touch"));
            if (now.uart1 != m_model.uart1 && !m_editParts.contains(QLatin1String("uart1")))
                wrong(QStringLiteral("UART 1 changed, which it does not touch"));
            if (now.uart2 != m_model.uart2 && !m_editParts.contains(QLatin1String("uart2")))
                wrong(QStringLiteral("UART 2 changed, which it does not touch"));
            if (now.aux != m_model.aux && !m_editParts.contains(QLatin1String("aux")))
                wrong(QStringLiteral("the auxiliary port changed, which it does not touch"));
            break;
        case Adopt::Any:
        case Adopt::Partial:
            break;
        }
        adoptState(now);
    }

    void adoptState(const Configuration &now)
    {
        if (now != m_history.at(m_at)) {
            m_history.erase(m_history.begin() + m_at + 1, m_history.end());
            m_history.push_back(now);
            m_at = m_history.size() - 1;
        }
        m_model = now;
    }

    static QString differences(const Configuration &a, const Configuration &b)
    {
        QStringList parts;
        if (a.uart1 != b.uart1)
            parts << QStringLiteral("UART 1");
        if (a.uart2 != b.uart2)
            parts << QStringLiteral("UART 2");
        if (a.aux != b.aux)
            parts << QStringLiteral("auxiliary port");
        if (a.io != b.io)
            parts << QStringLiteral("I/O points");
        // The first lines that differ, as the command line's JSON spells them.
        const QList<QByteArray> left = ConfigurationJson::write(a).split('\n');
        const QList<QByteArray> right = ConfigurationJson::write(b).split('\n');
        QStringList lines;
        for (qsizetype i = 0; i < std::max(left.size(), right.size()) && lines.size() < 6; ++i) {
            if (left.value(i) != right.value(i))
                lines << QStringLiteral("expected %1, shown %2")
                             .arg(QString::fromUtf8(left.value(i).trimmed()),
                                  QString::fromUtf8(right.value(i).trimmed()));
        }
        return parts.join(QStringLiteral(", ")) + QStringLiteral("\n      ") +
               lines.join(QStringLiteral("\n      "));
    }

    // What the window's file holds of a configuration: the whole of it in the
    // JSON form, the UARTs and the 1-wire port in a record.
    Configuration heldIn(const Configuration &c) const
    {
        return m_fileJson ? c : ConfigurationFile::held(c);
    }

    void checkModified()
    {
        const bool expected = heldIn(m_model) != m_file;
        if (m_window->isModified() != expected)
            wrong(QStringLiteral("the window says %1 but %2 its file")
                      .arg(m_window->isModified() ? QStringLiteral("modified")
                                                  : QStringLiteral("not modified"),
                           expected ? QStringLiteral("differs from") : QStringLiteral("equals")));
    }

    // Every file in the round's folder but the settings file, with a hash.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(m_home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path == m_ini)
                continue;
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                files.insert(path,
                             QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1));
        }
        return files;
    }

    void checkFiles()
    {
        const QMap<QString, QByteArray> now = snapshot();
        for (auto it = m_filesSeen.cbegin(); it != m_filesSeen.cend(); ++it) {
            if (!now.contains(it.key()))
                wrong(QStringLiteral("%1 was deleted").arg(QFileInfo(it.key()).fileName()));
            else if (now.value(it.key()) != it.value() && !m_expectFiles.contains(it.key()))
                wrong(QStringLiteral("%1 was changed").arg(QFileInfo(it.key()).fileName()));
        }
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            if (m_filesSeen.contains(it.key()) || m_expectFiles.contains(it.key()))
                continue;
            const bool backup = QFileInfo(it.key()).absolutePath() == QDir(m_backups).path();
            if (!backup || !m_backupsAllowed)
                wrong(QStringLiteral("%1 was written").arg(QFileInfo(it.key()).fileName()));
        }
        m_filesSeen = now;
    }

    // The traffic monitor's figures: on every port, each request sent ended
    // one way (an answer, a NAK, a wrong answer or a timeout), and every
    // request the PLC received was sent through it.
    void checkTraffic()
    {
        const QMap<QString, TrafficStatistics::Port> &ports =
            m_window->trafficMonitor().trafficStatistics().ports();
        for (auto it = ports.cbegin(); it != ports.cend(); ++it) {
            const TrafficStatistics::Port &p = it.value();
            if (p.sent != p.answers + p.refusals + p.wrong + p.timeouts)
                wrong(QStringLiteral("the traffic monitor does not end every request one way: %1: "
                                     "%2 sent, %3 answers, %4 NAKs, %5 wrong, %6 timeouts")
                          .arg(it.key())
                          .arg(p.sent)
                          .arg(p.answers)
                          .arg(p.refusals)
                          .arg(p.wrong)
                          .arg(p.timeouts));
        }
        const int received = m_plc.requestCount() - m_requestsBefore;
        const int sent = sentThroughMonitor() - m_sentBefore;
        if (sent < received)
            wrong(QStringLiteral("the PLC received %1 requests, the traffic monitor saw %2 sent")
                      .arg(received)
                      .arg(sent));
    }

    int sentThroughMonitor() const
    {
        int sent = 0;
        for (const TrafficStatistics::Port &p :
             m_window->trafficMonitor().trafficStatistics().ports())
            sent += p.sent;
        return sent;
    }

    // --- Faults ---

    void arm()
    {
        SimFaults faults;
        const int ahead = m_random.between(1, 6);
        const int at = m_plc.requestCount() + ahead;
        switch (m_random.between(0, 3)) {
        case 0:
            faults.perRequest[SimFault::Refuse].ordinals.insert(at);
            m_fault = QStringLiteral("refusal of request +%1").arg(ahead);
            break;
        case 1:
            faults.perRequest[SimFault::Silent].ordinals.insert(at);
            m_fault = QStringLiteral("silence to request +%1").arg(ahead);
            break;
        case 2: // past the timeout
            faults.perRequest[SimFault::Late].ordinals.insert(at);
            faults.lateBy = std::chrono::milliseconds(m_random.between(600, 1500));
            m_fault = QStringLiteral("answer to request +%1 %2 ms late")
                          .arg(ahead)
                          .arg(faults.lateBy.count());
            break;
        default: {
            QMutexLocker lock(&m_line.mutex);
            m_line.vanishAfter = m_random.between(0, 8);
            m_fault = QStringLiteral("port vanishing after %1 writes").arg(*m_line.vanishAfter);
            break;
        }
        }
        m_plc.setFaults(faults);
        m_faultArmed = true;
    }

    // A fault lasts for the operation after the one that armed it; the port
    // comes back.
    void endFault()
    {
        if (m_faultArmed) {
            m_faultArmed = false;
            return;
        }
        m_plc.setFaults({});
        m_fault.clear();
        QMutexLocker lock(&m_line.mutex);
        m_line.vanishAfter.reset();
        m_line.gone = false;
    }

    // --- What the user can do ---

    QTabWidget *tabs() const { return m_window->findChild<QTabWidget *>(QStringLiteral("SSTab1")); }

    void front(QWidget *tab) { tabs()->setCurrentWidget(tab); }

    template <typename T = QAbstractButton> T *child(QObject *parent, const QString &name) const
    {
        return parent->findChild<T *>(name);
    }

    // False when the button or menu item is not there to use.
    bool click(QObject *parent, const QString &name)
    {
        auto *button = child(parent, name);
        if (!button || !button->isEnabled() || !button->isVisible())
            return false;
        button->click();
        return true;
    }

    bool trigger(const QString &name)
    {
        auto *action = child<QAction>(m_window.get(), name);
        if (!action || !action->isEnabled())
            return false;
        action->trigger();
        return true;
    }

    struct TableTab
    {
        QWidget *tab;
        GridView *grid;
        QString part;
        QString frame;
    };

    TableTab randomTable()
    {
        switch (m_random.between(0, 3)) {
        case 0:
            return {&m_window->uart1Tab(), m_window->uart1Tab().grid(), QStringLiteral("uart1"),
                    QStringLiteral("Frame_master")};
        case 1:
            return {&m_window->uart2Tab(), m_window->uart2Tab().grid(), QStringLiteral("uart2"),
                    QStringLiteral("Frame_master2")};
        case 2:
            return {&m_window->oneWireTab(), m_window->oneWireTab().grid(), QStringLiteral("aux"),
                    QStringLiteral("Frame3")};
        default:
            return {&m_window->hwConfigTab(),
                    m_window->hwConfigTab().findChild<GridView *>(),
                    QStringLiteral("io"),
                    {}};
        }
    }

    // Clicks a cell with the events a mouse sends, without running the event
    // loop, so that a transfer under way is still under way after it.
    void clickCell(GridView *grid, int row, int column, bool twice)
    {
        const QRect cell = grid->cellRect(row, column);
        if (!cell.isValid() || !grid->isEnabled())
            return;
        QWidget *viewport = grid->viewport();
        const QPointF at = cell.center();
        const QPointF global = viewport->mapToGlobal(at);
        const auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, global, Qt::LeftButton, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &event);
        };
        send(QEvent::MouseButtonPress, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
        if (twice) {
            send(QEvent::MouseButtonPress, Qt::LeftButton);
            send(QEvent::MouseButtonDblClick, Qt::LeftButton);
            send(QEvent::MouseButtonRelease, Qt::NoButton);
        }
    }

    QString randomCellText()
    {
        switch (m_random.between(0, 5)) {
        case 0:
            return m_random.hexByte();
        case 1:
            return QStringLiteral("x9");
        case 2:
            return QString::number(m_random.between(-5, 70000));
        default:
            return QString::number(m_random.between(0, 255));
        }
    }

    // Double-clicks a cell and types into its editor, or picks an item.
    void typeIntoCell()
    {
        const TableTab t = randomTable();
        if (!t.grid)
            return;
        front(t.tab);
        markEdit(t.part);
        typeInto(t);
    }

    void typeInto(const TableTab &t)
    {
        // The tab just brought to the front is laid out as it shows.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const int rows = t.grid->grid()->rowCount();
        if (rows == 0)
            return;
        const int row = m_random.between(1, rows);
        const int column = m_random.between(1, t.grid->grid()->columns() - 1);
        clickCell(t.grid, row, column, true);
        if (auto *box = t.grid->viewport()->findChild<QComboBox *>(); box && box->isVisible()) {
            if (box->count() > 0)
                box->setCurrentIndex(m_random.between(0, box->count() - 1));
            QTest::keyClick(box, m_random.chance(85) ? Qt::Key_Return : Qt::Key_Escape);
        } else if (auto *edit = t.grid->viewport()->findChild<QLineEdit *>();
                   edit && edit->isVisible()) {
            edit->selectAll();
            QTest::keyClicks(edit, randomCellText());
            QTest::keyClick(edit, m_random.chance(85) ? Qt::Key_Return : Qt::Key_Escape);
        }
    }

    void markEdit(const QString &part)
    {
        m_adopt = Adopt::Edit;
        m_editParts = {part};
    }

    // Rows copied to the clipboard, fitting or not, then Edit > "Paste rows".
    void pasteRows()
    {
        const TableTab t = randomTable();
        if (t.part == QLatin1String("io"))
            return;
        front(t.tab);
        markEdit(t.part);
        QStringList lines;
        const bool sensors = t.part == QLatin1String("aux");
        for (int n = m_random.between(1, 4); n > 0; --n) {
            QStringList row = sensors ? randomSensor(m_random, 1)
                                      : randomRequests(m_random, 1).value(0, QStringList(7, "1"));
            row.removeFirst();
            if (m_random.chance(20))
                row.removeLast(); // a line that does not fit
            lines << row.join(QLatin1Char('\t'));
        }
        QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
        trigger(QStringLiteral("paste_rows"));
    }

    // Add or Modify: the row dialog, answered by one of its buttons.
    void rowDialog()
    {
        const TableTab t = randomTable();
        if (t.frame.isEmpty())
            return;
        front(t.tab);
        markEdit(t.part);
        auto *frame = t.tab->findChild<QWidget *>(t.frame);
        const QList<QAbstractButton *> buttons =
            frame->findChildren<QAbstractButton *>(QString(), Qt::FindDirectChildrenOnly);
        if (m_random.chance(50)) {
            const int rows = t.grid->grid()->rowCount();
            if (rows > 0)
                clickCell(t.grid, m_random.between(1, rows), 1, false);
        }
        // The first button adds, the second modifies.
        if (buttons.size() < 2)
            return;
        QAbstractButton *pushed = buttons.at(m_random.chance(60) ? 0 : 1);
        if (!pushed->isEnabled())
            return;
        pushed->click();
        QCoreApplication::processEvents();
        const QList<QDialog *> open = t.tab->findChildren<QDialog *>();
        for (const QPointer<QDialog> dialog : open) {
            if (!dialog || !dialog->isVisible())
                continue;
            const QList<QLineEdit *> boxes = dialog->findChildren<QLineEdit *>();
            if (!boxes.isEmpty() && m_random.chance(50)) {
                QLineEdit *box = m_random.pick(boxes);
                box->selectAll();
                QTest::keyClicks(box, randomCellText());
            }
            const QList<QAbstractButton *> choices = dialog->findChildren<QAbstractButton *>();
            if (!choices.isEmpty() && m_random.chance(70))
                m_random.pick(choices)->click();
            QCoreApplication::processEvents();
            if (dialog && dialog->isVisible())
                dialog->reject();
        }
    }

    void deleteRow()
    {
        const TableTab t = randomTable();
        if (t.frame.isEmpty())
            return;
        front(t.tab);
        markEdit(t.part);
        const int rows = t.grid->grid()->rowCount();
        if (rows > 0)
            clickCell(t.grid, m_random.between(1, rows), 1, false);
        auto *frame = t.tab->findChild<QWidget *>(t.frame);
        const QList<QAbstractButton *> buttons =
            frame->findChildren<QAbstractButton *>(QString(), Qt::FindDirectChildrenOnly);
        if (buttons.size() > 2 && buttons.at(2)->isEnabled())
            buttons.at(2)->click();
    }

    // A role or mode chosen, or a line setting.
    void roleOrLine()
    {
        const int which = m_random.between(0, 2);
        QWidget *tab = which == 0   ? static_cast<QWidget *>(&m_window->uart1Tab())
                       : which == 1 ? static_cast<QWidget *>(&m_window->uart2Tab())
                                    : static_cast<QWidget *>(&m_window->oneWireTab());
        front(tab);
        markEdit(which == 0   ? QStringLiteral("uart1")
                 : which == 1 ? QStringLiteral("uart2")
                              : QStringLiteral("aux"));
        if (m_random.chance(50)) {
            QList<QRadioButton *> radios;
            for (QRadioButton *r : tab->findChildren<QRadioButton *>()) {
                if (r->isEnabled() && r->isVisible())
                    radios << r;
            }
            if (!radios.isEmpty())
                m_random.pick(radios)->click();
            return;
        }
        QList<QWidget *> fields;
        for (QComboBox *box : tab->findChildren<QComboBox *>()) {
            if (box->isEnabled() && box->isVisible() &&
                !box->parent()->inherits("QAbstractItemView"))
                fields << box;
        }
        for (QLineEdit *box : tab->findChildren<QLineEdit *>()) {
            if (box->isEnabled() && box->isVisible() && !box->isReadOnly() &&
                !qobject_cast<QComboBox *>(box->parent()))
                fields << box;
        }
        if (fields.isEmpty())
            return;
        QWidget *field = m_random.pick(fields);
        if (auto *box = qobject_cast<QComboBox *>(field)) {
            box->setCurrentIndex(m_random.between(0, box->count() - 1));
        } else {
            auto *edit = static_cast<QLineEdit *>(field);
            edit->selectAll();
            QTest::keyClicks(edit, QString::number(m_random.between(0, 300)));
        }
    }

    // "To IEEE" or "To float", three times in four on what converts (a
    // decimal number within single precision's range, eight hex digits), else
    // on malformed text; the result shows what the converter gives, and a
    // refusal leaves it as it was.
    void converter()
    {
        auto *tab = &m_window->converterTab();
        front(tab);
        const bool toIeee = m_random.chance(50);
        auto *input =
            child<QLineEdit>(tab, toIeee ? QStringLiteral("Text13") : QStringLiteral("Text15"));
        auto *output =
            child<QLineEdit>(tab, toIeee ? QStringLiteral("Text12") : QStringLiteral("Text14"));
        if (!input || !output)
            return;
        input->setText(m_random.chance(75) ? (toIeee ? randomNumberText() : randomHexWord())
                                           : malformedConverterText());
        const QString before = output->text();
        const FloatConverter::Converted expected =
            toIeee ? FloatConverter::toIeee(input->text()) : FloatConverter::toFloat(input->text());
        if (!click(tab, toIeee ? QStringLiteral("Command22") : QStringLiteral("Command23")))
            return;
        if (output->text() != expected.text.value_or(before))
            wrong(QStringLiteral("the converter shows \"%1\" for \"%2\", not \"%3\"")
                      .arg(output->text(), input->text(), expected.text.value_or(before)));
    }

    // A decimal number as a person types it: whole, with a comma or a point,
    // or with an exponent; all within single precision's range.
    QString randomNumberText()
    {
        const int whole = m_random.between(-99999, 99999);
        switch (m_random.between(0, 3)) {
        case 0:
            return QString::number(whole);
        case 1:
            return QStringLiteral("%1,%2").arg(whole).arg(m_random.between(0, 999));
        case 2:
            return QStringLiteral("%1.%2").arg(whole).arg(m_random.between(0, 999));
        default:
            return QStringLiteral("%1e%2").arg(whole).arg(m_random.between(-30, 30));
        }
    }

    // Eight hex digits, upper or lower case: every one converts.
    QString randomHexWord()
    {
        QString word;
        for (int b = 0; b < 4; ++b)
            word += m_random.hexByte();
        return m_random.chance(25) ? word.toLower() : word;
    }

    // Text neither way converts.
    QString malformedConverterText()
    {
        switch (m_random.between(0, 5)) {
        case 0:
            return {};
        case 1:
            return QStringLiteral("x9");
        case 2:
            return QStringLiteral("1.2.3");
        case 3:
            return QStringLiteral("1e60"); // beyond single precision
        case 4:
            return QStringLiteral("0x") + randomHexWord();
        default:
            return QStringLiteral("F") + randomHexWord().left(m_random.between(0, 6));
        }
    }

    // --- Transfers ---

    struct Part
    {
        QString name;
        QWidget *tab;
        QString write;
        QString upload;
    };

    Part randomPart()
    {
        switch (m_random.between(0, 2)) {
        case 0:
            return {QStringLiteral("uart1"), &m_window->uart1Tab(), QStringLiteral("Command19"),
                    QStringLiteral("Command20")};
        case 1:
            return {QStringLiteral("uart2"), &m_window->uart2Tab(), QStringLiteral("Command7"),
                    QStringLiteral("Command26")};
        default:
            return {QStringLiteral("aux"), &m_window->oneWireTab(), QStringLiteral("Command17"),
                    QStringLiteral("Command18")};
        }
    }

    // The same download run by the core on a copy of the model's PLC: the
    // copy's memory after it, and every byte it wrote.
    struct Mirrored
    {
        QByteArray memory;
        QSet<int> written;
    };

    Mirrored mirrorDownload(const QString &part, const Configuration &c) const
    {
        PlcSimulator mirror;
        mirror.setMemory(0, m_memory);
        mirror.setRomCodes(m_plc.romCodes());
        QSet<int> written;
        mirror.setWriteHook([&written](quint16 address, QByteArrayView bytes) {
            for (qsizetype i = 0; i < bytes.size(); ++i)
                written.insert(address + int(i));
        });
        SimPort port(mirror);
        TransferResult result;
        if (part == QLatin1String("uart1"))
            result = downloadUart(port, m_ini, UartDescription::uart1(), c.uart1, {});
        else if (part == QLatin1String("uart2"))
            result = downloadUart(port, m_ini, UartDescription::uart2(), c.uart2, {});
        else
            result = downloadAux(port, m_ini, c.aux, {});
        return {result.ok ? mirror.memoryImage() : m_memory, written};
    }

    // What an upload of the parts gives, read by the core from a copy of
    // the PLC and applied onto `current`.
    std::optional<Configuration> mirrorUpload(const ConfigurationParts &parts,
                                              const Configuration &current) const
    {
        PlcSimulator mirror;
        mirror.setMemory(0, m_plc.memoryImage());
        SimPort port(mirror);
        const ConfigurationUpload up = uploadConfiguration(port, m_ini, current, {}, parts);
        if (!up.result.ok)
            return std::nullopt;
        Configuration c = current;
        if (up.uart1)
            c.uart1 = *up.uart1;
        if (up.uart2)
            c.uart2 = *up.uart2;
        if (up.aux)
            c.aux = *up.aux;
        return c;
    }

    bool backupsOn() const
    {
        auto *action = child<QAction>(m_window.get(), QStringLiteral("backup_first"));
        return action && action->isChecked();
    }

    void write()
    {
        const Part part = randomPart();
        front(part.tab);
        const Configuration shown = m_window->configuration();
        m_backupsAllowed = backupsOn();
        const qsizetype from = m_dialogs.shown.size();
        // What it writes, and so may have written should it fail on the way;
        // taken while the PLC is idle.
        const Mirrored mirrored = mirrorDownload(part.name, shown);
        if (!click(part.tab, part.write))
            return;
        m_mayWrite = mirrored.written;
        settle();
        const bool confirmed = m_dialogs.answered(from, QStringLiteral("confirm")) == "OK";
        if (!confirmed || m_dialogs.anyFailureTold(from))
            return; // checked as a failure told, or as nothing done
        if (m_writes == 0 && !m_dialogs.anyMessage(from)) {
            wrong(QStringLiteral("Write to PLC of %1 was confirmed, but nothing was sent and "
                                 "nothing said")
                      .arg(part.name));
            return;
        }
        m_memory = mirrored.memory;
        m_wroteConfiguration = true;
    }

    void upload()
    {
        const Part part = randomPart();
        front(part.tab);
        ConfigurationParts parts{false, false, false};
        parts.uart1 = part.name == QLatin1String("uart1");
        parts.uart2 = part.name == QLatin1String("uart2");
        parts.aux = part.name == QLatin1String("aux");
        if (!click(part.tab, part.upload))
            return;
        editDuringTransfer(parts);
        const qsizetype from = m_dialogs.shown.size(); // what the upload tells
        m_toldFrom = from;
        settle();
        expectUpload(parts, from);
    }

    void uploadAll()
    {
        if (!trigger(QStringLiteral("upload_from_plc")))
            return;
        editDuringTransfer({});
        const qsizetype from = m_dialogs.shown.size(); // what the upload tells
        m_toldFrom = from;
        settle();
        expectUpload({}, from);
    }

    // Now and then the user goes on working while an upload runs: an edit of
    // what the upload does not bring.
    void editDuringTransfer(const ConfigurationParts &uploaded)
    {
        m_editedDuring.reset();
        m_editRefused = false;
        if (!m_window->tabContext().session().isBusy() || !m_random.chance(40))
            return;
        const Configuration before = m_window->configuration();
        const qsizetype shown = m_dialogs.shown.size();
        const auto refused = qScopeGuard([this, shown] {
            // A refused cell is emptied after its message, at a moment of its
            // own: what the window then shows is not modelled.
            m_editRefused = m_dialogs.shown.size() > shown;
        });
        // A cell of a table the upload reads: what the PLC supplies is
        // applied onto it.
        if (m_random.chance(50)) {
            QList<TableTab> read;
            if (uploaded.uart1)
                read << TableTab{&m_window->uart1Tab(), m_window->uart1Tab().grid(), {}, {}};
            if (uploaded.uart2)
                read << TableTab{&m_window->uart2Tab(), m_window->uart2Tab().grid(), {}, {}};
            if (uploaded.aux)
                read << TableTab{&m_window->oneWireTab(), m_window->oneWireTab().grid(), {}, {}};
            const TableTab t = m_random.pick(read);
            front(t.tab);
            typeInto(t);
            return recordEditDuring(before);
        }
        // The HW config tab's points, or a UART's slave address.
        QLineEdit *address = nullptr;
        if (!uploaded.uart2)
            address = child<QLineEdit>(&m_window->uart2Tab(), QStringLiteral("Text16"));
        else if (!uploaded.uart1)
            address = child<QLineEdit>(&m_window->uart1Tab(), QStringLiteral("Text1"));
        if (address && address->isEnabled()) {
            address->setText(QString::number(m_random.between(1, 247)));
        } else {
            auto *grid = m_window->hwConfigTab().findChild<GridView *>();
            front(&m_window->hwConfigTab());
            if (grid && grid->isEnabled() && grid->grid()->rowCount() > 0)
                grid->setText(m_random.between(1, grid->grid()->rowCount()), 1,
                              m_random.chance(50) ? QStringLiteral("Not use")
                                                  : QStringLiteral("Input -X"));
        }
        recordEditDuring(before);
    }

    // The edit is an undo step of its own, before the upload's.
    void recordEditDuring(const Configuration &before)
    {
        const Configuration after = m_window->configuration();
        if (m_verbose)
            std::fprintf(stderr, "    edit while the upload runs: %s\n",
                         after != before ? qPrintable(differences(before, after)) : "none");
        if (after != before) {
            m_beforeEdit = before;
            m_editedDuring = after;
            adoptState(after);
            m_mergeable.insert(int(m_at));
        }
    }

    void expectUpload(const ConfigurationParts &parts, qsizetype from)
    {
        if (m_editRefused) {
            m_adopt = Adopt::Any;
            return;
        }
        const Configuration base = m_editedDuring ? *m_editedDuring : m_model;
        if (m_dialogs.anyFailureTold(from)) {
            // The menu's upload runs the three uploads one after the other:
            // those before the failure are shown.
            m_adopt = Adopt::Partial;
            m_partialBase = base;
            m_partial =
                parts.uart1 && parts.uart2 && parts.aux ? mirrorUpload(parts, base) : std::nullopt;
            return;
        }
        const std::optional<Configuration> read = mirrorUpload(parts, base);
        if (!read) {
            wrong(QStringLiteral("the upload ended without a word, but the PLC cannot be read"));
            return;
        }
        m_expected = *read;
        const Configuration now = m_window->configuration();
        if (m_editedDuring && now != m_expected && now == mirrorUpload(parts, m_beforeEdit)) {
            wrong(QStringLiteral("an edit made while the upload ran was reverted: ") +
                  differences(m_expected, now));
            m_adopt = Adopt::Any;
        }
    }

    void verify() { trigger(QStringLiteral("verify_plc")); }

    void bufferRead()
    {
        if (m_random.chance(50)) {
            front(&m_window->modbusDiagTab());
            click(&m_window->modbusDiagTab(),
                  m_random.chance(50) ? QStringLiteral("Command4") : QStringLiteral("Command6"));
        } else {
            front(&m_window->oneWireDiagTab());
            click(&m_window->oneWireDiagTab(), QStringLiteral("Command5"));
        }
    }

    QWidget *randomDiag()
    {
        return m_random.chance(50) ? static_cast<QWidget *>(&m_window->modbusDiagTab())
                                   : static_cast<QWidget *>(&m_window->oneWireDiagTab());
    }

    void watch()
    {
        QWidget *tab = randomDiag();
        front(tab);
        if (auto *box = tab->findChild<QCheckBox *>(); box && box->isEnabled())
            box->click();
    }

    void watchInterval()
    {
        QWidget *tab = randomDiag();
        if (auto *box = tab->findChild<QSpinBox *>())
            box->setValue(m_random.between(1, 60));
    }

    // The watch's timer fires now, on every diag tab that watches.
    void fireWatch()
    {
        for (QWidget *tab : {static_cast<QWidget *>(&m_window->modbusDiagTab()),
                             static_cast<QWidget *>(&m_window->oneWireDiagTab())}) {
            for (BufferWatch *watch : tab->findChildren<BufferWatch *>()) {
                // Its timeout now, as the timer gives it: the read starts at
                // once and ends on the session's thread meanwhile.
                if (auto *timer = watch->findChild<QTimer *>(); timer && timer->isActive()) {
                    timer->stop();
                    QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
                }
            }
        }
    }

    void watchFires() { fireWatch(); }

    // While a dialog is open: the watch's timer fires, or a search form gets
    // Esc.
    void duringDialog()
    {
        for (const BufferWatch *watch : m_window->findChildren<BufferWatch *>()) {
            if (watch->isWatching())
                m_duringDialog << QStringLiteral("the watch's timer fired");
        }
        fireWatch();
        if (m_random.chance(30)) {
            for (SearchForm *form : m_window->findChildren<SearchForm *>()) {
                if (form->isVisible()) {
                    m_duringDialog << QStringLiteral("Esc on the bus search");
                    QTest::keyClick(form, Qt::Key_Escape);
                }
            }
        }
    }

    void undo()
    {
        const int steps = m_random.between(1, 3);
        for (int i = 0; i < steps; ++i) {
            auto *action = child<QAction>(m_window.get(), QStringLiteral("undo"));
            if (!action->isEnabled())
                break;
            action->trigger();
            --m_undoSteps;
        }
    }

    void redo()
    {
        const int steps = m_random.between(1, 3);
        for (int i = 0; i < steps; ++i) {
            auto *action = child<QAction>(m_window.get(), QStringLiteral("redo"));
            if (!action->isEnabled())
                break;
            action->trigger();
            ++m_undoSteps;
        }
    }

    // --- Files ---

    QString fileToOpen()
    {
        QStringList files;
        for (const QString &name : QDir(m_files).entryList(QDir::Files))
            files << QDir(m_files).filePath(name);
        const int way = m_random.between(0, 5);
        if (way == 0 || files.isEmpty())
            return {};
        if (way == 1) { // a damaged file
            const QString path = QDir(m_files).filePath(QStringLiteral("damaged.apc"));
            QFile file(path);
            if (file.open(QIODevice::WriteOnly)) {
                QByteArray bytes = ConfigurationFile::encode(randomConfiguration(m_random)).record;
                bytes[m_random.between(0, int(bytes.size()) - 1)] = char(0xFF);
                if (m_random.chance(50))
                    bytes.chop(m_random.between(1, 100));
                file.write(bytes);
            }
            m_expectFiles << path;
            return path;
        }
        if (way == 2) { // what the command line's JSON converts to
            const QString path = QDir(m_files).filePath(QStringLiteral("from-json.apc"));
            const ConfigurationJson::Read read =
                ConfigurationJson::read(ConfigurationJson::write(randomConfiguration(m_random)));
            if (read.configuration)
                ConfigurationFile::save(path, *read.configuration);
            m_expectFiles << path;
            return path;
        }
        return m_random.pick(files);
    }

    QString fileToSave()
    {
        const int way = m_random.between(0, 4);
        if (way == 0)
            return {};
        // Now and then the JSON form, which holds the whole configuration.
        const QString path = QDir(m_files).filePath(
            QStringLiteral("site-%1.%2")
                .arg(m_random.between(1, 3))
                .arg(m_random.chance(25) ? QStringLiteral("json") : QStringLiteral("apc")));
        m_expectFiles << path;
        return path;
    }

    // After a Load or Save: the file the window's configuration is judged
    // against.
    void followFiles(qsizetype from, const Configuration &before)
    {
        m_adopt = Adopt::Any;
        for (qsizetype i = from; i < m_dialogs.shown.size(); ++i) {
            const SoakDialogs::Shown &s = m_dialogs.shown.at(i);
            const bool failed = i + 1 < m_dialogs.shown.size() &&
                                m_dialogs.shown.at(i + 1).kind == QLatin1String("message") &&
                                m_dialogs.shown.at(i + 1).icon != UserDialogs::Icon::Information;
            if (s.kind == QLatin1String("saveas") && !s.answer.isEmpty() && !failed) {
                m_fileJson = s.answer.endsWith(QLatin1String(".json"));
                m_file = heldIn(before);
                QFile written(s.answer);
                if (!written.open(QIODevice::ReadOnly) ||
                    written.readAll() != (m_fileJson ? ConfigurationJson::write(before)
                                                     : ConfigurationFile::encode(before).record))
                    wrong(QStringLiteral("the saved file does not hold the configuration"));
            }
            if (s.kind == QLatin1String("open") && !s.answer.isEmpty() && !failed) {
                m_fileJson = s.answer.endsWith(QLatin1String(".json"));
                m_file = heldIn(m_window->configuration());
            }
        }
        m_told = false;
    }

    void load()
    {
        const qsizetype from = m_dialogs.shown.size();
        const Configuration before = m_window->configuration();
        trigger(QStringLiteral("Load_config"));
        settle();
        followFiles(from, before);
    }

    void save()
    {
        const qsizetype from = m_dialogs.shown.size();
        const Configuration before = m_window->configuration();
        trigger(QStringLiteral("Save_config"));
        settle();
        followFiles(from, before);
    }

    // A backup shown in the window changes only the parts it holds.
    void restore()
    {
        m_adopt = Adopt::Edit;
        m_editParts.clear();
        QTimer::singleShot(0, m_window.get(), [this] {
            auto *list = qobject_cast<BackupList *>(QApplication::activeModalWidget());
            if (!list)
                return;
            const int rows = list->grid()->grid()->entryCount();
            const int row = rows > 0 ? m_random.between(1, rows) : 0;
            if (row > 0)
                list->grid()->setCursorCell(row, 1);
            if (m_random.chance(70)) {
                const QList<PlcBackup::Entry> backups = PlcBackup::list(m_backups);
                if (list->chosen() >= 0 && list->chosen() < backups.size()) {
                    const ConfigurationParts parts = backups.at(list->chosen()).parts;
                    if (parts.uart1)
                        m_editParts << QStringLiteral("uart1");
                    if (parts.uart2)
                        m_editParts << QStringLiteral("uart2");
                    if (parts.aux)
                        m_editParts << QStringLiteral("aux");
                }
                list->accept();
            } else {
                list->reject();
            }
        });
        trigger(QStringLiteral("Restore_backup"));
    }

    void backupToggle() { trigger(QStringLiteral("backup_first")); }

    void fault() { arm(); }

    // --- The bus search ---

    void search()
    {
        front(&m_window->oneWireTab());
        trigger(QStringLiteral("Search_1wire"));
        QCoreApplication::processEvents();
        QPointer<SearchForm> form = m_window->findChild<SearchForm *>();
        if (!form)
            return;
        markEdit(QStringLiteral("aux"));
        // Now and then the line fails under the search itself.
        if (!m_faultArmed && m_random.chance(25)) {
            arm();
            m_faultArmed = false; // ends with this operation
        }
        click(form, QStringLiteral("Command2"));
        if (m_random.chance(30))
            fireWatch();
        switch (m_random.between(0, 4)) {
        case 0: // Esc in the middle
            QTest::keyClick(form, Qt::Key_Escape);
            break;
        case 1: // Close in the middle
            click(form, QStringLiteral("Command1"));
            break;
        default: {
            settle();
            if (!form)
                return;
            const QString next =
                QStringList{"Command3", "Command4", "Command1"}.at(m_random.between(0, 2));
            click(form, next);
            QCoreApplication::processEvents();
            if (form && form->isVisible())
                form->reject();
        }
        }
    }

    Random m_random;
    bool m_verbose = false;
    quint64 m_seed = 0;
    int m_number = 0;
    QTemporaryDir m_home;
    QString m_ini;
    QString m_backups;
    QString m_files;
    PlcSimulator m_plc;
    SoakLine m_line{m_plc};
    SoakDialogs m_dialogs;
    std::unique_ptr<Main> m_window;

    Configuration m_model;    // what the window must show
    Configuration m_expected; // after the operation under way
    QList<Configuration> m_history;
    qsizetype m_at = 0;
    int m_undoSteps = 0;     // undone (negative) or redone in this operation
    QSet<int> m_mergeable;   // states that may share an undo step with the next
    Configuration m_file;    // what the file the window judges against holds
    bool m_fileJson = false; // that file is in the JSON form
    QByteArray m_memory;     // what the PLC must hold
    QSet<int> m_mayWrite;    // every byte the operation's download writes

    int m_requestsBefore = 0; // the PLC had received before the operation
    int m_sentBefore = 0;     // through the traffic monitor before the operation
    QMap<QString, QByteArray> m_filesSeen;
    QSet<QString> m_expectFiles;
    bool m_backupsAllowed = false;
    bool m_wroteConfiguration = false;
    Adopt m_adopt = Adopt::None;
    QStringList m_editParts;
    std::optional<Configuration> m_editedDuring;
    Configuration m_beforeEdit;
    bool m_editRefused = false;
    Configuration m_partialBase;
    std::optional<Configuration> m_partial;

    QString m_op;
    QStringList m_wrong;
    QStringList m_duringDialog;
    QString m_fault; // armed for this operation
    qsizetype m_dialogsFrom = 0;
    std::optional<qsizetype> m_toldFrom; // where the operation's own messages start
    std::atomic<int> m_writes = 0;
    int m_clashesBefore = 0;
    SimTime m_startTime{0};
    bool m_told = false;
    bool m_faultArmed = false;
};

const QList<Round::Kind> &Round::kinds()
{
    static const QList<Kind> list = {
        {QStringLiteral("type-cell"), 10, &Round::typeIntoCell},
        {QStringLiteral("paste-rows"), 4, &Round::pasteRows},
        {QStringLiteral("row-dialog"), 4, &Round::rowDialog},
        {QStringLiteral("delete-row"), 3, &Round::deleteRow},
        {QStringLiteral("role-or-line"), 6, &Round::roleOrLine},
        {QStringLiteral("converter"), 1, &Round::converter},
        {QStringLiteral("write"), 10, &Round::write},
        {QStringLiteral("upload"), 6, &Round::upload},
        {QStringLiteral("upload-all"), 3, &Round::uploadAll},
        {QStringLiteral("verify"), 2, &Round::verify},
        {QStringLiteral("undo"), 5, &Round::undo},
        {QStringLiteral("redo"), 3, &Round::redo},
        {QStringLiteral("load"), 3, &Round::load},
        {QStringLiteral("save"), 3, &Round::save},
        {QStringLiteral("restore-backup"), 2, &Round::restore},
        {QStringLiteral("backup-toggle"), 2, &Round::backupToggle},
        {QStringLiteral("watch-toggle"), 4, &Round::watch},
        {QStringLiteral("watch-interval"), 1, &Round::watchInterval},
        {QStringLiteral("watch-fires"), 5, &Round::watchFires},
        {QStringLiteral("buffer-read"), 2, &Round::bufferRead},
        {QStringLiteral("bus-search"), 3, &Round::search},
        {QStringLiteral("fault"), 6, &Round::fault},
    };
    return list;
}

} // namespace

// The offscreen platform's notes on what it cannot do are not the soak's.
void quietPlatform(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtDebugMsg || text.contains(QLatin1String("propagateSizeHints")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

int main(int argc, char *argv[])
{
    qInstallMessageHandler(quietPlatform);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption roundsOption(QStringLiteral("rounds"), QStringLiteral("Rounds."),
                                          QStringLiteral("N"), QStringLiteral("200"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Seed."),
                                        QStringLiteral("S"));
    const QCommandLineOption roundOption(
        QStringLiteral("round"), QStringLiteral("Runs this round alone."), QStringLiteral("K"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                           QStringLiteral("Names each operation as it runs."));
    parser.addOptions({roundsOption, seedOption, roundOption, verboseOption});
    parser.addHelpOption();
    parser.process(app);
    const quint64 seed = parser.isSet(seedOption) ? parser.value(seedOption).toULongLong()
                                                  : QRandomGenerator::global()->bounded(1, 1000000);
    int first = 1;
    int last = parser.value(roundsOption).toInt();
    if (parser.isSet(roundOption))
        first = last = parser.value(roundOption).toInt();
    const bool verbose = parser.isSet(verboseOption);
    std::signal(SIGSEGV, onCrash);
    std::signal(SIGABRT, onCrash);

    std::map<QString, KindCount> counts;
    for (const Round::Kind &kind : Round::kinds())
        counts[kind.name];
    int wrong = 0;
    int operations = 0;
    for (int number = first; number <= last; ++number) {
        QStringList done;
        QStringList broken;
        {
            Round round(seed, number, verbose);
            broken = round.run(counts, done);
        }
        operations += int(done.size());
        if (!broken.isEmpty()) {
            ++wrong;
            std::printf("wrong: seed %llu round %d (--seed %llu --round %d)\n  operations: %s\n",
                        (unsigned long long)seed, number, (unsigned long long)seed, number,
                        qPrintable(done.join(QStringLiteral(", "))));
            for (const QString &what : broken)
                std::printf("  broken: %s\n", qPrintable(what));
            std::fflush(stdout);
        }
    }
    for (const Round::Kind &kind : Round::kinds()) {
        const KindCount &count = counts[kind.name];
        std::printf("  %s: %d runs, %d failures told\n", qPrintable(kind.name), count.runs,
                    count.told);
    }
    std::printf("window-soak rounds=%d seed=%llu operations=%d wrong=%d\n", last - first + 1,
                (unsigned long long)seed, operations, wrong);
    return wrong > 0 ? 1 : 0;
}
