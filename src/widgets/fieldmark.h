#pragma once

#include <QList>
#include <QString>

#include <utility>

class QLineEdit;

// Marks a text box whose value a check refuses as the tables mark a cell:
// the warning colour, and the rule in its tooltip and accessible
// description. An empty rule takes the mark away.
void markField(QLineEdit *field, const QString &rule);
// The rule a marked field shows; empty when it is not marked.
QString fieldMark(const QLineEdit *field);

// Marks the fields of a form: each field at fault with its rule, in the
// order of its check, and takes the marks off the others. Returns the first
// field at fault, or none.
using FieldFault = std::pair<QLineEdit *, QString>;
QLineEdit *markFields(const QList<QLineEdit *> &fields, const QList<FieldFault> &faults);
