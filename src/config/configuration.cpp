#include "configuration.h"

#include "link/inifile.h"
#include "modbus/modbuschoices.h"
#include "onewire/sensortable.h"

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

Configuration withParts(Configuration base, const Configuration &from,
                        const ConfigurationParts &parts)
{
    if (parts.uart1)
        base.uart1 = from.uart1;
    if (parts.uart2)
        base.uart2 = from.uart2;
    if (parts.aux)
        base.aux = from.aux;
    return base;
}

std::optional<TransferResult> plcMemoryClash(const Configuration &configuration,
                                             const ConfigurationParts &written)
{
    if (!written.uart1 && !written.aux)
        return std::nullopt;
    const bool allSensors = configuration.aux.mode == AuxMode::OneWireMaster &&
                            configuration.aux.sensors.size() >= SensorTable::maxSensors;
    const bool requests =
        configuration.uart1.role == ModbusRole::Master && !configuration.uart1.table.isEmpty();
    if (!allSensors || !requests)
        return std::nullopt;
    const int last =
        SensorTable::recordStart + SensorTable::recordBytes * (SensorTable::maxSensors - 1);
    const auto hex = [](int address) {
        return QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper();
    };
    return TransferResult::refusal(
        QStringLiteral("The PLC cannot hold %1 sensors and UART 1's requests at once: the "
                       "%1th sensor's record (%2 to %3) is UART 1's first request. Remove a "
                       "sensor or UART 1's requests.")
            .arg(SensorTable::maxSensors)
            .arg(hex(last), hex(last + SensorTable::recordBytes - 1)),
        SensorTable::errorTitle);
}
