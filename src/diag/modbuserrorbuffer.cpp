#include "modbuserrorbuffer.h"

#include "link/plcframe.h"
#include "link/portsetup.h"
#include "modbus/modeword.h"
#include "modbus/transferrun.h"
#include "modbus/uartdescription.h"

#include <array>

using namespace std::chrono_literals;

namespace {

constexpr int slotsPerBlock = 64;

} // namespace

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
    TextTable rows{headerFromFormat(format)};
    for (int errorByte : errorBytes)
        rows.append(slotRow(int(rows.size()), errorByte));
    rows.append({QString::number(rows.size()), QString(), QString()});
    return rows;
}

} // namespace ModbusErrorBuffer

namespace {

// The first `slots` error bytes of a block's data digits.
void appendBytes(QList<int> &bytes, const QString &digits, int slots)
{
    for (int k = 0; k < slots; ++k)
        bytes.append(Hex_to_int(QStringView(digits).mid(2 * k, 2)));
}

std::optional<QList<int>> readErrorBytes(TransferRun &run, const UartDescription &uart, int slots)
{
    QList<int> bytes;
    const std::optional<QString> first = run.read(550ms, uart.firstErrorBlock, slotsPerBlock);
    if (!first)
        return std::nullopt;
    appendBytes(bytes, *first, std::min(slots, slotsPerBlock));
    if (slots <= slotsPerBlock)
        return bytes;
    const std::optional<QString> second = run.read(550ms, uart.secondErrorBlock, slotsPerBlock);
    if (!second)
        return std::nullopt;
    appendBytes(bytes, *second, slots - slotsPerBlock);
    return bytes;
}

} // namespace

ErrorBufferRead readModbusErrorBuffer(PlcPort &port, const QString &iniFile,
                                      const UartDescription &uart)
{
    Port_setup(port, iniFile);
    TransferRun run(port);
    run.open();
    const std::optional<quint16> word = run.readWord(350ms, uart.modeWordAddress);
    if (!word)
        return {run.result(), std::nullopt};
    const ModeWord::Decoded mode = ModeWord::decode(*word);
    if (mode.kind != ModeWord::Decoded::Kind::Master)
        return {TransferResult::success(), std::nullopt};
    if (mode.lowByte > ModeWord::maxRows)
        return {TransferResult::failure(wrongAnswerMessage), std::nullopt};
    const std::optional<QList<int>> bytes = readErrorBytes(run, uart, mode.lowByte);
    if (!bytes)
        return {run.result(), std::nullopt};
    return {TransferResult::success(), ModbusErrorBuffer::table(*bytes)};
}
