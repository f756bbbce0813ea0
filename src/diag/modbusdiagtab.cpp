#include "modbusdiagtab.h"

#include "diag/bufferwatch.h"
#include "diag/modbuserrorbuffer.h"
#include "modbus/uartdescription.h"
#include "widgets/framebox.h"
#include "widgets/gridview.h"
#include "widgets/tabcontext.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const UartDescription &uartNumber(int uart)
{
    return uart == 1 ? UartDescription::uart1() : UartDescription::uart2();
}

} // namespace

ModbusDiagTab::ModbusDiagTab(TabContext &context, QWidget *parent)
    : QWidget(parent), m_context(context)
{
    auto *buffers = new QHBoxLayout;
    buffers->addWidget(buildBuffer(1, QStringLiteral("Frame7"),
                                   QStringLiteral("UART1 modbus error buffer"),
                                   QStringLiteral("MB_grid")));
    buffers->addWidget(buildBuffer(2, QStringLiteral("Frame12"),
                                   QStringLiteral("UART2 modbus error buffer"),
                                   QStringLiteral("MB_grid2")));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buffers, 1);
    layout->addWidget(buildCommands());
}

QGroupBox *ModbusDiagTab::buildBuffer(int uart, const QString &frame, const QString &caption,
                                      const QString &grid)
{
    QGroupBox *box = frameBox(frame, caption, this);
    auto *table = new GridView(grid, new GridModel(ModbusErrorBuffer::format), box);
    table->grid()->setCentred(true);
    // The description gives way, so the watch's columns stay in sight.
    table->setStretchColumn(2);
    m_grids.at(std::size_t(uart - 1)) = table;
    auto *layout = new QVBoxLayout(box);
    layout->addWidget(table);
    return box;
}

QGroupBox *ModbusDiagTab::buildCommands()
{
    QGroupBox *box = frameBox(QStringLiteral("Frame6"), QStringLiteral("Command panel"), this);
    auto *layout = new QHBoxLayout(box);
    const auto addButton = [this, box, layout](const char *name, const QString &caption, int uart) {
        auto *button = new QPushButton(caption, box);
        button->setObjectName(QLatin1String(name));
        connect(button, &QPushButton::clicked, this, [this, uart] { readBuffer(uart); });
        m_context.registerPlcControl(button);
        layout->addWidget(button);
    };
    addButton("Command4", QStringLiteral("Read modbus buffer &1"), 1);
    addButton("Command6", QStringLiteral("Read modbus buffer &2"), 2);
    // Made after the buttons, so Tab reaches the watch after them, as shown.
    m_watch = new BufferWatch(m_context, QStringLiteral("MB"), QStringLiteral("Modbus"),
                              {{ErrorBuffer::Modbus1, QStringLiteral("UART 1"), m_grids[0]},
                               {ErrorBuffer::Modbus2, QStringLiteral("UART 2"), m_grids[1]}},
                              this);
    layout->addSpacing(24);
    layout->addLayout(m_watch->controls(), 1);
    return box;
}

void ModbusDiagTab::readBuffer(int uart)
{
    m_context.transfer<ErrorBufferRead>(
        this,
        [description = &uartNumber(uart), ini = m_context.iniFile()](PlcPort &port,
                                                                     const TransferProgress &) {
            return readModbusErrorBuffer(port, ini, *description);
        },
        TabContext::ProgressWindow::Hidden,
        [this, uart](const ErrorBufferRead &read) {
            // A UART that is not a master has no buffer; without a word the
            // table would pass for a clean one.
            if (!read.inMode)
                return m_context.report(this,
                                        {true, notMasterMessage(uartNumber(uart)), {}, false});
            if (!read.table)
                return;
            m_watch->showPlainRead(uart - 1);
            errorGrid(uart)->setEntries(*read.table);
        });
}
