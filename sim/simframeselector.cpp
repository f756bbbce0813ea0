#include "simframeselector.h"

#include <QList>

namespace {

std::optional<quint16> addressItem(QStringView item)
{
    if (!item.startsWith(u'@') || item.size() != 5)
        return std::nullopt;
    bool ok = false;
    const uint value = item.sliced(1).toUInt(&ok, 16);
    return ok ? std::optional<quint16>(quint16(value)) : std::nullopt;
}

std::optional<int> ordinalItem(QStringView item)
{
    bool ok = false;
    const int value = item.toInt(&ok, 10);
    return ok && value >= 1 ? std::optional<int>(value) : std::nullopt;
}

} // namespace

bool SimFrameSelector::matches(int ordinal, std::optional<quint16> address) const
{
    return ordinals.contains(ordinal) || (address && addresses.contains(*address));
}

bool SimFrameSelector::add(QStringView list)
{
    SimFrameSelector added;
    for (QStringView item : list.split(u',')) {
        item = item.trimmed();
        if (const auto address = addressItem(item))
            added.addresses.insert(*address);
        else if (const auto ordinal = ordinalItem(item))
            added.ordinals.insert(*ordinal);
        else
            return false;
    }
    ordinals.unite(added.ordinals);
    addresses.unite(added.addresses);
    return true;
}
