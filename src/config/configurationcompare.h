#pragma once

#include "config/configuration.h"
#include "config/configurationparts.h"

// What differs between a configuration and what a PLC holds, in the words a
// user reads: "UART 1 row 3 Timeout,[ms]: file 500, PLC 1000". Only what the
// PLC keeps is compared: a port's role, and by role its speed and parity
// with its request table or slave address; the auxiliary port's mode with
// its sensor table or Field Net settings. `mine` names where the first
// configuration comes from: "file", or "window" for what a window shows.
QStringList configurationDifferences(const Configuration &file, const Configuration &plc,
                                     const ConfigurationParts &parts = {},
                                     const QString &mine = QStringLiteral("file"));
