#include "slaveproposal.h"

#include "modbus/requesttable.h"
#include "tables/wholenumber.h"

namespace {

RequestDialogFields defaults(const QString &address)
{
    return {address,
            QStringLiteral("0"),
            QStringLiteral("100"),
            QStringLiteral("0"),
            QStringLiteral("100"),
            1};
}

// A cell as the whole number it holds; a cell that holds none as it stands.
QString asNumber(const QString &cell)
{
    const std::optional<qint64> value = wholeNumber(cell);
    return value ? QString::number(*value) : cell;
}

// An address advanced by a count, when both are whole numbers.
QString advanced(const QString &address, const QString &count)
{
    const std::optional<qint64> start = wholeNumber(address);
    const std::optional<qint64> items = wholeNumber(count);
    return start && items ? QString::number(*start + *items) : asNumber(address);
}

// The function list's index; none (-1) for a cell that names no function.
int functionIndex(const QString &cell)
{
    const qint64 index = wholeNumber(cell).value_or(-1);
    return index >= 0 && index < RequestTable::functions.size() ? int(index) : -1;
}

RequestDialogFields rowFields(const QStringList &cells)
{
    using namespace RequestTable;
    return {asNumber(cells.value(Address)), asNumber(cells.value(AddressSlave)),
            asNumber(cells.value(NumWord)), asNumber(cells.value(AddressMaster)),
            asNumber(cells.value(Timeout)), functionIndex(cells.value(Function))};
}

RequestDialogFields continued(const QStringList &cells)
{
    using namespace RequestTable;
    RequestDialogFields fields = rowFields(cells);
    fields.slaveAddress = advanced(cells.value(AddressSlave), cells.value(NumWord));
    fields.masterAddress = advanced(cells.value(AddressMaster), cells.value(NumWord));
    return fields;
}

} // namespace

SlaveProposal SlaveProposal::forAdd(const TextTable &table, int chosenRow)
{
    const int last = int(table.size());
    if (chosenRow == 0 || last == 0)
        return {last + 1, chosenRow == 0 ? 1 : chosenRow, defaults(QStringLiteral("3"))};
    return {last + 1, chosenRow, continued(table.at(last - 1))};
}

std::optional<SlaveProposal> SlaveProposal::forModify(const TextTable &table, int chosenRow)
{
    const int last = int(table.size());
    if (last == 0)
        return std::nullopt;
    if (chosenRow == 0)
        return SlaveProposal{1, 1, defaults(QStringLiteral("2"))};
    const int row = chosenRow <= last ? chosenRow : last;
    return SlaveProposal{row, row, rowFields(table.at(row - 1))};
}
