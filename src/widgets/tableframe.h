#pragma once

#include "tables/gridmodel.h"

#include <QGroupBox>

#include <functional>

class GridView;
class QHBoxLayout;
class QPushButton;
class RowDialog;
class UserDialogs;

// Whether the add/modify dialog adds a row or modifies the chosen one.
enum class RowMode { Add = 1, Modify = 2 };

// What makes a table frame one of the tool's tables.
struct TableFrameDescription
{
    QString frame;          // the frame's control name
    QString caption;        // its title
    QString grid;           // the table's control name
    QString format;         // the table's columns, headers separated by '|'
    QString add;            // "Add slave"
    QString modify;         // "Modify slave"
    QString remove;         // "Delete slave"
    QString removeQuestion; // asked, OK or Cancel, before a row goes
    // Whether Enter on the table opens the editor and Delete empties a cell.
    bool keyEditing = false;
    // The row taken as chosen until the user clicks one: 0 for none.
    int startRow = 0;
    // The refusal shown (no title) for a value confirmed in a cell, which is
    // then emptied; an empty text accepts it. None: every value is taken.
    std::function<QString(int column, const QString &text)> cellCheck;
    // The add/modify dialog for the table and its chosen row; it may move
    // the chosen row to the one it works on. Null: nothing to do.
    std::function<RowDialog *(RowMode mode, const GridModel &grid, int &chosenRow, QWidget *parent)>
        dialog;
    // Whether an add makes the new row the chosen one (else the chosen row
    // stays).
    bool addChoosesNewRow = false;
};

// A frame holding one of the tool's tables with its "Add slave", "Modify
// slave" and "Delete slave" buttons, its add/modify dialog and its in-cell
// editor. The table is the only store of its rows.
class TableFrame : public QGroupBox
{
    Q_OBJECT

public:
    // The most rows any of the PLC's tables holds (requests and sensors).
    static constexpr int rowLimit = 128;

    TableFrame(TableFrameDescription description, UserDialogs &dialogs, QWidget *parent = nullptr);

    GridView *view() const { return m_view; }
    // The row and column last chosen; row 0 until a row is chosen, by the
    // user, the dialog or an add. The chosen cell is always the view's
    // current, highlighted one: whatever changes the rows shows the chosen
    // row again, the open row when it lies beyond.
    int chosenRow() const { return m_chosenRow; }
    int chosenColumn() const { return m_chosenColumn; }

    // "Add slave", "Modify slave", "Delete slave".
    void addRow();
    void modifyRow();
    void deleteRow();
    // Writes the row a dialog gave into the table and enables the table: as
    // a new row in the open row's place when adding, into the chosen row
    // when modifying.
    void Update_grid(RowMode mode, const QStringList &cells);

    // A further button after the three, for what only one table has.
    QPushButton *addButton(const QString &name, const QString &caption);

private:
    QPushButton *button(const QString &name, const QString &caption, void (TableFrame::*handler)());
    void openDialog(RowMode mode);
    void checkCell(int row, int column);
    void showChosen();

    TableFrameDescription m_description;
    UserDialogs &m_dialogs;
    GridView *m_view = nullptr;
    QHBoxLayout *m_buttons = nullptr;
    int m_chosenRow = 0;
    int m_chosenColumn = 0;
};
