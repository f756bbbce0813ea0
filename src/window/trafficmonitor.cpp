#include "trafficmonitor.h"

#include "link/traffic.h"
#include "widgets/userdialogs.h"

#include <QAction>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

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
    auto *clearButton = new QPushButton(QStringLiteral("Clear"), body);
    clearButton->setObjectName(QStringLiteral("traffic_clear"));
    connect(clearButton, &QPushButton::clicked, this, &TrafficMonitor::clear);
    auto *saveButton = new QPushButton(QStringLiteral("Save..."), body);
    saveButton->setObjectName(QStringLiteral("traffic_save"));
    connect(saveButton, &QPushButton::clicked, this, &TrafficMonitor::save);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(clearButton);
    buttons->addWidget(saveButton);
    buttons->addStretch(1);
    auto *layout = new QHBoxLayout(body);
    layout->addWidget(m_lines, 1);
    layout->addLayout(buttons);
    setWidget(body);

    // Lines come from the sessions' threads; they are shown on this one.
    connect(&m_recorder, &TrafficRecorder::line, m_lines, &QPlainTextEdit::appendPlainText,
            Qt::QueuedConnection);
    QAction *toggle = toggleViewAction();
    toggle->setObjectName(QStringLiteral("traffic_monitor"));
    toggle->setText(QStringLiteral("Traffic monitor"));
    toggle->setShortcut(Qt::Key_F12);
    connect(toggle, &QAction::toggled, this, [this](bool on) { m_recorder.setEnabled(on); });
    hide();
}

QString TrafficMonitor::text() const
{
    return m_lines->toPlainText();
}

void TrafficMonitor::clear()
{
    m_lines->clear();
}

void TrafficMonitor::save()
{
    const QString path = m_dialogs.saveFileName(this, QStringLiteral("Save the traffic"),
                                                QStringLiteral("Text (*.txt);;All file (*.*)"), {},
                                                QStringLiteral("txt"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) ||
        file.write((m_lines->toPlainText() + QLatin1Char('\n')).toUtf8()) < 0 || !file.commit())
        m_dialogs.message(this, QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()),
                          {}, UserDialogs::Icon::Warning);
}
