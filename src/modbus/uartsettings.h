#pragma once

#include "modbus/modeword.h"
#include "modbus/requesttable.h"
#include "modbus/transferresult.h"

#include <optional>

// What a UART tab holds that travels to and from the PLC, as plain values.
struct UartSettings
{
    ModbusRole role = ModbusRole::NotUsed;
    int speed = 4;  // index into "9600" ... "500000"; 4 is "115200"
    int parity = 2; // index into "Odd", "Even", "None"; 2 is "None"
    QString slaveAddress;
    QString slaveTimeout; // UART2 only travels; milliseconds
    TextTable table = RequestTable::empty();

    bool operator==(const UartSettings &) const = default;
};

// What an upload read: the settings to show, nothing when the tab is to stay
// as it is (the transfer failed, or the PLC's word names no role).
struct UartUpload
{
    TransferResult result;
    std::optional<UartSettings> settings;
};
