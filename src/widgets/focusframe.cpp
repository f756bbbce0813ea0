#include "focusframe.h"

#include <QApplication>
#include <QFocusFrame>
#include <QPointer>

void followFocusWithFrame()
{
    static const char followed[] = "plcFocusFrameFollowed";
    if (qApp->property(followed).toBool())
        return;
    qApp->setProperty(followed, true);
    // One frame, moved from control to control. It lives beside the control
    // it surrounds, so a dialog closed under it takes it along; the next
    // control then gets a new one.
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget *, QWidget *now) {
        static QPointer<QFocusFrame> frame;
        if (!now || now->isWindow()) {
            if (frame)
                frame->setWidget(nullptr);
            return;
        }
        if (!frame)
            frame = new QFocusFrame(now->parentWidget());
        frame->setWidget(now);
    });
}
