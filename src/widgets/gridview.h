#pragma once

#include "tables/gridmodel.h"
#include "widgets/celleditor.h"

#include <QTableView>

#include <utility>

// A table on screen: a view of a GridModel, numbered as the model is (row 0
// the header, shown as the column headers). Column 0 may be a fixed column of
// labels, which the user can neither choose nor edit.
//
// In-cell editing, column by column (see CellEditor): a line edit opens on a
// double-click (and, with key editing on, on Enter) over the current cell
// with its text selected; Enter writes the text, reports it with
// cellCommitted() and moves one row down unless on the last row. Typing a
// character on such a cell opens its editor with that character; Enter,
// Space or F2 opens a combo box as a click does. A combo box
// opens on a click and writes the item chosen. Leaving an editor any other
// way drops it. With key editing on, Delete empties the current cell.
class GridView : public QTableView
{
    Q_OBJECT

public:
    // Shows the model, which stays the view's: one view, one model.
    GridView(const QString &name, GridModel *model, QWidget *parent = nullptr);

    GridModel *grid() const { return m_model; }
    CellEditor *editors() const { return m_editors; }

    // The first `count` columns are labels.
    void setFixedColumns(int count);
    // The column that takes the room the others leave, and gives way first
    // when there is too little; the last by default.
    void setStretchColumn(int column);
    void setKeyEditing(bool on) { m_keyEditing = on; }
    // Ctrl+V takes rows from a spreadsheet, up to this many entries in all;
    // 0 (the default) takes none. Ctrl+C always copies.
    void setPasteLimit(int entries) { m_pasteLimit = entries; }

    // The rows of the selection (all entries when none is), with the
    // header, as tab-separated text on the clipboard.
    void copyRows();
    // Ctrl+C: the one cell chosen as its text, or else copyRows().
    void copySelection();
    // Ctrl+V: the clipboard's rows as new entries before the open row.
    void pasteRows();

    // The model's content, as a shorthand.
    int rows() const { return m_model->rows(); }
    QString text(int row, int column) const { return m_model->text(row, column); }
    void setText(int row, int column, const QString &text) { m_model->setText(row, column, text); }
    TextTable entries() const { return m_model->entries(); }
    void setEntries(const TextTable &entries) { m_model->setEntries(entries); }

    // The current cell; row 0 and column 0 when there is none.
    int cursorRow() const;
    int cursorColumn() const;
    void setCursorCell(int row, int column);
    // Where a cell of row 1 onwards lies in the viewport.
    QRect cellRect(int row, int column) const;

Q_SIGNALS:
    // The user chose a cell: clicked it, moved to it with the keys, or came
    // to it by confirming the editor above it.
    void chosen(int row, int column);
    // Text confirmed in an editor has been written into the cell.
    void cellCommitted(int row, int column);
    // A paste was refused, and why; the table is as it was.
    void pasteRefused(const QString &reason);
    // Rows were pasted, this many.
    void rowsPasted(int count);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyboardSearch(const QString &) override {}
    void mousePressEvent(QMouseEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    // Editors write into the cells only when they confirm.
    void commitData(QWidget *) override {}

private:
    static bool printable(const QKeyEvent *event);
    bool startsTyping() const;
    void typeInto(const QModelIndex &index, QKeyEvent *event);
    void commit(QWidget *editor, const QString &value, CellEditor::Kind kind);
    void fitColumns();
    bool editable(const QModelIndex &index) const;
    template <typename Move> void userMove(Move move)
    {
        const bool before = std::exchange(m_userMove, true);
        move();
        m_userMove = before;
    }

    GridModel *m_model = nullptr;
    CellEditor *m_editors = nullptr;
    bool m_keyEditing = false;
    int m_pasteLimit = 0;
    int m_stretchColumn = -1;
    QPersistentModelIndex m_edited;
    // Set while the user moves the current cell; a move the model's changes
    // make is no choice of the user's.
    bool m_userMove = false;
};
