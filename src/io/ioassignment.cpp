#include "ioassignment.h"

#include <optional>

namespace {

// The number a Prog.name cell shows for its kind, if it shows one.
std::optional<int> shownNumber(const QString &name, QChar kind)
{
    if (name.size() < 2 || name.front() != kind)
        return std::nullopt;
    bool ok = false;
    const int number = name.mid(1).toInt(&ok, 8);
    return ok ? std::optional(number) : std::nullopt;
}

QString nameOf(QChar kind, int number)
{
    return kind + QString::number(number, 8);
}

} // namespace

int IoAssignment::nextFree(QChar kind) const
{
    QList<bool> used(pointCount, false);
    for (const IoPoint &point : points) {
        const std::optional<int> number = shownNumber(point.programName, kind);
        if (number && *number >= 0 && *number < pointCount)
            used[*number] = true;
    }
    const qsizetype free = used.indexOf(false);
    return free < 0 ? 0 : int(free);
}

void IoAssignment::choose(int point, int item)
{
    if (point < 0 || point >= pointCount || item < 0 || item >= choices.size())
        return;
    IoPoint &p = points[point];
    const int x = nextFree(QLatin1Char('X'));
    const int y = nextFree(QLatin1Char('Y'));
    if (item == 2) {
        p.programName.clear();
        p.function = 0;
    } else if (point == x + y) {
        const bool input = item == 0;
        p.programName = input ? nameOf(QLatin1Char('X'), x) : nameOf(QLatin1Char('Y'), y);
        p.function = input ? 1 : 2;
    }
    p.functionText = choices.at(item);
}

void IoAssignment::clear()
{
    points = QList<IoPoint>(pointCount);
}

quint32 IoAssignment::inputMask() const
{
    quint32 mask = 0;
    for (int i = 0; i < pointCount; ++i)
        mask |= points.at(i).function == 1 ? 1u << i : 0;
    return mask;
}

quint32 IoAssignment::outputMask() const
{
    quint32 mask = 0;
    for (int i = 0; i < pointCount; ++i)
        mask |= points.at(i).function == 2 ? 1u << i : 0;
    return mask;
}

void IoAssignment::applyMasks(quint32 inputs, quint32 outputs)
{
    int x = 0;
    int y = 0;
    for (int i = 0; i < pointCount; ++i) {
        IoPoint &p = points[i];
        if (inputs & (1u << i))
            p = {1, choices.at(0), nameOf(QLatin1Char('X'), x++)};
        else if (outputs & (1u << i))
            p = {2, uploadedOutput, nameOf(QLatin1Char('Y'), y++)};
    }
}

namespace IoTable {

QString pointLabel(int point)
{
    return QStringLiteral("IO  %1").arg(point);
}

} // namespace IoTable
