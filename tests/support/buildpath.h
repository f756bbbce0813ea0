#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QString>

// A program of the build or a file of the tree, given by the build as a path
// relative to the folder the running program was made in (see
// plc_build_path in tests/CMakeLists.txt). No object then holds where the
// tree lies, and the compiler cache serves a fresh clone too. Needs the
// application object.
inline QString buildPath(const char *relative)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QString::fromUtf8(relative));
}
