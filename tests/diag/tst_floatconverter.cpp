#include "diag/floatconverter.h"

#include <QRandomGenerator>
#include <QTest>

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
    QTest::newRow("beyond single precision") << "1e39"
                                             << ""
                                             << "1e39 is out of single-precision range";
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

// Any float's digits come back, through its text of seven significant
// digits, as a float no further than that text's precision; and a number
// of seven significant digits comes back as the same text.
void TestFloatConverter::roundTrips()
{
    QRandomGenerator random(6301);
    for (int i = 0; i < 2000; ++i) {
        const quint32 bits = random.generate();
        const float value = std::bit_cast<float>(bits);
        if (!std::isfinite(value) || std::fpclassify(value) == FP_SUBNORMAL)
            continue;
        const QString hex = QStringLiteral("%1").arg(bits, 8, 16, QLatin1Char('0'));
        const QString text = *FloatConverter::toFloat(hex, QLocale::c()).text;
        const QString again = *FloatConverter::toIeee(text).text;
        const float back = std::bit_cast<float>(again.toUInt(nullptr, 16));
        QVERIFY2(std::fabs(back - value) <= std::fabs(value) * 1e-6f,
                 qPrintable(hex + u' ' + text + u' ' + again));

        const QString number = QLocale::c().toString(random.bounded(2e6) - 1e6, 'g', 7);
        QCOMPARE(*FloatConverter::toFloat(*FloatConverter::toIeee(number).text, QLocale::c()).text,
                 QLocale::c().toString(double(number.toFloat()), 'g', 7));
    }
}

void TestFloatConverter::wordOrders()
{
    QCOMPARE(FloatConverter::wordOrders(u"3FC00000"_s),
             u"ABCD 3FC00000  CDAB 00003FC0  BADC C03F0000  DCBA 0000C03F\n"
             "Registers ABCD: 16320 0  CDAB: 0 16320"_s);
}

QTEST_GUILESS_MAIN(TestFloatConverter)
#include "tst_floatconverter.moc"
