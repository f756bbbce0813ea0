#include "plccontrols.h"

template <typename T> void PlcControls::apply(const Entry<T> &entry) const
{
    if (entry.item)
        entry.item->setEnabled(!m_busy && entry.availability == Availability::Active);
}

void PlcControls::markNotAvailable(QWidget *control)
{
    control->setEnabled(false);
    control->setToolTip(notAvailable);
}

void PlcControls::markNotAvailable(QAction *action)
{
    action->setEnabled(false);
    action->setToolTip(notAvailable);
    action->setStatusTip(notAvailable);
}

void PlcControls::add(QWidget *control, Availability availability)
{
    if (availability == Availability::Inactive)
        control->setToolTip(notAvailable);
    m_widgets.append({control, availability});
    apply(m_widgets.last());
}

void PlcControls::add(QAction *action, Availability availability)
{
    if (availability == Availability::Inactive)
        markNotAvailable(action);
    m_actions.append({action, availability});
    apply(m_actions.last());
}

void PlcControls::setBusy(bool busy)
{
    m_busy = busy;
    for (const Entry<QWidget> &entry : std::as_const(m_widgets))
        apply(entry);
    for (const Entry<QAction> &entry : std::as_const(m_actions))
        apply(entry);
}

QList<QWidget *> PlcControls::widgets() const
{
    QList<QWidget *> widgets;
    for (const Entry<QWidget> &entry : m_widgets) {
        if (entry.item)
            widgets << entry.item.data();
    }
    return widgets;
}

void KeptFocus::disabling(const QList<QWidget *> &controls)
{
    m_control.clear();
    m_movedTo.clear();
    for (QWidget *control : controls) {
        if (control && control->window()->focusWidget() == control) {
            m_control = control;
            return;
        }
    }
}

void KeptFocus::disabled()
{
    if (m_control)
        m_movedTo = m_control->window()->focusWidget();
}

void KeptFocus::enabled()
{
    const QPointer<QWidget> control = std::exchange(m_control, nullptr);
    const QPointer<QWidget> movedTo = std::exchange(m_movedTo, nullptr);
    if (control && control->isEnabled() && control->isVisible() &&
        control->window()->focusWidget() == movedTo.data())
        control->setFocus(Qt::OtherFocusReason);
}
