#include "sensortable.h"

#include "link/transferrun.h"
#include "onewire/romcode.h"
#include "tables/wholenumber.h"

namespace SensorTable {

namespace {

// The order of the ROM bytes in a record: each pair swapped.
constexpr std::array<int, 8> recordOrder = {1, 0, 3, 2, 5, 4, 7, 6};

QString byteText(quint8 value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

std::optional<QByteArray> romCode(const QStringList &cells)
{
    QByteArray code;
    for (int column = Byte0; column <= Byte7; ++column) {
        const QString cell = cells.value(column);
        if (cell.size() != 2 || Check_hex_pair(cell))
            return std::nullopt;
        code.append(char(cell.toUInt(nullptr, 16)));
    }
    return code;
}

QByteArray encodeAll(const TextTable &sensors)
{
    QByteArray data;
    for (const QStringList &cells : sensors) {
        const QByteArray code = romCode(cells).value_or(QByteArray(8, '\0'));
        for (int k : recordOrder)
            data.append(code.at(k));
        const qint64 reg = wholeNumber(cells.value(Register)).value_or(0);
        data.append(wordData(reg >= 0 && reg <= 0xFFFF ? quint16(reg) : 0));
    }
    return data;
}

std::optional<TextTable> decodeAll(QByteArrayView data)
{
    if (data.size() % recordBytes != 0)
        return std::nullopt;
    TextTable rows;
    for (qsizetype at = 0; at < data.size(); at += recordBytes) {
        const QByteArrayView record = data.sliced(at, recordBytes);
        QStringList cells(columnCount);
        cells[Num] = QString::number(rows.size() + 1);
        for (int j = 0; j < 8; ++j)
            cells[Byte0 + j] = byteText(quint8(record.at(recordOrder.at(j))));
        cells[Register] = QString::number(qint16(wordOf(record.sliced(8))));
        rows.append(cells);
    }
    return rows;
}

GridModel::CellNote codeNote(const QStringList &cells, int column)
{
    const std::optional<QByteArray> code = romCode(cells);
    if (column < Byte0 || column > Byte7 || !code)
        return {};
    const QString family = RomCode::family(quint8(code->at(0)));
    if (RomCode::crcMatches(*code))
        return {family};
    return {family + QLatin1Char('\n') + RomCode::crcMismatch, true};
}

QString proposedRegister(const QString &chosenRegister, const TextTable &sensors)
{
    const QString first = QStringLiteral("3000");
    if (chosenRegister.isEmpty() || sensors.isEmpty())
        return first;
    const std::optional<qint64> last = wholeNumber(sensors.last().value(Register));
    return last ? QString::number(*last + 2) : first;
}

} // namespace SensorTable

bool Check_hex_pair(QStringView text)
{
    static const QString digits = QStringLiteral("0123456789ABCDEFabcdef");
    return text.size() < 2 || !digits.contains(text.at(0)) || !digits.contains(text.at(1));
}

std::optional<SensorGridError> Check_grid_1w(const TextTable &sensors)
{
    if (sensors.size() > SensorTable::maxSensors)
        return SensorGridError{SensorTable::maxSensors, SensorGridError::TooManySensors};
    const QList<SensorGridError> faults = sensorGridFaults(sensors);
    return faults.isEmpty() ? std::nullopt : std::optional(faults.first());
}

QList<SensorGridError> sensorGridFaults(const TextTable &sensors)
{
    using namespace SensorTable;
    QList<SensorGridError> faults;
    for (int row = 1; row <= sensors.size(); ++row) {
        const QStringList &cells = sensors.at(row - 1);
        for (int column = Byte0; column <= Byte7; ++column) {
            const QString cell = cells.value(column);
            if (cell.size() != 2 || Check_hex_pair(cell))
                faults << SensorGridError{row, column - 1};
        }
        const std::optional<qint64> reg = wholeNumber(cells.value(Register));
        if (!reg || *reg < -32768 || *reg > maxRegister)
            faults << SensorGridError{row, SensorGridError::Register};
    }
    return faults;
}

QString sensorGridErrorRange(int code)
{
    if (code == SensorGridError::Register)
        return QStringLiteral("-32768 to %1").arg(SensorTable::maxRegister);
    return QStringLiteral("two hex digits, 00 to FF");
}

QString sensorGridErrorMessage(const SensorGridError &error)
{
    switch (error.code) {
    case SensorGridError::TooManySensors:
        return QStringLiteral(
            "You configuration has error - too much sensors. Maximum value is 128");
    case SensorGridError::Register:
        return QStringLiteral(
                   "You configuration has error in master addresing data Dxxxx. Row is ") +
               QString::number(error.row);
    default:
        return QStringLiteral("You configuration has error in the addresing data - row ") +
               QString::number(error.row) + QStringLiteral("\r\nColumn Byte ") +
               QString::number(error.code);
    }
}
