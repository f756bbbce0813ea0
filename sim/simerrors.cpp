#include "simerrors.h"

#include "modbus/uartdescription.h"
#include "plcsimulator.h"

#include <QRegularExpression>

namespace SimErrors {

namespace {

constexpr int bufferSize = 128; // slots or sensors a buffer holds
constexpr quint16 oneWireBuffer = 0x3700;

std::optional<quint16> bufferOf(const QString &name)
{
    if (name == QLatin1String("modbus1"))
        return UartDescription::uart1().errorBytes;
    if (name == QLatin1String("modbus2"))
        return UartDescription::uart2().errorBytes;
    if (name == QLatin1String("onewire"))
        return oneWireBuffer;
    return std::nullopt;
}

} // namespace

std::optional<QList<Item>> parse(const QString &text, QString &error)
{
    static const QRegularExpression comment(QStringLiteral("#[^\n]*"));
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    static const QRegularExpression itemPattern(
        QStringLiteral("^([a-z0-9]+):(\\d{1,3})=([0-9A-Fa-f]{1,2})$"));
    QList<Item> items;
    const QStringList words = QString(text).remove(comment).split(separators, Qt::SkipEmptyParts);
    for (const QString &word : words) {
        const QRegularExpressionMatch match = itemPattern.match(word);
        const std::optional<quint16> buffer =
            match.hasMatch() ? bufferOf(match.captured(1)) : std::nullopt;
        const int slot = match.captured(2).toInt();
        if (!buffer || slot < 1 || slot > bufferSize) {
            error = QStringLiteral("--errors: %1 is not modbus1|modbus2|onewire:N=HEX with N "
                                   "from 1 to 128")
                        .arg(word);
            return std::nullopt;
        }
        items.append({quint16(*buffer + slot - 1), quint8(match.captured(3).toUInt(nullptr, 16))});
    }
    return items;
}

void apply(PlcSimulator &simulator, const QList<Item> &items, bool clearFirst)
{
    if (clearFirst) {
        for (const quint16 buffer : {UartDescription::uart1().errorBytes,
                                     UartDescription::uart2().errorBytes, oneWireBuffer})
            simulator.setMemory(buffer, QByteArray(bufferSize, '\0'));
    }
    for (const Item &item : items)
        simulator.setMemory(item.address, QByteArray(1, char(item.value)));
}

} // namespace SimErrors
