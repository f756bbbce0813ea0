#include "configurationfiles.h"

#include "config/configurationjson.h"
#include "link/wholefile.h"

#include <QDir>
#include <QFileInfo>

namespace ConfigurationFiles {

bool isJson(const QString &path)
{
    return path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive);
}

ConfigurationFile::Decoded load(const QString &path, const Configuration &current)
{
    if (!isJson(path))
        return ConfigurationFile::load(path, current);
    // A whole configuration takes some tens of kilobytes; a larger file is
    // something else and is not read into memory. Whatever the file is (a
    // device, a FIFO), no more is read than that.
    constexpr qint64 largestJson = 1024 * 1024;
    const WholeFile::Read file = WholeFile::read(path, largestJson);
    if (file.tooLarge) {
        const QFileInfo info(path);
        return {std::nullopt,
                QStringLiteral("%1 holds %2 bytes, more than a configuration in JSON can")
                    .arg(QDir::toNativeSeparators(path),
                         info.isFile() ? QString::number(info.size())
                                       : QStringLiteral("more than %1").arg(largestJson))};
    }
    if (!file.contents)
        return {std::nullopt, file.error};
    const ConfigurationJson::Read read = ConfigurationJson::read(*file.contents);
    if (!read.configuration)
        return {std::nullopt,
                QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), read.error)};
    return {read.configuration, {}};
}

QString save(const QString &path, const Configuration &configuration)
{
    if (!isJson(path))
        return ConfigurationFile::save(path, configuration);
    if (const ConfigurationFile::Encoded record = ConfigurationFile::encode(configuration);
        !record.error.isEmpty())
        return QStringLiteral("%1 was not written: %2").arg(path, record.error);
    if (const QString reason = WholeFile::write(path, ConfigurationJson::write(configuration));
        !reason.isEmpty())
        return WholeFile::cannotWrite(path, reason);
    return {};
}

bool differ(const QString &path, const Configuration &a, const Configuration &b)
{
    if (isJson(path))
        return ConfigurationJson::write(a) != ConfigurationJson::write(b);
    return ConfigurationFile::held(a) != ConfigurationFile::held(b);
}

} // namespace ConfigurationFiles
