#pragma once

#include "config/configuration.h"
#include "link/plcpart.h"

#include <QList>
#include <QString>

// What the PLC's own memory receives and supplies under a configuration:
// each request of a UART in master mode fills (a read) or supplies (a write)
// "Num word" items from "Address master" on, in the bit area (coils) or the
// register area; each sensor of a 1-wire master fills two registers, its
// Dxxxx register and the next (a reading takes two registers, as the
// sensor check's "Dxxxx + 2 below 7999" says).
namespace RegisterMap {

enum class Area { Bits, Registers };
enum class Direction { Fills, Supplies };
// The tables a use or a conflict lies in.
using Table = PlcTable;

struct Use
{
    Table table = Table::Uart1;
    int row = 0; // from 1
    Area area = Area::Registers;
    int first = 0;
    int last = 0; // inclusive
    Direction direction = Direction::Fills;

    // "UART 1 row 4", "sensor 3".
    QString owner() const;
    bool operator==(const Use &) const = default;
};

// A cell a conflict is shown on.
struct Place
{
    Table table = Table::Uart1;
    int row = 0;
    int column = 0;
    bool operator==(const Place &) const = default;
};

struct Conflict
{
    QString text;
    QList<Place> places;
};

struct Map
{
    QList<Use> uses; // sorted by area, then first item
    QList<Conflict> conflicts;
};

// The map of a configuration and its conflicts: places that fill the same
// items of one area, the same request twice on one port, and the 128th
// sensor over UART 1's first request.
Map of(const Configuration &configuration);

// "bits", "registers"; "fills", "supplies".
QString areaName(Area area);
QString directionName(Direction direction);

} // namespace RegisterMap
