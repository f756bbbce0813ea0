#pragma once

#include <QStringList>

// The configuration files last saved or loaded, most recent first, kept in
// section "RECENT" of the settings file (keys File1 to File8).
namespace RecentFiles {

inline constexpr int most = 8;

QStringList list(const QString &iniFile);
// Puts the file first, once, and keeps the eight most recent.
void add(const QString &iniFile, const QString &path);

} // namespace RecentFiles
