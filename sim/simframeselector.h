#pragma once

#include <QSet>
#include <QStringView>

#include <optional>

// Chooses the requests a per-request fault hits: by the 1-based ordinal of the
// request among all requests received (ENQs and refused frames included), or
// by the address the request names.
struct SimFrameSelector
{
    QSet<int> ordinals;
    QSet<quint16> addresses;

    bool isEmpty() const { return ordinals.isEmpty() && addresses.isEmpty(); }
    bool matches(int ordinal, std::optional<quint16> address) const;

    // Adds the items of a comma-separated list: "3" chooses the third request
    // received, "@3000" every request to address 3000 (four hex digits).
    // Returns false, adding nothing, when an item is malformed.
    bool add(QStringView list);
};
