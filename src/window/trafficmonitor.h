#pragma once

#include <QDockWidget>

class QPlainTextEdit;
class TrafficRecorder;
class UserDialogs;

// The dock "Traffic monitor": the lines of a traffic recorder as they come,
// the last 10,000 of them, with "Clear" and "Save...". The recorder runs
// only while the dock's menu item is checked.
class TrafficMonitor : public QDockWidget
{
    Q_OBJECT

public:
    static constexpr int keptLines = 10000;

    TrafficMonitor(TrafficRecorder &recorder, UserDialogs &dialogs, QWidget *parent = nullptr);

    QString text() const;
    void clear();
    // Writes the lines, as the command line's frame log has them.
    void save();

private:
    TrafficRecorder &m_recorder;
    UserDialogs &m_dialogs;
    QPlainTextEdit *m_lines = nullptr;
};
