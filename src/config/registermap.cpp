#include "registermap.h"

#include "modbus/requesttable.h"
#include "onewire/sensortable.h"
#include "tables/wholenumber.h"

#include <algorithm>
#include <array>
#include <optional>
#include <tuple>

namespace RegisterMap {

namespace {

// The request table's functions by index: the area and the direction.
struct FunctionUse
{
    Area area;
    Direction direction;
};
constexpr std::array<FunctionUse, 5> functionUses = {{
    {Area::Bits, Direction::Fills},         // Read coils
    {Area::Registers, Direction::Fills},    // Read holding register
    {Area::Registers, Direction::Supplies}, // Write multiply register
    {Area::Bits, Direction::Supplies},      // Write coils
    {Area::Registers, Direction::Fills},    // Read input register
}};

std::optional<int> number(const QStringList &cells, int column)
{
    const std::optional<qint64> value = wholeNumber(cells.value(column));
    if (!value || *value < -1000000 || *value > 1000000)
        return std::nullopt;
    return int(*value);
}

QString range(Area area, int first, int last)
{
    return first == last
               ? QStringLiteral("%1 %2")
                     .arg(area == Area::Bits ? QStringLiteral("bit") : QStringLiteral("register"))
                     .arg(first)
               : QStringLiteral("%1 %2 to %3").arg(areaName(area)).arg(first).arg(last);
}

void addRequests(QList<Use> &uses, Table table, const UartSettings &uart)
{
    if (uart.role != ModbusRole::Master)
        return;
    for (int row = 1; row <= uart.table.size(); ++row) {
        const QStringList &cells = uart.table.at(row - 1);
        const std::optional<int> function = number(cells, RequestTable::Function);
        const std::optional<int> count = number(cells, RequestTable::NumWord);
        const std::optional<int> master = number(cells, RequestTable::AddressMaster);
        if (!function || *function < 0 || *function >= int(functionUses.size()) || !count ||
            *count < 1 || !master)
            continue;
        const FunctionUse use = functionUses.at(*function);
        uses.append({table, row, use.area, *master, *master + *count - 1, use.direction});
    }
}

int columnOf(const Use &use)
{
    return use.table == Table::Sensors ? int(SensorTable::Register)
                                       : int(RequestTable::AddressMaster);
}

// Two places that fill the same items.
std::optional<Conflict> overlap(const Use &a, const Use &b)
{
    if (a.area != b.area || a.direction != Direction::Fills || b.direction != Direction::Fills)
        return std::nullopt;
    const int first = std::max(a.first, b.first);
    const int last = std::min(a.last, b.last);
    if (first > last)
        return std::nullopt;
    const QList<Place> places = {{a.table, a.row, columnOf(a)}, {b.table, b.row, columnOf(b)}};
    // A sensor inside a request's items is named by its register.
    for (const auto &[sensor, request] : {std::pair{a, b}, std::pair{b, a}}) {
        if (sensor.table == Table::Sensors && request.table != Table::Sensors)
            return Conflict{
                QStringLiteral("%1 (register %2) lies inside %3's %4")
                    .arg(sensor.owner())
                    .arg(sensor.first)
                    .arg(request.owner(), range(request.area, request.first, request.last)),
                places};
    }
    return Conflict{QStringLiteral("%1 and %2 both fill %3")
                        .arg(a.owner(), b.owner(), range(a.area, first, last)),
                    places};
}

// The same request twice on one port: one slave, one function, items that
// overlap on the slave.
void addRepeats(QList<Conflict> &conflicts, Table table, const UartSettings &uart)
{
    if (uart.role != ModbusRole::Master)
        return;
    const QString port =
        table == Table::Uart1 ? QStringLiteral("UART 1") : QStringLiteral("UART 2");
    for (int i = 1; i <= uart.table.size(); ++i) {
        for (int j = i + 1; j <= uart.table.size(); ++j) {
            const QStringList &a = uart.table.at(i - 1);
            const QStringList &b = uart.table.at(j - 1);
            const auto slave = [](const QStringList &cells) {
                return std::tuple{number(cells, RequestTable::Address),
                                  number(cells, RequestTable::Function)};
            };
            if (slave(a) != slave(b) || !std::get<0>(slave(a)) || !std::get<1>(slave(a)))
                continue;
            const std::optional<int> fa = number(a, RequestTable::AddressSlave);
            const std::optional<int> ca = number(a, RequestTable::NumWord);
            const std::optional<int> fb = number(b, RequestTable::AddressSlave);
            const std::optional<int> cb = number(b, RequestTable::NumWord);
            if (!fa || !ca || !fb || !cb || *ca < 1 || *cb < 1)
                continue;
            const int first = std::max(*fa, *fb);
            const int last = std::min(*fa + *ca - 1, *fb + *cb - 1);
            if (first > last)
                continue;
            conflicts.append(
                {QStringLiteral("%1 rows %2 and %3 ask slave %4 twice (%5, slave items %6 to %7)")
                     .arg(port)
                     .arg(i)
                     .arg(j)
                     .arg(*std::get<0>(slave(a)))
                     .arg(RequestTable::functions.value(*std::get<1>(slave(a))))
                     .arg(first)
                     .arg(last),
                 {{table, i, RequestTable::AddressSlave}, {table, j, RequestTable::AddressSlave}}});
        }
    }
}

} // namespace

QString Use::owner() const
{
    if (table == Table::Sensors)
        return QStringLiteral("sensor %1").arg(row);
    return QStringLiteral("UART %1 row %2").arg(table == Table::Uart1 ? 1 : 2).arg(row);
}

QString areaName(Area area)
{
    return area == Area::Bits ? QStringLiteral("bits") : QStringLiteral("registers");
}

QString directionName(Direction direction)
{
    return direction == Direction::Fills ? QStringLiteral("fills") : QStringLiteral("supplies");
}

Map of(const Configuration &configuration)
{
    Map map;
    addRequests(map.uses, Table::Uart1, configuration.uart1);
    addRequests(map.uses, Table::Uart2, configuration.uart2);
    if (configuration.aux.mode == AuxMode::OneWireMaster) {
        for (int row = 1; row <= configuration.aux.sensors.size(); ++row) {
            if (const std::optional<int> reg =
                    number(configuration.aux.sensors.at(row - 1), SensorTable::Register))
                map.uses.append(
                    {Table::Sensors, row, Area::Registers, *reg, *reg + 1, Direction::Fills});
        }
    }
    std::stable_sort(map.uses.begin(), map.uses.end(), [](const Use &a, const Use &b) {
        return std::tie(a.area, a.first, a.last) < std::tie(b.area, b.first, b.last);
    });
    // Sorted by first item: a use overlaps only those after it that start
    // before it ends.
    for (qsizetype i = 0; i < map.uses.size(); ++i) {
        for (qsizetype j = i + 1; j < map.uses.size(); ++j) {
            const Use &a = map.uses.at(i);
            const Use &b = map.uses.at(j);
            if (b.area != a.area || b.first > a.last)
                break;
            if (const std::optional<Conflict> conflict = overlap(a, b))
                map.conflicts.append(*conflict);
        }
    }
    addRepeats(map.conflicts, Table::Uart1, configuration.uart1);
    addRepeats(map.conflicts, Table::Uart2, configuration.uart2);
    if (const std::optional<TransferResult> clash = plcMemoryClash(configuration))
        map.conflicts.append({clash->message,
                              {{Table::Sensors, SensorTable::maxSensors, SensorTable::Register},
                               {Table::Uart1, 1, RequestTable::AddressMaster}}});
    return map;
}

} // namespace RegisterMap
