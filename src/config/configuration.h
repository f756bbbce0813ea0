#pragma once

#include "config/configurationparts.h"
#include "io/ioassignment.h"
#include "modbus/uartsettings.h"
#include "onewire/auxsettings.h"

// Everything the window's configuration consists of, as one plain value:
// both UARTs, the auxiliary port with its sensor table, and the I/O
// assignment. Each tab collects and applies its own part of it; the
// configuration file and the comparisons with the PLC work on it.
struct Configuration
{
    UartSettings uart1 = UartSettings::defaults(1);
    UartSettings uart2 = UartSettings::defaults(2);
    AuxSettings aux;
    IoAssignment io;

    // The fixed start of every tab.
    static Configuration defaults();
    // What the window starts with: the defaults, and the UART1 data and
    // stop bits stored by "Save app setting" (section "COM_MB"; its speed
    // and parity take no effect).
    static Configuration startUp(const QString &iniFile);

    bool operator==(const Configuration &) const = default;
};

// `base` with the parts `parts` names taken from `from`, the rest (and the
// I/O assignment) as `base` has them: what a backup or an upload that holds
// only some parts puts in the window.
Configuration withParts(Configuration base, const Configuration &from,
                        const ConfigurationParts &parts);

// Why the PLC cannot hold the configuration's parts that are written, or
// nothing. The sensor records run from 200C, 10 bytes each, so a 1-wire
// master's 128th sensor lies at 2502 to 250B, where UART1's request records
// begin: 128 sensors and a UART1 master table with requests cannot both be
// in the PLC. The refusal carries the title of a configuration error.
std::optional<TransferResult> plcMemoryClash(const Configuration &configuration,
                                             const ConfigurationParts &written = {});
