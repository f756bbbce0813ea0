#include "slavedialog.h"

#include "modbus/requesttable.h"
#include "widgets/fieldmark.h"
#include "widgets/framebox.h"
#include "widgets/userdialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SlaveDialog::SlaveDialog(const QString &name, UserDialogs &dialogs, QWidget *parent)
    : RowDialog(parent), m_dialogs(dialogs)
{
    setObjectName(name);
    setWindowTitle(QStringLiteral("Slave add/modify"));
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::ActionRole);
    ok->setObjectName(QStringLiteral("Command2"));
    ok->setDefault(true);
    QPushButton *close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("Command1"));
    connect(ok, &QPushButton::clicked, this, &SlaveDialog::ok);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildFrame());
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QGroupBox *SlaveDialog::buildFrame()
{
    auto *frame = frameBox(QStringLiteral("Slave_setting"), QStringLiteral("Slave setting"), this);
    auto *form = new QFormLayout(frame);
    m_slot = addField(form, "T_slave", QStringLiteral("Slave number"));
    m_slot->setReadOnly(true);
    m_address = addField(form, "mb_address", QStringLiteral("Slave modbus address"));
    m_function = new QComboBox(frame);
    m_function->setObjectName(QStringLiteral("mb_func"));
    m_function->addItems(RequestTable::functions);
    form->addRow(QStringLiteral("Function type"), m_function);
    m_count = addField(form, "mb_slave_count",
                       QStringLiteral("Word/Coil  number to read/write-slave part"));
    m_slaveAddress =
        addField(form, "mb_slave_addr", QStringLiteral("Slave address point start read/write"));
    m_masterAddress = addField(form, "mb_master_addr",
                               QStringLiteral("Master address to place Word/Coil from slave"));
    m_timeout = addField(form, "mb_timeout", QStringLiteral("Timeout,[msec]"));
    for (QLineEdit *field : {m_address, m_count, m_slaveAddress, m_masterAddress, m_timeout})
        connect(field, &QLineEdit::textChanged, this, [this] { markFaults(false); });
    return frame;
}

QLineEdit *SlaveDialog::fieldOf(DialogFieldFault::Field field) const
{
    switch (field) {
    case DialogFieldFault::Address:
        return m_address;
    case DialogFieldFault::SlaveAddress:
        return m_slaveAddress;
    case DialogFieldFault::Count:
        return m_count;
    case DialogFieldFault::MasterAddress:
        return m_masterAddress;
    case DialogFieldFault::Timeout:
        return m_timeout;
    }
    return m_address;
}

// A field left empty is marked only once OK was pressed: a new request's
// fields start empty.
QLineEdit *SlaveDialog::markFaults(bool all)
{
    QList<FieldFault> faults;
    for (const DialogFieldFault &fault : dialogFieldFaults(fields())) {
        QLineEdit *field = fieldOf(fault.field);
        if (all || !field->text().isEmpty())
            faults.append(
                {field, QStringLiteral("OK refuses this field: it takes %1").arg(fault.range)});
    }
    return markFields({m_address, m_count, m_slaveAddress, m_masterAddress, m_timeout}, faults);
}

QLineEdit *SlaveDialog::addField(QFormLayout *form, const char *name, const QString &label)
{
    auto *field = new QLineEdit(form->parentWidget());
    field->setObjectName(QLatin1String(name));
    field->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
    form->addRow(label, field);
    field->setAccessibleName(label);
    return field;
}

void SlaveDialog::setStart(int slot, const RequestDialogFields &fields)
{
    m_slot->setText(QString::number(slot));
    m_address->setText(fields.address);
    m_function->setCurrentIndex(fields.function);
    m_count->setText(fields.count);
    m_slaveAddress->setText(fields.slaveAddress);
    m_masterAddress->setText(fields.masterAddress);
    m_timeout->setText(fields.timeout);
    if (QLineEdit *first = markFaults(false))
        first->setFocus();
}

RequestDialogFields SlaveDialog::fields() const
{
    return {m_address->text(),       m_slaveAddress->text(), m_count->text(),
            m_masterAddress->text(), m_timeout->text(),      m_function->currentIndex()};
}

// The fields are checked in the order of checkDialogFields(); a function
// list without a chosen item (from a table cell that named none) comes last.
void SlaveDialog::ok()
{
    const RequestDialogFields entered = fields();
    const DialogCheck check = checkDialogFields(entered);
    if (!check.row) {
        // The refusal's text stays as it is; the marks show every field at
        // fault, and the first takes the typing.
        // A second line names the field and what it takes, which the mark's
        // tooltip says only to a mouse.
        QLineEdit *first = markFaults(true);
        const QList<DialogFieldFault> faults = dialogFieldFaults(entered);
        refuse(faults.isEmpty()
                   ? check.refusal
                   : QStringLiteral("%1\n%2 takes %3")
                         .arg(check.refusal, fieldOf(faults.first().field)->accessibleName(),
                              faults.first().range));
        if (first) {
            first->setFocus();
            first->selectAll();
        }
        return;
    }
    if (entered.function < 0)
        return refuse(QStringLiteral("You put wrong value  ") + m_function->currentText());
    m_row = *check.row;
    accept();
}

QStringList SlaveDialog::cells() const
{
    return RequestTable::cells(0, m_row).mid(1);
}

void SlaveDialog::refuse(const QString &text)
{
    m_dialogs.message(this, text, dataErrorTitle, UserDialogs::Icon::Warning);
}
