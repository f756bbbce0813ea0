#include "errorwatch.h"

#include "diag/modbuserrorbuffer.h"
#include "diag/onewireerrorbuffer.h"
#include "modbus/uartdescription.h"

namespace {

const QString watchColumns = QStringLiteral("|  Active since  | Times active ");

} // namespace

QString ErrorWatch::plainFormat(Buffer buffer)
{
    return buffer == Buffer::Modbus ? ModbusErrorBuffer::format : OneWireErrorBuffer::format;
}

QString ErrorWatch::format(Buffer buffer)
{
    return plainFormat(buffer) + watchColumns;
}

std::optional<ErrorWatch::Buffer> ErrorWatch::bufferNamed(const QString &name)
{
    if (name == QLatin1String("modbus1") || name == QLatin1String("modbus2"))
        return Buffer::Modbus;
    if (name == QLatin1String("onewire"))
        return Buffer::OneWire;
    return std::nullopt;
}

bool ErrorWatch::isActive(int errorByte) const
{
    if (m_buffer == Buffer::OneWire)
        return errorByte & 0x80;
    return errorByte != 0 && errorByte != 0x80;
}

QList<int> ErrorWatch::take(const QList<int> &errorBytes, const QDateTime &at)
{
    m_slots.resize(errorBytes.size());
    QList<int> changed;
    for (qsizetype k = 0; k < errorBytes.size(); ++k) {
        Slot &slot = m_slots[k];
        const int now = errorBytes.at(k);
        if (now == slot.errorByte)
            continue;
        changed.append(int(k) + 1);
        if (!isActive(now)) {
            slot.activeSince = {};
        } else {
            slot.activeSince = at;
            if (!isActive(slot.errorByte))
                ++slot.activations;
        }
        slot.errorByte = now;
    }
    return changed;
}

TextTable ErrorWatch::table() const
{
    QList<int> bytes;
    for (const Slot &slot : m_slots)
        bytes.append(slot.errorByte);
    TextTable rows = m_buffer == Buffer::Modbus ? ModbusErrorBuffer::table(bytes)
                                                : OneWireErrorBuffer::table(bytes);
    for (qsizetype k = 0; k < rows.size(); ++k) {
        const Slot &slot = m_slots.at(k);
        rows[k] << (slot.activeSince.isValid()
                        ? slot.activeSince.time().toString(QStringLiteral("HH:mm:ss"))
                        : QString())
                << QString::number(slot.activations);
    }
    return rows;
}

QString ErrorWatch::changeLine(const QString &buffer, int slot, const QDateTime &at) const
{
    const QStringList row = table().value(slot - 1);
    QString line =
        QStringLiteral("%1 %2 %3 %4: %5")
            .arg(at.time().toString(QStringLiteral("HH:mm:ss")), buffer,
                 m_buffer == Buffer::Modbus ? QStringLiteral("slot") : QStringLiteral("sensor"))
            .arg(slot)
            .arg(row.value(1));
    if (const QString description = row.value(2).trimmed(); !description.isEmpty())
        line += QStringLiteral(", ") + description;
    return line;
}

ErrorBufferRead readErrorBuffer(PlcPort &port, const QString &iniFile, const QString &name)
{
    if (name == QLatin1String("onewire"))
        return readOneWireErrorBuffer(port, iniFile);
    return readModbusErrorBuffer(port, iniFile,
                                 name == QLatin1String("modbus2") ? UartDescription::uart2()
                                                                  : UartDescription::uart1());
}
