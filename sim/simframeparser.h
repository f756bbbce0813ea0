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
    QList<SimRequest> feed(QByteArrayView bytes, std::chrono::milliseconds now);

    // When the incomplete frame now held will be dropped, if one is held.
    std::optional<std::chrono::milliseconds> expiry() const;

private:
    std::optional<SimRequest> expire(std::chrono::milliseconds now);
    std::optional<SimRequest> feedByte(char byte, std::chrono::milliseconds now);
    std::optional<SimRequest> startFrame(std::chrono::milliseconds now);
    SimRequest finish(SimRequest request);
    SimRequest held(SimRequest::Kind kind, std::chrono::milliseconds endedAt) const;
    SimRequest dropped(const QString &reason, std::chrono::milliseconds at) const;
    SimRequest broken(const QString &reason) const;
    SimRequest decode() const;
    QString checkLastByte() const;
    QString validate(const SimRequest &request) const;

    bool commandFits() const;
    qsizetype fieldsAt() const;
    qsizetype etxAt() const;
    bool isComplete() const;

    QByteArray m_frame; // from its STX; empty outside a frame
    std::chrono::milliseconds m_firstByteAt{0};
    std::chrono::milliseconds m_lastByteAt{0};
};
