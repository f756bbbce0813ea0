#include "trafficmonitor.h"

#include "link/wholefile.h"
#include "widgets/userdialogs.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

QTextCharFormat formatOf(const TrafficEntry &entry)
{
    QTextCharFormat format;
    switch (entry.kind) {
    case TrafficEntry::Kind::Refused:
        format.setForeground(QColor(0xb0, 0x00, 0x00));
        format.setFontWeight(QFont::Bold);
        break;
    case TrafficEntry::Kind::Wrong:
        format.setForeground(QColor(0xa0, 0x40, 0x00));
        format.setFontWeight(QFont::Bold);
        break;
    case TrafficEntry::Kind::Timeout:
        format.setForeground(QColor(0x80, 0x00, 0x80));
        format.setFontWeight(QFont::Bold);
        break;
    case TrafficEntry::Kind::Sent:
        format.setForeground(QColor(0x00, 0x30, 0x90));
        if (entry.retry > 0) // a request sent again after a wrong or missing answer
            format.setFontWeight(QFont::Bold);
        break;
    default:
        break;
    }
    return format;
}

} // namespace

TrafficMonitor::TrafficMonitor(TrafficRecorder &recorder, UserDialogs &dialogs, QWidget *parent)
    : QDockWidget(QStringLiteral("Traffic monitor"), parent), m_recorder(recorder),
      m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Traffic_monitor"));
    auto *body = new QWidget(this);
    m_lines = new QPlainTextEdit(body);
    m_lines->setObjectName(QStringLiteral("traffic"));
    m_lines->setReadOnly(true);
    m_lines->setMaximumBlockCount(keptLines);
    m_lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_lines->setFont(QFont(QStringLiteral("Monospace")));
    m_lines->setAccessibleName(QStringLiteral("Traffic"));
    // Ten lines at least, whatever the window around leaves.
    m_lines->setMinimumHeight(m_lines->fontMetrics().lineSpacing() * 10 +
                              2 * m_lines->frameWidth() + 8);
    m_lines->viewport()->installEventFilter(this);
    m_refit = new QTimer(this);
    m_refit->setSingleShot(true);
    m_refit->setInterval(150);
    connect(m_refit, &QTimer::timeout, this, [this] { showAll(); });
    followEnd();

    m_filter = new QLineEdit(body);
    m_filter->setObjectName(QStringLiteral("traffic_filter"));
    m_filter->setPlaceholderText(QStringLiteral("a port, an address, NAK..."));
    m_filter->setClearButtonEnabled(true);
    auto *filterLabel = new QLabel(QStringLiteral("F&ilter:"), body);
    filterLabel->setBuddy(m_filter);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { showAll(); });

    m_statisticsLabel = new QLabel(body);
    m_statisticsLabel->setObjectName(QStringLiteral("traffic_statistics"));
    m_statisticsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *clearButton = new QPushButton(QStringLiteral("Clear"), body);
    clearButton->setObjectName(QStringLiteral("traffic_clear"));
    connect(clearButton, &QPushButton::clicked, this, &TrafficMonitor::clear);
    auto *saveButton = new QPushButton(QStringLiteral("Save..."), body);
    saveButton->setObjectName(QStringLiteral("traffic_save"));
    connect(saveButton, &QPushButton::clicked, this, &TrafficMonitor::save);

    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(m_filter, 1);
    auto *list = new QVBoxLayout;
    list->addLayout(filterRow);
    list->addWidget(m_lines, 1);
    list->addWidget(m_statisticsLabel);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(clearButton);
    buttons->addWidget(saveButton);
    buttons->addStretch(1);
    auto *layout = new QHBoxLayout(body);
    layout->addLayout(list, 1);
    layout->addLayout(buttons);
    setWidget(body);

    connect(&m_recorder, &TrafficRecorder::entry, this, &TrafficMonitor::take);
    QAction *toggle = toggleViewAction();
    toggle->setObjectName(QStringLiteral("traffic_monitor"));
    toggle->setText(QStringLiteral("Traffic monitor"));
    toggle->setShortcut(Qt::Key_F12);
    connect(toggle, &QAction::toggled, this, [this](bool on) { m_recorder.setEnabled(on); });
    hide();
}

// Hidden as it goes, the dock would turn off a recorder that may be gone.
TrafficMonitor::~TrafficMonitor()
{
    disconnect(toggleViewAction(), nullptr, this, nullptr);
}

QString TrafficMonitor::text() const
{
    return QStringList(m_shownLines.cbegin(), m_shownLines.cend()).join(QLatin1Char('\n'));
}

QString TrafficMonitor::statistics() const
{
    return m_statisticsLabel->text();
}

void TrafficMonitor::setFilter(const QString &text)
{
    m_filter->setText(text);
}

void TrafficMonitor::take(const TrafficEntry &entry)
{
    m_entries.push_back(entry);
    if (m_entries.size() > std::size_t(keptLines))
        m_entries.pop_front();
    m_statistics.add(entry);
    m_statisticsLabel->setText(m_statistics.text());
    if (shows(entry))
        append(entry);
}

bool TrafficMonitor::shows(const TrafficEntry &entry) const
{
    const QString filter = m_filter->text().trimmed();
    return filter.isEmpty() || entry.text().contains(filter, Qt::CaseInsensitive);
}

// A new line at the end (the view follows it, see followEnd()).
void TrafficMonitor::append(const TrafficEntry &entry)
{
    QTextCursor cursor(m_lines->document());
    cursor.movePosition(QTextCursor::End);
    if (!m_lines->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(fitted(entry), formatOf(entry));
    m_shownLines.push_back(entry.text());
    if (m_shownLines.size() > std::size_t(keptLines))
        m_shownLines.pop_front();
}

// The line with its frame's middle left out where the whole line would be
// wider than the list, at least a few characters of each end staying; then,
// if it is still too wide, its end.
QString TrafficMonitor::fitted(const TrafficEntry &entry) const
{
    const QString whole = entry.text();
    const QFontMetrics metrics = m_lines->fontMetrics();
    const int width = m_lines->viewport()->width() - 2 * int(m_lines->document()->documentMargin());
    if (metrics.horizontalAdvance(whole) <= width)
        return whole;
    TrafficEntry shorter = entry;
    shorter.bytes.clear();
    const int room = std::max(width - metrics.horizontalAdvance(shorter.text()),
                              metrics.horizontalAdvance(QStringLiteral("<STX>0000…0000")));
    shorter.bytes = metrics.elidedText(entry.bytes, Qt::ElideMiddle, room);
    // A meaning too long beside it gives way at its end.
    return metrics.elidedText(shorter.text(), Qt::ElideRight, width);
}

// The whole line as the tooltip of a line shown shortened; the lines fitted
// again to a new width.
bool TrafficMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lines->viewport() && event->type() == QEvent::Resize)
        m_refit->start();
    if (watched == m_lines->viewport() && event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QTextCursor cursor = m_lines->cursorForPosition(help->pos());
        const auto line = std::size_t(cursor.blockNumber());
        const QString shownText = cursor.block().text();
        if (line < m_shownLines.size() && m_shownLines.at(line) != shownText)
            QToolTip::showText(help->globalPos(), m_shownLines.at(line), m_lines->viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QDockWidget::eventFilter(watched, event);
}

// While the list is at its end, it stays there as lines come; scrolled up,
// it stays where the user put it. The range grows once the lines are laid
// out, which may be later than their insertion, so the range's change moves
// the view.
void TrafficMonitor::followEnd()
{
    QScrollBar *bar = m_lines->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { m_followEnd = value >= bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (m_followEnd)
            bar->setValue(maximum);
    });
}

void TrafficMonitor::showAll()
{
    m_lines->clear();
    m_shownLines.clear();
    for (const TrafficEntry &entry : m_entries) {
        if (shows(entry))
            append(entry);
    }
}

QList<TrafficEntry> TrafficMonitor::shown() const
{
    QList<TrafficEntry> entries;
    for (const TrafficEntry &entry : m_entries) {
        if (shows(entry))
            entries.append(entry);
    }
    return entries;
}

void TrafficMonitor::clear()
{
    m_entries.clear();
    m_statistics.clear();
    m_statisticsLabel->clear();
    m_lines->clear();
    m_shownLines.clear();
}

void TrafficMonitor::save()
{
    const QString path = m_dialogs.saveFileName(
        this, QStringLiteral("Save the traffic"),
        QStringLiteral("Text (*.txt);;CSV (*.csv);;All file (*.*)"), {}, QStringLiteral("txt"));
    if (path.isEmpty())
        return;
    const bool csv = path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    QString contents;
    if (csv) {
        contents = trafficCsv(shown());
    } else {
        for (const TrafficEntry &entry : shown())
            contents += entry.text() + QLatin1Char('\n');
    }
    if (const QString reason = WholeFile::write(path, contents.toUtf8()); !reason.isEmpty())
        m_dialogs.message(this, WholeFile::cannotWrite(path, reason), {},
                          UserDialogs::Icon::Warning);
}
