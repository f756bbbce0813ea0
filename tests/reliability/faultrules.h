#pragma once

// The faults of the line an operation is put through, and what each must
// do to it: shared by the fault matrix and the soak run.
#include "link/plcframe.h"
#include "plcsimulator.h"
#include "simport.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <map>
#include <optional>

namespace FaultRules {

// LateThenNext: an answer that comes just after its request's timeout,
// while the next request waits for its own. Digit: one data digit changed,
// the checksum the sender's. Lost: the request takes effect, its answer is
// lost once.
enum class Line {
    Refuse,
    Silent,
    Late,
    Garbage,
    EarlyEtx,
    Vanish,
    SplitUnder,
    SplitOver,
    LateThenNext,
    Digit,
    Lost,
};

enum class Frame { Probe, Read, Write, Command };

inline const QString noFirst =
    QStringLiteral("No first answer from PLC. Check cable connection,port setting,and e.t.c.");
inline const QString noSecond = QStringLiteral(
    "No second answer from PLC with type. Check cable connection,port setting,and e.t.c.");

// What a download stopped by a fault at its k-th request left in the PLC:
// nothing (before the control word "0FFF" was accepted, or after "0000"
// was), a PLC waiting for a configuration (the control word only), or part
// of the new configuration (data writes accepted too).
enum class Left { Nothing, Waiting, HalfWay };
inline const QByteArray beginWrite = PlcFrame::request(PlcCommand::Write, 0x3000, 2, "\x0F\xFF");

inline Left leftBehind(const QList<QByteArray> &requests, int k)
{
    const QByteArray &begin = beginWrite;
    const QByteArray end = PlcFrame::request(PlcCommand::Write, 0x3000, 2, QByteArray(2, '\0'));
    const QList<QByteArray> before = requests.first(k - 1);
    const qsizetype at = before.indexOf(begin);
    if (at < 0 || before.contains(end))
        return Left::Nothing;
    const bool data = std::any_of(before.begin() + at + 1, before.end(), [&](const QByteArray &r) {
        return r.startsWith("\x02"
                            "E11") &&
               r != begin;
    });
    return data ? Left::HalfWay : Left::Waiting;
}

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
// this kind: nothing (it succeeds as without the fault) or the message's
// first line. The connection test (`probe`) has messages of its own and
// tries each request once; the answers to command words and to the requests
// listed in `unexamined` are not looked at. Every other read whose answer is
// wrong or missing is sent again and then succeeds; writes are never sent
// again.
inline std::optional<QString> expectedFailure(bool probe, const QList<int> &unexamined, Line line,
                                              Frame frame, int k)
{
    const bool dataOnly = line == Line::EarlyEtx || line == Line::Digit;
    const bool reaches = !dataOnly || frame == Frame::Read;
    const bool examined = frame != Frame::Command && !unexamined.contains(k);
    if (!reaches || (!examined && line != Line::Vanish))
        return std::nullopt;
    if (probe)
        return frame == Frame::Probe ? noFirst : noSecond;
    if (frame == Frame::Read && line != Line::Refuse && line != Line::Vanish)
        return std::nullopt; // sent again
    switch (line) {
    case Line::Refuse:
    case Line::Garbage:
    case Line::EarlyEtx:
    case Line::Digit:
        return QStringLiteral("Wrong answer from PLC");
    case Line::Silent:
    case Line::Late:
    case Line::LateThenNext:
    case Line::Lost:
        return QStringLiteral("Answer timeout from PLC");
    default:
        return QStringLiteral("COM1: the device has vanished");
    }
}

// Whether a fault at the k-th request makes the operation send that request
// once more: a read whose answer is looked at, outside the connection test.
inline bool sentAgain(bool probe, const QList<int> &unexamined, Line line, Frame frame, int k)
{
    return !probe && frame == Frame::Read && !unexamined.contains(k) && line != Line::Refuse &&
           line != Line::Vanish && line != Line::SplitUnder && line != Line::SplitOver;
}

// Sets the simulator (or, for Vanish, the port) to hit the k-th request,
// whose timeout is `timeout`.
inline void injectAt(PlcSimulator &sim, SimPort &port, Line line, int k,
                     std::chrono::milliseconds timeout = std::chrono::milliseconds(1000))
{
    static const std::map<Line, SimFault> perRequest = {
        {Line::Refuse, SimFault::Refuse},     {Line::Silent, SimFault::Silent},
        {Line::Late, SimFault::Late},         {Line::Garbage, SimFault::Garbage},
        {Line::EarlyEtx, SimFault::EarlyEtx}, {Line::LateThenNext, SimFault::Late},
        {Line::Digit, SimFault::Digit},       {Line::Lost, SimFault::Lost}};
    SimFaults faults;
    faults.lateBy = std::chrono::milliseconds(1500);
    if (line == Line::LateThenNext) {
        // Every answer 20 ms after its request; the k-th one 10 ms after
        // its request's timeout, so it comes while the next request waits.
        faults.delay = std::chrono::milliseconds(20);
        faults.lateBy = timeout - std::chrono::milliseconds(10);
    }
    if (line == Line::Vanish)
        port.vanishAfter(k);
    else
        faults.perRequest[perRequest.at(line)].ordinals.insert(k);
    sim.setFaults(faults);
}

} // namespace FaultRules
