#include "linesettingsform.h"

#include "widgets/plccontrols.h"

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
        static const std::array<int, 4> letters = {0, 0, 0, 1};
        QString label = labels.at(row);
        if (description.mnemonics)
            label.insert(letters.at(row), QLatin1Char('&'));
        form->addRow(label, list);
        m_lists.at(row) = list;
    }
}

void LineSettingsForm::makeInactive(Row row)
{
    PlcControls::markNotAvailable(m_lists.at(row));
    if (QWidget *label = m_form->labelForField(m_lists.at(row)))
        PlcControls::markNotAvailable(label);
}
