#include "plcbackup.h"

#include "config/configurationfile.h"
#include "config/configurationupload.h"
#include "link/transferrun.h"
#include "link/wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
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

// Drops the oldest backups past the newest `kept`. Only the tool's own are
// counted and dropped: pairs whose description it could have written, not
// links; and never the one just made, whatever the times of the others
// (a clock ahead, another bench's time zone).
void prune(const QString &folder, const QString &made)
{
    const QList<Entry> all = list(folder);
    qsizetype own = 1;
    for (const Entry &entry : all) {
        const QString meta = metaPath(entry.path);
        if (entry.path == made || !entry.problem.isEmpty() ||
            QFileInfo(entry.path).isSymLink() || QFileInfo(meta).isSymLink())
            continue;
        if (++own <= kept)
            continue;
        QFile::remove(entry.path);
        QFile::remove(meta);
    }
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
    apc.close();
    const QString path = apc.fileName();
    const QJsonObject meta{{QStringLiteral("time"), time.toString(Qt::ISODateWithMs)},
                           {QStringLiteral("port"), port},
                           {QStringLiteral("cpuType"), int(taken.cpuType)},
                           {QStringLiteral("parts"), partsText(labelled)}};
    // Both files whole, or neither: only this backup's own files go.
    for (const auto &[file, bytes] :
         {std::pair(path, encoded.record),
          std::pair(metaPath(path), QJsonDocument(meta).toJson(QJsonDocument::Indented))}) {
        if (const QString reason = WholeFile::write(file, bytes); !reason.isEmpty()) {
            QFile::remove(path);
            if (file != path)
                QFile::remove(metaPath(path));
            return {{}, WholeFile::cannotWrite(file, reason)};
        }
    }
    prune(folder, path);
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
        const QFileInfo metaFile(metaPath(entry.path));
        if (!entry.time.isValid() || !metaFile.exists())
            continue;
        entry.parts = {false, false, false};
        // Whatever the .json is (a link to a device, say), no more than a
        // description's bound is read.
        const WholeFile::Read description = WholeFile::read(metaFile.filePath(), 4096);
        if (description.tooLarge) {
            entry.problem = QStringLiteral("its description cannot be read: %1 bytes, too long")
                                .arg(metaFile.isFile() ? QString::number(metaFile.size())
                                                       : QStringLiteral("more than 4096"));
        } else if (!description.contents) {
            entry.problem =
                QStringLiteral("its description cannot be read: %1").arg(description.error);
        } else {
            QJsonParseError error;
            const QJsonObject meta =
                QJsonDocument::fromJson(*description.contents, &error).object();
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
