#include "configuration.h"

#include "link/inifile.h"
#include "modbus/modbuschoices.h"

Configuration Configuration::defaults()
{
    return {};
}

Configuration Configuration::startUp(const QString &iniFile)
{
    const QString section = QStringLiteral("COM_MB");
    Configuration configuration = defaults();
    configuration.uart1.dataBits = Ini_read_index(iniFile, section, QStringLiteral("Bit_num"),
                                                  int(ModbusChoices::dataBits.size()));
    configuration.uart1.stopBits = Ini_read_index(iniFile, section, QStringLiteral("Stop_bit"),
                                                  int(ModbusChoices::stopBits.size()));
    return configuration;
}
