#include "progress.h"

#include <QKeySequence>
#include <QProgressBar>
#include <QShortcut>
#include <QVBoxLayout>

Progress::Progress(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Progress"));
    setWindowTitle(QStringLiteral("Download/upload progress"));
    setModal(false);

    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setMinimumWidth(320);

    // The window's Exit works here too: it asks whether to close once the
    // operation has ended.
    auto *quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, [this] {
        if (parentWidget())
            parentWidget()->window()->close();
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int Progress::percent() const
{
    return m_bar->value();
}

void Progress::setPercent(int percent)
{
    m_bar->setValue(percent);
}
