#include "fieldmark.h"

#include <QLineEdit>
#include <QPalette>

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
