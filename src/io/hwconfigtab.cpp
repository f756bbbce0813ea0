#include "hwconfigtab.h"

#include "workspace/framebox.h"

#include <QVBoxLayout>

HwConfigTab::HwConfigTab(QWidget *parent) : QWidget(parent)
{
    auto *io =
        frameBox(QStringLiteral("Frame5"), QStringLiteral("Input-output configuration"), this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(io);
}
