#pragma once

#include <QStringList>

// "/usr", and the prefix this build installs into.
QStringList defaultInstallPrefixes();

// Where the settings file lives: "set.ini" beside the program when one there
// can be written, or when the program's folder can take one (a copy run from
// its build folder, a portable install); otherwise in the user's
// configuration folder, which is made when needed. A program installed into
// one of the prefixes (/usr, or the prefix the build installs into) keeps it
// in the user's folder always, even run by root, who could write beside it:
// those folders belong to the package manager.
QString settingsFile(const QString &programFolder, const QString &userFolder,
                     const QStringList &installPrefixes = defaultInstallPrefixes());

// The same for this program: its own folder, and the configuration folder
// the platform gives it.
QString settingsFile();
