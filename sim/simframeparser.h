#pragma once

#include "simrequest.h"

#include <QByteArrayView>
#include <QList>

// Splits the bytes arriving from the tool into requests. Outside a frame only
// STX (a frame begins) and ENQ (a probe) mean something; everything else is
// ignored. A frame is given up on at the first byte that cannot belong to a
// valid frame (answered NAK), when a new STX arrives (the old frame is
// dropped) or when no byte has arrived for staleAfter (dropped), so the parser
// always finds its way back to the next frame.
class SimFrameParser
{
public:
    static constexpr std::chrono::milliseconds staleAfter{500};

    // Takes bytes that arrived at `now`. Returns the requests ended by them
    // (or by the passing of time, when `bytes` is empty), in order.
    QList<SimRequest> feed(QByteArrayView bytes, SimTime now);

    // When the incomplete frame now held will be dropped, if one is held.
    std::optional<SimTime> expiry() const;

private:
    std::optional<SimRequest> expire(SimTime now);
    std::optional<SimRequest> feedByte(char byte, SimTime now);
    std::optional<SimRequest> startFrame(SimTime now);
    SimRequest finish(SimRequest request);
    SimRequest held(SimRequest::Kind kind, SimTime endedAt) const;
    SimRequest dropped(const QString &reason, SimTime at) const;
    SimRequest broken(const QString &reason) const;
    SimRequest decode() const;
    QString checkLastByte() const;
    QString validate(const SimRequest &request) const;

    bool commandFits() const;
    qsizetype fieldsAt() const;
    qsizetype etxAt() const;
    bool isComplete() const;

    QByteArray m_frame; // from its STX; empty outside a frame
    SimTime m_firstByteAt{0};
    SimTime m_lastByteAt{0};
};
