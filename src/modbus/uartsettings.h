#pragma once

#include "link/transferresult.h"
#include "modbus/modeword.h"
#include "modbus/requesttable.h"

#include <optional>

// What a UART tab holds, as plain values: what travels to and from the PLC,
// and the data and stop bits and slave timeout that only the window and the
// configuration file keep. Lists are given by their item index.
struct UartSettings
{
    ModbusRole role = ModbusRole::NotUsed;
    int speed = 4;     // "9600" ... "500000"; 4 is "115200"
    int parity = 2;    // "Odd", "Even", "None"; 2 is "None"
    int dataBits = -1; // "7", "8", "9"; -1 while none is chosen
    int stopBits = -1; // "1", "1.5", "2"; -1 while none is chosen
    QString slaveAddress;
    QString slaveTimeout; // milliseconds; UART2's travels
    TextTable table;      // the master request rows

    // The window's start: not used, 115200, None, slave address "1" (UART1)
    // or "2" (UART2), timeout "2"; UART1's data and stop bits the first of
    // their lists, UART2's none.
    static UartSettings defaults(int uart);

    bool operator==(const UartSettings &) const = default;
};

// What an upload read: the settings to show, nothing when the tab is to stay
// as it is (the transfer failed, or the PLC's word names no role).
struct UartUpload
{
    TransferResult result;
    std::optional<UartSettings> settings;
};
