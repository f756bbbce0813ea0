#include "cli/command.h"

#include "config/configurationfile.h"
#include "config/configurationupload.h"
#include "config/plcbackup.h"
#include "link/plcport.h"

#include <QFileInfo>

namespace Cli {

namespace {

// A line for each UART of `parts` that was not read because its mode word
// names no role.
QStringList namesNoRole(const ConfigurationParts &parts, const ConfigurationParts &read,
                        const QString &consequence)
{
    QStringList lines;
    for (const auto &[asked, got, number] :
         {std::tuple{parts.uart1, read.uart1, 1}, std::tuple{parts.uart2, read.uart2, 2}}) {
        if (asked && !got)
            lines << QStringLiteral("UART %1 role: the PLC's mode word names none; %2")
                         .arg(number)
                         .arg(consequence);
    }
    return lines;
}

} // namespace

// download (with --verify, verify after) and verify.
CommandResult downloadOrVerify(const Options &o, PlcPort &port, const TransferProgress &progress)
{
    QString error;
    const std::optional<Configuration> c = loadFile(o.arguments.value(0), error);
    if (!c)
        return failed(Invalid, error);
    QJsonObject json;
    QStringList lines;
    if (o.command == QLatin1String("download") && !o.backups.isEmpty()) {
        // What the PLC holds of the parts goes into the folder first; without
        // it nothing is written. Every check of the download comes before it:
        // only what will be written is backed up.
        if (const auto refusal = downloadRefusal(*c, o.parts))
            return failed(*refusal);
        const PlcBackup::Taken taken = PlcBackup::take(port, o.ini, o.parts);
        if (!taken.result.ok)
            return failed(LinkFailed, QStringLiteral("No backup could be read, so nothing was "
                                                     "written: %1")
                                          .arg(taken.result.message));
        const QStringList unread =
            namesNoRole(o.parts, taken.held, QStringLiteral("it is not in the backup"));
        if (!unread.isEmpty())
            json.insert(QStringLiteral("notInBackup"), QJsonArray::fromStringList(unread));
        lines << unread;
        const PlcBackup::Saved saved = PlcBackup::save(
            o.backups, taken,
            o.port.isEmpty() ? QStringLiteral("COM%1").arg(port.portNumber()) : o.port, o.parts);
        if (!saved.error.isEmpty())
            return failed(Invalid, QStringLiteral("The backup was not saved, so nothing was "
                                                  "written: %1")
                                       .arg(saved.error));
        lines << QStringLiteral("backup %1").arg(saved.path);
        json.insert(QStringLiteral("backup"), saved.path);
    }
    if (o.command == QLatin1String("download")) {
        const TransferResult done = downloadConfiguration(port, o.ini, *c, progress, o.parts);
        if (!done.ok)
            return failed(done);
        if (!o.verify) {
            json.insert(QStringLiteral("written"), true);
            return {Done, lines << QStringLiteral("written"), json};
        }
    }
    const ConfigurationCheck check = verifyConfiguration(port, o.ini, *c, progress, o.parts);
    if (!check.result.ok && o.command == QLatin1String("download")) {
        // The write went through: whoever reads this must know the PLC
        // holds the new configuration, unverified.
        CommandResult result =
            failed(LinkFailed, QStringLiteral("written; the verify that followed failed: %1")
                                   .arg(check.result.message));
        result.json.insert(QStringLiteral("written"), true);
        result.reportResult = QStringLiteral("written, verify failed");
        return result;
    }
    if (!check.result.ok)
        return failed(check.result);
    json.insert(QStringLiteral("differences"), QJsonArray::fromStringList(check.differences));
    if (check.differences.isEmpty())
        return {Done, lines << QStringLiteral("the PLC holds the file's configuration"), json};
    return {Differences, lines + check.differences, json};
}

// upload: parts not read keep the file's values, or the defaults.
CommandResult upload(const Options &o, PlcPort &port, const TransferProgress &progress)
{
    QString error;
    const QString file = o.arguments.value(0);
    Configuration current = Configuration::defaults();
    if (QFileInfo::exists(file)) {
        const std::optional<Configuration> c = loadFile(file, error);
        if (!c)
            return failed(Invalid, error);
        current = *c;
    }
    const ConfigurationUpload read = uploadConfiguration(port, o.ini, current, progress, o.parts);
    if (!read.result.ok)
        return failed(read.result);
    // A part the PLC's mode word says nothing of is not written as the
    // defaults: the file is left as it is.
    const QStringList unread = namesNoRole(o.parts, {bool(read.uart1), bool(read.uart2), true},
                                           QStringLiteral("nothing was written to %1").arg(file));
    if (!unread.isEmpty())
        return {Invalid, unread,
                QJsonObject{{QStringLiteral("error"), unread.join(QLatin1Char('\n'))},
                            {QStringLiteral("noRole"), QJsonArray::fromStringList(unread)}}};
    current.uart1 = read.uart1.value_or(current.uart1);
    current.uart2 = read.uart2.value_or(current.uart2);
    current.aux = read.aux.value_or(current.aux);
    if (const QString saveError = saveFile(file, current); !saveError.isEmpty())
        return failed(Invalid, saveError);
    return {Done, {QStringLiteral("read into %1").arg(file)}, {{QStringLiteral("file"), file}}};
}

} // namespace Cli
