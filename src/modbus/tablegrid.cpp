#include "tablegrid.h"

#include "modbus/celleditdelegate.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

TableGrid::TableGrid(const QString &name, QWidget *parent)
    : QTableWidget(1, 0, parent), m_delegate(new CellEditDelegate(this))
{
    setObjectName(name);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setStretchLastSection(true);
    connect(m_delegate, &CellEditDelegate::confirmed, this, &TableGrid::confirmEdit);
    connect(this, &QTableWidget::clicked, this,
            [this] { Q_EMIT chosen(selectedRow(), selectedColumn()); });
}

void TableGrid::setFormat(const QString &format)
{
    const QStringList headers = headerFromFormat(format);
    setColumns(int(headers.size()));
    setHorizontalHeaderLabels(headers);
    fitColumns();
}

void TableGrid::setColumns(int count)
{
    const int before = columnCount();
    setColumnCount(count);
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = before; c < count; ++c)
            setItem(r, c, makeCell(c, {}));
    }
}

QTableWidgetItem *TableGrid::makeCell(int column, const QString &text) const
{
    auto *cell = new QTableWidgetItem(text);
    cell->setTextAlignment(m_alignment);
    if (column < m_fixedColumns) {
        cell->setFlags(Qt::ItemIsEnabled);
        cell->setBackground(palette().button());
    }
    return cell;
}

void TableGrid::setCellAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c)
            item(r, c)->setTextAlignment(alignment);
    }
}

void TableGrid::setFixedColumns(int count)
{
    m_fixedColumns = count;
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c)
            setItem(r, c, makeCell(c, item(r, c)->text()));
    }
}

void TableGrid::setCellEditing(bool on)
{
    m_editing = on;
    setEditTriggers(on ? QAbstractItemView::DoubleClicked : QAbstractItemView::NoEditTriggers);
}

QString TableGrid::text(int row, int column) const
{
    if (row == 0) {
        const QTableWidgetItem *header = horizontalHeaderItem(column);
        return header ? header->text() : QString();
    }
    const QTableWidgetItem *cell = item(row - 1, column);
    return cell ? cell->text() : QString();
}

void TableGrid::setText(int row, int column, const QString &text)
{
    if (row == 0)
        setHorizontalHeaderItem(column, new QTableWidgetItem(text));
    else if (QTableWidgetItem *cell = item(row - 1, column))
        cell->setText(text);
}

void TableGrid::appendRow(const QStringList &cells)
{
    const int row = rowCount();
    insertRow(row);
    for (int c = 0; c < columnCount(); ++c)
        setItem(row, c, makeCell(c, cells.value(c)));
}

void TableGrid::deleteRow(int row)
{
    removeRow(row - 1);
}

void TableGrid::setCursorCell(int row, int column)
{
    setCurrentCell(row - 1, column);
}

int TableGrid::selectedRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    return ranges.isEmpty() ? cursorRow() : ranges.last().bottomRow() + 1;
}

int TableGrid::selectedColumn() const
{
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    return ranges.isEmpty() ? cursorColumn() : ranges.last().rightColumn();
}

TextTable TableGrid::toTable() const
{
    TextTable table;
    for (int r = 0; r < rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < columnCount(); ++c)
            cells << text(r, c);
        table << cells;
    }
    return table;
}

void TableGrid::setTable(const TextTable &table)
{
    setRowCount(0);
    setColumns(table.isEmpty() ? 0 : int(table.first().size()));
    setHorizontalHeaderLabels(table.value(0));
    for (qsizetype r = 1; r < table.size(); ++r)
        appendRow(table.at(r));
    fitColumns();
}

// The last column takes the room the others leave.
void TableGrid::fitColumns()
{
    for (int c = 0; c + 1 < columnCount(); ++c)
        resizeColumnToContents(c);
}

void TableGrid::keyPressEvent(QKeyEvent *event)
{
    const bool editable = m_editing && currentItem() && currentColumn() >= m_fixedColumns;
    if (editable && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
        edit(currentIndex(), QAbstractItemView::AllEditTriggers, nullptr);
    else if (editable && event->key() == Qt::Key_Delete)
        emptyCurrentCell();
    else
        QTableWidget::keyPressEvent(event);
}

bool TableGrid::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    const bool opened = QTableWidget::edit(index, trigger, event);
    if (opened)
        m_edited = index;
    return opened;
}

void TableGrid::confirmEdit(QWidget *editor)
{
    const QString typed = qobject_cast<QLineEdit *>(editor)->text();
    const int row = m_edited.row() + 1;
    const int column = m_edited.column();
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    setText(row, column, typed);
    Q_EMIT cellConfirmed(row, column);
    if (row < rows() - 1)
        setCursorCell(row + 1, column);
    setFocus();
}

void TableGrid::emptyCurrentCell()
{
    currentItem()->setText({});
}
