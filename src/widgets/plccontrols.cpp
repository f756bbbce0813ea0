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
