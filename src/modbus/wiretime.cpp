#include "wiretime.h"

#include "modbus/modbuschoices.h"
#include "modbus/requesttable.h"
#include "tables/wholenumber.h"

int wireTimeMs(int function, int count, int speed, int parity)
{
    const int bytesOfBits = (count + 7) / 8;
    int out = 0;
    int back = 0;
    switch (function) {
    case 0: // read coils
        out = 8;
        back = 5 + bytesOfBits;
        break;
    case 1: // read holding registers
    case 4: // read input registers
        out = 8;
        back = 5 + 2 * count;
        break;
    case 2: // write multiple registers
        out = 9 + 2 * count;
        back = 8;
        break;
    case 3: // write multiple coils
        out = 9 + bytesOfBits;
        back = 8;
        break;
    default:
        return 0;
    }
    const int baud = ModbusChoices::speeds.value(speed).toInt();
    if (baud <= 0)
        return 0;
    const int bits = parity == 2 ? 10 : 11; // "None" is index 2
    // Both frames and 3.5 characters of silence after each: 7 characters.
    const qint64 total = qint64(2 * (out + back) + 14) * bits; // in half characters' bits
    return int((total * 1000 + 2LL * baud - 1) / (2LL * baud));
}

QString timeoutShortfall(const QStringList &row, int speed, int parity)
{
    const int needed = wireTimeMs(row.value(RequestTable::Function).toInt(),
                                  row.value(RequestTable::NumWord).toInt(), speed, parity);
    const std::optional<qint64> timeout = wholeNumber(row.value(RequestTable::Timeout));
    if (!timeout || needed == 0 || *timeout >= needed)
        return {};
    return QStringLiteral("needs at least %1 ms at %2 baud")
        .arg(needed)
        .arg(ModbusChoices::speeds.value(speed));
}
