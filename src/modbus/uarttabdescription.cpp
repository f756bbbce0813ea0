#include "uarttabdescription.h"

#include "modbus/uartdescription.h"

const UartTabDescription &UartTabDescription::uart1()
{
    static const UartTabDescription tab{&UartDescription::uart1(),
                                        QStringLiteral("Frame1"),
                                        QStringLiteral("Frame_slave"),
                                        QStringLiteral("Option4"),
                                        QStringLiteral("Speed_set"),
                                        QStringLiteral("Parity_set"),
                                        QStringLiteral("Bit_setting"),
                                        QStringLiteral("Stop_bit"),
                                        QStringLiteral("Command19"),
                                        QStringLiteral("Command20"),
                                        QStringLiteral("Text1"),
                                        QStringLiteral("Text2"),
                                        {},
                                        {},
                                        {QStringLiteral("Frame_master"), QStringLiteral("grid"),
                                         QStringLiteral("Command1"), QStringLiteral("Command2"),
                                         QStringLiteral("Command3"), QStringLiteral("Slave")}};
    return tab;
}

const UartTabDescription &UartTabDescription::uart2()
{
    static const UartTabDescription tab{&UartDescription::uart2(),
                                        QStringLiteral("Frame13"),
                                        QStringLiteral("Frame_slave2"),
                                        QStringLiteral("Option5"),
                                        QStringLiteral("Speed_set2"),
                                        QStringLiteral("Parity_set2"),
                                        QStringLiteral("Combo10"),
                                        QStringLiteral("Combo7"),
                                        QStringLiteral("Command7"),
                                        QStringLiteral("Command26"),
                                        QStringLiteral("Text16"),
                                        QStringLiteral("Text5"),
                                        QStringLiteral("Command24"),
                                        QStringLiteral("Command25"),
                                        {QStringLiteral("Frame_master2"), QStringLiteral("grid2"),
                                         QStringLiteral("Command27"), QStringLiteral("Command28"),
                                         QStringLiteral("Command29"), QStringLiteral("Slave2")}};
    return tab;
}
