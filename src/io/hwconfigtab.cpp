#include "hwconfigtab.h"

#include "workspace/framebox.h"

#include <QVBoxLayout>

HwConfigTab::HwConfigTab(QWidget *parent) : QWidget(parent)
{
    // Holds the I/O table, its in-cell selector and the transfer buttons.
    auto *io =
        frameBox(QStringLiteral("Frame5"), QStringLiteral("Input-output configuration"), this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(io);
}
