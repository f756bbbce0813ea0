#pragma once

#include "io/ioassignment.h"
#include "link/transferresult.h"

#include <optional>

class PlcPort;

// The I/O assignment's transfers. The PLC keeps it as an 8-byte block at
// 2000: the input mask, then the output mask, each 32 bits low byte first.
//
// The block's range takes in 2004 and 2006, UART2's slave timeout and mode
// word: a download overwrites UART2's configuration. This is why the window
// keeps both transfers inactive and the command line offers neither.

// The block of an assignment.
QByteArray ioBlock(const IoAssignment &assignment);

// "Download to PLC": writes "0FFF" to 3000, the block, and "0000" to 3000,
// on the port as it is set up (the settings file is not applied first). The
// first write not accepted ends it with its message.
TransferResult downloadIo(PlcPort &port, const IoAssignment &assignment);

// "Upload from PLC": applies the settings file to the port and reads the
// block; then `current` with the points set in the masks shown (see
// IoAssignment::applyMasks). A read that fails gives its message and
// nothing to show.
struct IoUpload
{
    TransferResult result;
    std::optional<IoAssignment> assignment;
};
IoUpload uploadIo(PlcPort &port, const QString &iniFile, const IoAssignment &current);
