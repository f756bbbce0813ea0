#pragma once

#include <QWidget>

// The "1-wire diag" tab: the error buffer of the 1-wire sensors as read from
// the PLC, and the button that reads it.
class OneWireDiagTab : public QWidget
{
    Q_OBJECT

public:
    explicit OneWireDiagTab(QWidget *parent = nullptr);
};
