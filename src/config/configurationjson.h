#pragma once

#include "config/configuration.h"

#include <QByteArray>

#include <optional>

// The whole configuration as readable JSON: both UARTs, the auxiliary port
// with its Field Net settings, and the I/O assignment. Lists are given by
// their item index, as the configuration file keeps them; table rows as
// arrays of their cell texts, without the row number.
namespace ConfigurationJson {

// The JSON Schema of the format, where the package installs it. Every file
// written names it in its "$schema" key, which editors follow; a reader
// takes any text there and goes by its own rules.
inline const QString schema =
    QStringLiteral("file:///usr/share/plc-tarvik/configuration.schema.json");

QByteArray write(const Configuration &configuration);

// The configuration the JSON describes, keys left out taking their
// defaults ("$schema" ignored, when it is text); or why it cannot be read: a
// key the format does not have (named
// by its path, "uart2.request"), a value of the wrong type or out of its
// range, or anything the configuration file's save or load would refuse
// (so what it gives can always be saved and loaded again).
struct Read
{
    std::optional<Configuration> configuration;
    QString error;
};
Read read(const QByteArray &json);

} // namespace ConfigurationJson
