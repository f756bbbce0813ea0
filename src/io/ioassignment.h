#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One of the PLC's I/O points as the "HW config" table shows it.
struct IoPoint
{
    int function = 0;     // the code sent to the PLC: 0 not used, 1 input, 2 output
    QString functionText; // the Function cell: "", "Input -X", "Output-Y", ...
    QString programName;  // the Prog.name cell: "", or X or Y and an octal number

    bool operator==(const IoPoint &) const = default;
};

// The assignment of the 21 I/O points as inputs (X) and outputs (Y), point 0
// first; all unassigned at start. Inputs and outputs are numbered in octal,
// each from 0, in the order the points were given them.
//
// Which X and Y numbers are taken is read from the Prog.name cells: a
// number counts as taken exactly while a point shows it.
struct IoAssignment
{
    static constexpr int pointCount = 21;

    // The selector's items, in their order, and the text an upload writes
    // for an output.
    static inline const QStringList choices = {
        QStringLiteral("Input -X"), QStringLiteral("Output-Y"), QStringLiteral("Not use")};
    static inline const QString uploadedOutput = QStringLiteral("Output -Y");

    QList<IoPoint> points = QList<IoPoint>(pointCount);

    // The selector's item chosen on a point's Function cell. "Input -X" and
    // "Output-Y" assign the lowest free number of their kind, but only on
    // the point next in turn (the count of the numbers taken); elsewhere they
    // change the Function text alone. "Not use" clears the point.
    void choose(int point, int item);
    // "New IO config": every point unassigned.
    void clear();

    // The lowest X (or Y) number no point shows; 0 when all are shown.
    int nextFree(QChar kind) const;

    // Bit i set where point i is an input (an output).
    quint32 inputMask() const;
    quint32 outputMask() const;
    // What an upload shows: the points set in a mask become inputs or
    // outputs, numbered in point order (an input where both masks are set);
    // the others stay as they are.
    void applyMasks(quint32 inputs, quint32 outputs);

    bool operator==(const IoAssignment &) const = default;
};

// The I/O table: its format and the label of each point's row.
namespace IoTable {
inline const QString format = QStringLiteral("Address | Function | Prog.name ");
enum Column { Address = 0, Function = 1, ProgramName = 2 };
// "IO", a blank, and the number with a leading blank: "IO  0" ... "IO  20".
QString pointLabel(int point);
} // namespace IoTable
