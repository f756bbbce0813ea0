#include "sensordialog.h"

#include "onewire/sensortable.h"
#include "widgets/fieldmark.h"
#include "widgets/typinglimit.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {

// The labels as the form has always shown them.
const std::array<const char *, 8> byteLabels = {"Byte 0", "Byte1",  "Byte 2", "Byte3",
                                                "Byte 4", "Byte 5", "Byte 6", "Byte 7"};

QLineEdit *field(const QString &name, const QString &text, int maxLength, QWidget *parent)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    limitTyping(edit, maxLength);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 8);
    return edit;
}

} // namespace

SensorDialog::SensorDialog(QWidget *parent) : RowDialog(parent)
{
    setObjectName(QStringLiteral("Slave_1wire"));
    setWindowTitle(QStringLiteral("Add/modify 1-wire slave"));

    auto *columns = new QHBoxLayout;
    QFormLayout *form = nullptr;
    for (std::size_t k = 0; k < m_bytes.size(); ++k) {
        if (k % 4 == 0) {
            form = new QFormLayout;
            columns->addLayout(form);
        }
        m_bytes.at(k) = field(QStringLiteral("Text1_%1").arg(k), QStringLiteral("00"), 3, this);
        form->addRow(QLatin1String(byteLabels.at(k)), m_bytes.at(k));
    }
    m_register = field(QStringLiteral("Text2"), QStringLiteral("10"), 4, this);
    for (QLineEdit *edit : m_bytes)
        connect(edit, &QLineEdit::textChanged, this, [this] { markFaults(false); });
    connect(m_register, &QLineEdit::textChanged, this, [this] { markFaults(false); });
    auto *address = new QFormLayout;
    address->addRow(QStringLiteral("Address"), m_register);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok =
        buttons->addButton(QStringLiteral("Add/modify"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("Command2"));
    ok->setDefault(true);
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("Command1"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(address);
    layout->addWidget(buttons);
    // Wide enough for the whole title beside the title bar's buttons, which
    // a window manager draws in a font of its own, often a larger one.
    const int titleWidth = fontMetrics().horizontalAdvance(windowTitle()) * 5 / 4 + 120;
    layout->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Fixed, QSizePolicy::Minimum));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SensorDialog::setStart(const QStringList &bytes, const QString &reg)
{
    for (std::size_t k = 0; k < m_bytes.size(); ++k) {
        if (qsizetype(k) < bytes.size())
            m_bytes.at(k)->setText(bytes.at(qsizetype(k)));
    }
    m_register->setText(reg);
    if (QLineEdit *first = markFaults(true))
        first->setFocus();
}

QLineEdit *SensorDialog::markFaults(bool all)
{
    QList<QLineEdit *> fields(m_bytes.cbegin(), m_bytes.cend());
    fields << m_register;
    QList<FieldFault> faults;
    // The check numbers a row's cells from its slot number on.
    const TextTable row = {QStringList{QStringLiteral("1")} + cells()};
    for (const SensorGridError &fault : sensorGridFaults(row)) {
        QLineEdit *field = fields.at(fault.code);
        if (all || !field->text().isEmpty())
            faults.append({field, QStringLiteral("A download refuses this field: it takes %1")
                                      .arg(sensorGridErrorRange(fault.code))});
    }
    return markFields(fields, faults);
}

QStringList SensorDialog::cells() const
{
    QStringList cells;
    for (const QLineEdit *byte : m_bytes)
        cells << byte->text();
    return cells << m_register->text();
}
