#include "plcframe.h"

#include <array>

namespace PlcFrame {

QByteArray checksum(QByteArrayView text)
{
    unsigned sum = 0;
    for (char c : text)
        sum += static_cast<unsigned char>(c);
    return hexDigits(sum & 0xFFu, 2);
}

QByteArray request(QByteArrayView command, QByteArrayView address, QByteArrayView count,
                   QByteArrayView data)
{
    QByteArray body;
    body.reserve(command.size() + address.size() + count.size() + data.size() + 1);
    body.append(command).append(address).append(count).append(data).append(ETX);
    return STX + body + checksum(body);
}

QByteArray commandText(PlcCommand command)
{
    switch (command) {
    case PlcCommand::ReadWord:
        return QByteArrayLiteral("0");
    case PlcCommand::Read:
        return QByteArrayLiteral("E00");
    case PlcCommand::Command:
        return QByteArrayLiteral("E10");
    case PlcCommand::Write:
        break;
    }
    return QByteArrayLiteral("E11");
}

QByteArray hexDigits(unsigned value, int width)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

QByteArray request(PlcCommand command, quint16 address, int count, QByteArrayView data)
{
    Q_ASSERT(count >= 0 && count <= 0xFF);
    return request(commandText(command), hexDigits(address, 4), hexDigits(unsigned(count), 2),
                   data.toByteArray().toHex().toUpper());
}

QByteArray dataAnswer(QByteArrayView digits)
{
    QByteArray body = digits.toByteArray() + ETX;
    return STX + body + checksum(body);
}

bool isHexDigits(QByteArrayView text)
{
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

QString readable(QByteArrayView bytes)
{
    static constexpr std::array<const char *, 0x20> names = {
        "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
        "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
        "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    QString out;
    for (char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        if (code < names.size())
            out += QLatin1Char('<') + QLatin1String(names[code]) + QLatin1Char('>');
        else if (code < 0x7F)
            out += QLatin1Char(c);
        else
            out += QStringLiteral("<%1>").arg(code, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

} // namespace PlcFrame

qint32 Hex_to_int(QStringView text)
{
    qint64 value = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        int digit = 0;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        else
            return 0;
        value = value * 16 + digit;
        if (value > 0x7FFFFFFF)
            return 0;
    }
    return static_cast<qint32>(value);
}
