#include "bufferwatch.h"

#include "link/inifile.h"
#include "tables/wholenumber.h"
#include "widgets/gridview.h"
#include "widgets/tabcontext.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

namespace {

constexpr int defaultInterval = 2;
const QString section = QStringLiteral("WATCH");

ErrorWatch::Buffer kindOf(ErrorBuffer buffer)
{
    return ErrorWatch::kindOf(buffer);
}

} // namespace

BufferWatch::BufferWatch(TabContext &context, const QString &prefix, const QString &settingsKey,
                         QList<Buffer> buffers, QWidget *parent)
    : QObject(parent), m_context(context), m_settingsKey(settingsKey)
{
    for (const Buffer &buffer : buffers) {
        m_buffers.push_back(std::make_unique<Watched>(
            Watched{buffer, ErrorWatch(kindOf(buffer.which)), false, {}}));
        // The rows that changed in the last read stand out, and each slot
        // has the mark its request or sensor has in its table.
        buffer.grid->grid()->setNotes(
            [this, watched = m_buffers.back().get()](const QStringList &cells, int column) {
                const int slot = cells.value(0).toInt();
                GridModel::CellNote note{{}, false, watched->changed.count(slot) > 0};
                const QList<SlotHealth> slots = m_context.slotHealth(watched->buffer.which);
                if (column == 0 && slot >= 1 && slot <= slots.size()) {
                    note.mark = slots.at(slot - 1).mark();
                    note.toolTip = slots.at(slot - 1).toolTip();
                }
                return note;
            });
        connect(&context, &TabContext::slotHealthChanged, buffer.grid,
                [grid = buffer.grid, which = buffer.which](ErrorBuffer changed) {
                    if (changed == which)
                        grid->viewport()->update();
                });
    }
    m_check = new QCheckBox(QStringLiteral("&Watch"), parent);
    m_check->setObjectName(prefix + QStringLiteral("_watch"));
    m_interval = new QSpinBox(parent);
    m_interval->setObjectName(prefix + QStringLiteral("_watch_interval"));
    m_interval->setRange(1, 60);
    m_interval->setSuffix(QStringLiteral(" s"));
    const auto stored = wholeNumber(Ini_read(context.iniFile(), section, m_settingsKey, QString()));
    m_interval->setValue(stored && *stored >= 1 && *stored <= 60 ? int(*stored) : defaultInterval);
    auto *every = new QLabel(QStringLiteral("ever&y"), parent);
    every->setBuddy(m_interval);
    m_state = new QLabel(parent);
    m_state->setObjectName(prefix + QStringLiteral("_watch_state"));
    m_row = new QHBoxLayout;
    m_row->addWidget(m_check);
    m_row->addWidget(every);
    m_row->addWidget(m_interval);
    m_row->addWidget(m_state, 1);

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &BufferWatch::read);
    connect(m_check, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            start();
        else
            stop({});
    });
    connect(m_interval, &QSpinBox::valueChanged, this, [this](int seconds) {
        Ini_write(m_context.iniFile(), section, m_settingsKey, QString::number(seconds));
        if (m_timer->isActive())
            schedule();
    });
    // A read that waited for another operation, or for one the user asked
    // for, comes once the session is free.
    connect(&m_context, &TabContext::idle, this, [this] {
        if (m_due && isWatching())
            QTimer::singleShot(0, this, &BufferWatch::read);
    });
}

BufferWatch::~BufferWatch() = default;

bool BufferWatch::isWatching() const
{
    return m_check->isChecked();
}

void BufferWatch::showPlainRead(int buffer)
{
    Watched &watched = *m_buffers.at(std::size_t(buffer));
    watched.changed.clear();
    watched.buffer.grid->grid()->setFormat(ErrorWatch::plainFormat(kindOf(watched.buffer.which)));
}

void BufferWatch::start()
{
    for (const std::unique_ptr<Watched> &watched : m_buffers) {
        watched->watch.reset();
        watched->active = true;
        watched->changed.clear();
        GridModel *model = watched->buffer.grid->grid();
        model->setFormat(ErrorWatch::format(kindOf(watched->buffer.which)));
    }
    m_state->setText(QStringLiteral("watching"));
    read();
}

void BufferWatch::stop(const QString &why)
{
    m_timer->stop();
    m_due = false;
    for (const std::unique_ptr<Watched> &watched : m_buffers) {
        watched->changed.clear();
        watched->buffer.grid->viewport()->update();
        m_context.setSlotHealth(watched->buffer.which, {});
    }
    m_state->clear();
    withdrawProblem();
    if (!why.isEmpty())
        m_context.showStatus(why);
    const QSignalBlocker quiet(m_check);
    m_check->setChecked(false);
}

void BufferWatch::schedule()
{
    m_timer->start(std::chrono::seconds(m_interval->value()));
}

void BufferWatch::read()
{
    m_due = false;
    if (!isWatching())
        return;
    QList<ErrorBuffer> names;
    for (const std::unique_ptr<Watched> &watched : m_buffers) {
        if (watched->active)
            names << watched->buffer.which;
    }
    auto reads = std::make_shared<QList<ErrorBufferRead>>();
    const bool started = m_context.runInBackground(
        [names, reads, ini = m_context.iniFile()](PlcPort &port, const TransferProgress &) {
            // As every operation, a round ends at a failure; the next
            // interval tries again.
            for (ErrorBuffer name : names) {
                reads->append(readErrorBuffer(port, ini, name));
                if (!reads->last().result.ok)
                    break;
            }
        },
        [this, reads] {
            if (isWatching())
                take(*reads);
        });
    if (!started)
        m_due = true;
}

void BufferWatch::take(const QList<ErrorBufferRead> &reads)
{
    const QDateTime now = QDateTime::currentDateTime();
    QStringList problems;
    qsizetype next = 0;
    for (const std::unique_ptr<Watched> &watched : m_buffers) {
        if (!watched->active)
            continue;
        // A round ends at its first failure: the buffers after it were not
        // read either, and what they showed is no longer known.
        if (next == reads.size()) {
            markUnread(*watched, QStringLiteral("not read in the last round"));
            continue;
        }
        const ErrorBufferRead &read = reads.at(next++);
        if (!read.result.ok) {
            problems << QStringLiteral("%1: %2").arg(watched->buffer.caption, read.result.message);
            markUnread(*watched,
                       QStringLiteral("the last read failed (%1)").arg(read.result.message));
            continue;
        }
        if (!read.inMode) {
            watched->active = false;
            watched->changed.clear();
            m_context.setSlotHealth(watched->buffer.which, {});
            problems << outOfMode(*watched);
            continue;
        }
        const QList<int> changed = watched->watch.take(read.errorBytes, now);
        watched->changed = std::set<int>(changed.cbegin(), changed.cend());
        watched->buffer.grid->setEntries(watched->watch.table());
        publishHealth(*watched);
    }
    const bool any = std::any_of(m_buffers.cbegin(), m_buffers.cend(),
                                 [](const std::unique_ptr<Watched> &w) { return w->active; });
    const QString told = problems.join(QStringLiteral("; "));
    if (!any)
        return stop(QStringLiteral("Watching stopped: ") + told);
    if (!problems.isEmpty()) {
        m_problem = QStringLiteral("Watching: ") + told;
        m_context.showStatus(m_problem);
    } else {
        withdrawProblem();
    }
    m_state->setText(QStringLiteral("read at %1").arg(now.time().toString(u"HH:mm:ss")));
    schedule();
}

QString BufferWatch::outOfMode(const Watched &watched) const
{
    return watched.buffer.which == ErrorBuffer::OneWire
               ? QStringLiteral("the auxiliary port is not a 1-wire master")
               : QStringLiteral("%1 is not a Modbus master").arg(watched.buffer.caption);
}

// The slots as the request tables show them beside their requests.
void BufferWatch::publishHealth(const Watched &watched)
{
    const TextTable rows = watched.watch.table();
    QList<SlotHealth> slots;
    for (qsizetype n = 0; n < watched.watch.watched().size(); ++n) {
        const ErrorWatch::Slot &slot = watched.watch.watched().at(n);
        SlotHealth health;
        health.state = slot.errorByte == 0                      ? SlotHealth::NoError
                       : watched.watch.isActive(slot.errorByte) ? SlotHealth::ActiveError
                                                                : SlotHealth::InactiveError;
        const QString description = rows.value(n).value(2).trimmed();
        health.text = description.isEmpty() ? rows.value(n).value(1).trimmed() : description;
        health.activeSince = slot.activeSince;
        health.activations = slot.activations;
        slots << health;
    }
    m_context.setSlotHealth(watched.buffer.which, slots);
}

// The slots keep the state last read, shown as not known any more.
void BufferWatch::markUnread(const Watched &watched, const QString &why)
{
    QList<SlotHealth> slots = m_context.slotHealth(watched.buffer.which);
    for (SlotHealth &slot : slots)
        slot.unreadBecause = why;
    m_context.setSlotHealth(watched.buffer.which, slots);
}

// A problem told in the status bar goes once the reads work again, or the
// watch stops.
void BufferWatch::withdrawProblem()
{
    if (!m_problem.isEmpty())
        m_context.withdrawStatus(std::exchange(m_problem, QString()));
}
