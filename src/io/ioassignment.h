#pragma once

#include <QList>
#include <QString>

// One of the PLC's I/O points as the "HW config" table shows it.
struct IoPoint
{
    int function = 0;     // the code sent to the PLC: 0 not used, 1 input, 2 output
    QString functionText; // the Function cell: "", "Input -X", "Output-Y", ...
    QString programName;  // the Prog.name cell: "", or X or Y and an octal number

    bool operator==(const IoPoint &) const = default;
};

// The assignment of the 21 I/O points, point 0 first; all unassigned at start.
struct IoAssignment
{
    static constexpr int pointCount = 21;
    QList<IoPoint> points = QList<IoPoint>(pointCount);

    bool operator==(const IoAssignment &) const = default;
};
