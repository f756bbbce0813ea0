#pragma once

#include "config/configuration.h"

// A small site: UART 1 a master with one request, UART 2 a slave, the
// auxiliary port a 1-wire master with one sensor.
inline Configuration sampleConfiguration()
{
    Configuration c = Configuration::defaults();
    c.uart1.role = ModbusRole::Master;
    c.uart1.table = {{"1", "1", "10", "0", "100", "1", "1000"}};
    c.uart2.role = ModbusRole::Slave;
    c.uart2.slaveAddress = QStringLiteral("12");
    c.aux.mode = AuxMode::OneWireMaster;
    c.aux.sensors = {{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"}};
    return c;
}
