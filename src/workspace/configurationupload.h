#pragma once

#include "onewire/auxsettings.h"
#include "workspace/configuration.h"

class PlcPort;

// What the menu's "Upload from PLC" read: how it ended, and the part of each
// port that is to be shown (nothing for a port not read, or whose word names
// no role).
struct ConfigurationUpload
{
    TransferResult result;
    std::optional<UartSettings> uart1;
    std::optional<UartSettings> uart2;
    std::optional<AuxSettings> aux;
};

// UART1, UART2, then the auxiliary port, each as its own button reads it,
// starting from `current`. The first failure ends the run: what the ports
// before it gave is kept, nothing after it is read. Progress runs through
// thirds: 0 to 33 for UART1, to 67 for UART2, to 100 for the auxiliary port.
ConfigurationUpload uploadConfiguration(PlcPort &port, const QString &iniFile,
                                        const Configuration &current,
                                        const TransferProgress &progress);
