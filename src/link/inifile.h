#pragma once

#include <QList>
#include <QString>

#include <utility>

// The application settings file: INI sections of key=value lines. Every call
// reads the file afresh and every write goes straight to it, so two windows
// (or a user's editor) never see stale values.

// What makes an existing file unfit to be read or rewritten as settings:
// it cannot be read, it is larger than a settings file can be (1 MiB), or it
// holds NUL bytes. Empty when the file is fit or absent.
QString Ini_problem(const QString &file);

// The value of the key, or the default when the file or the key is absent
// or the file is unfit. At most 254 characters are returned.
QString Ini_read(const QString &file, const QString &section, const QString &key,
                 const QString &defaultValue);

// Stores the values, creating the file, the section or the keys as needed,
// all of them or none: the file is replaced whole once written. An unfit
// file is left as it is. Returns what went wrong, empty on success.
using IniEntries = QList<std::pair<QString, QString>>;
QString Ini_write(const QString &file, const QString &section, const IniEntries &entries);
QString Ini_write(const QString &file, const QString &section, const QString &key,
                  const QString &value);

// A stored list index: the key's value when it is a whole number from 0 to
// count - 1, otherwise 0 (absent keys, text, "-1" and indexes past the list).
int Ini_read_index(const QString &file, const QString &section, const QString &key, int count);
