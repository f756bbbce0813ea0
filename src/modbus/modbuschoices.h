#pragma once

#include <QStringList>

// The line-setting lists of the UART tabs, index 0 first. Settings are
// stored and sent as list indexes, never as texts.
namespace ModbusChoices {
inline const QStringList speeds = {QStringLiteral("9600"),   QStringLiteral("19200"),
                                   QStringLiteral("38400"),  QStringLiteral("57600"),
                                   QStringLiteral("115200"), QStringLiteral("187500"),
                                   QStringLiteral("256000"), QStringLiteral("500000")};
inline const QStringList parities = {QStringLiteral("Odd"), QStringLiteral("Even"),
                                     QStringLiteral("None")};
inline const QStringList dataBits = {QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")};
inline const QStringList stopBits = {QStringLiteral("1"), QStringLiteral("1.5"),
                                     QStringLiteral("2")};

inline constexpr int speed115200 = 4;
inline constexpr int parityNone = 2;
} // namespace ModbusChoices
