#include "slavesettingstransfer.h"

#include "link/transferrun.h"
#include "modbus/requestcheck.h"
#include "modbus/uartdescription.h"

using namespace std::chrono_literals;

namespace {

constexpr quint16 slaveTimeoutAddress = 0x2004;

} // namespace

TransferResult downloadSlaveSettings(PlcPort &port, const UartSettings &settings)
{
    const SlaveAddressCheck address = checkSlaveAddress(settings.slaveAddress);
    if (!address.refusal.isEmpty())
        return TransferResult::refusal(address.refusal, configurationErrorTitle);
    const SlaveTimeoutCheck timeout = checkSlaveTimeout(settings.slaveTimeout);
    if (!timeout.refusal.isEmpty())
        return TransferResult::refusal(timeout.refusal, configurationErrorTitle);
    const quint16 mode =
        ModeWord::encode(ModbusRole::Slave, settings.speed, settings.parity, address.address);
    TransferRun run(port);
    run.beginConfiguration();
    run.write(650ms, UartDescription::uart2().modeWordAddress, wordData(mode));
    run.write(650ms, slaveTimeoutAddress, wordData(timeout.timeout));
    run.endConfiguration();
    return run.result();
}

UartUpload uploadSlaveSettings(PlcPort &port, const QString &iniFile, const UartSettings &current)
{
    TransferRun run(port, iniFile);
    const auto mode = run.readWord(350ms, UartDescription::uart2().modeWordAddress);
    const auto timeout = run.readWord(350ms, slaveTimeoutAddress);
    if (!mode || !timeout)
        return {run.result(), std::nullopt};
    const ModeWord::Decoded decoded = ModeWord::decode(*mode);
    if (decoded.parity >= ModeWord::parityCount)
        return {TransferResult::failure(wrongAnswerMessage), std::nullopt};
    UartSettings settings = current;
    settings.speed = decoded.speed;
    settings.parity = decoded.parity;
    settings.slaveAddress = QString::number(decoded.lowByte);
    settings.slaveTimeout = QString::number(*timeout);
    return {TransferResult::success(), settings};
}
