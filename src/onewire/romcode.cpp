#include "romcode.h"

#include <array>

namespace RomCode {

namespace {

struct Family
{
    quint8 code;
    const char *name;
};

constexpr std::array<Family, 10> families = {{
    {0x28, "DS18B20 temperature sensor"},
    {0x10, "DS18S20 temperature sensor"},
    {0x22, "DS1822 temperature sensor"},
    {0x3B, "DS1825 temperature sensor"},
    {0x26, "DS2438 battery monitor"},
    {0x01, "DS2401 serial number"},
    {0x1D, "DS2423 counter"},
    {0x12, "DS2406 switch"},
    {0x29, "DS2408 switch"},
    {0x3A, "DS2413 switch"},
}};

} // namespace

quint8 crc8(QByteArrayView bytes)
{
    quint8 crc = 0;
    for (char c : bytes) {
        quint8 byte = quint8(c);
        for (int bit = 0; bit < 8; ++bit) {
            const bool mix = (crc ^ byte) & 0x01;
            crc >>= 1;
            if (mix)
                crc ^= 0x8C;
            byte >>= 1;
        }
    }
    return crc;
}

bool crcMatches(QByteArrayView code)
{
    return code.size() == 8 && crc8(code.first(7)) == quint8(code.at(7));
}

QString family(quint8 code)
{
    for (const Family &f : families) {
        if (f.code == code)
            return QString::fromLatin1(f.name);
    }
    return QStringLiteral("unknown family (0x%1)")
        .arg(QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper());
}

} // namespace RomCode
