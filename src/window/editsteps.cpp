// Undo steps of the configuration, and what may be edited while a transfer
// runs.

#include "mainwindow.h"

#include "io/hwconfigtab.h"
#include "modbus/uarttab.h"
#include "onewire/onewiretab.h"
#include "widgets/gridview.h"

#include <QAction>
#include <QTabWidget>
#include <QTimer>

void Main::followChange()
{
    if (std::exchange(m_followScheduled, true))
        return;
    QTimer::singleShot(0, this, [this] {
        m_followScheduled = false;
        recordChange();
        updateRegisterMap();
        updateFileState();
    });
}

void Main::recordChange()
{
    const Configuration now = configuration();
    const QString named = m_context->takeChangeName();
    if (now == m_history->current())
        return;
    m_history->record(named.isEmpty() ? changeName(m_history->current(), now) : named, now);
    updateEditMenu();
}

void Main::setEditable(bool editable)
{
    m_editable = editable;
    for (QWidget *tab : std::initializer_list<QWidget *>{m_hwConfig, m_uart1, m_uart2, m_oneWire})
        tab->setEnabled(editable);
    for (QAction *item : m_loadItems)
        item->setEnabled(editable);
    updateEditMenu();
}

void Main::updateEditMenu()
{
    m_paste->setEnabled(m_editable);
    m_undo->setEnabled(m_editable && m_history->canUndo());
    m_undo->setText(m_history->canUndo() ? QStringLiteral("&Undo ") + m_history->undoName()
                                         : QStringLiteral("&Undo"));
    m_redo->setEnabled(m_editable && m_history->canRedo());
    m_redo->setText(m_history->canRedo() ? QStringLiteral("&Redo ") + m_history->redoName()
                                         : QStringLiteral("&Redo"));
}

void Main::undo()
{
    recordChange(); // an edit not yet recorded comes first
    if (!m_history->canUndo())
        return;
    apply(m_history->undo());
    updateEditMenu();
    updateRegisterMap();
}

void Main::redo()
{
    recordChange();
    if (!m_history->canRedo())
        return;
    apply(m_history->redo());
    updateEditMenu();
    updateRegisterMap();
}

GridView *Main::currentTable() const
{
    QWidget *tab = m_tabs->currentWidget();
    if (tab == m_uart1 || tab == m_uart2)
        return static_cast<UartTab *>(tab)->grid();
    if (tab == m_oneWire)
        return m_oneWire->grid();
    return nullptr;
}
