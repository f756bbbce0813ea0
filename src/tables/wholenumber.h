#pragma once

#include <QStringView>

#include <optional>

// Readers of the numbers the user types into the tables and text boxes. Both
// refuse what is not a whole number instead of reading a prefix or zero.

// Optional blanks around, an optional sign, then 1 to 18 decimal digits.
std::optional<qint64> wholeNumber(QStringView text);

// Decimal digits only (no sign, no blanks), 1 to 18 of them.
std::optional<qint64> unsignedNumber(QStringView text);
