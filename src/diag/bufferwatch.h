#pragma once

#include "diag/errorwatch.h"

#include <QObject>

#include <memory>
#include <set>

class GridView;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QSpinBox;
class QTimer;
class TabContext;

// "Watch" on a diag tab: while checked, the tab's error buffers are read
// again after each interval (1 to 60 s, kept in the settings file), with
// the frames of their buttons. Rows that changed since the last read stand
// out until the next one; two more columns tell since when each slot's error
// has been active and how often it became active. A read waits while
// another PLC operation runs, and yields to the user's: none starts while
// one is asked for (its confirmation open), waits or runs. A failed read is told in the status bar
// and the next interval tries again; a buffer whose port left its mode is no longer watched, and
// watching stops when none is left.
class BufferWatch : public QObject
{
    Q_OBJECT

public:
    struct Buffer
    {
        ErrorBuffer which;
        QString caption; // "UART 1", for the status bar
        GridView *grid = nullptr;
    };

    // The controls are named `<prefix>_watch`, `<prefix>_watch_interval` and
    // `<prefix>_watch_state`; the interval is key `settingsKey` of section
    // "WATCH".
    BufferWatch(TabContext &context, const QString &prefix, const QString &settingsKey,
                QList<Buffer> buffers, QWidget *parent);
    ~BufferWatch() override;

    // The check box, the interval with its label and the state, in a row.
    QHBoxLayout *controls() const { return m_row; }
    bool isWatching() const;
    // A buffer read by its button: its table goes back to the plain columns.
    void showPlainRead(int buffer);

private:
    struct Watched
    {
        Buffer buffer;
        ErrorWatch watch;
        bool active = true;
        std::set<int> changed; // slots that changed in the last read
    };

    void start();
    void stop(const QString &why);
    void schedule();
    void read();
    void take(const QList<ErrorBufferRead> &reads);
    QString outOfMode(const Watched &watched) const;
    void publishHealth(const Watched &watched);
    void markUnread(const Watched &watched, const QString &why);
    void withdrawProblem();

    TabContext &m_context;
    QString m_settingsKey;
    std::vector<std::unique_ptr<Watched>> m_buffers;
    QHBoxLayout *m_row = nullptr;
    QCheckBox *m_check = nullptr;
    QSpinBox *m_interval = nullptr;
    QLabel *m_state = nullptr;
    QTimer *m_timer = nullptr;
    bool m_due = false; // a read waits for another operation to end
    QString m_problem;  // the failure last told in the status bar
};
