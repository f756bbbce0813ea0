#include "tableframe.h"

#include "widgets/gridview.h"
#include "widgets/rowdialog.h"
#include "widgets/userdialogs.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TableFrame::TableFrame(TableFrameDescription description, UserDialogs &dialogs, QWidget *parent)
    : QGroupBox(description.caption, parent), m_description(std::move(description)),
      m_dialogs(dialogs),
      m_view(new GridView(m_description.grid, new GridModel(m_description.format), this))
{
    setObjectName(m_description.frame);
    m_chosenRow = m_description.startRow;
    m_view->grid()->setCentred(true);
    m_view->setFixedColumns(1);
    m_view->setKeyEditing(m_description.keyEditing);
    for (int c = 1; c < m_view->grid()->columns(); ++c)
        m_view->editors()->setLineEditor(c);
    connect(m_view, &GridView::chosen, this, [this](int row, int column) {
        m_chosenRow = row;
        m_chosenColumn = column;
    });
    // Connected after the view's own handling, so the chosen row has the
    // last word on what is highlighted.
    GridModel *model = m_view->grid();
    connect(model, &QAbstractItemModel::modelReset, this, &TableFrame::showChosen);
    connect(model, &QAbstractItemModel::rowsInserted, this, &TableFrame::showChosen);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &TableFrame::showChosen);
    connect(m_view, &GridView::cellCommitted, this, &TableFrame::checkCell);
    m_view->setPasteLimit(rowLimit);
    connect(m_view, &GridView::pasteRefused, this, [this](const QString &reason) {
        m_dialogs.message(this, reason, {}, UserDialogs::Icon::Warning);
    });

    // Buttons line up from the left, before the stretch.
    m_buttons = new QHBoxLayout;
    m_buttons->addStretch(1);
    button(m_description.add, QStringLiteral("&Add slave"), &TableFrame::addRow);
    button(m_description.modify, QStringLiteral("&Modify slave"), &TableFrame::modifyRow);
    button(m_description.remove, QStringLiteral("&Delete slave"), &TableFrame::deleteRow);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(m_buttons);
}

QPushButton *TableFrame::button(const QString &name, const QString &caption,
                                void (TableFrame::*handler)())
{
    QPushButton *b = addButton(name, caption);
    connect(b, &QPushButton::clicked, this, handler);
    return b;
}

QPushButton *TableFrame::addButton(const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(name);
    m_buttons->insertWidget(m_buttons->count() - 1, b);
    return b;
}

void TableFrame::addRow()
{
    openDialog(RowMode::Add);
}

void TableFrame::modifyRow()
{
    openDialog(RowMode::Modify);
}

// Only an entry row can be deleted: with no row chosen, or the open row or
// one beyond it, nothing is asked and nothing happens.
void TableFrame::deleteRow()
{
    if (!m_view->grid()->isEntry(m_chosenRow))
        return;
    if (!m_dialogs.confirm(this, m_description.removeQuestion))
        return;
    m_view->grid()->removeEntry(m_chosenRow);
}

void TableFrame::openDialog(RowMode mode)
{
    // A full table takes no row from the dialog, as it takes none from a paste.
    const int entries = m_view->grid()->entryCount();
    if (mode == RowMode::Add && entries >= rowLimit) {
        m_dialogs.message(this,
                          QStringLiteral("The table holds %1 rows at the most; with the one "
                                         "added it would hold %2.")
                              .arg(rowLimit)
                              .arg(entries + 1),
                          {}, UserDialogs::Icon::Warning);
        return;
    }
    RowDialog *dialog = m_description.dialog(mode, *m_view->grid(), m_chosenRow, this);
    showChosen();
    if (!dialog)
        return;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog, mode] { Update_grid(mode, dialog->cells()); });
    dialog->open();
}

void TableFrame::Update_grid(RowMode mode, const QStringList &cells)
{
    m_view->setEnabled(true);
    GridModel *grid = m_view->grid();
    if (mode == RowMode::Add) {
        grid->addEntry(cells);
        if (m_description.addChoosesNewRow)
            m_chosenRow = grid->entryCount();
    } else {
        grid->setEntry(m_chosenRow, cells);
    }
    showChosen();
}

void TableFrame::showChosen()
{
    const int open = m_view->rows() - 1;
    m_chosenRow = std::min(m_chosenRow, open);
    if (m_chosenRow < 1) {
        m_view->selectionModel()->clear();
        return;
    }
    const int column = std::max(m_chosenColumn, m_view->grid()->fixedColumns());
    if (m_view->cursorRow() != m_chosenRow || m_view->cursorColumn() != column ||
        !m_view->selectionModel()->isSelected(m_view->grid()->cell(m_chosenRow, column)))
        m_view->setCursorCell(m_chosenRow, column);
}

// The check is that of the cell's own column; a refused value empties it
// before the refusal shows, so the edit stays one change, however long the
// message stays open.
void TableFrame::checkCell(int row, int column)
{
    if (!m_description.cellCheck)
        return;
    const QString refusal = m_description.cellCheck(column, m_view->text(row, column));
    if (refusal.isEmpty())
        return;
    m_view->setText(row, column, {});
    m_dialogs.message(this, refusal, {}, UserDialogs::Icon::Warning);
}
