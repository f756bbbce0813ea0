#include "onewirediagtab.h"

#include "diag/bufferwatch.h"
#include "diag/onewireerrorbuffer.h"
#include "widgets/framebox.h"
#include "widgets/gridview.h"
#include "widgets/tabcontext.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

OneWireDiagTab::OneWireDiagTab(TabContext &context, QWidget *parent)
    : QWidget(parent), m_context(context)
{
    auto *buffer =
        frameBox(QStringLiteral("Frame8"), QStringLiteral("1-wire error slave buffer"), this);
    m_grid =
        new GridView(QStringLiteral("W1_grid"), new GridModel(OneWireErrorBuffer::format), buffer);
    m_grid->grid()->setCentred(true);
    m_grid->setStretchColumn(2);
    auto *bufferLayout = new QVBoxLayout(buffer);
    bufferLayout->addWidget(m_grid);

    auto *commands = frameBox(QStringLiteral("Frame9"), QStringLiteral("Command panel"), this);
    auto *read = new QPushButton(QStringLiteral("&Read 1-wire buffer"), commands);
    read->setObjectName(QStringLiteral("Command5"));
    connect(read, &QPushButton::clicked, this, &OneWireDiagTab::readBuffer);
    m_context.registerPlcControl(read);
    m_watch = new BufferWatch(context, QStringLiteral("W1"), QStringLiteral("OneWire"),
                              {{ErrorBuffer::OneWire, QStringLiteral("1-wire"), m_grid}}, this);
    auto *commandLayout = new QHBoxLayout(commands);
    commandLayout->addWidget(read);
    commandLayout->addSpacing(24);
    commandLayout->addLayout(m_watch->controls(), 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buffer, 1);
    layout->addWidget(commands);
}

void OneWireDiagTab::readBuffer()
{
    m_context.transfer<ErrorBufferRead>(
        this,
        [ini = m_context.iniFile()](PlcPort &port, const TransferProgress &) {
            return readOneWireErrorBuffer(port, ini);
        },
        TabContext::ProgressWindow::Hidden,
        [this](const ErrorBufferRead &read) {
            if (!read.table)
                return;
            m_watch->showPlainRead(0);
            m_grid->setEntries(*read.table);
        });
}
