#pragma once

#include <QAction>
#include <QList>
#include <QPointer>
#include <QWidget>

// Qt gives the keyboard to the next control when the control that has it is
// disabled. A control disabled while the operation it started runs gets it
// back when it is enabled again, unless the user moved on meanwhile.
class KeptFocus
{
public:
    // Before `controls` are disabled: remembers the one of them with the
    // keyboard of its window, if any.
    void disabling(const QList<QWidget *> &controls);
    // After they were disabled: where Qt put the keyboard.
    void disabled();
    // After they were enabled again: the control gets the keyboard back
    // when it still lies where Qt put it.
    void enabled();

private:
    QPointer<QWidget> m_control;
    QPointer<QWidget> m_movedTo;
};

// The buttons and menu items that start PLC operations on one port. While an
// operation runs they are all disabled, so only one operation runs at a time;
// afterwards they are enabled again, except those inactive by design, which
// stay disabled whatever happens.
class PlcControls
{
public:
    enum class Availability { Active, Inactive };
    // The tooltip of a control that stays disabled for good.
    static inline const QString notAvailable =
        QStringLiteral("Not available: this version of the tool keeps it inactive");
    static void markNotAvailable(QWidget *control);
    static void markNotAvailable(QAction *action);

    // Takes the current busy state at once. Controls deleted later are
    // forgotten.
    void add(QWidget *control, Availability availability = Availability::Active);
    void add(QAction *action, Availability availability = Availability::Active);

    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }
    // The buttons among them that still exist.
    QList<QWidget *> widgets() const;

private:
    template <typename T> struct Entry
    {
        QPointer<T> item;
        Availability availability = Availability::Active;
    };

    template <typename T> void apply(const Entry<T> &entry) const;

    QList<Entry<QWidget>> m_widgets;
    QList<Entry<QAction>> m_actions;
    bool m_busy = false;
};
