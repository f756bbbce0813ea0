#pragma once

#include "modbus/uartdescription.h"
#include "modbus/uartsettings.h"

class PlcPort;

// "Upload from PLC" of a UART tab: reads the port's mode word and, for a
// master, its request table, then gives the settings to show.
//
// Applies the settings file to the port first and closes the port at the
// end. Everything is read before anything is decoded: a read that is refused,
// malformed or not answered in time ends the upload with "Wrong answer from
// PLC" or "Answer timeout from PLC" and nothing to show; so does a master
// word with more than 128 rows or a parity index without a list item.
//
// What changes, starting from `current`: a master word sets the role, speed,
// parity and the whole table; a slave word the role, speed, parity and slave
// address; the word 0 only the role. Any other word leaves everything as it
// is (a success with nothing to show).
UartUpload uploadUart(PlcPort &port, const QString &iniFile, const UartDescription &uart,
                      const UartSettings &current, const TransferProgress &progress);
