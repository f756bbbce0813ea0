#pragma once

#include <QString>

struct UartDescription;

// The control names of one UART's request table.
struct RequestTableNames
{
    QString frame;  // "Modbus master configuration"
    QString grid;   // the table
    QString add;    // "Add slave"
    QString modify; // "Modify slave"
    QString remove; // "Delete slave"
    QString dialog; // "Slave add/modify"
};

// What tells the two UART tabs apart: their control names, whether the slave
// settings have transfer buttons of their own, and the UART as the PLC and
// the messages know it (with the length of its slave timeout box).
struct UartTabDescription
{
    const UartDescription *uart = nullptr;
    QString generalFrame; // "Modbus general setting": role, line settings, transfers
    QString slaveFrame;   // "Modbus slave setting"
    QString role;         // the role button group; its buttons are <role>_0 to <role>_2
    QString speed;
    QString parity;
    QString dataBits;
    QString stopBits;
    QString write;  // "Write to PLC"
    QString upload; // "Upload from PLC"
    QString slaveAddress;
    QString slaveTimeout;
    // "Download" and "Upload" of the slave settings alone; empty when the
    // UART has none.
    QString slaveDownload;
    QString slaveUpload;
    RequestTableNames table;

    static const UartTabDescription &uart1();
    static const UartTabDescription &uart2();
};
