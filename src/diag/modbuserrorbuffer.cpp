#include "modbuserrorbuffer.h"

#include "link/transferrun.h"
#include "modbus/modeword.h"
#include "modbus/uartdescription.h"

#include <array>

using namespace std::chrono_literals;

namespace ModbusErrorBuffer {

namespace {

// Descriptions by error code; nullptr where the code has none.
constexpr std::array<const char *, 19> descriptions = {
    "",
    "illegal register address ",
    " illegal argument ",
    " receive data error ",
    " timeout error occurred  ",
    "master is busy now ",
    "execute function error ",
    "MBErr 8",
    "MBErr 9",
    nullptr,
    "MBErr 10",
    "MBErr 11",
    "MBErr 12",
    "MBErr 13",
    "MBErr 13",
    "MBErr 14",
    "MBErr 15",
    "MBErr 16",
    "MBErr 17",
};

QStringList slotRow(int slot, int errorByte)
{
    return {QString::number(slot), errorType(errorByte),
            description(errorByte).value_or(QString())};
}

} // namespace

QString errorType(int errorByte)
{
    if (errorByte == 0)
        return QStringLiteral("No error");
    return errorByte == 0x80 ? QStringLiteral("Inactive error") : QStringLiteral("Active error");
}

std::optional<QString> description(int errorByte)
{
    const std::size_t code = std::size_t(errorByte & 0x7F);
    if (code >= descriptions.size() || descriptions.at(code) == nullptr)
        return std::nullopt;
    return QString::fromLatin1(descriptions.at(code));
}

TextTable table(const QList<int> &errorBytes)
{
    TextTable rows;
    for (int errorByte : errorBytes)
        rows.append(slotRow(int(rows.size()) + 1, errorByte));
    return rows;
}

} // namespace ModbusErrorBuffer

std::optional<QList<int>> readErrorBytes(TransferRun &run, quint16 start, int count)
{
    const int blocks = count > blockBytes ? 2 : 1;
    const std::optional<QByteArray> data = run.readBlocks(550ms, start, blocks * blockBytes);
    if (!data)
        return std::nullopt;
    QList<int> bytes;
    for (int k = 0; k < count; ++k)
        bytes.append(quint8(data->at(k)));
    return bytes;
}

ErrorBufferRead readModbusErrorBuffer(PlcPort &port, const QString &iniFile,
                                      const UartDescription &uart)
{
    TransferRun run(port, iniFile);
    const std::optional<ModeWord::Decoded> mode = ModeWord::read(run, uart.modeWordAddress);
    if (!mode)
        return {run.result(), std::nullopt, {}};
    if (mode->kind != ModeWord::Decoded::Kind::Master)
        return {TransferResult::success(), std::nullopt, {}, false};
    if (mode->lowByte > ModeWord::maxRows)
        return {TransferResult::failure(wrongAnswerMessage), std::nullopt, {}};
    const std::optional<QList<int>> bytes = readErrorBytes(run, uart.errorBytes, mode->lowByte);
    if (!bytes)
        return {run.result(), std::nullopt, {}};
    return {TransferResult::success(), ModbusErrorBuffer::table(*bytes), *bytes};
}

QString notMasterMessage(const UartDescription &uart)
{
    return QStringLiteral("UART %1 is not a Modbus master").arg(uart.number);
}
