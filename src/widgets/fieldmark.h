#pragma once

#include <QString>

class QLineEdit;

// Marks a text box whose value a check refuses as the tables mark a cell:
// the warning colour, and the rule in its tooltip and accessible
// description. An empty rule takes the mark away.
void markField(QLineEdit *field, const QString &rule);
// The rule a marked field shows; empty when it is not marked.
QString fieldMark(const QLineEdit *field);
