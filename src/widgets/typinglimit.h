#pragma once

#include <QLineEdit>
#include <QRegularExpressionValidator>

// Lets the user type at most `characters` characters into the box. Unlike a
// maximum length, it never cuts a longer text the program puts there (from
// a file, an upload or a table cell), which would change the value unseen.
inline void limitTyping(QLineEdit *box, int characters)
{
    box->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^.{0,%1}$").arg(characters)), box));
}
