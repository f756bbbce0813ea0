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

ErrorWatch::Buffer ErrorWatch::kindOf(ErrorBuffer buffer)
{
    return buffer == ErrorBuffer::OneWire ? Buffer::OneWire : Buffer::Modbus;
}

std::optional<ErrorBuffer> ErrorWatch::bufferNamed(const QString &name)
{
    for (ErrorBuffer buffer : {ErrorBuffer::Modbus1, ErrorBuffer::Modbus2, ErrorBuffer::OneWire}) {
        if (name == nameOf(buffer))
            return buffer;
    }
    return std::nullopt;
}

QString ErrorWatch::nameOf(ErrorBuffer buffer)
{
    switch (buffer) {
    case ErrorBuffer::Modbus1:
        return QStringLiteral("modbus1");
    case ErrorBuffer::Modbus2:
        return QStringLiteral("modbus2");
    case ErrorBuffer::OneWire:
        break;
    }
    return QStringLiteral("onewire");
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

ErrorBufferRead readErrorBuffer(PlcPort &port, const QString &iniFile, ErrorBuffer buffer)
{
    switch (buffer) {
    case ErrorBuffer::Modbus1:
        return readModbusErrorBuffer(port, iniFile, UartDescription::uart1());
    case ErrorBuffer::Modbus2:
        return readModbusErrorBuffer(port, iniFile, UartDescription::uart2());
    case ErrorBuffer::OneWire:
        break;
    }
    return readOneWireErrorBuffer(port, iniFile);
}
