#include "convertertab.h"

#include "workspace/framebox.h"

#include <QGridLayout>

ConverterTab::ConverterTab(QWidget *parent) : QWidget(parent)
{
    auto *converter = frameBox(QStringLiteral("Frame10"),
                               QStringLiteral("Floating-point number to IEEE converter"), this);

    // The converter keeps its natural size in the top left corner.
    auto *layout = new QGridLayout(this);
    layout->addWidget(converter, 0, 0);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);
}
