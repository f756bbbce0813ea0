#include "plcbackup.h"

#include "config/configurationfile.h"
#include "config/configurationupload.h"
#include "link/transferrun.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

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
    Taken taken{TransferResult::success(), 0, Configuration::defaults(), {}};
    {
        TransferRun run(port, iniFile);
        const std::optional<quint16> type = run.readWord(100ms, cpuTypeAddress);
        if (!type)
            return {run.result(), 0, taken.configuration, {}};
        taken.cpuType = *type;
    }
    const ConfigurationUpload read =
        uploadConfiguration(port, iniFile, taken.configuration, progress, parts);
    taken.result = read.result;
    if (!read.result.ok)
        return taken;
    taken.held = {parts.uart1 && read.uart1, parts.uart2 && read.uart2, parts.aux && read.aux};
    taken.configuration.uart1 = read.uart1.value_or(taken.configuration.uart1);
    taken.configuration.uart2 = read.uart2.value_or(taken.configuration.uart2);
    taken.configuration.aux = read.aux.value_or(taken.configuration.aux);
    return taken;
}

Saved save(const QString &folder, const Taken &taken, const QString &port,
           const ConfigurationParts &parts, const QDateTime &time)
{
    const ConfigurationParts labelled{parts.uart1 && taken.held.uart1,
                                      parts.uart2 && taken.held.uart2, parts.aux && taken.held.aux};
    if (partsText(labelled).isEmpty())
        return {{},
                QStringLiteral("the PLC holds none of the parts in a form a backup can keep "
                               "(a mode word that names no role)")};
    const ConfigurationFile::Encoded encoded = ConfigurationFile::encode(taken.configuration);
    if (!encoded.error.isEmpty())
        return {{}, encoded.error};
    if (!QDir().mkpath(folder))
        return {{}, QStringLiteral("Cannot make the folder %1").arg(folder)};
    // The name is taken by creating the file: two ports backed up in the same
    // millisecond, by one run or by two, never share a file.
    const QString stem = QDir(folder).filePath(prefix + time.toString(timeFormat) +
                                               QLatin1Char('-') + portInName(port));
    QFile apc;
    for (int n = 1;; ++n) {
        apc.setFileName(stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) +
                        QStringLiteral(".apc"));
        if (apc.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!apc.exists() || n == 1000)
            return {{},
                    QStringLiteral("Cannot write %1: %2").arg(apc.fileName(), apc.errorString())};
    }
    const QString path = apc.fileName();
    const bool written = apc.write(encoded.record) == encoded.record.size() && apc.flush();
    const QString apcError = apc.errorString();
    apc.close();
    if (!written) {
        QFile::remove(path);
        return {{}, QStringLiteral("Cannot write %1: %2").arg(path, apcError)};
    }
    const QJsonObject meta{{QStringLiteral("time"), time.toString(Qt::ISODateWithMs)},
                           {QStringLiteral("port"), port},
                           {QStringLiteral("cpuType"), int(taken.cpuType)},
                           {QStringLiteral("parts"), partsText(labelled)}};
    QSaveFile file(metaPath(path));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(meta).toJson(QJsonDocument::Indented)) < 0 || !file.commit()) {
        // Only this backup's own file goes.
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
    // plc-backup-<time>[-<port>][-<counter>].apc, the time as timeFormat.
    static const QRegularExpression name(
        QStringLiteral("^plc-backup-(\\d{8}-\\d{6}-\\d{3})(?:-[A-Za-z0-9_]+)*\\.apc$"));
    QList<Entry> entries;
    const QDir dir(folder);
    for (const QString &fileName : dir.entryList({prefix + QStringLiteral("*.apc")}, QDir::Files)) {
        const QRegularExpressionMatch match = name.match(fileName);
        if (!match.hasMatch())
            continue;
        Entry entry;
        entry.path = dir.filePath(fileName);
        entry.time = QDateTime::fromString(match.captured(1), timeFormat);
        QFile file(metaPath(entry.path));
        if (!entry.time.isValid() || !file.exists())
            continue;
        entry.parts = {false, false, false};
        if (!file.open(QIODevice::ReadOnly)) {
            entry.problem =
                QStringLiteral("its description cannot be read: %1").arg(file.errorString());
        } else if (file.size() > 4096) {
            entry.problem = QStringLiteral("its description cannot be read: %1 bytes, too long")
                                .arg(file.size());
        } else {
            QJsonParseError error;
            const QJsonObject meta = QJsonDocument::fromJson(file.readAll(), &error).object();
            const QJsonValue cpuType = meta.value(QStringLiteral("cpuType"));
            const std::optional<ConfigurationParts> parts =
                ConfigurationParts::fromText(meta.value(QStringLiteral("parts")).toString());
            if (error.error != QJsonParseError::NoError)
                entry.problem =
                    QStringLiteral("its description cannot be read: %1").arg(error.errorString());
            else if (!meta.value(QStringLiteral("port")).isString() || !cpuType.isDouble() ||
                     cpuType.toDouble() < 0 || cpuType.toDouble() > 0xFFFF || !parts ||
                     partsText(*parts).isEmpty())
                entry.problem = QStringLiteral(
                    "its description cannot be read: port, CPU type or parts missing");
            else {
                entry.port = meta.value(QStringLiteral("port")).toString();
                entry.cpuType = quint16(cpuType.toInt());
                entry.parts = *parts;
            }
        }
        entries << entry;
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.time != b.time ? a.time > b.time : a.path > b.path;
    });
    return entries;
}

QString portInName(const QString &port)
{
    QString text;
    for (const QChar c : port)
        text += c.isLetterOrNumber() && c.unicode() < 128 ? c : QLatin1Char('_');
    while (text.startsWith(QLatin1Char('_')))
        text.remove(0, 1);
    return text.isEmpty() ? QStringLiteral("port") : text;
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
