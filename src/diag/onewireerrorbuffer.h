#pragma once

#include "diag/modbuserrorbuffer.h"

class PlcPort;

// The error bytes the PLC keeps for the 1-wire sensors, and the "1-wire
// diag" table that shows them decoded.
namespace OneWireErrorBuffer {

inline const QString format =
    QStringLiteral("Num |  Errors  type   |   Short descriptions of error ");

// "Active error" when bit 7 is set, "No error" otherwise.
QString errorType(int errorByte);
// The category of bits 7 to 5 followed by the count of bits 4 to 0; empty
// for category 0. Sensor 65 onwards name a missing device differently.
QString description(int errorByte, int sensor);

// The rows for the error bytes of sensors 1 to n: number, type, description.
TextTable table(const QList<int> &errorBytes);

} // namespace OneWireErrorBuffer

// "Read 1-wire buffer": applies the settings file to the port, reads the
// auxiliary mode word and, for a 1-wire master with sensors, their error
// bytes (sensors 1-64 from 3700, 65-128 from 3740, read only when needed).
// Any other mode word counts as no sensors: an empty table. A refused,
// malformed or missing answer, or a word counting more than 128 sensors,
// gives its message and no table. The port is closed at the end.
ErrorBufferRead readOneWireErrorBuffer(PlcPort &port, const QString &iniFile);
