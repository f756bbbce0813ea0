#include "onewireerrorbuffer.h"

#include "link/transferrun.h"
#include "onewire/auxmodeword.h"
#include "onewire/sensortable.h"

using namespace std::chrono_literals;

namespace OneWireErrorBuffer {

QString errorType(int errorByte)
{
    return errorByte & 0x80 ? QStringLiteral("Active error") : QStringLiteral("No error");
}

QString description(int errorByte, int sensor)
{
    QString prefix;
    switch (errorByte & 0xE0) {
    case 0x00:
        return {};
    case 0xA0:
        prefix = QStringLiteral("General error number :");
        break;
    case 0xC0:
        prefix = QStringLiteral("Timeout error number :");
        break;
    case 0xE0:
        prefix = sensor <= 64 ? QStringLiteral("No device found error :")
                              : QStringLiteral("No any device error :");
        break;
    default:
        prefix = QStringLiteral("Number of error :");
        break;
    }
    return prefix + QString::number(errorByte & 0x1F);
}

TextTable table(const QList<int> &errorBytes)
{
    TextTable rows;
    for (int errorByte : errorBytes) {
        const int sensor = int(rows.size()) + 1;
        rows.append(
            {QString::number(sensor), errorType(errorByte), description(errorByte, sensor)});
    }
    return rows;
}

} // namespace OneWireErrorBuffer

ErrorBufferRead readOneWireErrorBuffer(PlcPort &port, const QString &iniFile)
{
    TransferRun run(port, iniFile);
    const std::optional<quint16> word = run.readWord(350ms, 0x200A);
    if (!word)
        return {run.result(), std::nullopt, {}};
    const bool inMode = AuxModeWord::decode(*word).mode == AuxMode::OneWireMaster;
    const int sensors = AuxModeWord::sensorCount(*word);
    if (sensors > SensorTable::maxSensors)
        return {TransferResult::failure(wrongAnswerMessage), std::nullopt, {}};
    if (sensors == 0)
        return {TransferResult::success(), TextTable(), {}, inMode};
    const std::optional<QList<int>> bytes = readErrorBytes(run, 0x3700, sensors);
    if (!bytes)
        return {run.result(), std::nullopt, {}};
    return {TransferResult::success(), OneWireErrorBuffer::table(*bytes), *bytes};
}
