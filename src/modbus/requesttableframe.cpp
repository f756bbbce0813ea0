#include "requesttableframe.h"

#include "modbus/requestcheck.h"
#include "modbus/requesttable.h"
#include "modbus/slavedialog.h"
#include "modbus/slaveproposal.h"
#include "modbus/tablegrid.h"
#include "modbus/uartdescription.h"
#include "workspace/userdialogs.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString deleteQuestion = QStringLiteral("You are shure for delete this sensor?");

} // namespace

RequestTableFrame::RequestTableFrame(const RequestTableNames &names, const UartDescription &uart,
                                     UserDialogs &dialogs, QWidget *parent)
    : QGroupBox(QStringLiteral("Modbus master configuration"), parent), m_uart(uart),
      m_dialogs(dialogs), m_dialogName(names.dialog), m_grid(new TableGrid(names.grid, this))
{
    setObjectName(names.frame);
    m_grid->setFixedColumns(1);
    m_grid->setCellEditing(true);
    connect(m_grid, &TableGrid::chosen, this, [this](int row, int column) {
        m_chosenRow = row;
        m_chosenColumn = column;
    });
    connect(m_grid, &TableGrid::cellConfirmed, this, &RequestTableFrame::checkCell);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buildButtons(names));
}

QLayout *RequestTableFrame::buildButtons(const RequestTableNames &names)
{
    const auto button = [this](const QString &name, const QString &caption,
                               void (RequestTableFrame::*handler)()) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    auto *row = new QHBoxLayout;
    row->addWidget(button(names.add, QStringLiteral("Add slave"), &RequestTableFrame::addSlave));
    row->addWidget(
        button(names.modify, QStringLiteral("Modify slave"), &RequestTableFrame::modifySlave));
    row->addWidget(
        button(names.remove, QStringLiteral("Delete slave"), &RequestTableFrame::deleteSlave));
    row->addStretch(1);
    return row;
}

void RequestTableFrame::addSlave()
{
    const SlaveProposal proposal = SlaveProposal::forAdd(m_grid->toTable(), m_chosenRow);
    m_chosenRow = proposal.row;
    openDialog(DialogMode::Add, proposal);
}

// With no request rows there is nothing to modify.
void RequestTableFrame::modifySlave()
{
    const std::optional<SlaveProposal> proposal =
        SlaveProposal::forModify(m_grid->toTable(), m_chosenRow);
    if (!proposal)
        return;
    m_chosenRow = proposal->row;
    openDialog(DialogMode::Modify, *proposal);
}

// Only a request row can be deleted: with no row chosen, or the open row or
// one beyond it, nothing is asked and nothing happens.
void RequestTableFrame::deleteSlave()
{
    if (m_chosenRow < 1 || m_chosenRow > m_grid->rows() - 2)
        return;
    if (!m_dialogs.confirm(this, deleteQuestion))
        return;
    m_grid->deleteRow(m_chosenRow);
    renumber();
}

void RequestTableFrame::openDialog(DialogMode mode, const SlaveProposal &proposal)
{
    m_dialogMode = mode;
    auto *dialog = new SlaveDialog(m_dialogName, m_dialogs, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setStart(proposal.slot, proposal.fields);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { takeRow(dialog->row()); });
    dialog->open();
}

void RequestTableFrame::takeRow(const RequestRow &row)
{
    m_rowBuffer = row;
    if (m_dialogMode == DialogMode::Add) {
        m_grid->appendRow({QStringLiteral("1")});
        renumber();
    }
    Update_grid();
}

void RequestTableFrame::Update_grid()
{
    m_grid->setEnabled(true);
    if (m_dialogMode == DialogMode::Add)
        m_chosenRow = m_grid->rows() - 2;
    const QStringList cells = RequestTable::cells(m_chosenRow, m_rowBuffer);
    for (int c = RequestTable::Address; c < RequestTable::columnCount; ++c)
        m_grid->setText(m_chosenRow, c, cells.at(c));
}

void RequestTableFrame::renumber()
{
    for (int r = 1; r < m_grid->rows(); ++r)
        m_grid->setText(r, RequestTable::Slot, QString::number(r));
}

// The check is that of the cell's own column; a refused value empties it.
void RequestTableFrame::checkCell(int row, int column)
{
    if (cellValueAccepted(column, m_grid->text(row, column)))
        return;
    m_dialogs.message(this, m_uart.cellRefusalFor(column), {}, UserDialogs::Icon::Warning);
    m_grid->setText(row, column, {});
}
