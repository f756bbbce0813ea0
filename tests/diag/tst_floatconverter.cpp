#include "diag/floatconverter.h"

#include <QRandomGenerator>
#include <QTest>

#include <array>
#include <bit>
#include <cmath>

using namespace Qt::StringLiterals;

// The float / IEEE-754 conversion both ways.
class TestFloatConverter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toIeee_data();
    void toIeee();
    void toFloat_data();
    void toFloat();
    void roundTrips();
    void wordOrders();
};

void TestFloatConverter::toIeee_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("hex"); // empty: refused
    QTest::addColumn<QString>("error");
    QTest::newRow("1,5") << "1,5"
                         << "3FC00000"
                         << "";
    QTest::newRow("1.5") << "1.5"
                         << "3FC00000"
                         << "";
    QTest::newRow("0: eight zeros") << "0"
                                    << "00000000"
                                    << "";
    QTest::newRow("-2") << "-2"
                        << "C0000000"
                        << "";
    QTest::newRow("a byte of 5 shows 05") << "2.0000012"
                                          << "40000005"
                                          << "";
    QTest::newRow("NaN") << "NaN"
                         << "7FC00000"
                         << "";
    QTest::newRow("-inf") << "-inf"
                          << "FF800000"
                          << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "Incorrect value for conversion to IEEE format!";
    QTest::newRow("letters") << "abc"
                             << ""
                             << "\"abc\" is not a number";
    QTest::newRow("second comma stays") << "1,5,2"
                                        << ""
                                        << "\"1,5,2\" is not a number";
    // Rounded once from the decimal text: values checked against the exact
    // binary fractions 1 + k * 2^-24 and the bounds of single precision.
    const QList<std::array<const char *, 3>> exact = {
        {"1.00000005960464477539062500000001", "3F800001", ""}, // just above a tie
        {"1.000000059604644775390625", "3F800000", ""},         // the tie: to even
        {"1.000000178813934326171875", "3F800002", ""},         // the next tie: to even
        {"0.1", "3DCCCCCD", ""},
        {"-0", "80000000", ""},
        {"0.000e-99999999999999999999", "00000000", ""},
        {"3.4028235e38", "7F7FFFFF", ""},
        {"1.17549435e-38", "00800000", ""}, // the least normal
        {"1.1754942e-38", "007FFFFF", ""},  // the greatest subnormal
        {"1e-45", "00000001", ""},          // the least subnormal, 2^-149
        {"7.1e-46", "00000001", ""},        // above half of it
        {"\u22122.5", "C0200000", ""},      // U+2212 MINUS SIGN
        {"3.4028236e38", "", "3.4028236e38 is too large for single precision"},
        {"1e39", "", "1e39 is too large for single precision"},
        {"-1e99999999999999999999", "",
         "-1e99999999999999999999 is too large for single precision"},
        {"7e-46", "", "7e-46 is too small for single precision: it would be 0"},
        {"-0.0000001e-40", "", "-0.0000001e-40 is too small for single precision: it would be 0"},
        {"0x10", "", "\"0x10\" is not a number"},
        {"1.5.", "", "\"1.5.\" is not a number"},
    };
    for (const auto &[number, hex, error] : exact)
        QTest::newRow(number) << QString::fromUtf8(number) << hex << error;
}

void TestFloatConverter::toIeee()
{
    QFETCH(QString, number);
    QFETCH(QString, hex);
    const FloatConverter::Converted converted = FloatConverter::toIeee(number);
    QCOMPARE(converted.text.value_or(QString()), hex);
    QTEST(converted.error, "error");
}

void TestFloatConverter::toFloat_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("value"); // empty: refused
    QTest::addColumn<QString>("error");
    QTest::newRow("3fc00000, lower case") << "3fc00000"
                                          << "C"
                                          << "1.5"
                                          << "";
    QTest::newRow("the user's separator") << "3FC00000"
                                          << "de_DE"
                                          << "1,5"
                                          << "";
    // Without group separators, so the text converts back.
    QTest::newRow("thousands, de_DE") << "46858380"
                                      << "de_DE"
                                      << "17089,75"
                                      << "";
    QTest::newRow("thousands, en_US") << "46858380"
                                      << "en_US"
                                      << "17089.75"
                                      << "";
    QTest::newRow("seven digits") << "3F9DF3B6"
                                  << "C"
                                  << "1.234"
                                  << "";
    QTest::newRow("inf") << "7F800000"
                         << "C"
                         << "inf"
                         << "";
    QTest::newRow("NaN") << "7FC00001"
                         << "C"
                         << "NaN"
                         << "";
    QTest::newRow("shortest text that reads back") << "3F800001"
                                                   << "C"
                                                   << "1.0000001"
                                                   << "";
    QTest::newRow("the least subnormal") << "00000001"
                                         << "C"
                                         << "1e-45"
                                         << "";
    QTest::newRow("the greatest float") << "7f7fffff"
                                        << "C"
                                        << "3.4028235e+38"
                                        << "";
    for (const char *wrong : {" 3FC0000", "3FC0000 ", "0x3FC000", "+3FC0000", "-3FC0000"})
        QTest::newRow(wrong) << wrong << "C"
                             << "" << u"\"%1\" is not hexadecimal"_s.arg(QLatin1String(wrong));
    for (const char *wrong : {"3FC0000", "3FC000000", ""})
        QTest::addRow("%d characters", int(strlen(wrong)))
            << wrong << "C"
            << ""
            << "Incorrect value for conversion to float format!";
    QTest::newRow("not hexadecimal") << "3FC0000G"
                                     << "C"
                                     << ""
                                     << "\"3FC0000G\" is not hexadecimal";
}

void TestFloatConverter::toFloat()
{
    QFETCH(QString, hex);
    QFETCH(QString, locale);
    QFETCH(QString, value);
    const FloatConverter::Converted converted = FloatConverter::toFloat(hex, QLocale(locale));
    QCOMPARE(converted.text.value_or(QString()), value);
    QTEST(converted.error, "error");
}

// Every float's text, in any locale, converts back to the same eight digits.
void TestFloatConverter::roundTrips()
{
    QRandomGenerator random(6301);
    const QList<QLocale> locales = {QLocale::c(),        QLocale(u"de_DE"_s), QLocale(u"sv_SE"_s),
                                    QLocale(u"ar_EG"_s), QLocale(u"fa_IR"_s), QLocale(u"hi_IN"_s)};
    for (int i = 0; i < 6000; ++i) {
        const quint32 bits = random.generate() >> (i % 3 == 0 ? 8 : 0); // subnormals too
        if (!std::isfinite(std::bit_cast<float>(bits)))
            continue;
        const QString hex = QStringLiteral("%1").arg(bits, 8, 16, QLatin1Char('0')).toUpper();
        const QLocale &locale = locales.at(i % locales.size());
        const QString text = *FloatConverter::toFloat(hex, locale).text;
        QCOMPARE(FloatConverter::toIeee(text, locale).text.value_or(text + u" refused"_s), hex);
    }
    // The locales' own signs and digits are what is read.
    QCOMPARE(*FloatConverter::toFloat(u"C0200000"_s, QLocale(u"sv_SE"_s)).text, u"\u22122,5"_s);
}

void TestFloatConverter::wordOrders()
{
    QCOMPARE(FloatConverter::wordOrders(u"3FC00000"_s),
             u"ABCD 3FC00000  CDAB 00003FC0  BADC C03F0000  DCBA 0000C03F\n"
             "Registers ABCD: 16320 0  CDAB: 0 16320"_s);
}

QTEST_GUILESS_MAIN(TestFloatConverter)
#include "tst_floatconverter.moc"
