#pragma once

#include <QString>

// What tells UART1 and UART2 apart towards the PLC and in the messages.
struct UartDescription
{
    int number = 1;              // 1 or 2
    quint16 modeWordAddress = 0; // the port's mode word
    quint16 tableStart = 0;      // first byte of the request records
    quint16 errorBytes = 0;      // error bytes of request slots 1 to 128
    QString cellRefusal;         // in-cell refusal, columns 1 and 6
    QString innerCellRefusal;    // in-cell refusal, columns 2 to 5
    int slaveTimeoutLength = 0;  // the timeout box's most characters; 0 for no limit

    static const UartDescription &uart1();
    static const UartDescription &uart2();

    // The in-cell editor's message for a refused value in the column.
    QString cellRefusalFor(int column) const;
};
