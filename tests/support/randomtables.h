#pragma once

#include "modbus/requesttable.h"
#include "onewire/sensortable.h"

#include <QList>
#include <QRandomGenerator>

#include <random>

// The random choices of the soaks, repeatable from a seed: the same seed
// gives the same choices on every machine.
class Random
{
public:
    explicit Random(quint64 seed)
    {
        std::seed_seq words{quint32(seed), quint32(seed >> 32)};
        m_generator.seed(words);
    }
    // A whole number from low to high, both included.
    int between(int low, int high) { return int(m_generator.bounded(low, high + 1)); }
    bool chance(int percent) { return between(1, 100) <= percent; }
    template <typename T> const T &pick(const QList<T> &list)
    {
        return list.at(between(0, int(list.size()) - 1));
    }
    // Two upper-case hex digits, 00 to FF.
    QString hexByte()
    {
        return QString::number(between(0, 255), 16).rightJustified(2, u'0').toUpper();
    }

private:
    QRandomGenerator m_generator;
};

// What a random request row may hold in the cells whose range the callers
// choose: the slave address (column Address) and the fewest items a request
// moves (column Num word; the most is always the function's own limit).
// The defaults are what a Modbus slave answers: addresses 1 to 247, at least
// one item. The download's check passes more (addresses 0 to 248, a count of
// 0); the core soak (tests/reliability/soak.cpp) asks for those edges on
// purpose, the window soak keeps to the defaults (see each).
struct RequestLimits
{
    int lowestAddress = 1;
    int highestAddress = 247;
    int fewestItems = 1;
};

// A table of `rows` request rows that the download's check (Check_grid)
// passes: each function with a count it allows and slave and master
// addresses that leave room for that count, a timeout of 1 to 4095 ms, and
// the slave address and the count's low end from `limits`.
inline TextTable randomRequests(Random &random, int rows, const RequestLimits &limits)
{
    TextTable table;
    for (int n = 1; n <= rows; ++n) {
        const int function = random.between(0, 4);
        const bool bits = function == 0 || function == 3;
        const int count = random.between(limits.fewestItems, bits            ? 255
                                                             : function == 2 ? 123
                                                                             : 125);
        const int area = (bits ? 3071 : 7999) - count;
        QStringList row(RequestTable::columnCount);
        row[RequestTable::Slot] = QString::number(n);
        row[RequestTable::Address] =
            QString::number(random.between(limits.lowestAddress, limits.highestAddress));
        row[RequestTable::NumWord] = QString::number(count);
        row[RequestTable::AddressSlave] = QString::number(random.between(0, area));
        row[RequestTable::AddressMaster] = QString::number(random.between(0, area));
        row[RequestTable::Function] = QString::number(function);
        row[RequestTable::Timeout] = QString::number(random.between(1, 4095));
        table << row;
    }
    return table;
}

// A sensor row numbered n that the sensor table's check (Check_grid_1w)
// passes: eight random hex bytes (the last not necessarily their CRC) and a
// data register from lowestRegister to highestRegister.
inline QStringList randomSensor(Random &random, int n, int lowestRegister = 0,
                                int highestRegister = SensorTable::maxRegister)
{
    QStringList row{QString::number(n)};
    for (int b = 0; b < 8; ++b)
        row << random.hexByte();
    row << QString::number(random.between(lowestRegister, highestRegister));
    return row;
}
