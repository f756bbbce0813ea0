#pragma once

#include <QLocale>
#include <QString>

#include <optional>

// The float / IEEE-754 converter: a decimal number to the eight hex digits
// of its single-precision form, most significant byte first (1.5 is
// 3FC00000), and back.
namespace FloatConverter {

inline const QString emptyNumber = QStringLiteral("Incorrect value for conversion to IEEE format!");
inline const QString wrongLength =
    QStringLiteral("Incorrect value for conversion to float format!");

// The result, or the message that says why there is none.
struct Converted
{
    std::optional<QString> text;
    QString error;
};

// "To IEEE": the first comma becomes a point, and the text is read with the
// point as its decimal separator whatever the user's format; the locale's
// own minus and plus signs, decimal separator, exponent sign and digits are
// read as well, so what "To float" shows converts back. "NaN", "inf" and
// "-inf" are taken too. The decimal value is rounded to single precision
// once, to the nearest (ties to even); a value beyond single precision's
// range, or one not zero that would round to zero, is refused. Eight
// upper-case hex digits.
Converted toIeee(const QString &number, const QLocale &locale = QLocale());
// "To float": exactly eight hex digits, upper or lower case, to the shortest
// decimal text (at most nine significant digits) that reads back as the
// same single-precision value, in the locale's format without group
// separators; "NaN", "inf" and "-inf" for those.
Converted toFloat(const QString &hex, const QLocale &locale = QLocale());

// What a Modbus device shows of the eight digits ABCD (bytes A to D): the
// four word orders as hex digits, and the two registers in decimal for the
// orders ABCD and CDAB.
QString wordOrders(const QString &hex);

} // namespace FloatConverter
