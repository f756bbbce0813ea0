#pragma once

#include <QWidget>

// The "HW config" tab: the assignment of the PLC's I/O points.
class HwConfigTab : public QWidget
{
    Q_OBJECT

public:
    explicit HwConfigTab(QWidget *parent = nullptr);
};
