#include "requesttable.h"

#include "modbus/wholenumber.h"

namespace RequestTable {

namespace {

QStringList openRow(int slot)
{
    QStringList row(columnCount);
    row[Slot] = QString::number(slot);
    return row;
}

int cellNumber(const QStringList &cells, int column)
{
    return column < cells.size() ? int(wholeNumber(cells.at(column)).value_or(0)) : 0;
}

} // namespace

int requestCount(const TextTable &table)
{
    return std::max(0, int(table.size()) - 2);
}

TextTable empty()
{
    return fromRows({});
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
    TextTable table{headerFromFormat(format)};
    for (const RequestRow &row : rows)
        table.append(cells(int(table.size()), row));
    table.append(openRow(int(table.size())));
    return table;
}

QList<RequestRow> rows(const TextTable &table)
{
    QList<RequestRow> result;
    for (int r = 1; r <= requestCount(table); ++r) {
        const QStringList &c = table.at(r);
        result.append({cellNumber(c, Address), cellNumber(c, NumWord), cellNumber(c, AddressSlave),
                       cellNumber(c, AddressMaster), cellNumber(c, Function),
                       cellNumber(c, Timeout)});
    }
    return result;
}

} // namespace RequestTable
