#pragma once

#include "config/configuration.h"

#include <QString>

#include <deque>

// Undo and redo of the configuration: each step is the configuration after
// a change, with the change's name. Undo gives back the configuration
// before the step; a new step after undos drops the steps undone. The
// oldest steps go once there are more than `limit`.
class ConfigurationHistory
{
public:
    explicit ConfigurationHistory(Configuration start, int limit = 200);

    // The configuration as of the last step, undo or redo.
    const Configuration &current() const { return m_states.at(m_at).configuration; }
    // A change made: `after` becomes the current configuration. Nothing is
    // recorded when it equals the current one.
    void record(const QString &name, const Configuration &after);

    bool canUndo() const { return m_at > 0; }
    bool canRedo() const { return m_at + 1 < m_states.size(); }
    // The name of the step an undo or a redo would take back or make again.
    QString undoName() const;
    QString redoName() const;
    // The configuration before the last step, which becomes current.
    const Configuration &undo();
    // The configuration after the next step undone, which becomes current.
    const Configuration &redo();
    // Forgets every step; `start` is current.
    void reset(const Configuration &start);

    qsizetype steps() const { return qsizetype(m_states.size()) - 1; }

private:
    struct State
    {
        QString name; // of the step that led here; empty for the start
        Configuration configuration;
    };
    std::deque<State> m_states;
    std::size_t m_at = 0;
    int m_limit;
};

// A readable name for the change from one configuration to another, as the
// Edit menu shows it: "Add request on UART 1", "Delete sensor 4", "Change
// UART 1 speed", "Edit UART 2 row 3", "Change 1-wire mode"; "Change the
// configuration" when many parts changed at once.
QString changeName(const Configuration &before, const Configuration &after);
