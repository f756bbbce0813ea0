#pragma once

#include "link/plcpart.h"

#include <QStringList>

#include <optional>

// The parts of a configuration that travel to and from the PLC on their own.
struct ConfigurationParts
{
    bool uart1 = true;
    bool uart2 = true;
    bool aux = true;

    // The parts' names, as --only takes them.
    static QStringList names()
    {
        return {QStringLiteral("uart1"), QStringLiteral("uart2"), QStringLiteral("aux")};
    }

    // "uart1,uart2,aux" or any of them; nothing for an unknown name.
    static std::optional<ConfigurationParts> fromText(const QString &text);
    // The one part; the I/O assignment is none of them.
    static constexpr ConfigurationParts only(PlcPart part)
    {
        return {part == PlcPart::Uart1, part == PlcPart::Uart2, part == PlcPart::Aux};
    }
};

inline std::optional<ConfigurationParts> ConfigurationParts::fromText(const QString &text)
{
    ConfigurationParts parts{false, false, false};
    for (const QString &name : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString part = name.trimmed().toLower();
        if (part == QLatin1String("uart1"))
            parts.uart1 = true;
        else if (part == QLatin1String("uart2"))
            parts.uart2 = true;
        else if (part == QLatin1String("aux"))
            parts.aux = true;
        else
            return std::nullopt;
    }
    return parts;
}
