#include "onewiretab.h"

#include "workspace/framebox.h"

#include <QGridLayout>

OneWireTab::OneWireTab(QWidget *parent) : QWidget(parent)
{
    auto *mode =
        frameBox(QStringLiteral("Frame2"), QStringLiteral(" Auxiliary port setting"), this);
    auto *fieldNet =
        frameBox(QStringLiteral("USART3_setting"), QStringLiteral("Field Net port setting"), this);
    auto *sensors =
        frameBox(QStringLiteral("Frame3"), QStringLiteral("1-wire master configuration"), this);

    // Mode and Field Net settings on the left, the sensor table beside them.
    auto *layout = new QGridLayout(this);
    layout->addWidget(mode, 0, 0);
    layout->addWidget(fieldNet, 1, 0);
    layout->addWidget(sensors, 0, 1, 3, 1);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(1, 1);
}
