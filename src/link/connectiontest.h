#pragma once

#include <QString>

class PlcPort;

// Tries a link: opens the port with the given choices, probes it with ENQ,
// reads the CPU type word at 0E02 and closes the port again, whatever
// happens on the way. Returns the message for the user.
QString connectionTest(PlcPort &port, int portNumber, const QString &settings);
