#pragma once

#include <QString>

class PlcSimulator;

// Puts a configuration file into the simulated PLC's memory the way the tool
// puts it into a PLC: the file (a configuration file, or the command line's
// JSON form when its name ends in .json) is read as the tool reads it and
// downloaded whole, as "plc-tarvik-cli download" does, through an in-process
// port. The memory then holds exactly what such a download leaves. Returns
// the error, empty on success.
QString loadConfiguration(PlcSimulator &simulator, const QString &path);
