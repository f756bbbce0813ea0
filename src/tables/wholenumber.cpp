#include "wholenumber.h"

#include <algorithm>

namespace {

constexpr qsizetype maxDigits = 18; // fits a qint64 whatever the digits

bool allDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

} // namespace

std::optional<qint64> unsignedNumber(QStringView text)
{
    if (text.isEmpty() || text.size() > maxDigits || !allDigits(text))
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : text)
        value = value * 10 + (c.unicode() - '0');
    return value;
}

std::optional<qint64> wholeNumber(QStringView text)
{
    text = text.trimmed();
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative || text.startsWith(QLatin1Char('+')))
        text = text.sliced(1);
    const std::optional<qint64> value = unsignedNumber(text);
    if (!value)
        return std::nullopt;
    return negative ? -*value : *value;
}
