#include "requesttable.h"

#include "tables/wholenumber.h"

#include <array>

namespace RequestTable {

namespace {

int cellNumber(const QStringList &cells, int column)
{
    return column < cells.size() ? int(wholeNumber(cells.at(column)).value_or(0)) : 0;
}

} // namespace

QString functionName(const QString &cell)
{
    const std::optional<qint64> index = unsignedNumber(cell);
    return index && *index < functions.size() ? functions.at(*index) : QString();
}

QString modbusReference(const QStringList &row)
{
    // By function index: what the slave item is, and its reference's digit.
    static const std::array<std::pair<const char *, char>, 5> kinds = {{{"coil", '0'},
                                                                        {"holding register", '4'},
                                                                        {"holding register", '4'},
                                                                        {"coil", '0'},
                                                                        {"input register", '3'}}};
    const std::optional<qint64> function = unsignedNumber(row.value(Function));
    const std::optional<qint64> address = unsignedNumber(row.value(AddressSlave));
    if (!function || *function >= qint64(kinds.size()) || !address || *address > 65535)
        return {};
    const auto &[kind, digit] = kinds.at(*function);
    const qint64 item = *address + 1;
    return QStringLiteral("%1 %2%3 (protocol address %4)")
        .arg(QLatin1String(kind))
        .arg(QLatin1Char(digit))
        .arg(item, item > 9999 ? 5 : 4, 10, QLatin1Char('0'))
        .arg(*address);
}

QStringList cells(int slot, const RequestRow &row)
{
    return {QString::number(slot),
            QString::number(row.address),
            QString::number(row.count),
            QString::number(row.slaveAddress),
            QString::number(row.masterAddress),
            QString::number(row.function),
            QString::number(row.timeout)};
}

TextTable fromRows(const QList<RequestRow> &rows)
{
    TextTable table;
    for (const RequestRow &row : rows)
        table.append(cells(int(table.size()) + 1, row));
    return table;
}

QList<RequestRow> rows(const TextTable &table)
{
    QList<RequestRow> result;
    for (const QStringList &c : table) {
        result.append({cellNumber(c, Address), cellNumber(c, NumWord), cellNumber(c, AddressSlave),
                       cellNumber(c, AddressMaster), cellNumber(c, Function),
                       cellNumber(c, Timeout)});
    }
    return result;
}

} // namespace RequestTable
