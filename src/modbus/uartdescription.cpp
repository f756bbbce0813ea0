#include "uartdescription.h"

#include "modbus/requesttable.h"

const UartDescription &UartDescription::uart1()
{
    static const QString refusal =
        QStringLiteral("You are enter incorrect value ! Pls use correct value!");
    static const UartDescription uart{1, 0x2008, 0x2502, 0x3600, refusal, refusal, 0};
    return uart;
}

const UartDescription &UartDescription::uart2()
{
    static const UartDescription uart{
        2,
        0x2006,
        0x2902,
        0x3680,
        QStringLiteral("You are enter incorrect value ! Pls use correct value !"),
        QStringLiteral("You are enter incorrect value !  Pls use correct value !"),
        5};
    return uart;
}

QString UartDescription::cellRefusalFor(int column) const
{
    const bool inner = column >= RequestTable::NumWord && column <= RequestTable::Function;
    return inner ? innerCellRefusal : cellRefusal;
}
