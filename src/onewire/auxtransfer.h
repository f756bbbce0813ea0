#pragma once

#include "onewire/auxsettings.h"

class PlcPort;

// The auxiliary port's "Write to PLC" and "Upload from PLC".

// Applies the settings file to the port and checks the sensor table with
// Check_grid_1w whatever the mode; a fault is shown with the title "Error in
// configuration" and nothing is sent. Then, by mode: a 1-wire master writes
// "0FFF" to 3000, its mode word to 200A, its sensor records from 200C in
// blocks of at most 64 bytes (with progress and a pause of 100 ms after
// each; none for no sensors) and "0000" to 3000; Field Net writes only its
// mode word; an unused port writes "0FFF", the word 0 and "0000". The first
// write not accepted ends the download with its message. The port is
// closed at the end, whatever happened.
TransferResult downloadAux(PlcPort &port, const QString &iniFile, const AuxSettings &settings,
                           const TransferProgress &progress);

// Applies the settings file to the port, reads the mode word at 200A and,
// for a 1-wire master, its sensor records; everything is read before
// anything is decoded. A refused, malformed or missing answer, or a 1-wire
// word counting more than 128 sensors, ends the upload with its message and
// nothing to show. Otherwise the result holds `current` with the mode, an
// empty sensor table unless the PLC is a 1-wire master, and, for Field Net,
// its four list indexes.
AuxUpload uploadAux(PlcPort &port, const QString &iniFile, const AuxSettings &current,
                    const TransferProgress &progress);
