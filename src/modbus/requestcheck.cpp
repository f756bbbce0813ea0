#include "requestcheck.h"

#include "modbus/modeword.h"
#include "modbus/requesttable.h"
#include "tables/wholenumber.h"

#include <array>

namespace {

constexpr int maxSlaveAddress = 248;
constexpr int maxTimeout = 0xFFF;

bool isBitFunction(int function)
{
    return function == 0 || function == 3;
}

// The most items one request moves: a byte's worth of coils, and as many
// registers as a Modbus frame carries (fewer for a write, which also carries
// its own byte count and addresses).
int countLimit(int function)
{
    if (isBitFunction(function))
        return 255;
    return function == 2 ? 123 : 125;
}

// The last coil or register number a request may reach, in the slave and in
// the PLC alike.
int areaLimit(int function)
{
    return isBitFunction(function) ? 3071 : 7999;
}

std::optional<int> cell(const QStringList &cells, int column)
{
    const auto value = column < cells.size() ? wholeNumber(cells.at(column)) : std::nullopt;
    if (!value || *value < -32768 || *value > 32767)
        return std::nullopt;
    return int(*value);
}

bool within(std::optional<int> value, int low, int high)
{
    return value && *value >= low && *value <= high;
}

// What a row's cells may hold beside the fixed ranges: the most items its
// function moves and the last first item that leaves room for them. Without
// a valid function (or count) the widest limits are taken, so that only the
// cell at fault is.
struct RowLimits
{
    int count;
    int firstItem;
};

RowLimits limitsOf(const QStringList &cells)
{
    using Col = RequestTable::Column;
    const std::optional<int> function = cell(cells, Col::Function);
    const bool known = within(function, 0, 4);
    const int mostCount = known ? countLimit(*function) : 255;
    const std::optional<int> count = cell(cells, Col::NumWord);
    const int area = known ? areaLimit(*function) : areaLimit(1);
    return {mostCount, area - (within(count, 0, mostCount) ? *count : 0)};
}

// Every fault of one request row, as codes, in the order of the checks: the
// function, then columns 1 to 4 and the timeout.
QList<int> rowFaults(const QStringList &cells)
{
    using Col = RequestTable::Column;
    const RowLimits limits = limitsOf(cells);
    QList<int> faults;
    if (!within(cell(cells, Col::Function), 0, 4))
        faults << GridError::Function;
    if (!within(cell(cells, Col::Address), 0, maxSlaveAddress))
        faults << GridError::Address;
    if (!within(cell(cells, Col::NumWord), 0, limits.count))
        faults << GridError::NumWord;
    if (!within(cell(cells, Col::AddressSlave), 0, limits.firstItem))
        faults << GridError::AddressSlave;
    if (!within(cell(cells, Col::AddressMaster), 0, limits.firstItem))
        faults << GridError::AddressMaster;
    if (!within(cell(cells, Col::Timeout), 1, maxTimeout))
        faults << GridError::Timeout;
    return faults;
}

struct ErrorText
{
    const char *what;
    const char *column;
};

constexpr std::array<ErrorText, 6> errorTexts = {{
    {"You configuration has error in the slave address data - row ", "Column [Address]"},
    {"You configuration has error in the size of request  - row ", "Column [Num word]"},
    {"You configuration has error in the slave address data - row ", "Column [Address slave]"},
    {"You configuration has error in the master address data - row ", "Column [Address master]"},
    {"You configuration has error in the function code - row ", "Column [Function]"},
    {"You configuration has error in the Timeout - row ", "Column [Timeout,[ms]]"},
}};

const QString lineBreak = QStringLiteral("\r\n");

// The dialog's fields in the order its OK check takes them, with the
// values each takes and the row's member it fills.
struct DialogFieldRule
{
    DialogFieldFault::Field field;
    QString RequestDialogFields::*text;
    int low;
    int high;
    int RequestRow::*into;
};
const DialogFieldRule dialogFieldRules[] = {
    {DialogFieldFault::Address, &RequestDialogFields::address, 1, 254, &RequestRow::address},
    {DialogFieldFault::SlaveAddress, &RequestDialogFields::slaveAddress, 0, 32767,
     &RequestRow::slaveAddress},
    {DialogFieldFault::Count, &RequestDialogFields::count, 1, 254, &RequestRow::count},
    {DialogFieldFault::MasterAddress, &RequestDialogFields::masterAddress, 0, 32767,
     &RequestRow::masterAddress},
    {DialogFieldFault::Timeout, &RequestDialogFields::timeout, 1, maxTimeout, &RequestRow::timeout},
};

std::optional<int> fieldValue(const RequestDialogFields &fields, const DialogFieldRule &rule)
{
    const std::optional<qint64> value = wholeNumber(fields.*rule.text);
    if (!value || *value < rule.low || *value > rule.high)
        return std::nullopt;
    return int(*value);
}

} // namespace

std::optional<GridError> Check_grid(const TextTable &table)
{
    if (table.size() > ModeWord::maxRows)
        return GridError{ModeWord::maxRows, GridError::TooManyRows};
    for (int r = 1; r <= table.size(); ++r) {
        if (const QList<int> faults = rowFaults(table.at(r - 1)); !faults.isEmpty())
            return GridError{r, faults.first()};
    }
    return std::nullopt;
}

QList<GridError> gridFaults(const TextTable &table)
{
    QList<GridError> all;
    for (int r = 1; r <= table.size(); ++r) {
        for (int code : rowFaults(table.at(r - 1)))
            all << GridError{r, code};
    }
    return all;
}

int gridErrorColumn(int code)
{
    using Col = RequestTable::Column;
    static constexpr std::array<int, 6> columns = {Col::Address,      Col::NumWord,
                                                   Col::AddressSlave, Col::AddressMaster,
                                                   Col::Function,     Col::Timeout};
    return code >= 0 && code < int(columns.size()) ? columns.at(std::size_t(code)) : -1;
}

QString gridErrorRange(int code, const QStringList &cells)
{
    const RowLimits limits = limitsOf(cells);
    switch (code) {
    case GridError::Address:
        return QStringLiteral("0 to %1").arg(maxSlaveAddress);
    case GridError::NumWord:
        return QStringLiteral("0 to %1").arg(limits.count);
    case GridError::AddressSlave:
    case GridError::AddressMaster:
        return QStringLiteral("0 to %1").arg(limits.firstItem);
    case GridError::Function:
        return QStringLiteral("0 to 4");
    case GridError::Timeout:
        return QStringLiteral("1 to %1").arg(maxTimeout);
    default:
        return QStringLiteral("at most %1 rows").arg(ModeWord::maxRows);
    }
}

QString gridErrorMessage(const GridError &error)
{
    if (error.code == GridError::TooManyRows)
        return QStringLiteral("You configuration has error in the number of slaves. ") + lineBreak +
               QStringLiteral("Maximum allowed number is 128 ");
    const ErrorText &text = errorTexts.at(std::size_t(error.code));
    return QLatin1String(text.what) + QString::number(error.row) + lineBreak +
           QLatin1String(text.column);
}

bool cellValueAccepted(int column, QStringView text)
{
    using Col = RequestTable::Column;
    if (column == Col::Address || column == Col::NumWord || column == Col::Function)
        return unsignedNumber(text).value_or(256) <= 255;
    if (column == Col::AddressSlave || column == Col::AddressMaster || column == Col::Timeout)
        return unsignedNumber(text).value_or(65536) <= 65535;
    return true;
}

DialogCheck checkDialogFields(const RequestDialogFields &fields)
{
    RequestRow row;
    row.function = fields.function;
    for (const DialogFieldRule &rule : dialogFieldRules) {
        const std::optional<int> value = fieldValue(fields, rule);
        if (!value)
            return {std::nullopt, QStringLiteral("You put wrong value  ") + fields.*rule.text};
        row.*rule.into = *value;
    }
    return {row, {}};
}

QList<DialogFieldFault> dialogFieldFaults(const RequestDialogFields &fields)
{
    QList<DialogFieldFault> faults;
    for (const DialogFieldRule &rule : dialogFieldRules) {
        if (!fieldValue(fields, rule))
            faults.append({rule.field, QStringLiteral("%1 to %2").arg(rule.low).arg(rule.high)});
    }
    return faults;
}

SlaveAddressCheck checkSlaveAddress(const QString &text)
{
    const std::optional<qint64> address = wholeNumber(text);
    if (!address)
        return {0, QStringLiteral("Please, use only digit n the address field ")};
    if (*address < 1 || *address > 247)
        return {0, QStringLiteral("Please, use valid range - address range from 1 to 247 ")};
    return {int(*address), {}};
}

SlaveTimeoutCheck checkSlaveTimeout(const QString &text)
{
    const std::optional<qint64> timeout = wholeNumber(text);
    if (!timeout || *timeout < 0 || *timeout > 65535)
        return {0, QStringLiteral("Please, use a whole number of milliseconds from 0 to 65535 "
                                  "in the timeout field ")};
    return {quint16(*timeout), {}};
}
