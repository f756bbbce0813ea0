#include "bussearch.h"

#include "link/transferrun.h"
#include "onewire/sensortable.h"
#include "tables/wholenumber.h"

#include <QSet>

using namespace std::chrono_literals;

namespace BusSearch {

namespace {

constexpr quint16 commandAddress = 0x2000;
constexpr quint16 resultAddress = 0x3000;
constexpr quint16 codesAddress = 0x3002;
constexpr int codeBytes = 8;

// A device's code as the eight byte cells read, upper case.
QString codeOf(const QStringList &row)
{
    QString code;
    for (int column = SensorTable::Byte0; column <= SensorTable::Byte7; ++column)
        code += row.value(column).toUpper();
    return code;
}

// The devices with a code not among `known`, each once.
TextTable distinct(const TextTable &devices, QSet<QString> known)
{
    TextTable taken;
    for (const QStringList &device : devices) {
        const QString code = codeOf(device);
        if (known.contains(code))
            continue;
        known.insert(code);
        taken.append(device);
    }
    return taken;
}

std::optional<qint64> startAddress(const QString &text)
{
    const std::optional<qint64> start = wholeNumber(text);
    if (!start || *start < 0 || *start > SensorTable::maxRegister)
        return std::nullopt;
    return start;
}

const QString badStart =
    QStringLiteral("Please, use a whole number from 0 to 7997 as the start address");

// The devices appended to the sensors with registers from `first`, 2 apart,
// unless some would lie beyond the last register a sensor may have.
Taken append(TextTable sensors, const TextTable &devices, qint64 first)
{
    // A table longer than the PLC holds would be cut short when saved.
    if (sensors.size() + devices.size() > SensorTable::maxSensors)
        return {{},
                QStringLiteral("The table holds %1 sensors and %2 new devices were found: %3 "
                               "of them would not fit in the %4 the PLC holds, so nothing was "
                               "added.")
                    .arg(sensors.size())
                    .arg(devices.size())
                    .arg(sensors.size() + devices.size() - SensorTable::maxSensors)
                    .arg(SensorTable::maxSensors)};
    const qint64 last = first + 2 * (qint64(devices.size()) - 1);
    if (!devices.isEmpty() && last > SensorTable::maxRegister) {
        const qint64 over = (last - SensorTable::maxRegister + 1) / 2;
        return {{},
                QStringLiteral("The registers of %1 of the devices would lie above 7997: "
                               "nothing was added.")
                    .arg(over)};
    }
    qint64 reg = first;
    for (const QStringList &device : devices) {
        QStringList cells(SensorTable::columnCount);
        cells[SensorTable::Num] = QString::number(sensors.size() + 1);
        for (int column = SensorTable::Byte0; column <= SensorTable::Byte7; ++column)
            cells[column] = device.value(column);
        cells[SensorTable::Register] = QString::number(reg);
        sensors.append(cells);
        reg += 2;
    }
    return {sensors, {}};
}

QString rowList(const QList<int> &rows)
{
    QStringList numbers;
    for (int row : rows)
        numbers << QString::number(row);
    return numbers.join(QStringLiteral(", "));
}

} // namespace

Found search(PlcPort &port, const QString &iniFile)
{
    TransferRun run(port, iniFile);
    if (!run.write(350ms, commandAddress, QByteArray::fromHex("0180"), PlcCommand::Command))
        return {run.result(), std::nullopt};
    run.poll(350ms, resultAddress, 2);
    run.pause(3500ms);
    const std::optional<QByteArray> count = run.read(350ms, resultAddress, 2);
    if (!count)
        return {run.result(), std::nullopt};
    const int devices = quint8(count->at(0));
    const std::optional<QByteArray> codes =
        run.readBlocks(350ms, codesAddress, devices * codeBytes);
    if (!codes)
        return {run.result(), std::nullopt};
    TextTable rows;
    for (int k = 0; k < devices; ++k) {
        QStringList row{QString::number(k + 1)};
        for (int b = 0; b < codeBytes; ++b)
            row << QString::fromLatin1(codes->mid(k * codeBytes + b, 1).toHex().toUpper());
        rows.append(row);
    }
    return {run.result(), rows};
}

Taken addNew(const TextTable &sensors, const TextTable &devices, const QString &start)
{
    QSet<QString> known;
    for (const QStringList &sensor : sensors)
        known.insert(codeOf(sensor));
    const TextTable added = distinct(devices, known);
    if (sensors.isEmpty()) {
        const std::optional<qint64> first = startAddress(start);
        if (!first)
            return {{}, badStart};
        return append(sensors, added, *first);
    }
    // Registers continue after the last sensor's; the start box is not used.
    const QString lastText = sensors.last().value(SensorTable::Register);
    const std::optional<qint64> last = wholeNumber(lastText);
    if (!last)
        return {{},
                QStringLiteral("The last sensor's register \"%1\" is not a whole number, so "
                               "the registers of the devices cannot follow it: nothing was added.")
                    .arg(lastText)};
    return append(sensors, added, *last + 2);
}

Taken replaceAll(const TextTable &devices, const QString &start)
{
    const std::optional<qint64> first = startAddress(start);
    if (!first)
        return {{}, badStart};
    return append({}, distinct(devices, {}), *first);
}

QList<int> missingRows(const TextTable &devices, const TextTable &sensors)
{
    QSet<QString> found;
    for (const QStringList &device : devices)
        found.insert(codeOf(device));
    QList<int> missing;
    for (int row = 1; row <= sensors.size(); ++row) {
        if (!found.contains(codeOf(sensors.at(row - 1))))
            missing << row;
    }
    return missing;
}

TextTable newDevices(const TextTable &devices, const TextTable &sensors)
{
    QSet<QString> known;
    for (const QStringList &sensor : sensors)
        known.insert(codeOf(sensor));
    return distinct(devices, known);
}

TextTable replaceMissing(TextTable sensors, int row, const QStringList &device)
{
    if (row < 1 || row > sensors.size())
        return sensors;
    QStringList &cells = sensors[row - 1];
    cells.resize(std::max<qsizetype>(cells.size(), SensorTable::columnCount));
    for (int column = SensorTable::Byte0; column <= SensorTable::Byte7; ++column)
        cells[column] = device.value(column);
    return sensors;
}

int configuredRow(const QStringList &device, const TextTable &sensors)
{
    const QString code = codeOf(device);
    for (int row = 1; row <= sensors.size(); ++row) {
        if (codeOf(sensors.at(row - 1)) == code)
            return row;
    }
    return 0;
}

QString summary(const TextTable &devices, const TextTable &sensors)
{
    const TextTable once = distinct(devices, {});
    const qsizetype configured = once.size() - newDevices(devices, sensors).size();
    const QList<int> missing = missingRows(devices, sensors);
    QString line = QStringLiteral("Found %1: %2 new, %3 already in the table.")
                       .arg(devices.size())
                       .arg(once.size() - configured)
                       .arg(configured);
    if (const qsizetype twice = devices.size() - once.size(); twice > 0)
        line += QStringLiteral(" %1 found more than once, taken once.").arg(twice);
    if (!missing.isEmpty())
        line += QStringLiteral(" Not found on the bus: sensor rows %1.").arg(rowList(missing));
    return line;
}

} // namespace BusSearch
