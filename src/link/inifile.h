#pragma once

#include <QString>

// The application settings file: INI sections of key=value lines. Every call
// reads the file afresh and every write goes straight to it, so two windows
// (or a user's editor) never see stale values.

// The value of the key, or the default when the file or the key is absent.
// At most 254 characters are returned.
QString Ini_read(const QString &file, const QString &section, const QString &key,
                 const QString &defaultValue);

// Stores the value, creating the file, the section or the key as needed.
void Ini_write(const QString &file, const QString &section, const QString &key,
               const QString &value);

// A stored list index: the key's value when it is a whole number from 0 to
// count - 1, otherwise 0 (absent keys, text, "-1" and indexes past the list).
int Ini_read_index(const QString &file, const QString &section, const QString &key, int count);
