#include "plcbackup.h"

#include "config/configurationfile.h"
#include "config/configurationupload.h"
#include "link/transferrun.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

using namespace std::chrono_literals;

namespace PlcBackup {

namespace {

constexpr quint16 cpuTypeAddress = 0x0E02;
const QString prefix = QStringLiteral("plc-backup-");
const QString timeFormat = QStringLiteral("yyyyMMdd-HHmmss-zzz");

QString metaPath(const QString &apc)
{
    return apc.chopped(4) + QStringLiteral(".json");
}

} // namespace

Taken take(PlcPort &port, const QString &iniFile, const ConfigurationParts &parts,
           const TransferProgress &progress)
{
    Taken taken{TransferResult::success(), 0, Configuration::defaults()};
    {
        TransferRun run(port, iniFile);
        const std::optional<quint16> type = run.readWord(100ms, cpuTypeAddress);
        if (!type)
            return {run.result(), 0, taken.configuration};
        taken.cpuType = *type;
    }
    const ConfigurationUpload read =
        uploadConfiguration(port, iniFile, taken.configuration, progress, parts);
    taken.result = read.result;
    if (!read.result.ok)
        return taken;
    taken.configuration.uart1 = read.uart1.value_or(taken.configuration.uart1);
    taken.configuration.uart2 = read.uart2.value_or(taken.configuration.uart2);
    taken.configuration.aux = read.aux.value_or(taken.configuration.aux);
    return taken;
}

Saved save(const QString &folder, const Taken &taken, const QString &port,
           const ConfigurationParts &parts, const QDateTime &time)
{
    if (!QDir().mkpath(folder))
        return {{}, QStringLiteral("Cannot make the folder %1").arg(folder)};
    const QString path =
        QDir(folder).filePath(prefix + time.toString(timeFormat) + QStringLiteral(".apc"));
    if (const QString error = ConfigurationFile::save(path, taken.configuration); !error.isEmpty())
        return {{}, error};
    const QJsonObject meta{{QStringLiteral("time"), time.toString(Qt::ISODateWithMs)},
                           {QStringLiteral("port"), port},
                           {QStringLiteral("cpuType"), int(taken.cpuType)},
                           {QStringLiteral("parts"), partsText(parts)}};
    QSaveFile file(metaPath(path));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(meta).toJson(QJsonDocument::Indented)) < 0 || !file.commit()) {
        QFile::remove(path);
        return {{}, QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString())};
    }
    const QList<Entry> all = list(folder);
    for (qsizetype k = kept; k < all.size(); ++k) {
        QFile::remove(all.at(k).path);
        QFile::remove(metaPath(all.at(k).path));
    }
    return {path, {}};
}

QList<Entry> list(const QString &folder)
{
    QList<Entry> entries;
    const QDir dir(folder);
    // The names hold the time, so the newest sorts last.
    const QStringList names =
        dir.entryList({prefix + QStringLiteral("*.apc")}, QDir::Files, QDir::Name | QDir::Reversed);
    for (const QString &name : names) {
        Entry entry;
        entry.path = dir.filePath(name);
        entry.time = QDateTime::fromString(name.mid(prefix.size()).chopped(4), timeFormat);
        QFile file(metaPath(entry.path));
        if (file.open(QIODevice::ReadOnly) && file.size() < 4096) {
            const QJsonObject meta = QJsonDocument::fromJson(file.readAll()).object();
            entry.port = meta.value(QStringLiteral("port")).toString();
            entry.cpuType = quint16(meta.value(QStringLiteral("cpuType")).toInt());
            entry.parts =
                ConfigurationParts::fromText(meta.value(QStringLiteral("parts")).toString())
                    .value_or(ConfigurationParts{});
        }
        entries << entry;
    }
    return entries;
}

QString partsText(const ConfigurationParts &parts)
{
    QStringList names;
    if (parts.uart1)
        names << QStringLiteral("uart1");
    if (parts.uart2)
        names << QStringLiteral("uart2");
    if (parts.aux)
        names << QStringLiteral("aux");
    return names.join(QStringLiteral(","));
}

QString defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/backups");
}

} // namespace PlcBackup
