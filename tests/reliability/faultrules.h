#pragma once

// The faults of the line an operation is put through, and what each must
// do to it: shared by the fault matrix and the soak run.
#include "link/plcframe.h"
#include "plcsimulator.h"
#include "simport.h"

#include <QList>
#include <QString>

#include <map>
#include <optional>

namespace FaultRules {

enum class Line { Refuse, Silent, Late, Garbage, EarlyEtx, Vanish, SplitUnder, SplitOver };

enum class Frame { Probe, Read, Write, Command };

inline const QString noFirst =
    QStringLiteral("No first answer from PLC. Check cable connection,port setting,and e.t.c.");
inline const QString noSecond = QStringLiteral(
    "No second answer from PLC with type. Check cable connection,port setting,and e.t.c.");

inline Frame kindOf(const QByteArray &request)
{
    if (request == QByteArray(1, PlcFrame::ENQ))
        return Frame::Probe;
    if (request.startsWith("\x02"
                           "E00") ||
        request.startsWith("\x02"
                           "0"))
        return Frame::Read;
    return request.startsWith("\x02"
                              "E102002")
               ? Frame::Command
               : Frame::Write;
}

// What an operation must end with when the fault hits its k-th request, of
// this kind: nothing (it succeeds as without the fault) or the message. The
// connection test (`probe`) has messages of its own; the answers to command
// words and to the requests listed in `unexamined` are not looked at.
inline std::optional<QString> expectedFailure(bool probe, const QList<int> &unexamined, Line line,
                                              Frame frame, int k)
{
    const bool reaches = line != Line::EarlyEtx || frame == Frame::Read;
    const bool examined = frame != Frame::Command && !unexamined.contains(k);
    if (!reaches || (!examined && line != Line::Vanish))
        return std::nullopt;
    if (probe)
        return frame == Frame::Probe ? noFirst : noSecond;
    switch (line) {
    case Line::Refuse:
    case Line::Garbage:
    case Line::EarlyEtx:
        return QStringLiteral("Wrong answer from PLC");
    case Line::Silent:
    case Line::Late:
        return QStringLiteral("Answer timeout from PLC");
    default:
        return QStringLiteral("COM1: the device has vanished");
    }
}

// Sets the simulator (or, for Vanish, the port) to hit the k-th request.
inline void injectAt(PlcSimulator &sim, SimPort &port, Line line, int k)
{
    static const std::map<Line, SimFault> perRequest = {{Line::Refuse, SimFault::Refuse},
                                                        {Line::Silent, SimFault::Silent},
                                                        {Line::Late, SimFault::Late},
                                                        {Line::Garbage, SimFault::Garbage},
                                                        {Line::EarlyEtx, SimFault::EarlyEtx}};
    SimFaults faults;
    faults.lateBy = std::chrono::milliseconds(1500);
    if (line == Line::Vanish)
        port.vanishAfter(k);
    else
        faults.perRequest[perRequest.at(line)].ordinals.insert(k);
    sim.setFaults(faults);
}

} // namespace FaultRules
