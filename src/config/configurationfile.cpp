#include "configurationfile.h"

#include "link/wholefile.h"
#include "modbus/modbuschoices.h"
#include "modbus/modeword.h"
#include "modbus/uartdescription.h"
#include "onewire/sensortable.h"
#include "tables/wholenumber.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cmath>

namespace ConfigurationFile {

namespace {

constexpr int sectionSize = 3754;                           // bytes of one port's section
constexpr int requestEntry = 9;                             // bytes of one request entry
constexpr int sensorEntry = 11;                             // bytes of one sensor entry
constexpr int slotCount = 129;                              // entries each table has room for
constexpr int sensorTableOffset = slotCount * requestEntry; // 1161: the sensor table in a section
constexpr int settingsOffset = 3741;                        // the settings block in a section
constexpr int maxCount = 128;                               // entries a save keeps

enum Settings {
    RequestCount = 0,
    SensorCount = 1,
    SlaveAddress = 3,
    Mode = 4,
    Speed = 5,
    Parity = 6,
    DataBits = 7,
    StopBits = 8,
    Timeout = 9
};

// The request entry's fields in record order: the table column, and whether
// the field is a byte (else a signed 16-bit word).
struct Field
{
    int column;
    bool byte;
};
constexpr std::array<Field, 6> requestFields = {{{RequestTable::Address, true},
                                                 {RequestTable::Function, true},
                                                 {RequestTable::NumWord, true},
                                                 {RequestTable::AddressSlave, false},
                                                 {RequestTable::AddressMaster, false},
                                                 {RequestTable::Timeout, false}}};

// The request table's captions, by column.
const QStringList requestColumns = headerFromFormat(RequestTable::format);

QString uartName(int uart)
{
    return QStringLiteral("UART %1").arg(uart);
}

// A writer of the record's fields at their offsets, which keeps the first
// conversion error it meets.
class Writer
{
public:
    Writer() : m_record(recordSize, '\0'), m_buffer(&m_record), m_stream(&m_buffer)
    {
        m_buffer.open(QIODevice::WriteOnly);
        m_stream.setByteOrder(QDataStream::LittleEndian);
        m_stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
    }

    const QString &error() const { return m_error; }
    QByteArray record() const { return m_record; }

    void at(qint64 offset) { m_buffer.seek(offset); }
    void byte(int value) { m_stream << quint8(value); }
    void word(int value) { m_stream << qint16(value); }
    void real(float value) { m_stream << value; }

    // A decimal text as a number within its field, or an error naming where.
    std::optional<int> number(const QString &text, int low, int high, const QString &where)
    {
        const std::optional<qint64> value = wholeNumber(text);
        if (!value)
            return fail(QStringLiteral("%1: \"%2\" is not a number").arg(where, text));
        if (*value < -32768 || *value > 32767)
            return fail(QStringLiteral("%1: %2 overflows a 16-bit number").arg(where, text));
        if (*value < low || *value > high)
            return fail(
                QStringLiteral("%1: %2 does not fit %3 to %4").arg(where, text).arg(low).arg(high));
        return int(*value);
    }

    // Two hex digits, upper or lower case; empty is 0.
    std::optional<int> hexByte(const QString &text, const QString &where)
    {
        if (text.isEmpty())
            return 0;
        bool ok = false;
        const uint value = text.toUInt(&ok, 16);
        if (!ok || text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-')))
            return fail(QStringLiteral("%1: \"%2\" is not a hex number").arg(where, text));
        if (value > 255)
            return fail(QStringLiteral("%1: %2 does not fit 00 to FF").arg(where, text));
        return int(value);
    }

    // A table longer than the file holds is refused whole, never cut short.
    void rows(qsizetype size, const QString &what)
    {
        if (size > maxCount)
            fail(QStringLiteral("%1 has %2 rows; a configuration file holds at most %3")
                     .arg(what)
                     .arg(size)
                     .arg(maxCount));
    }

    std::optional<int> index(int value, qsizetype count, const QString &where)
    {
        if (value < 0 || value >= count)
            return fail(QStringLiteral("%1: nothing is chosen").arg(where));
        return value;
    }

private:
    std::optional<int> fail(const QString &error)
    {
        if (m_error.isEmpty())
            m_error = error;
        return std::nullopt;
    }

    QByteArray m_record;
    QBuffer m_buffer;
    QDataStream m_stream;
    QString m_error;
};

void writeRequests(Writer &w, int section, int uart, const TextTable &table)
{
    w.rows(table.size(), QStringLiteral("The %1 request table").arg(uartName(uart)));
    const int count = int(std::min<qsizetype>(table.size(), maxCount));
    for (int row = 1; row <= count; ++row) {
        w.at(sectionSize * section + requestEntry * (row - 1));
        for (const Field &field : requestFields) {
            const QString where = QStringLiteral("%1 row %2, column %3")
                                      .arg(uartName(uart))
                                      .arg(row)
                                      .arg(requestColumns.at(field.column));
            const QString text = table.at(row - 1).value(field.column);
            if (field.byte)
                w.byte(w.number(text, 0, 255, where).value_or(0));
            else
                w.word(w.number(text, -32768, 32767, where).value_or(0));
        }
    }
    w.at(sectionSize * section + settingsOffset + RequestCount);
    w.byte(count);
}

void writeUart(Writer &w, int section, const UartSettings &uart)
{
    const int number = section + 1;
    const QString name = uartName(number);
    writeRequests(w, section, number, uart.table);
    const qint64 block = sectionSize * section + settingsOffset;
    w.at(block + SlaveAddress);
    w.byte(
        w.number(uart.slaveAddress, 0, 255, name + QStringLiteral(" slave address")).value_or(0));
    w.byte(int(uart.role));
    w.byte(w.index(uart.speed, ModbusChoices::speeds.size(), name + QStringLiteral(" speed"))
               .value_or(0));
    w.byte(w.index(uart.parity, ModbusChoices::parities.size(), name + QStringLiteral(" parity"))
               .value_or(0));
    if (number == 1) {
        w.byte(w.index(uart.dataBits, ModbusChoices::dataBits.size(),
                       name + QStringLiteral(" data bits"))
                   .value_or(0));
        w.byte(w.index(uart.stopBits, ModbusChoices::stopBits.size(),
                       name + QStringLiteral(" stop bits"))
                   .value_or(0));
    }
    w.at(block + Timeout);
    w.real(float(w.number(uart.slaveTimeout, -32768, 32767, name + QStringLiteral(" slave timeout"))
                     .value_or(0)));
}

void writeAux(Writer &w, const AuxSettings &aux)
{
    const int section = 2;
    w.rows(aux.sensors.size(), QStringLiteral("The 1-wire sensor table"));
    const int count = int(std::min<qsizetype>(aux.sensors.size(), maxCount));
    for (int row = 1; row <= count; ++row) {
        const QStringList &cells = aux.sensors.at(row - 1);
        w.at(sectionSize * section + sensorTableOffset + sensorEntry * (row - 1) + 1);
        for (int column = SensorTable::Byte0; column <= SensorTable::Byte7; ++column) {
            const QString where =
                QStringLiteral("1-wire row %1, column Byte %2").arg(row).arg(column - 1);
            w.byte(w.hexByte(cells.value(column), where).value_or(0));
        }
        const QString where = QStringLiteral("1-wire row %1, column Dxxxx").arg(row);
        w.word(w.number(cells.value(SensorTable::Register), -32768, 32767, where).value_or(0));
    }
    const qint64 block = sectionSize * section + settingsOffset;
    w.at(block + SensorCount);
    w.byte(count);
    w.at(block + Mode);
    w.byte(int(aux.mode));
}

// A reader of the record's fields at their offsets; beyond the record's end
// every byte reads as 0.
class Reader
{
public:
    explicit Reader(QByteArrayView record)
        : m_record(record.first(std::min<qsizetype>(record.size(), recordSize)).toByteArray()),
          m_buffer(&m_record), m_stream(&m_buffer)
    {
        m_record.append(QByteArray(recordSize - m_record.size(), '\0'));
        m_buffer.open(QIODevice::ReadOnly);
        m_stream.setByteOrder(QDataStream::LittleEndian);
        m_stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
    }

    void at(qint64 offset) { m_buffer.seek(offset); }
    int byte()
    {
        quint8 value = 0;
        m_stream >> value;
        return value;
    }
    int word()
    {
        qint16 value = 0;
        m_stream >> value;
        return value;
    }
    float real()
    {
        float value = 0;
        m_stream >> value;
        return value;
    }
    int byteAt(qint64 offset)
    {
        at(offset);
        return byte();
    }

private:
    QByteArray m_record;
    QBuffer m_buffer;
    QDataStream m_stream;
};

QString byteText(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

// Whole numbers without a fraction, as the window shows them.
QString realText(float value)
{
    return QString::number(double(value), 'g', 9);
}

// Everything a record must hold before any of it is taken: counts up to
// 128 (a table's most; a 129th entry would be lost by the next save), modes
// 0 to 2 and list indexes inside their lists.
QString check(Reader &r)
{
    struct Limit
    {
        int section;
        int offset;
        int most;
        const char *name;
    };
    const std::array<Limit, 12> limits = {{
        {0, RequestCount, maxCount, "UART 1 request count"},
        {0, Mode, 2, "UART 1 mode"},
        {0, Speed, int(ModbusChoices::speeds.size()) - 1, "UART 1 speed"},
        {0, Parity, int(ModbusChoices::parities.size()) - 1, "UART 1 parity"},
        {0, DataBits, int(ModbusChoices::dataBits.size()) - 1, "UART 1 data bits"},
        {0, StopBits, int(ModbusChoices::stopBits.size()) - 1, "UART 1 stop bits"},
        {1, RequestCount, maxCount, "UART 2 request count"},
        {1, Mode, 2, "UART 2 mode"},
        {1, Speed, int(ModbusChoices::speeds.size()) - 1, "UART 2 speed"},
        {1, Parity, int(ModbusChoices::parities.size()) - 1, "UART 2 parity"},
        {2, SensorCount, maxCount, "1-wire sensor count"},
        {2, Mode, 2, "1-wire mode"},
    }};
    for (const Limit &limit : limits) {
        const int value = r.byteAt(sectionSize * limit.section + settingsOffset + limit.offset);
        if (value > limit.most)
            return QStringLiteral("%1 is %2, not 0 to %3")
                .arg(QLatin1String(limit.name))
                .arg(value)
                .arg(limit.most);
    }
    // The slave timeout is a float in the file, a whole number in the
    // window: only one the timeout box shows whole, and a save writes back,
    // is taken.
    for (const UartDescription *uart : {&UartDescription::uart1(), &UartDescription::uart2()}) {
        const int length = uart->slaveTimeoutLength;
        const int low = length > 0 ? std::max(-32768, 1 - int(std::pow(10, length - 1))) : -32768;
        const int high = length > 0 ? std::min(32767, int(std::pow(10, length)) - 1) : 32767;
        r.at(sectionSize * (uart->number - 1) + settingsOffset + Timeout);
        const float timeout = r.real();
        if (!std::isfinite(timeout) || std::trunc(timeout) != timeout || timeout < float(low) ||
            timeout > float(high))
            return QStringLiteral("UART %1 slave timeout is %2, not a whole number from %3 to %4")
                .arg(uart->number)
                .arg(realText(timeout))
                .arg(low)
                .arg(high);
    }
    return {};
}

TextTable readRequests(Reader &r, int section, int count)
{
    TextTable table;
    for (int slot = 0; slot < count; ++slot) {
        r.at(sectionSize * section + requestEntry * slot);
        QStringList cells(RequestTable::columnCount);
        cells[RequestTable::Slot] = QString::number(slot + 1);
        for (const Field &field : requestFields)
            cells[field.column] = QString::number(field.byte ? r.byte() : r.word());
        table.append(cells);
    }
    return table;
}

void readUart(Reader &r, int section, UartSettings &uart)
{
    const qint64 block = sectionSize * section + settingsOffset;
    uart.table = readRequests(r, section, r.byteAt(block + RequestCount));
    uart.slaveAddress = QString::number(r.byteAt(block + SlaveAddress));
    uart.role = ModbusRole(r.byte());
    uart.speed = r.byte();
    uart.parity = r.byte();
    if (section == 0) {
        uart.dataBits = r.byte();
        uart.stopBits = r.byte();
    }
    r.at(block + Timeout);
    uart.slaveTimeout = realText(r.real());
}

void readAux(Reader &r, AuxSettings &aux)
{
    const int section = 2;
    const qint64 block = sectionSize * section + settingsOffset;
    aux.mode = AuxMode(r.byteAt(block + Mode));
    const int count = r.byteAt(block + SensorCount);
    aux.sensors.clear();
    for (int slot = 0; slot < count; ++slot) {
        r.at(sectionSize * section + sensorTableOffset + sensorEntry * slot + 1);
        QStringList cells(SensorTable::columnCount);
        cells[SensorTable::Num] = QString::number(slot + 1);
        for (int column = SensorTable::Byte0; column <= SensorTable::Byte7; ++column)
            cells[column] = byteText(r.byte());
        cells[SensorTable::Register] = QString::number(r.word());
        aux.sensors.append(cells);
    }
}

} // namespace

Configuration held(Configuration configuration)
{
    const Configuration defaults = Configuration::defaults();
    configuration.io = defaults.io;
    const TextTable sensors = configuration.aux.sensors;
    const AuxMode mode = configuration.aux.mode;
    configuration.aux = defaults.aux;
    configuration.aux.sensors = sensors;
    configuration.aux.mode = mode;
    configuration.uart2.dataBits = defaults.uart2.dataBits;
    configuration.uart2.stopBits = defaults.uart2.stopBits;
    return configuration;
}

Encoded encode(const Configuration &configuration)
{
    Writer w;
    writeUart(w, 0, configuration.uart1);
    writeUart(w, 1, configuration.uart2);
    writeAux(w, configuration.aux);
    if (!w.error().isEmpty())
        return {{}, w.error()};
    return {w.record(), {}};
}

Decoded decode(QByteArrayView record, const Configuration &current)
{
    Reader r(record);
    if (const QString error = check(r); !error.isEmpty())
        return {std::nullopt, error};
    Configuration configuration = current;
    readUart(r, 0, configuration.uart1);
    readUart(r, 1, configuration.uart2);
    readAux(r, configuration.aux);
    return {configuration, {}};
}

QString save(const QString &path, const Configuration &configuration)
{
    const Encoded encoded = encode(configuration);
    if (!encoded.error.isEmpty())
        return encoded.error;
    if (const QString reason = WholeFile::write(path, encoded.record); !reason.isEmpty())
        return WholeFile::cannotWrite(path, reason);
    return {};
}

Decoded load(const QString &path, const Configuration &current)
{
    // A file of another length is cut short or is something else: reading it
    // as a record would take zeros or foreign bytes for settings. Whatever
    // the file is, no more than one byte past a record is read.
    const WholeFile::Read record = WholeFile::read(path, recordSize);
    const auto notConfiguration = [&path](const QString &size) {
        return QStringLiteral("%1 is not a configuration file: it holds %2 bytes, "
                              "a configuration file %3")
            .arg(QDir::toNativeSeparators(path), size)
            .arg(recordSize);
    };
    if (record.tooLarge) {
        const QFileInfo file(path);
        return {std::nullopt,
                notConfiguration(file.isFile() ? QString::number(file.size())
                                               : QStringLiteral("more than %1").arg(recordSize))};
    }
    if (!record.contents)
        return {std::nullopt, record.error};
    if (record.contents->size() != recordSize)
        return {std::nullopt, notConfiguration(QString::number(record.contents->size()))};
    return decode(*record.contents, current);
}

} // namespace ConfigurationFile
