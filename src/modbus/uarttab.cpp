#include "uarttab.h"

#include "modbus/modbuschoices.h"
#include "workspace/framebox.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QVBoxLayout>

namespace {

QComboBox *listOf(const QString &name, const QStringList &items, QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    // Nothing is chosen until start-up, a configuration load or an upload
    // chooses an item.
    list->setCurrentIndex(-1);
    return list;
}

// Disables a list together with its label.
void makeInactive(QFormLayout *form, QComboBox *list)
{
    list->setEnabled(false);
    form->labelForField(list)->setEnabled(false);
}

} // namespace

UartTabNames UartTab::uart1Names()
{
    return {QStringLiteral("Frame_master"), QStringLiteral("Frame_slave"),
            QStringLiteral("Frame1"),       QStringLiteral("grid"),
            QStringLiteral("Speed_set"),    QStringLiteral("Parity_set"),
            QStringLiteral("Bit_setting"),  QStringLiteral("Stop_bit")};
}

UartTabNames UartTab::uart2Names()
{
    return {QStringLiteral("Frame_master2"), QStringLiteral("Frame_slave2"),
            QStringLiteral("Frame13"),       QStringLiteral("grid2"),
            QStringLiteral("Speed_set2"),    QStringLiteral("Parity_set2"),
            QStringLiteral("Combo10"),       QStringLiteral("Combo7")};
}

UartTab::UartTab(UartTabNames names, QWidget *parent) : QWidget(parent), m_names(std::move(names))
{
    auto *master =
        frameBox(m_names.masterFrame, QStringLiteral("Modbus master configuration"), this);
    auto *slave = frameBox(m_names.slaveFrame, QStringLiteral("Modbus slave setting"), this);

    // The general settings stay in the left column in every role; the master
    // and slave frames come and go beside and below them.
    auto *layout = new QGridLayout(this);
    layout->addWidget(buildGeneralFrame(), 0, 0);
    layout->addWidget(slave, 1, 0);
    layout->addWidget(master, 0, 1, 3, 1);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(1, 1);
}

QGroupBox *UartTab::buildGeneralFrame()
{
    auto *frame = frameBox(m_names.generalFrame, QStringLiteral("Modbus general setting"), this);
    auto *layout = new QVBoxLayout(frame);
    // The role buttons come above the line settings, the transfer buttons below.
    layout->addLayout(buildLineSettings());
    return frame;
}

QFormLayout *UartTab::buildLineSettings()
{
    using namespace ModbusChoices;
    m_speed = listOf(m_names.speed, speeds, this);
    m_parity = listOf(m_names.parity, parities, this);
    m_dataBits = listOf(m_names.dataBits, dataBits, this);
    m_stopBits = listOf(m_names.stopBits, stopBits, this);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Speed setting:"), m_speed);
    form->addRow(QStringLiteral("Parity setting"), m_parity);
    form->addRow(QStringLiteral("Bit number:"), m_dataBits);
    form->addRow(QStringLiteral("Stop bit"), m_stopBits);
    makeInactive(form, m_dataBits);
    makeInactive(form, m_stopBits);
    return form;
}
