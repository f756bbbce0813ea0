#pragma once

#include "config/configuration.h"
#include "config/configurationparts.h"
#include "link/transferresult.h"

#include <QDateTime>
#include <QList>
#include <QString>

class PlcPort;

// A backup of what the PLC holds, taken before a download writes over it:
// the CPU type word and the parts about to be written, read as their
// uploads read them, kept as a configuration file with a few lines about it
// beside it (time, port, CPU type, parts).
namespace PlcBackup {

// The newest this many backups are kept in a folder.
inline constexpr int kept = 50;

struct Taken
{
    TransferResult result;
    quint16 cpuType = 0;
    // The parts read over the defaults; the rest as the defaults.
    Configuration configuration;
};
// Reads the CPU type word at 0E02, then the parts as uploadConfiguration()
// does; the first failure ends it with its message.
Taken take(PlcPort &port, const QString &iniFile, const ConfigurationParts &parts,
           const TransferProgress &progress = {});

// One backup in a folder.
struct Entry
{
    QString path; // the configuration file
    QDateTime time;
    QString port;
    quint16 cpuType = 0;
    ConfigurationParts parts;
};

// Writes the backup into the folder (made when needed) as
// plc-backup-<yyyyMMdd-HHmmss-zzz>.apc with its .json beside it, then drops
// all but the newest `kept`. The file written, or the error.
struct Saved
{
    QString path;
    QString error;
};
Saved save(const QString &folder, const Taken &taken, const QString &port,
           const ConfigurationParts &parts, const QDateTime &time = QDateTime::currentDateTime());

// The backups in the folder, newest first.
QList<Entry> list(const QString &folder);
// "uart1,aux": what a backup holds.
QString partsText(const ConfigurationParts &parts);

// The user's backups: <data folder>/backups.
QString defaultFolder();

} // namespace PlcBackup
