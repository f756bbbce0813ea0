#pragma once

#include <QWidget>

// The "Modbus diag" tab: the error buffers of both UARTs' request slots as
// read from the PLC, and the buttons that read them.
class ModbusDiagTab : public QWidget
{
    Q_OBJECT

public:
    explicit ModbusDiagTab(QWidget *parent = nullptr);
};
