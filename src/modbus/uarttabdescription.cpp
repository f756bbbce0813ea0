#include "uarttabdescription.h"

#include "modbus/uartdescription.h"

const UartTabDescription &UartTabDescription::uart1()
{
    static const UartTabDescription tab{.uart = &UartDescription::uart1(),
                                        .generalFrame = QStringLiteral("Frame1"),
                                        .slaveFrame = QStringLiteral("Frame_slave"),
                                        .role = QStringLiteral("Option4"),
                                        .speed = QStringLiteral("Speed_set"),
                                        .parity = QStringLiteral("Parity_set"),
                                        .dataBits = QStringLiteral("Bit_setting"),
                                        .stopBits = QStringLiteral("Stop_bit"),
                                        .write = QStringLiteral("Command19"),
                                        .upload = QStringLiteral("Command20"),
                                        .slaveAddress = QStringLiteral("Text1"),
                                        .slaveTimeout = QStringLiteral("Text2"),
                                        .slaveDownload = {},
                                        .slaveUpload = {},
                                        .table = {.frame = QStringLiteral("Frame_master"),
                                                  .grid = QStringLiteral("grid"),
                                                  .add = QStringLiteral("Command1"),
                                                  .modify = QStringLiteral("Command2"),
                                                  .remove = QStringLiteral("Command3"),
                                                  .dialog = QStringLiteral("Slave")}};
    return tab;
}

const UartTabDescription &UartTabDescription::uart2()
{
    static const UartTabDescription tab{.uart = &UartDescription::uart2(),
                                        .generalFrame = QStringLiteral("Frame13"),
                                        .slaveFrame = QStringLiteral("Frame_slave2"),
                                        .role = QStringLiteral("Option5"),
                                        .speed = QStringLiteral("Speed_set2"),
                                        .parity = QStringLiteral("Parity_set2"),
                                        .dataBits = QStringLiteral("Combo10"),
                                        .stopBits = QStringLiteral("Combo7"),
                                        .write = QStringLiteral("Command7"),
                                        .upload = QStringLiteral("Command26"),
                                        .slaveAddress = QStringLiteral("Text16"),
                                        .slaveTimeout = QStringLiteral("Text5"),
                                        .slaveDownload = QStringLiteral("Command24"),
                                        .slaveUpload = QStringLiteral("Command25"),
                                        .table = {.frame = QStringLiteral("Frame_master2"),
                                                  .grid = QStringLiteral("grid2"),
                                                  .add = QStringLiteral("Command27"),
                                                  .modify = QStringLiteral("Command28"),
                                                  .remove = QStringLiteral("Command29"),
                                                  .dialog = QStringLiteral("Slave2")}};
    return tab;
}
