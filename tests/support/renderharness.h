#pragma once

#include "support/idleport.h"
#include "support/scripteddialogs.h"
#include "window/mainwindow.h"

#include <QTemporaryDir>
#include <QWidget>

// What the PNG renderers share: the grab itself, and a main window on an
// idle line with a settings file of its own.
inline void savePng(QWidget *widget, const QString &dir, const QString &name)
{
    const QString file = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!widget->grab().save(file))
        qWarning("cannot write %s", qPrintable(file));
}

struct RenderWindow
{
    QTemporaryDir settings;
    ScriptedDialogs dialogs;
    Main window{{settings.filePath(QStringLiteral("set.ini")), dialogs, [] {
                     return std::make_unique<IdlePort>();
                 }}};
};
