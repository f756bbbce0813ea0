#pragma once

#include "io/ioassignment.h"

#include <QWidget>

// The "HW config" tab: the assignment of the PLC's I/O points.
class HwConfigTab : public QWidget
{
    Q_OBJECT

public:
    // Starts with every point unassigned.
    explicit HwConfigTab(QWidget *parent = nullptr);

    // Everything the tab holds, and all of it shown.
    IoAssignment configuration() const { return m_assignment; }
    void apply(const IoAssignment &assignment) { m_assignment = assignment; }

private:
    IoAssignment m_assignment;
};
