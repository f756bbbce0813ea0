#include "requesttable.h"

#include "tables/wholenumber.h"

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
