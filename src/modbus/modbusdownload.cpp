#include "modbusdownload.h"

#include "link/portsetup.h"
#include "link/transferrun.h"
#include "modbus/requestcheck.h"

using namespace std::chrono_literals;

namespace {

// The command word after a download: the port is to start with its new
// configuration, or to stop as unused.
constexpr quint16 commandAddress = 0x2002;
const QByteArray startCommand = QByteArray::fromHex("0080");
const QByteArray unusedCommand = QByteArray::fromHex("8000");

// The mode word between the control words, then the command word.
void writeMode(TransferRun &run, const UartDescription &uart, quint16 mode)
{
    run.beginConfiguration();
    run.write(650ms, uart.modeWordAddress, wordData(mode));
}

void finish(TransferRun &run, const QByteArray &commandWord)
{
    run.endConfiguration();
    run.command(650ms, commandAddress, commandWord);
}

void downloadMaster(TransferRun &run, const UartDescription &uart, const UartSettings &settings,
                    const TransferProgress &progress)
{
    const QList<RequestRow> rows = RequestTable::rows(settings.table);
    writeMode(
        run, uart,
        ModeWord::encode(ModbusRole::Master, settings.speed, settings.parity, int(rows.size())));
    run.writeBlocks(650ms, uart.tableStart, RequestRecord::encodeAll(rows),
                    TransferRun::Empty::Write, progress);
    finish(run, startCommand);
    run.pause(100ms);
}

TransferResult download(PlcPort &port, const UartDescription &uart, const UartSettings &settings,
                        int slaveAddress, const TransferProgress &progress)
{
    TransferRun run(port);
    switch (settings.role) {
    case ModbusRole::Master:
        downloadMaster(run, uart, settings, progress);
        break;
    case ModbusRole::Slave:
        writeMode(
            run, uart,
            ModeWord::encode(ModbusRole::Slave, settings.speed, settings.parity, slaveAddress));
        finish(run, startCommand);
        break;
    case ModbusRole::NotUsed:
        writeMode(run, uart, 0);
        finish(run, unusedCommand);
        break;
    }
    return run.result();
}

} // namespace

TransferResult downloadUart(PlcPort &port, const QString &iniFile, const UartDescription &uart,
                            const UartSettings &settings, const TransferProgress &progress)
{
    Port_setup(port, iniFile);
    if (const std::optional<GridError> error = Check_grid(settings.table))
        return TransferResult::refusal(gridErrorMessage(*error), configurationErrorTitle);
    SlaveAddressCheck slave;
    if (settings.role == ModbusRole::Slave) {
        slave = checkSlaveAddress(settings.slaveAddress);
        if (!slave.refusal.isEmpty())
            return TransferResult::refusal(slave.refusal, configurationErrorTitle);
    }
    return download(port, uart, settings, slave.address, progress);
}
