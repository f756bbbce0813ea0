#include "linesettingsform.h"

#include <QComboBox>
#include <QFormLayout>

LineSettingsForm::LineSettingsForm(const LineSettingsDescription &description, QFormLayout *form,
                                   QWidget *parent)
    : m_form(form)
{
    static const std::array<QString, 4> labels = {
        QStringLiteral("Speed setting:"), QStringLiteral("Parity setting"),
        QStringLiteral("Bit number:"), QStringLiteral("Stop bit")};
    for (int row = Speed; row <= StopBits; ++row) {
        auto *list = new QComboBox(parent);
        list->setObjectName(description.names.at(row));
        list->addItems(description.items.at(row));
        if (description.noneChosen)
            list->setCurrentIndex(-1);
        form->addRow(labels.at(row), list);
        m_lists.at(row) = list;
    }
}

void LineSettingsForm::makeInactive(Row row)
{
    m_lists.at(row)->setEnabled(false);
    if (QWidget *label = m_form->labelForField(m_lists.at(row)))
        label->setEnabled(false);
}
