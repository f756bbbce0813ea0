#pragma once

#include "config/configuration.h"
#include "config/configurationfile.h"

#include <QString>

// A configuration file by its name's ending: the JSON form for ".json", the
// PLC's record otherwise. The window and the command line read and write
// configurations through here, so both take the same files and refuse the
// same ones.
namespace ConfigurationFiles {

bool isJson(const QString &path);

// The file dialogs' choices: the record's, then the JSON form's.
inline const QString filter =
    ConfigurationFile::filter + QStringLiteral(";;PLC configuration as JSON (*.json)");

// Reads and checks the whole file. A record takes the parts it does not hold
// from `current`; the JSON form holds them all, keys left out taking their
// defaults. The error names the file as the system names it.
ConfigurationFile::Decoded load(const QString &path, const Configuration &current);

// Writes the file whole or not at all; the error, empty when it was written.
// What the reader would refuse is not written either.
QString save(const QString &path, const Configuration &configuration);

// Whether `a` and `b` differ in what a file of this name holds.
bool differ(const QString &path, const Configuration &a, const Configuration &b);

} // namespace ConfigurationFiles
