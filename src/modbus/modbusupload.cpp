#include "modbusupload.h"

#include "link/transferrun.h"
#include "modbus/requestrecord.h"

using namespace std::chrono_literals;

namespace {

UartUpload shown(const UartSettings &settings)
{
    return {TransferResult::success(), settings};
}

UartUpload decodeMaster(TransferRun &run, const UartDescription &uart,
                        const ModeWord::Decoded &word, UartSettings settings,
                        const TransferProgress &progress)
{
    const std::optional<QByteArray> data =
        run.readBlocks(650ms, uart.tableStart, word.lowByte * RequestRecord::bytes, progress);
    if (!data)
        return {run.result(), std::nullopt};
    const std::optional<QList<RequestRow>> rows = RequestRecord::decodeAll(*data);
    settings.role = ModbusRole::Master;
    settings.speed = word.speed;
    settings.parity = word.parity;
    settings.table = RequestTable::fromRows(*rows);
    return shown(settings);
}

UartUpload decode(TransferRun &run, const UartDescription &uart, const ModeWord::Decoded &word,
                  UartSettings settings, const TransferProgress &progress)
{
    using Kind = ModeWord::Decoded::Kind;
    switch (word.kind) {
    case Kind::Master:
        return decodeMaster(run, uart, word, settings, progress);
    case Kind::Slave:
        settings.role = ModbusRole::Slave;
        settings.slaveAddress = QString::number(word.lowByte);
        settings.speed = word.speed;
        settings.parity = word.parity;
        return shown(settings);
    case Kind::NotUsed:
        settings.role = ModbusRole::NotUsed;
        return shown(settings);
    case Kind::Other:
        break;
    }
    return {TransferResult::success(), std::nullopt};
}

} // namespace

UartUpload uploadUart(PlcPort &port, const QString &iniFile, const UartDescription &uart,
                      const UartSettings &current, const TransferProgress &progress)
{
    TransferRun run(port, iniFile);
    const std::optional<ModeWord::Decoded> mode = ModeWord::read(run, uart.modeWordAddress);
    if (!mode)
        return {run.result(), std::nullopt};
    if (!ModeWord::isValid(*mode))
        return {TransferResult::failure(wrongAnswerMessage), std::nullopt};
    return decode(run, uart, *mode, current, progress);
}
