#include "uarttab.h"

#include "modbus/modbuschoices.h"
#include "modbus/modbusdownload.h"
#include "modbus/modbusupload.h"
#include "modbus/requestcheck.h"
#include "modbus/slavedialog.h"
#include "modbus/slaveproposal.h"
#include "modbus/slavesettingstransfer.h"
#include "modbus/uartdescription.h"
#include "modbus/wiretime.h"
#include "tables/wholenumber.h"
#include "widgets/framebox.h"
#include "widgets/gridview.h"
#include "widgets/linesettingsform.h"
#include "widgets/optiongroup.h"
#include "widgets/tabcontext.h"
#include "widgets/tableframe.h"
#include "widgets/typinglimit.h"
#include "widgets/userdialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

namespace {

const QStringList roleCaptions = {QStringLiteral("Modbus master"), QStringLiteral("Modbus slave"),
                                  QStringLiteral("Not use")};

QLineEdit *boxOf(const QString &name, const QString &text, int maxLength, QWidget *parent)
{
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(name);
    if (maxLength > 0)
        limitTyping(box, maxLength);
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10);
    return box;
}

// Disables a field together with its label.
void makeInactive(QFormLayout *form, QWidget *field)
{
    PlcControls::markNotAvailable(field);
    PlcControls::markNotAvailable(form->labelForField(field));
}

// The dialog "Slave add/modify" starting from the proposal for the table.
RowDialog *slaveDialog(const QString &name, UserDialogs &dialogs, RowMode mode,
                       const GridModel &grid, int &chosenRow, QWidget *parent)
{
    const TextTable entries = grid.entries();
    const std::optional<SlaveProposal> proposal =
        mode == RowMode::Add ? SlaveProposal::forAdd(entries, chosenRow)
                             : SlaveProposal::forModify(entries, chosenRow);
    if (!proposal)
        return nullptr;
    chosenRow = proposal->row;
    auto *dialog = new SlaveDialog(name, dialogs, parent);
    dialog->setStart(proposal->slot, proposal->fields);
    return dialog;
}

// The frame "Modbus master configuration": the request table, its buttons,
// its dialog and the in-cell editor's checks.
TableFrameDescription requestTableFrame(const UartTabDescription &tab, UserDialogs &dialogs)
{
    const RequestTableNames &names = tab.table;
    return {names.frame,
            QStringLiteral("Modbus master configuration"),
            names.grid,
            RequestTable::format,
            names.add,
            names.modify,
            names.remove,
            QStringLiteral("You are shure for delete this sensor?"),
            true,
            0,
            [uart = tab.uart](int column, const QString &text) {
                return cellValueAccepted(column, text) ? QString() : uart->cellRefusalFor(column);
            },
            [&dialogs, name = names.dialog](RowMode mode, const GridModel &grid, int &chosenRow,
                                            QWidget *parent) {
                return slaveDialog(name, dialogs, mode, grid, chosenRow, parent);
            },
            true};
}

} // namespace

UartTab::UartTab(const UartTabDescription &description, TabContext &context, QWidget *parent)
    : PartTab(uartPart(description.uart->number), parent), m_description(description),
      m_context(context),
      m_requestTable(new TableFrame(requestTableFrame(description, context.dialogs()),
                                    context.dialogs(), this))
{
    // The general settings stay in the left column in every role; the master
    // and slave frames come and go beside and below them.
    auto *layout = new QGridLayout(this);
    layout->addWidget(buildGeneralFrame(), 0, 0);
    layout->addWidget(buildSlaveFrame(), 1, 0);
    layout->addWidget(m_requestTable, 0, 1, 3, 1);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(1, 1);
    // The Function column holds an index; its name shows as a tooltip. A
    // timeout the line cannot meet at the port's speed is marked, and so are
    // the cells of a register conflict.
    grid()->grid()->setNotes(m_context.withConflicts(
        uartTable(description.uart->number), [this](const QStringList &cells, int column) {
            if (column == 0)
                return slotHealthNote(cells);
            if (column == RequestTable::Function)
                return GridModel::CellNote{RequestTable::functionName(cells.value(column))};
            if (column == RequestTable::AddressSlave)
                return GridModel::CellNote{RequestTable::modbusReference(cells)};
            if (column != RequestTable::Timeout)
                return GridModel::CellNote{};
            const QString shortfall =
                timeoutShortfall(cells, m_speed->currentIndex(), m_parity->currentIndex());
            return GridModel::CellNote{shortfall, !shortfall.isEmpty()};
        }));
    for (QComboBox *list : {m_speed, m_parity})
        connect(list, &QComboBox::currentIndexChanged, grid()->viewport(),
                qOverload<>(&QWidget::update));
    connect(&m_context, &TabContext::slotHealthChanged, this, [this](ErrorBuffer buffer) {
        if (buffer != healthBuffer())
            return;
        // What the rows held when their slots were read: a row changed since
        // has no health until the next read.
        m_rowsRead =
            m_context.slotHealth(buffer).isEmpty() ? TextTable{} : grid()->grid()->entries();
        grid()->viewport()->update();
    });
    apply(UartSettings::defaults(description.uart->number));
    followEdits();
}

GridView *UartTab::grid() const
{
    return m_requestTable->view();
}

QGroupBox *UartTab::buildGeneralFrame()
{
    auto *frame =
        frameBox(m_description.generalFrame, QStringLiteral("Modbus general setting"), this);
    auto *layout = new QVBoxLayout(frame);
    layout->addLayout(buildRoles(frame));
    layout->addLayout(buildLineSettings(frame));
    layout->addLayout(buildTransfers(frame));
    return frame;
}

QLayout *UartTab::buildRoles(QWidget *frame)
{
    auto *layout = new QVBoxLayout;
    m_roles = new OptionGroup(m_description.role, roleCaptions, frame, layout);
    connect(m_roles, &OptionGroup::chosen, this, &UartTab::Option4_Click);
    return layout;
}

// Nothing is chosen until start-up, a configuration load or an upload
// chooses an item.
QFormLayout *UartTab::buildLineSettings(QWidget *frame)
{
    using namespace ModbusChoices;
    auto *form = new QFormLayout;
    LineSettingsForm line({.names = {m_description.speed, m_description.parity,
                                     m_description.dataBits, m_description.stopBits},
                           .items = {speeds, parities, dataBits, stopBits},
                           .noneChosen = true},
                          form, frame);
    m_speed = line.list(LineSettingsForm::Speed);
    m_parity = line.list(LineSettingsForm::Parity);
    m_dataBits = line.list(LineSettingsForm::DataBits);
    m_stopBits = line.list(LineSettingsForm::StopBits);
    line.makeInactive(LineSettingsForm::DataBits);
    line.makeInactive(LineSettingsForm::StopBits);
    return form;
}

QLayout *UartTab::buildTransfers(QWidget *frame)
{
    auto *layout = new QGridLayout;
    layout->addWidget(addTransfer(m_description.write, QStringLiteral("&Write to PLC"), true,
                                  &UartTab::writeToPlc, frame),
                      0, 0);
    layout->addWidget(addTransfer(m_description.upload, QStringLiteral("&Upload from PLC"), true,
                                  &UartTab::uploadFromPlc, frame),
                      0, 1);
    if (m_description.slaveDownload.isEmpty())
        return layout;
    layout->addWidget(addTransfer(m_description.slaveDownload, QStringLiteral("D&ownload"), false,
                                  &UartTab::downloadSlave, frame),
                      1, 0);
    layout->addWidget(addTransfer(m_description.slaveUpload, QStringLiteral("Up&load"), false,
                                  &UartTab::uploadSlave, frame),
                      1, 1);
    return layout;
}

QPushButton *UartTab::addTransfer(const QString &name, const QString &caption, bool active,
                                  void (UartTab::*handler)(), QWidget *frame)
{
    return m_context.plcButton(name, caption, frame, std::bind(handler, this),
                               active ? TabContext::Availability::Active
                                      : TabContext::Availability::Inactive);
}

QGroupBox *UartTab::buildSlaveFrame()
{
    m_slave = frameBox(m_description.slaveFrame, QStringLiteral("Modbus slave setting"), this);
    m_slaveAddress = boxOf(m_description.slaveAddress, {}, 3, m_slave);
    m_slaveTimeout =
        boxOf(m_description.slaveTimeout, {}, m_description.uart->slaveTimeoutLength, m_slave);
    auto *form = new QFormLayout(m_slave);
    form->addRow(QStringLiteral("MB address"), m_slaveAddress);
    form->addRow(QStringLiteral("Timeout,[msec]"), m_slaveTimeout);
    makeInactive(form, m_slaveTimeout);
    return m_slave;
}

void UartTab::selectRole(int index)
{
    m_roles->select(index);
}

void UartTab::Option4_Click(int index)
{
    m_requestTable->setVisible(index == int(ModbusRole::Master));
    m_slave->setVisible(index == int(ModbusRole::Slave));
    if (index == int(ModbusRole::Master) && m_requestTable->chosenRow() == 0)
        grid()->setEnabled(false);
    m_optionHw = index;
}

UartSettings UartTab::configuration() const
{
    UartSettings settings;
    const int role = m_roles->selected();
    settings.role = role < 0 ? ModbusRole::NotUsed : ModbusRole(role);
    settings.speed = m_speed->currentIndex();
    settings.parity = m_parity->currentIndex();
    settings.dataBits = m_dataBits->currentIndex();
    settings.stopBits = m_stopBits->currentIndex();
    settings.slaveAddress = m_slaveAddress->text();
    settings.slaveTimeout = m_slaveTimeout->text();
    settings.table = grid()->entries();
    return settings;
}

void UartTab::apply(const UartSettings &settings)
{
    if (m_roles->selected() != int(settings.role))
        selectRole(int(settings.role));
    m_speed->setCurrentIndex(settings.speed);
    m_parity->setCurrentIndex(settings.parity);
    m_dataBits->setCurrentIndex(settings.dataBits);
    m_stopBits->setCurrentIndex(settings.stopBits);
    m_slaveAddress->setText(settings.slaveAddress);
    m_slaveTimeout->setText(settings.slaveTimeout);
    setTable(settings.table);
}

// A table that already shows these rows keeps what its open row holds.
void UartTab::setTable(const TextTable &table)
{
    if (table != grid()->entries())
        grid()->setEntries(table);
}

void UartTab::applyUpload(const UartSettings &settings)
{
    selectRole(int(settings.role));
    m_speed->setCurrentIndex(settings.speed);
    m_parity->setCurrentIndex(settings.parity);
    m_slaveAddress->setText(settings.slaveAddress);
    setTable(settings.table);
    grid()->setEnabled(true);
}

// The progress window shows only while a master's table goes out; a table
// that fails the check is refused before anything is sent.
void UartTab::writeToPlc()
{
    if (!m_context.dialogs().confirm(this, downloadQuestion) ||
        !m_context.mayDownload(this, uartPart(m_description.uart->number)))
        return;
    const UartSettings settings = configuration();
    const bool blocks = settings.role == ModbusRole::Master && !Check_grid(settings.table);
    m_context.download(
        this, uartPart(m_description.uart->number),
        [ini = m_context.iniFile(), uart = m_description.uart,
         settings](PlcPort &port, const TransferProgress &progress) {
            return downloadUart(port, ini, *uart, settings, progress);
        },
        blocks ? TabContext::ProgressWindow::Shown : TabContext::ProgressWindow::Hidden);
}

// Everything is read first; the tab changes only once all of it has
// arrived. A full upload may read a table in blocks, so it shows the
// progress window.
void UartTab::uploadFromPlc()
{
    m_context.transfer<UartUpload>(
        this,
        [ini = m_context.iniFile(), uart = m_description.uart,
         current = configuration()](PlcPort &port, const TransferProgress &progress) {
            return uploadUart(port, ini, *uart, current, progress);
        },
        TabContext::ProgressWindow::Shown,
        [this](const UartUpload &read) {
            if (read.settings) {
                m_context.nameNextChange(
                    QStringLiteral("Upload UART %1 from PLC").arg(m_description.uart->number));
                applyUpload(*read.settings);
                Q_EMIT m_context.partRead(uartPart(m_description.uart->number));
            }
        });
}

void UartTab::downloadSlave()
{
    if (!m_context.dialogs().confirm(this, downloadQuestion))
        return;
    m_context.transfer<TransferResult>(
        this,
        [settings = configuration()](PlcPort &port, const TransferProgress &) {
            return downloadSlaveSettings(port, settings);
        },
        TabContext::ProgressWindow::Hidden);
}

void UartTab::uploadSlave()
{
    m_context.transfer<UartUpload>(
        this,
        [ini = m_context.iniFile(), current = configuration()](PlcPort &port,
                                                               const TransferProgress &) {
            return uploadSlaveSettings(port, ini, current);
        },
        TabContext::ProgressWindow::Hidden,
        [this](const UartUpload &read) {
            if (!read.settings)
                return;
            m_speed->setCurrentIndex(read.settings->speed);
            m_parity->setCurrentIndex(read.settings->parity);
            m_slaveAddress->setText(read.settings->slaveAddress);
            m_slaveTimeout->setText(read.settings->slaveTimeout);
        });
}

ErrorBuffer UartTab::healthBuffer() const
{
    return m_description.uart->number == 1 ? ErrorBuffer::Modbus1 : ErrorBuffer::Modbus2;
}

// While a diag tab watches this UART's error buffer, the slot column shows
// each request's slot as the watch last read it.
GridModel::CellNote UartTab::slotHealthNote(const QStringList &cells) const
{
    bool isNumber = false;
    const int slot = cells.value(0).trimmed().toInt(&isNumber);
    const QList<SlotHealth> slots = m_context.slotHealth(healthBuffer());
    if (!isNumber || slot < 1 || slot > slots.size() || m_rowsRead.value(slot - 1) != cells)
        return {};
    const SlotHealth &health = slots.at(slot - 1);
    GridModel::CellNote note;
    note.toolTip = health.toolTip();
    note.mark = health.mark();
    return note;
}
