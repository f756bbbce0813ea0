#pragma once

#include "onewire/auxsettings.h"

#include <QWidget>

// The "1-wire" tab: the auxiliary port's mode, its Field Net line settings
// and the table of 1-wire sensors.
class OneWireTab : public QWidget
{
    Q_OBJECT

public:
    // Starts from the auxiliary port's defaults.
    explicit OneWireTab(QWidget *parent = nullptr);

    // Everything the tab holds, and all of it shown.
    AuxSettings configuration() const { return m_settings; }
    void apply(const AuxSettings &settings) { m_settings = settings; }

private:
    AuxSettings m_settings;
};
