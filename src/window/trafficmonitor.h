#pragma once

#include "link/traffic.h"

#include <QDockWidget>

#include <deque>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class UserDialogs;

// The dock "Traffic monitor": the entries of a traffic recorder as they
// come, the last 10,000 of them, each a line starting with its time of day;
// refusals, wrong answers (a checksum that does not match among them),
// timeouts and requests sent again stand out. A filter shows
// only the lines holding a text; statistics per port follow the list.
// "Clear" empties both, "Save..." writes the lines shown. The recorder runs
// only while the dock's menu item is checked.
class TrafficMonitor : public QDockWidget
{
    Q_OBJECT

public:
    static constexpr int keptLines = 10000;

    TrafficMonitor(TrafficRecorder &recorder, UserDialogs &dialogs, QWidget *parent = nullptr);
    ~TrafficMonitor() override;

    // The lines shown, whole: a frame wider than the list shows with its
    // middle left out, and whole in the line's tooltip.
    QString text() const;
    QString statistics() const;
    // The figures statistics() shows, as numbers.
    const TrafficStatistics &trafficStatistics() const { return m_statistics; }
    void setFilter(const QString &text);
    void clear();
    // Writes the lines shown: as CSV when the name ends in ".csv", one
    // column a field, else as text.
    void save();

private:
    void followEnd();
    void take(const TrafficEntry &entry);
    bool shows(const TrafficEntry &entry) const;
    void append(const TrafficEntry &entry);
    void showAll();
    QList<TrafficEntry> shown() const;
    QString fitted(const TrafficEntry &entry) const;
    bool eventFilter(QObject *watched, QEvent *event) override;

    TrafficRecorder &m_recorder;
    UserDialogs &m_dialogs;
    QPlainTextEdit *m_lines = nullptr;
    bool m_followEnd = true;
    QLineEdit *m_filter = nullptr;
    QLabel *m_statisticsLabel = nullptr;
    std::deque<TrafficEntry> m_entries;
    std::deque<QString> m_shownLines; // whole, one a line of the list
    QTimer *m_refit = nullptr;        // fits the lines again once resizing ends
    TrafficStatistics m_statistics;
};
