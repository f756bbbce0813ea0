#include "optiongroup.h"

#include <QLayout>
#include <QRadioButton>

OptionGroup::OptionGroup(const QString &name, const QStringList &captions, QWidget *parent,
                         QLayout *layout)
    : QButtonGroup(parent)
{
    setObjectName(name);
    for (int i = 0; i < captions.size(); ++i) {
        auto *button = new QRadioButton(captions.at(i), parent);
        button->setObjectName(name + QLatin1Char('_') + QString::number(i));
        addButton(button, i);
        layout->addWidget(button);
    }
    connect(this, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            Q_EMIT chosen(id);
    });
}

void OptionGroup::select(int index)
{
    QAbstractButton *option = button(index);
    if (option->isChecked())
        Q_EMIT chosen(index);
    else
        option->setChecked(true);
}
