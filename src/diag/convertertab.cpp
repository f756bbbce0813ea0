#include "convertertab.h"

#include "diag/floatconverter.h"
#include "widgets/framebox.h"
#include "widgets/tabcontext.h"
#include "widgets/userdialogs.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLineEdit *box(const char *name, bool readOnly, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(readOnly);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 16);
    return edit;
}

QLabel *ordersLine(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Room for the longest lines, so that the frame keeps its size.
    label->setMinimumSize(label->fontMetrics()
                              .boundingRect(QRect(), 0,
                                            FloatConverter::wordOrders(QStringLiteral("DDDDDDDD")) +
                                                QStringLiteral("00000"))
                              .size());
    return label;
}

} // namespace

ConverterTab::ConverterTab(TabContext &context, QWidget *parent)
    : QWidget(parent), m_context(context)
{
    auto *frame = frameBox(QStringLiteral("Frame10"),
                           QStringLiteral("Floating-point number to IEEE converter"), this);
    m_number = box("Text13", false, frame);
    m_ieee = box("Text12", true, frame);
    m_ieeeOrders = ordersLine("Text12_orders", frame);
    m_hex = box("Text15", false, frame);
    m_hex->setPlaceholderText(QStringLiteral("8 hex digits, no 0x"));
    m_hex->setToolTip(QStringLiteral("8 hex digits, no 0x: an IEEE-754 single-precision number"));
    m_float = box("Text14", true, frame);
    m_floatOrders = ordersLine("Text15_orders", frame);
    auto *toIeee = new QPushButton(QStringLiteral("&To IEEE"), frame);
    toIeee->setObjectName(QStringLiteral("Command22"));
    connect(toIeee, &QPushButton::clicked, this, &ConverterTab::toIeee);
    auto *toFloat = new QPushButton(QStringLiteral("To fl&oat"), frame);
    toFloat->setObjectName(QStringLiteral("Command23"));
    connect(toFloat, &QPushButton::clicked, this, &ConverterTab::toFloat);
    connect(m_number, &QLineEdit::returnPressed, toIeee, &QPushButton::click);
    connect(m_hex, &QLineEdit::returnPressed, toFloat, &QPushButton::click);

    auto *form = new QFormLayout(frame);
    form->addRow(QStringLiteral("Floating-point number:"), m_number);
    form->addRow(QString(), toIeee);
    form->addRow(QStringLiteral("IEEE-754, hex:"), m_ieee);
    form->addRow(QString(), m_ieeeOrders);
    form->addRow(QStringLiteral("IEEE-754, hex, to convert:"), m_hex);
    form->addRow(QString(), toFloat);
    form->addRow(QStringLiteral("Floating-point value:"), m_float);
    form->addRow(QString(), m_floatOrders);

    // The converter keeps its natural size in the top left corner.
    auto *layout = new QGridLayout(this);
    layout->addWidget(frame, 0, 0);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);
}

void ConverterTab::toIeee()
{
    const FloatConverter::Converted converted = FloatConverter::toIeee(m_number->text());
    if (!converted.text)
        return m_context.dialogs().message(this, converted.error, {}, UserDialogs::Icon::Warning);
    m_ieee->setText(*converted.text);
    m_ieeeOrders->setText(FloatConverter::wordOrders(*converted.text));
}

void ConverterTab::toFloat()
{
    const FloatConverter::Converted converted = FloatConverter::toFloat(m_hex->text());
    if (!converted.text)
        return m_context.dialogs().message(this, converted.error, {}, UserDialogs::Icon::Warning);
    m_float->setText(*converted.text);
    m_floatOrders->setText(FloatConverter::wordOrders(m_hex->text().toUpper()));
}
