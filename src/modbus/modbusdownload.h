#pragma once

#include "modbus/uartdescription.h"
#include "modbus/uartsettings.h"

class PlcPort;

// "Write to PLC" of a UART tab: the port's whole Modbus configuration.
//
// Applies the settings file to the port, checks the request table with
// Check_grid whatever the role and, for a slave, the slave address; a fault
// found there is shown with the title "Error in configurations" and nothing
// is sent. Then, between the control words "0FFF" and "0000" at 3000, writes
// the mode word and, for a master, the request records in blocks of at most
// 64 bytes with a 100 ms pause after each, reporting progress; last comes the
// command word at 2002, "0080" for a master or slave, "8000" for an unused
// port. The first write not accepted ends the download with its message. The
// port is closed at the end, whatever happened.
TransferResult downloadUart(PlcPort &port, const QString &iniFile, const UartDescription &uart,
                            const UartSettings &settings, const TransferProgress &progress);
