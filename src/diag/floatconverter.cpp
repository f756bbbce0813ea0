#include "floatconverter.h"

#include <QtEndian>

#include <QRegularExpression>

#include <bit>
#include <charconv>
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

// The text in the plain form a reader takes: the locale's signs, decimal
// separator, exponent sign and digits as ASCII, and no marks of direction.
QString plainNumber(QString text, const QLocale &locale)
{
    const auto unmarked = [](QString t) {
        t.removeIf([](QChar c) { return c.category() == QChar::Other_Format; });
        return t;
    };
    text = unmarked(text);
    if (const qsizetype comma = text.indexOf(QLatin1Char(',')); comma >= 0)
        text[comma] = QLatin1Char('.');
    const auto replace = [&](const QString &from, QLatin1Char to) {
        const QString own = unmarked(from);
        if (!own.isEmpty() && own != QString(to))
            text.replace(own, QString(to));
    };
    // The exponent first: some locales write it with their own digits.
    replace(locale.exponential(), QLatin1Char('e'));
    replace(locale.negativeSign(), QLatin1Char('-'));
    replace(locale.positiveSign(), QLatin1Char('+'));
    if (locale.decimalPoint() != QLatin1String(","))
        replace(locale.decimalPoint(), QLatin1Char('.'));
    text.replace(QChar(0x2212), QLatin1Char('-'));
    for (QChar &c : text) {
        if (c.unicode() >= 0x80 && c.isDigit())
            c = QChar(u'0' + c.digitValue());
    }
    return text.trimmed();
}

// Whether a decimal text's value is at least 1 in size: its first digit
// that is not zero stands before the point, once the exponent is applied.
bool atLeastOne(const QString &text)
{
    const qsizetype e = text.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    const QString mantissa = text.left(e < 0 ? text.size() : e);
    qint64 exponent = 0;
    if (e >= 0) {
        bool ok = false;
        exponent = text.mid(e + 1).toLongLong(&ok);
        if (!ok) // more digits than a whole number holds
            return !text.mid(e + 1).startsWith(QLatin1Char('-'));
    }
    const qsizetype point = mantissa.indexOf(QLatin1Char('.'));
    const qsizetype first = mantissa.indexOf(QRegularExpression(QStringLiteral("[1-9]")));
    const qsizetype end = point < 0 ? mantissa.size() : point;
    // The power of ten of the first digit, from 0 for the units.
    const qint64 power = first < end ? end - first - 1 : end - first;
    return power + exponent >= 0;
}

} // namespace

Converted toIeee(const QString &number, const QLocale &locale)
{
    if (number.isEmpty())
        return {std::nullopt, emptyNumber};
    const QString text = plainNumber(number, locale);
    if (const std::optional<float> special = specialValue(text))
        return {hexOf(std::bit_cast<quint32>(*special)), {}};
    static const QRegularExpression decimal(
        QStringLiteral("^[+-]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][+-]?[0-9]+)?$"));
    if (!decimal.match(text).hasMatch())
        return {std::nullopt, QStringLiteral("\"%1\" is not a number").arg(number)};
    const QByteArray digits = (text.startsWith(QLatin1Char('+')) ? text.mid(1) : text).toLatin1();
    float value = 0;
    const std::from_chars_result read =
        std::from_chars(digits.data(), digits.data() + digits.size(), value);
    const qsizetype mantissaEnd = text.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    const bool zero = !text.left(mantissaEnd < 0 ? text.size() : mantissaEnd)
                           .contains(QRegularExpression(QStringLiteral("[1-9]")));
    const bool outOfRange =
        read.ec == std::errc::result_out_of_range || std::isinf(value) || (value == 0 && !zero);
    if (read.ec != std::errc() && !outOfRange)
        return {std::nullopt, QStringLiteral("\"%1\" is not a number").arg(number)};
    if (outOfRange)
        return {std::nullopt,
                atLeastOne(text)
                    ? QStringLiteral("%1 is too large for single precision").arg(number)
                    : QStringLiteral("%1 is too small for single precision: it would be 0")
                          .arg(number)};
    return {hexOf(std::bit_cast<quint32>(value)), {}};
}

Converted toFloat(const QString &hex, const QLocale &locale)
{
    if (hex.size() != 8)
        return {std::nullopt, wrongLength};
    static const QRegularExpression digits(QStringLiteral("^[0-9A-Fa-f]{8}$"));
    if (!digits.match(hex).hasMatch())
        return {std::nullopt, QStringLiteral("\"%1\" is not hexadecimal").arg(hex)};
    const float value = std::bit_cast<float>(hex.toUInt(nullptr, 16));
    if (std::isnan(value))
        return {QStringLiteral("NaN"), {}};
    if (std::isinf(value))
        return {value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf"), {}};
    // The fewest digits that read back as the same float.
    int precision = 1;
    for (; precision < 9; ++precision) {
        const QByteArray text = QByteArray::number(double(value), 'g', precision);
        float back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        if (std::bit_cast<quint32>(back) == std::bit_cast<quint32>(value))
            break;
    }
    // No group separators: "To IEEE" takes the first comma for the decimal
    // point, so "17.089,75" or "17,089.75" would not convert back.
    QLocale plain = locale;
    plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return {plain.toString(double(value), 'g', precision), {}};
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
