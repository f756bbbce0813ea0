#pragma once

#include <QStringList>
#include <QtGlobal>

// "/usr", and the prefix this build installs into.
QStringList defaultInstallPrefixes();

// Where the settings file lives: "set.ini" beside the program when one there
// can be written, or when the program's folder can take one (a copy run from
// its build folder, a portable install); otherwise in the user's
// configuration folder, which is made when needed. A program installed into
// one of the prefixes (/usr, or the prefix the build installs into) keeps it
// in the user's folder always, even run by root, who could write beside it:
// those folders belong to the package manager.
//
// On Windows a program's folder is the installer's (under Program Files or
// the user's programs): set.ini is read beside the program only when it is
// there already (a portable copy unpacked with one), and a new one is
// written in the user's application-data folder.
enum class SettingsBeside { WhenWritable, WhenPresent };
#ifdef Q_OS_WIN
inline constexpr SettingsBeside platformSettingsBeside = SettingsBeside::WhenPresent;
#else
inline constexpr SettingsBeside platformSettingsBeside = SettingsBeside::WhenWritable;
#endif
QString settingsFile(const QString &programFolder, const QString &userFolder,
                     const QStringList &installPrefixes = defaultInstallPrefixes(),
                     SettingsBeside beside = platformSettingsBeside);

// The same for this program: its own folder, and the configuration folder
// the platform gives it.
QString settingsFile();
