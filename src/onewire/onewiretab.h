#pragma once

#include <QWidget>

// The "1-wire" tab: the auxiliary port's mode, its Field Net line settings
// and the table of 1-wire sensors.
class OneWireTab : public QWidget
{
    Q_OBJECT

public:
    explicit OneWireTab(QWidget *parent = nullptr);
};
