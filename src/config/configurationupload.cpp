#include "configurationupload.h"

#include "config/configurationcompare.h"
#include "link/transferrun.h"
#include "modbus/modbusdownload.h"
#include "modbus/modbusupload.h"
#include "modbus/modeword.h"
#include "modbus/requestcheck.h"
#include "modbus/requesttable.h"
#include "modbus/uartdescription.h"
#include "onewire/auxmodeword.h"
#include "onewire/auxtransfer.h"
#include "onewire/sensortable.h"

using namespace std::chrono_literals;

namespace {

TransferProgress scaled(const TransferProgress &progress, int from, int to)
{
    return [progress, from, to](int percent) {
        reportProgress(progress, from + (to - from) * percent / 100);
    };
}

// The refusal a download of the UART would give before sending anything.
std::optional<TransferResult> uartRefusal(const UartSettings &uart)
{
    if (const std::optional<GridError> error = Check_grid(uart.table))
        return TransferResult::refusal(gridErrorMessage(*error), configurationErrorTitle);
    if (uart.role == ModbusRole::Slave) {
        const SlaveAddressCheck slave = checkSlaveAddress(uart.slaveAddress);
        if (!slave.refusal.isEmpty())
            return TransferResult::refusal(slave.refusal, configurationErrorTitle);
    }
    return std::nullopt;
}

} // namespace

std::optional<TransferResult> clashWithPlc(PlcPort &port, const QString &iniFile,
                                           const Configuration &configuration,
                                           const ConfigurationParts &parts)
{
    const bool requests = parts.uart1 && !parts.aux &&
                          configuration.uart1.role == ModbusRole::Master &&
                          !configuration.uart1.table.isEmpty();
    const bool allSensors = parts.aux && !parts.uart1 &&
                            configuration.aux.mode == AuxMode::OneWireMaster &&
                            configuration.aux.sensors.size() >= SensorTable::maxSensors;
    if (!requests && !allSensors)
        return std::nullopt;
    Configuration held = configuration;
    TransferRun run(port, iniFile);
    if (requests) {
        const std::optional<quint16> word = run.readWord(350ms, AuxModeWord::address);
        if (!word)
            return run.result();
        held.aux.mode = AuxMode::OneWireMaster;
        held.aux.sensors = TextTable(AuxModeWord::sensorCount(*word), QStringList());
    } else {
        const std::optional<ModeWord::Decoded> mode =
            ModeWord::read(run, UartDescription::uart1().modeWordAddress);
        if (!mode)
            return run.result();
        held.uart1.role = ModbusRole::Master;
        held.uart1.table = TextTable(
            mode->kind == ModeWord::Decoded::Kind::Master ? mode->lowByte : 0, QStringList());
    }
    return plcMemoryClash(held, {true, false, true});
}

ConfigurationUpload uploadConfiguration(PlcPort &port, const QString &iniFile,
                                        const Configuration &current,
                                        const TransferProgress &progress,
                                        const ConfigurationParts &parts)
{
    ConfigurationUpload read{TransferResult::success(), {}, {}, {}};
    struct Uart
    {
        bool selected;
        const UartDescription &uart;
        const UartSettings &current;
        std::optional<UartSettings> &into;
        int from, to;
    };
    for (const Uart &u :
         {Uart{parts.uart1, UartDescription::uart1(), current.uart1, read.uart1, 0, 33},
          Uart{parts.uart2, UartDescription::uart2(), current.uart2, read.uart2, 33, 67}}) {
        if (!u.selected)
            continue;
        const UartUpload uart =
            uploadUart(port, iniFile, u.uart, u.current, scaled(progress, u.from, u.to));
        read.result = uart.result;
        u.into = uart.settings;
        if (!read.result.ok)
            return read;
    }
    if (parts.aux) {
        const AuxUpload aux = uploadAux(port, iniFile, current.aux, scaled(progress, 67, 100));
        read.result = aux.result;
        read.aux = aux.settings;
    }
    return read;
}

std::optional<TransferResult> downloadRefusal(const Configuration &configuration,
                                              const ConfigurationParts &parts)
{
    if (const auto clash = plcMemoryClash(configuration, parts))
        return *clash;
    for (const auto &[selected, uart] : {std::pair{parts.uart1, &configuration.uart1},
                                         std::pair{parts.uart2, &configuration.uart2}}) {
        if (const auto refusal = selected ? uartRefusal(*uart) : std::nullopt)
            return *refusal;
    }
    if (parts.aux) {
        if (const auto error = Check_grid_1w(configuration.aux.sensors))
            return TransferResult::refusal(sensorGridErrorMessage(*error), SensorTable::errorTitle);
    }
    return std::nullopt;
}

QStringList refusedSettings(const Configuration &configuration)
{
    QStringList lines;
    for (const auto &[number, uart] :
         {std::pair{1, &configuration.uart1}, std::pair{2, &configuration.uart2}}) {
        if (uart->role != ModbusRole::Slave)
            continue;
        if (const SlaveAddressCheck slave = checkSlaveAddress(uart->slaveAddress);
            !slave.refusal.isEmpty())
            lines << QStringLiteral("UART %1 slave address \"%2\": %3")
                         .arg(number)
                         .arg(uart->slaveAddress, slave.refusal);
    }
    if (const auto clash = plcMemoryClash(configuration, {true, true, true}))
        lines << clash->message;
    return lines;
}

QString RefusedCell::tableName() const
{
    switch (table) {
    case PlcTable::Uart1:
        return QStringLiteral("uart1");
    case PlcTable::Uart2:
        return QStringLiteral("uart2");
    case PlcTable::Sensors:
        break;
    }
    return QStringLiteral("sensors");
}

QString RefusedCell::text() const
{
    const QString where = table == PlcTable::Sensors ? QStringLiteral("1-wire")
                          : table == PlcTable::Uart2 ? QStringLiteral("UART 2")
                                                     : QStringLiteral("UART 1");
    return QStringLiteral("%1 row %2, column %3: \"%4\", not %5")
        .arg(where)
        .arg(row)
        .arg(columnName, value, range);
}

QList<RefusedCell> refusedCells(const Configuration &configuration)
{
    QList<RefusedCell> cells;
    static const QStringList requestColumns = headerFromFormat(RequestTable::format);
    for (const auto &[name, uart] : {std::pair{PlcTable::Uart1, &configuration.uart1},
                                     std::pair{PlcTable::Uart2, &configuration.uart2}}) {
        for (const GridError &error : gridFaults(uart->table)) {
            const QStringList &row = uart->table.at(error.row - 1);
            const int column = gridErrorColumn(error.code);
            cells << RefusedCell{name,
                                 error.row,
                                 column,
                                 requestColumns.value(column).trimmed(),
                                 row.value(column),
                                 gridErrorRange(error.code, row)};
        }
    }
    static const QStringList sensorColumns = headerFromFormat(SensorTable::format);
    for (const SensorGridError &error : sensorGridFaults(configuration.aux.sensors)) {
        const int column = error.code == SensorGridError::Register
                               ? int(SensorTable::Register)
                               : SensorTable::Byte0 + error.code;
        cells << RefusedCell{PlcTable::Sensors,
                             error.row,
                             column,
                             sensorColumns.value(column).trimmed(),
                             configuration.aux.sensors.at(error.row - 1).value(column),
                             sensorGridErrorRange(error.code)};
    }
    return cells;
}

TransferResult downloadConfiguration(PlcPort &port, const QString &iniFile,
                                     const Configuration &configuration,
                                     const TransferProgress &progress,
                                     const ConfigurationParts &parts)
{
    if (const std::optional<TransferResult> refusal = downloadRefusal(configuration, parts))
        return *refusal;
    if (const std::optional<TransferResult> clash =
            clashWithPlc(port, iniFile, configuration, parts))
        return *clash;
    TransferResult result = TransferResult::success();
    if (parts.uart1)
        result = downloadUart(port, iniFile, UartDescription::uart1(), configuration.uart1,
                              scaled(progress, 0, 33));
    if (result.ok && parts.uart2)
        result = downloadUart(port, iniFile, UartDescription::uart2(), configuration.uart2,
                              scaled(progress, 33, 67));
    if (result.ok && parts.aux)
        result = downloadAux(port, iniFile, configuration.aux, scaled(progress, 67, 100));
    return result;
}

ConfigurationCheck verifyConfiguration(PlcPort &port, const QString &iniFile,
                                       const Configuration &configuration,
                                       const TransferProgress &progress,
                                       const ConfigurationParts &parts, const QString &mine)
{
    // A configuration the PLC cannot hold is never what it holds.
    if (const auto clash = plcMemoryClash(configuration, parts))
        return {*clash, {}};
    const ConfigurationUpload read =
        uploadConfiguration(port, iniFile, configuration, progress, parts);
    if (!read.result.ok)
        return {read.result, {}};
    Configuration plc = configuration;
    plc.uart1 = read.uart1.value_or(plc.uart1);
    plc.uart2 = read.uart2.value_or(plc.uart2);
    plc.aux = read.aux.value_or(plc.aux);
    QStringList differences = configurationDifferences(configuration, plc, parts, mine);
    // A mode word that names no role says nothing the configuration could
    // match.
    for (const auto &[selected, read, number] :
         {std::tuple{parts.uart1, read.uart1.has_value(), 1},
          std::tuple{parts.uart2, read.uart2.has_value(), 2}}) {
        if (selected && !read)
            differences.prepend(
                QStringLiteral("UART %1 role: the PLC's mode word names none").arg(number));
    }
    return {read.result, differences};
}
