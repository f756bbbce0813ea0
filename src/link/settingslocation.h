#pragma once

#include <QString>

// Where the settings file lives: "set.ini" beside the program when one there
// can be written, or when the program's folder can take one (a copy run from
// its build folder, a portable install); otherwise, as for an installed
// program, in the user's configuration folder, which is made when needed.
QString settingsFile(const QString &programFolder, const QString &userFolder);
// The same for this program: its own folder, and the configuration folder
// the platform gives it.
QString settingsFile();
