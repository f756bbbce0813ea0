#pragma once

#include <QGroupBox>

// A frame of a main-window tab: a group box with its control name and caption.
inline QGroupBox *frameBox(const QString &name, const QString &caption, QWidget *parent)
{
    auto *frame = new QGroupBox(caption, parent);
    frame->setObjectName(name);
    return frame;
}
