#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Files written whole or not at all, and read within a bound. Every file the
// tools write goes through here: configurations, their JSON, backups, the
// bench report, the traffic monitor's text, the settings file.
namespace WholeFile {

// Makes `bytes` the whole contents of `path`: written beside it under a
// temporary name, every write checked, synced to the disk, and only then put
// in the place of the old file, which stays byte for byte as it was on any
// failure. A link is followed: the file it names is replaced and the link
// kept. A target that exists and is not an ordinary file (a FIFO, a device,
// a folder) is refused. Returns the reason it failed, as the system gives
// it ("No space left on device"), or an empty text when it was written.
QString write(const QString &path, const QByteArray &bytes);

// Appends `line` in one write to `path` (made when missing), so that lines
// of other programs on the same file stay whole; a line the system took in
// part is cut off again. Returns the reason as write() does.
QString append(const QString &path, const QByteArray &line);

// "Cannot write <path>: <reason>", the message for a failed write.
QString cannotWrite(const QString &path, const QString &reason);

// Reads the file, of at most `limit` bytes: whatever it is (a device, a
// FIFO), no more than limit + 1 bytes are read.
struct Read
{
    std::optional<QByteArray> contents; // nothing on failure
    QString error;                      // "Cannot read <path>: ..."
    bool tooLarge = false;              // it holds more than the limit
};
Read read(const QString &path, qint64 limit);

// For the tests: the steps a write takes, where a fault can be put.
enum class Step { Write, Sync, Close, Rename };
struct Fault
{
    Step step = Step::Write;
    // The system error the step fails with; 0 at Step::Write takes only
    // part of the bytes (a short write) and then fails with ENOSPC.
    int error = 0;
};
// Makes the next writes fail as `fault` says, until it is reset (nullopt).
void setFault(std::optional<Fault> fault);

} // namespace WholeFile
