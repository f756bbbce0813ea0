#include "floatconverter.h"

#include <QtEndian>

#include <bit>
#include <cmath>
#include <limits>

namespace FloatConverter {

namespace {

std::optional<float> specialValue(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("nan"))
        return std::numeric_limits<float>::quiet_NaN();
    if (t == QLatin1String("inf") || t == QLatin1String("+inf"))
        return std::numeric_limits<float>::infinity();
    if (t == QLatin1String("-inf"))
        return -std::numeric_limits<float>::infinity();
    return std::nullopt;
}

QString hexOf(quint32 bits)
{
    return QStringLiteral("%1").arg(bits, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace

Converted toIeee(const QString &number)
{
    if (number.isEmpty())
        return {std::nullopt, emptyNumber};
    QString text = number;
    if (const qsizetype comma = text.indexOf(QLatin1Char(',')); comma >= 0)
        text[comma] = QLatin1Char('.');
    float value = 0;
    if (const std::optional<float> special = specialValue(text)) {
        value = *special;
    } else {
        bool ok = false;
        const double parsed = QLocale::c().toDouble(text.trimmed(), &ok);
        if (!ok)
            return {std::nullopt, QStringLiteral("\"%1\" is not a number").arg(number)};
        if (std::isinf(parsed) || std::fabs(parsed) > double(std::numeric_limits<float>::max()))
            return {std::nullopt,
                    QStringLiteral("%1 is out of single-precision range").arg(number)};
        value = float(parsed);
    }
    return {hexOf(std::bit_cast<quint32>(value)), {}};
}

Converted toFloat(const QString &hex, const QLocale &locale)
{
    if (hex.size() != 8)
        return {std::nullopt, wrongLength};
    bool ok = false;
    const quint32 bits = hex.toUInt(&ok, 16);
    if (!ok || hex.startsWith(QLatin1Char('+')) || hex.startsWith(QLatin1Char('-')))
        return {std::nullopt, QStringLiteral("\"%1\" is not hexadecimal").arg(hex)};
    const float value = std::bit_cast<float>(bits);
    if (std::isnan(value))
        return {QStringLiteral("NaN"), {}};
    if (std::isinf(value))
        return {value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf"), {}};
    // No group separators: "To IEEE" takes the first comma for the decimal
    // point, so "17.089,75" or "17,089.75" would not convert back.
    QLocale plain = locale;
    plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return {plain.toString(double(value), 'g', 7), {}};
}

QString wordOrders(const QString &hex)
{
    const QString a = hex.mid(0, 2), b = hex.mid(2, 2), c = hex.mid(4, 2), d = hex.mid(6, 2);
    const QString abcd = a + b + c + d;
    const QString cdab = c + d + a + b;
    const QString badc = b + a + d + c;
    const QString dcba = d + c + b + a;
    const int high = hex.mid(0, 4).toInt(nullptr, 16);
    const int low = hex.mid(4, 4).toInt(nullptr, 16);
    return QStringLiteral("ABCD %1  CDAB %2  BADC %3  DCBA %4\nRegisters ABCD: %5 %6  "
                          "CDAB: %6 %5")
        .arg(abcd, cdab, badc, dcba)
        .arg(high)
        .arg(low);
}

} // namespace FloatConverter
