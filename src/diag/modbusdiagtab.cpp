#include "modbusdiagtab.h"

#include "workspace/framebox.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

ModbusDiagTab::ModbusDiagTab(QWidget *parent) : QWidget(parent)
{
    auto *uart1 =
        frameBox(QStringLiteral("Frame7"), QStringLiteral("UART1 modbus error buffer"), this);
    auto *uart2 =
        frameBox(QStringLiteral("Frame12"), QStringLiteral("UART2 modbus error buffer"), this);
    auto *commands = frameBox(QStringLiteral("Frame6"), QStringLiteral("Command panel"), this);

    auto *buffers = new QHBoxLayout;
    buffers->addWidget(uart1);
    buffers->addWidget(uart2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buffers, 1);
    layout->addWidget(commands);
}
