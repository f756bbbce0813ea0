#pragma once

// The parts of the PLC's configuration that a tab reads or writes on its
// own. A download or a backup takes one of the first three; the I/O
// assignment is read on its own too.
enum class PlcPart { Uart1, Uart2, Aux, Io };

// The tables whose cells can clash with other tables' cells over the PLC's
// registers.
enum class PlcTable { Uart1, Uart2, Sensors };

// The error buffers a watch reads.
enum class ErrorBuffer { Modbus1, Modbus2, OneWire };

// The part and the table of UART 1 or 2.
constexpr PlcPart uartPart(int uart)
{
    return uart == 1 ? PlcPart::Uart1 : PlcPart::Uart2;
}
constexpr PlcTable uartTable(int uart)
{
    return uart == 1 ? PlcTable::Uart1 : PlcTable::Uart2;
}
