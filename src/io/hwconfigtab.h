#pragma once

#include "io/ioassignment.h"
#include "widgets/parttab.h"

class GridView;
class TabContext;

// The "HW config" tab: the assignment of the PLC's 21 I/O points as inputs
// and outputs in a table whose Function cells take a selector, and the
// buttons "New IO config", "Upload from PLC" and "Download to PLC", which
// stay inactive (see io/iotransfer.h).
class HwConfigTab : public PartTab
{
    Q_OBJECT

public:
    // Starts with every point unassigned.
    explicit HwConfigTab(TabContext &context, QWidget *parent = nullptr);

    // The table `MSFlexGrid1`.
    GridView *grid() const { return m_grid; }

    // Everything the tab holds, and all of it shown.
    IoAssignment configuration() const { return m_assignment; }
    void apply(const IoAssignment &assignment);

    // The selector's item chosen on a point's row (1 to 21).
    void choose(int row, int item);
    // "New IO config", "Upload from PLC", "Download to PLC".
    void newConfig();
    void uploadFromPlc();
    void downloadToPlc();

private:
    QString unnamedWhy(int point) const;
    void showAssignment();

    TabContext &m_context;
    GridView *m_grid = nullptr;
    IoAssignment m_assignment;
};
