#pragma once

#include "modbus/uartsettings.h"

class PlcPort;

// The UART2 tab's "Download" and "Upload": the slave settings alone (mode
// word at 2006 and slave timeout at 2004), whatever the chosen role.

// Writes the control word "0FFF", the slave mode word (speed, parity and the
// slave address, always as a slave), the slave timeout and "0000". Uses the
// port as it is set up: the settings file is not applied first. A slave
// address that is not 1 to 247 or a timeout that is not 0 to 65535 is
// refused before anything is sent.
TransferResult downloadSlaveSettings(PlcPort &port, const UartSettings &settings);

// Applies the settings file to the port, then reads the mode word and the
// slave timeout. Both must arrive; then the result holds `current` with the
// speed, the parity, the slave address (the word's low byte) and the timeout
// read. The role bits are not looked at and the role stays as it is.
UartUpload uploadSlaveSettings(PlcPort &port, const QString &iniFile, const UartSettings &current);
