#include "onewirediagtab.h"

#include "workspace/framebox.h"

#include <QVBoxLayout>

OneWireDiagTab::OneWireDiagTab(QWidget *parent) : QWidget(parent)
{
    auto *buffer =
        frameBox(QStringLiteral("Frame8"), QStringLiteral("1-wire error slave buffer"), this);
    auto *commands = frameBox(QStringLiteral("Frame9"), QString(), this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buffer, 1);
    layout->addWidget(commands);
}
