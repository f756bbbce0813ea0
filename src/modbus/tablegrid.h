#pragma once

#include "modbus/texttable.h"

#include <QTableWidget>

class CellEditDelegate;

// A table on screen as the tool's tabs use it. Rows are numbered as in the
// tables the core works on: row 0 is the header (shown as the column
// headers), the entry rows follow from 1 on. Column 0 may be kept as a fixed
// column of labels, which the user can neither select nor edit.
//
// With cell editing on, a double-click or Enter opens an editor over the
// current cell with its text selected; Enter in the editor writes the text,
// reports it with cellConfirmed() and moves one row down unless on the last
// row; leaving the editor any other way drops the text. Delete empties the
// current cell.
class TableGrid : public QTableWidget
{
    Q_OBJECT

public:
    // Starts with the header row and one empty entry row, and no columns
    // until a format gives them.
    explicit TableGrid(const QString &name, QWidget *parent = nullptr);

    // The columns and their headers from a format string, the headers
    // separated by '|'. Cells already there are kept.
    void setFormat(const QString &format);
    // The alignment of every cell, those there now and those added later.
    void setCellAlignment(Qt::Alignment alignment);
    Qt::Alignment cellAlignment() const { return m_alignment; }
    void setFixedColumns(int count);
    void setCellEditing(bool on);

    // All rows, the header included.
    int rows() const { return rowCount() + 1; }
    int columns() const { return columnCount(); }
    QString text(int row, int column) const;
    void setText(int row, int column, const QString &text);
    // Appends an entry row; missing cells are empty.
    void appendRow(const QStringList &cells = {});
    // Removes an entry row (1 on).
    void deleteRow(int row);

    // The current cell, 0 and 0 when there is none.
    int cursorRow() const { return currentRow() + 1; }
    int cursorColumn() const { return std::max(0, currentColumn()); }
    void setCursorCell(int row, int column);
    // The last cell of the selection, the current cell when nothing is selected.
    int selectedRow() const;
    int selectedColumn() const;

    // Header row first, every row as wide as the grid.
    TextTable toTable() const;
    // Replaces the whole content; the header row gives the columns.
    void setTable(const TextTable &table);

    using QTableWidget::edit;

Q_SIGNALS:
    // The user clicked a cell: the row and column of the selection.
    void chosen(int row, int column);
    // Text confirmed with Enter in the editor has been written into the cell.
    void cellConfirmed(int row, int column);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    // Editors write into the cells only through Enter.
    void commitData(QWidget *) override {}

private:
    QTableWidgetItem *makeCell(int column, const QString &text) const;
    void setColumns(int count);
    void fitColumns();
    void confirmEdit(QWidget *editor);
    void emptyCurrentCell();

    CellEditDelegate *m_delegate = nullptr;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    int m_fixedColumns = 0;
    bool m_editing = false;
    QPersistentModelIndex m_edited;
};
