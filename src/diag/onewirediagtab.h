#pragma once

#include <QWidget>

class BufferWatch;
class GridView;
class TabContext;

// The "1-wire diag" tab: the error bytes of the 1-wire sensors as read from
// the PLC, and the button that reads them.
class OneWireDiagTab : public QWidget
{
    Q_OBJECT

public:
    explicit OneWireDiagTab(TabContext &context, QWidget *parent = nullptr);

    // The table `W1_grid`.
    GridView *errorGrid() const { return m_grid; }

    // "Read 1-wire buffer": the buffer shown whole in the table, which stays
    // as it is when the read fails.
    void readBuffer();

private:
    TabContext &m_context;
    GridView *m_grid = nullptr;
    BufferWatch *m_watch = nullptr;
};
