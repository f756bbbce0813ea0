#pragma once

#include <QWidget>

#include <array>

class BufferWatch;
class GridView;
class QGroupBox;
class TabContext;

// The "Modbus diag" tab: the error buffers of both UARTs' request slots as
// read from the PLC, and the buttons that read them.
class ModbusDiagTab : public QWidget
{
    Q_OBJECT

public:
    explicit ModbusDiagTab(TabContext &context, QWidget *parent = nullptr);

    // The table of UART 1 (`MB_grid`) or UART 2 (`MB_grid2`).
    GridView *errorGrid(int uart) const { return m_grids.at(std::size_t(uart - 1)); }

    // "Read modbus buffer 1" or "2": the buffer of that UART, shown whole in
    // its table; the table stays as it is when the read fails or the UART is
    // not a Modbus master.
    void readBuffer(int uart);

private:
    QGroupBox *buildBuffer(int uart, const QString &frame, const QString &caption,
                           const QString &grid);
    QGroupBox *buildCommands();

    TabContext &m_context;
    std::array<GridView *, 2> m_grids{};
    BufferWatch *m_watch = nullptr;
};
