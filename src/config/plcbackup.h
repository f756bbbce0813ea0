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
    // The parts it holds: a UART whose mode word names no role is not read
    // into it.
    ConfigurationParts held;
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
    // Why its description (the .json beside it) cannot be read, empty when
    // it can; then port, CPU type and parts say nothing.
    QString problem;
};

// Writes the backup into the folder (made when needed) as
// plc-backup-<yyyyMMdd-HHmmss-zzz>-<port>.apc (the port's letters and digits,
// anything else as "_"), created only when no file has that name, with a
// counter (-2, -3, ...) before ".apc" on a clash; then its .json beside it.
// It is labelled with the parts it holds (`parts` as far as `taken` holds
// them). Then all but the newest `kept` backups are dropped, never this one;
// files whose name is not of that form, without their .json, with a .json
// that is not such a description, or that are links, are left alone. The file
// written, or the error; a failure leaves nothing of this backup behind.
struct Saved
{
    QString path;
    QString error;
};
Saved save(const QString &folder, const Taken &taken, const QString &port,
           const ConfigurationParts &parts, const QDateTime &time = QDateTime::currentDateTime());

// The backups in the folder, newest first: the files whose whole name is of
// the form above and whose .json is there.
QList<Entry> list(const QString &folder);
// The name's part made from a port: "/dev/ttyUSB0" gives "dev_ttyUSB0".
QString portInName(const QString &port);
// "uart1,aux": what a backup holds.
QString partsText(const ConfigurationParts &parts);

// The user's backups: <data folder>/backups.
QString defaultFolder();

} // namespace PlcBackup
