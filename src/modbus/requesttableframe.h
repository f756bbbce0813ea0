#pragma once

#include "modbus/requestrecord.h"

#include <QGroupBox>

class SlaveDialog;
class TableGrid;
class UserDialogs;
struct SlaveProposal;
struct UartDescription;

// The control names of one UART's request table.
struct RequestTableNames
{
    QString frame;  // "Modbus master configuration"
    QString grid;   // the table
    QString add;    // "Add slave"
    QString modify; // "Modify slave"
    QString remove; // "Delete slave"
    QString dialog; // "Slave add/modify"
};

// The frame "Modbus master configuration" of a UART tab: the master request
// table with its add, modify and delete buttons, its dialog and its in-cell
// editor. The table is the only store of the requests.
class RequestTableFrame : public QGroupBox
{
    Q_OBJECT

public:
    RequestTableFrame(const RequestTableNames &names, const UartDescription &uart,
                      UserDialogs &dialogs, QWidget *parent = nullptr);

    TableGrid *grid() const { return m_grid; }
    // The row and column last clicked (index_grid, Index_col); row 0 until
    // a row is chosen, by a click, the dialog or an add.
    int chosenRow() const { return m_chosenRow; }
    int chosenColumn() const { return m_chosenColumn; }

    // "Add slave", "Modify slave", "Delete slave".
    void addSlave();
    void modifySlave();
    void deleteSlave();
    // Writes the row the dialog accepted into the table and enables it: the
    // new row when adding, the chosen row when modifying.
    void Update_grid();
    // Column 0 of every row after the header holds its own row number.
    void renumber();

private:
    enum class DialogMode { Add = 1, Modify = 2 };

    QLayout *buildButtons(const RequestTableNames &names);
    void openDialog(DialogMode mode, const SlaveProposal &proposal);
    void takeRow(const RequestRow &row);
    void checkCell(int row, int column);

    const UartDescription &m_uart;
    UserDialogs &m_dialogs;
    QString m_dialogName;
    TableGrid *m_grid = nullptr;
    int m_chosenRow = 0;
    int m_chosenColumn = 0;
    DialogMode m_dialogMode = DialogMode::Add; // modify_rs
    RequestRow m_rowBuffer;                    // the dialog's row for Update_grid
};
