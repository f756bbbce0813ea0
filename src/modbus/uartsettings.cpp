#include "uartsettings.h"

UartSettings UartSettings::defaults(int uart)
{
    UartSettings settings;
    settings.slaveAddress = QString::number(uart);
    settings.slaveTimeout = QStringLiteral("2");
    if (uart == 1) {
        settings.dataBits = 0;
        settings.stopBits = 0;
    }
    return settings;
}
