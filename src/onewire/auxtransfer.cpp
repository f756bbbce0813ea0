#include "auxtransfer.h"

#include "link/portsetup.h"
#include "link/transferrun.h"
#include "onewire/auxmodeword.h"
#include "onewire/sensortable.h"

using namespace std::chrono_literals;

namespace {

constexpr quint16 modeWordAddress = AuxModeWord::address;
constexpr quint16 sensorRecords = SensorTable::recordStart;

void download(TransferRun &run, const AuxSettings &settings, const TransferProgress &progress)
{
    const QByteArray mode = wordData(AuxModeWord::encode(settings));
    switch (settings.mode) {
    case AuxMode::OneWireMaster: {
        // A table that goes in one write does not move the progress bar.
        const QByteArray records = SensorTable::encodeAll(settings.sensors);
        run.beginConfiguration();
        run.write(450ms, modeWordAddress, mode);
        run.writeBlocks(650ms, sensorRecords, records, TransferRun::Empty::Skip,
                        records.size() < blockBytes ? TransferProgress() : progress);
        run.endConfiguration();
        break;
    }
    case AuxMode::FieldNet:
        run.write(350ms, modeWordAddress, mode);
        break;
    case AuxMode::NotUsed:
        run.beginConfiguration();
        run.write(350ms, modeWordAddress, mode);
        run.endConfiguration();
        break;
    }
}

} // namespace

TransferResult downloadAux(PlcPort &port, const QString &iniFile, const AuxSettings &settings,
                           const TransferProgress &progress)
{
    Port_setup(port, iniFile);
    if (const std::optional<SensorGridError> error = Check_grid_1w(settings.sensors))
        return TransferResult::refusal(sensorGridErrorMessage(*error), SensorTable::errorTitle);
    TransferRun run(port);
    download(run, settings, progress);
    return run.result();
}

AuxUpload uploadAux(PlcPort &port, const QString &iniFile, const AuxSettings &current,
                    const TransferProgress &progress)
{
    TransferRun run(port, iniFile);
    const std::optional<quint16> word = run.readWord(350ms, modeWordAddress);
    if (!word)
        return {run.result(), std::nullopt};
    const AuxModeWord::Decoded decoded = AuxModeWord::decode(*word);
    if (decoded.sensors > SensorTable::maxSensors)
        return {TransferResult::failure(wrongAnswerMessage), std::nullopt};
    AuxSettings settings = current;
    settings.mode = decoded.mode;
    settings.sensors.clear();
    if (decoded.mode == AuxMode::OneWireMaster) {
        const std::optional<QByteArray> data = run.readBlocks(
            350ms, sensorRecords, decoded.sensors * SensorTable::recordBytes, progress);
        if (!data)
            return {run.result(), std::nullopt};
        settings.sensors = *SensorTable::decodeAll(*data);
    } else if (decoded.mode == AuxMode::FieldNet) {
        settings.fieldNetSpeed = decoded.speed;
        settings.fieldNetParity = decoded.parity;
        settings.fieldNetDataBits = decoded.dataBits;
        settings.fieldNetStopBits = decoded.stopBits;
    }
    return {TransferResult::success(), settings};
}
