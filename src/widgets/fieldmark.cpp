#include "fieldmark.h"

#include <QLineEdit>
#include <QPalette>

#include <algorithm>

namespace {

constexpr char markProperty[] = "plcFieldMark";

} // namespace

void markField(QLineEdit *field, const QString &rule)
{
    if (fieldMark(field) == rule)
        return;
    field->setProperty(markProperty, rule);
    field->setToolTip(rule);
    field->setAccessibleDescription(rule);
    QPalette palette = field->parentWidget() ? field->parentWidget()->palette() : QPalette();
    if (!rule.isEmpty())
        palette.setColor(QPalette::Base, QColor(255, 214, 214));
    field->setPalette(palette);
}

QString fieldMark(const QLineEdit *field)
{
    return field->property(markProperty).toString();
}

QLineEdit *markFields(const QList<QLineEdit *> &fields, const QList<FieldFault> &faults)
{
    for (QLineEdit *field : fields) {
        const auto fault = std::find_if(faults.cbegin(), faults.cend(),
                                        [field](const FieldFault &f) { return f.first == field; });
        markField(field, fault == faults.cend() ? QString() : fault->second);
    }
    return faults.isEmpty() ? nullptr : faults.first().first;
}
