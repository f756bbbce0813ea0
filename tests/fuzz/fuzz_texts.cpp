// Reads any text the way the tool reads what a user types or pastes: whole
// numbers, the converter's numbers and hex digits, the parts of a
// configuration, ROM code bytes and rows pasted from a spreadsheet.
#include "config/configurationparts.h"
#include "diag/floatconverter.h"
#include "fuzzinput.h"
#include "modbus/requesttable.h"
#include "onewire/romcode.h"
#include "onewire/sensortable.h"
#include "tables/texttable.h"
#include "tables/wholenumber.h"

#include <QRegularExpression>

namespace {

void checkNumbers(const QString &text)
{
    if (const std::optional<qint64> value = wholeNumber(text))
        FUZZ_CHECK(wholeNumber(QString::number(*value)) == value);
    if (const std::optional<qint64> value = unsignedNumber(text))
        FUZZ_CHECK(*value >= 0 &&
                   QString::number(*value) ==
                       QString(text).remove(QRegularExpression(QStringLiteral("^0+(?=.)"))));
}

void checkConverter(const QString &text)
{
    const FloatConverter::Converted ieee = FloatConverter::toIeee(text);
    FUZZ_CHECK(ieee.text.has_value() == ieee.error.isEmpty());
    if (ieee.text) {
        FUZZ_CHECK(ieee.text->size() == 8);
        FUZZ_CHECK(FloatConverter::toFloat(*ieee.text).text.has_value());
        FloatConverter::wordOrders(*ieee.text);
    }
    for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::German)}) {
        const FloatConverter::Converted number = FloatConverter::toFloat(text, locale);
        FUZZ_CHECK(number.text.has_value() == number.error.isEmpty());
        if (number.text)
            FUZZ_CHECK(FloatConverter::toIeee(*number.text).text.has_value());
    }
    FloatConverter::wordOrders(text);
}

// Pasted rows carry the table's columns, numbered from 1; copied out and
// pasted again they are the same rows.
void checkPaste(const QString &text, const QString &format)
{
    const QStringList header = headerFromFormat(format);
    const PastedRows pasted = pastedRows(text, header);
    FUZZ_CHECK(pasted.rows.isEmpty() || pasted.refusal.isEmpty());
    for (qsizetype n = 0; n < pasted.rows.size(); ++n) {
        FUZZ_CHECK(pasted.rows[n].size() == header.size());
        FUZZ_CHECK(pasted.rows[n].first() == QString::number(n + 1));
        if (pasted.rows[n].join(QString()).contains(QLatin1Char('\t')))
            return;
    }
    FUZZ_CHECK(pastedRows(tableText(header, pasted.rows), header).rows == pasted.rows);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);
    checkNumbers(text);
    checkConverter(text.left(64));
    ConfigurationParts::fromText(text);
    if (bytes.size() >= 8)
        FUZZ_CHECK(RomCode::crcMatches(bytes.first(8)) ==
                   (RomCode::crc8(bytes.first(7)) == quint8(bytes[7])));
    RomCode::family(bytes.isEmpty() ? 0 : quint8(bytes[0]));
    checkPaste(text, RequestTable::format);
    checkPaste(text, SensorTable::format);
    return 0;
}
