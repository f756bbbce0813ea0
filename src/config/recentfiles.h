#pragma once

#include <QStringList>

// The configuration files last saved or loaded, most recent first, kept in
// section "RECENT" of the settings file (keys File1 to File8).
namespace RecentFiles {

inline constexpr int most = 8;

QStringList list(const QString &iniFile);
// Puts the file first, once, and keeps the eight most recent.
void add(const QString &iniFile, const QString &path);

// Where the Save and Load dialogs open: the program's folder when the
// settings file lies there (a copy run from its build or a portable folder,
// which it can write), else the folder of the file last saved or loaded
// while that folder is there, else `documents`.
QString dialogFolder(const QString &iniFile, const QString &programFolder,
                     const QString &documents);

} // namespace RecentFiles
