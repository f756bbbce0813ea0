#include "modbusdownload.h"

#include "link/portsetup.h"
#include "modbus/requestcheck.h"
#include "modbus/transferrun.h"

using namespace std::chrono_literals;

namespace {

const QString commandAddress = QStringLiteral("2002");
constexpr qsizetype blockDigits = 128; // 64 bytes, the most a frame carries

void beginConfiguration(TransferRun &run, const UartDescription &uart, quint16 mode)
{
    run.write(1000ms, blockWrite, controlWordAddress, QStringLiteral("0FFF"));
    run.write(650ms, blockWrite, uart.modeWordAddress, wordToTransfer(mode));
}

void endConfiguration(TransferRun &run, const QString &commandWord)
{
    run.write(1000ms, blockWrite, controlWordAddress, QStringLiteral("0000"));
    run.command(650ms, commandAddress, commandWord);
}

// A table shorter than one block goes in one write (an empty one with count
// 00); a longer one in blocks, each followed by a step of progress and a pause.
void writeTable(TransferRun &run, quint16 start, const QString &text,
                const TransferProgress &progress)
{
    if (text.size() < blockDigits) {
        if (run.write(650ms, blockWrite, hexText(start, 4), text))
            reportProgress(progress, 100);
        return;
    }
    for (qsizetype sent = 0; sent < text.size(); sent += blockDigits) {
        const QString block = text.mid(sent, blockDigits);
        if (!run.write(650ms, blockWrite, hexText(int(start + sent / 2), 4), block))
            return;
        reportProgress(progress, int(100 * (sent + block.size()) / text.size()));
        run.pause(100ms);
    }
}

void downloadMaster(TransferRun &run, const UartDescription &uart, const UartSettings &settings,
                    const TransferProgress &progress)
{
    const QList<RequestRow> rows = RequestTable::rows(settings.table);
    beginConfiguration(
        run, uart,
        ModeWord::encode(ModbusRole::Master, settings.speed, settings.parity, int(rows.size())));
    writeTable(run, uart.tableStart, RequestRecord::encodeAll(rows), progress);
    endConfiguration(run, QStringLiteral("0080"));
    run.pause(100ms);
}

TransferResult download(PlcPort &port, const UartDescription &uart, const UartSettings &settings,
                        int slaveAddress, const TransferProgress &progress)
{
    TransferRun run(port);
    run.open();
    switch (settings.role) {
    case ModbusRole::Master:
        downloadMaster(run, uart, settings, progress);
        break;
    case ModbusRole::Slave:
        beginConfiguration(
            run, uart,
            ModeWord::encode(ModbusRole::Slave, settings.speed, settings.parity, slaveAddress));
        endConfiguration(run, QStringLiteral("0080"));
        break;
    case ModbusRole::NotUsed:
        beginConfiguration(run, uart, 0);
        endConfiguration(run, QStringLiteral("8000"));
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
        return TransferResult::failure(gridErrorMessage(*error), configurationErrorTitle);
    SlaveAddressCheck slave;
    if (settings.role == ModbusRole::Slave) {
        slave = checkSlaveAddress(settings.slaveAddress);
        if (!slave.refusal.isEmpty())
            return TransferResult::failure(slave.refusal, configurationErrorTitle);
    }
    return download(port, uart, settings, slave.address, progress);
}
