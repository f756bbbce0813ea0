#include "configload.h"

#include "config/configuration.h"
#include "config/configurationfile.h"
#include "config/configurationjson.h"
#include "config/configurationupload.h"
#include "plcsimulator.h"
#include "simport.h"

#include <QFile>

namespace {

struct Loaded
{
    std::optional<Configuration> configuration;
    QString error;
};

Loaded readFile(const QString &path)
{
    if (!path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)) {
        const ConfigurationFile::Decoded decoded =
            ConfigurationFile::load(path, Configuration::defaults());
        return {decoded.configuration, decoded.error};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, file.errorString()};
    const ConfigurationJson::Read read = ConfigurationJson::read(file.readAll());
    return {read.configuration, read.error};
}

} // namespace

QString loadConfiguration(PlcSimulator &simulator, const QString &path)
{
    const Loaded loaded = readFile(path);
    if (!loaded.configuration)
        return QStringLiteral("--config %1: %2").arg(path, loaded.error);
    // No settings file: the link's default settings, which the port takes.
    SimPort port(simulator);
    const TransferResult result =
        downloadConfiguration(port, QString(), *loaded.configuration, [](int) {});
    if (!result.ok)
        return QStringLiteral("--config %1: %2").arg(path, result.message);
    return {};
}
