#include "wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace WholeFile {

namespace {

QMutex faultLock;
std::optional<Fault> injected;

std::optional<Fault> faultAt(Step step)
{
    const QMutexLocker locked(&faultLock);
    if (injected && injected->step == step)
        return injected;
    return std::nullopt;
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The file a write replaces: a link's target, so that the link stays.
QString targetOf(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; info.isSymLink() && depth < 40; ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

bool syncFile(QFile &file)
{
#ifdef Q_OS_WIN
    // The data of the file, whichever handle wrote it.
    const HANDLE handle = CreateFileW(
        reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(file.fileName()).utf16()),
        GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EIO;
        return false;
    }
    const bool synced = FlushFileBuffers(handle);
    CloseHandle(handle);
    if (!synced)
        errno = EIO;
    return synced;
#else
    int result = 0;
    do
        result = ::fsync(file.handle());
    while (result < 0 && errno == EINTR);
    return result == 0;
#endif
}

// Puts the written file in the old one's place in one step.
bool replace(const QString &from, const QString &to, QString &why)
{
#ifdef Q_OS_WIN
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    why = qt_error_string(int(GetLastError()));
    return false;
#else
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) {
        // The folder's entry reaches the disk too.
        const int folder = ::open(QFile::encodeName(QFileInfo(to).absolutePath()).constData(),
                                  O_RDONLY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
        return true;
    }
    why = reason(errno);
    return false;
#endif
}

} // namespace

QString cannotWrite(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

void setFault(std::optional<Fault> fault)
{
    const QMutexLocker locked(&faultLock);
    injected = fault;
}

QString write(const QString &path, const QByteArray &bytes)
{
    const QString target = targetOf(path);
    const QFileInfo existing(target);
    if (existing.exists() && !existing.isFile())
        return QStringLiteral("it is not an ordinary file (a folder, a FIFO or a device); "
                              "it was left as it was");

    // Beside the target, so that the last step is a rename within one
    // file system; a name of this run's own.
    QFile temporary;
    for (int attempt = 0;; ++attempt) {
        temporary.setFileName(
            QStringLiteral("%1/.%2.%3.tmp")
                .arg(existing.absolutePath(), existing.fileName())
                .arg(QRandomGenerator::global()->generate64() & 0xffffffffffffULL, 0, 36));
        if (temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (!temporary.exists() || attempt == 16)
            return temporary.errorString();
    }
    if (existing.exists())
        temporary.setPermissions(existing.permissions());

    const auto failed = [&temporary](const QString &why) {
        temporary.close();
        temporary.remove();
        return why;
    };

    const std::optional<Fault> writeFault = faultAt(Step::Write);
    if (writeFault && writeFault->error == 0) {
        temporary.write(bytes.left(bytes.size() / 2));
        return failed(reason(ENOSPC));
    }
    if (writeFault)
        return failed(reason(writeFault->error));
    if (temporary.write(bytes) != bytes.size())
        return failed(temporary.errorString());
    if (!temporary.flush())
        return failed(temporary.errorString());

    if (const std::optional<Fault> fault = faultAt(Step::Sync))
        return failed(reason(fault->error));
    if (!syncFile(temporary))
        return failed(reason(errno));

    if (const std::optional<Fault> fault = faultAt(Step::Close))
        return failed(reason(fault->error));
    temporary.close();
    if (temporary.error() != QFileDevice::NoError)
        return failed(temporary.errorString());

    QString why;
    if (const std::optional<Fault> fault = faultAt(Step::Rename))
        why = reason(fault->error);
    else if (replace(temporary.fileName(), target, why))
        return {};
    temporary.remove();
    return why;
}

QString append(const QString &path, const QByteArray &line)
{
    const QString target = targetOf(path);
    const QFileInfo existing(target);
    if (existing.exists() && !existing.isFile())
        return QStringLiteral("it is not an ordinary file (a folder, a FIFO or a device)");
    const std::optional<Fault> fault = faultAt(Step::Write);
#ifdef Q_OS_WIN
    // Appending access alone: the system puts each write at the end as one.
    const HANDLE file =
        CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(target).utf16()),
                    FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return qt_error_string(int(GetLastError()));
    LARGE_INTEGER before = {};
    GetFileSizeEx(file, &before);
    DWORD written = 0;
    bool whole = false;
    QString why;
    if (fault) {
        why = reason(fault->error == 0 ? ENOSPC : fault->error);
    } else {
        whole = WriteFile(file, line.constData(), DWORD(line.size()), &written, nullptr) &&
                written == DWORD(line.size());
        if (!whole)
            why = written > 0 ? reason(ENOSPC) : qt_error_string(int(GetLastError()));
    }
    CloseHandle(file);
    if (!whole && written > 0) {
        // The part written ends the file now: cut it off again.
        const HANDLE again =
            CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(target).utf16()),
                        GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (again != INVALID_HANDLE_VALUE) {
            LARGE_INTEGER size = {};
            GetFileSizeEx(again, &size);
            size.QuadPart -= written;
            if (size.QuadPart >= before.QuadPart &&
                SetFilePointerEx(again, size, nullptr, FILE_BEGIN))
                SetEndOfFile(again);
            CloseHandle(again);
        }
    }
    return whole ? QString() : why;
#else
    // One write of the whole line to a file opened for appending: lines of
    // other processes on the same file stay whole as well.
    const int fd = ::open(QFile::encodeName(target).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return reason(errno);
    ssize_t written = 0;
    int writeError = ENOSPC;
    if (fault) {
        written = fault->error == 0 ? ::write(fd, line.constData(), size_t(line.size() / 2)) : -1;
        writeError = fault->error == 0 ? ENOSPC : fault->error;
    } else {
        do
            written = ::write(fd, line.constData(), size_t(line.size()));
        while (written < 0 && errno == EINTR);
        if (written < 0)
            writeError = errno;
    }
    QString error;
    if (written != line.size()) {
        // The part written ends the file now: cut it off again, so that the
        // next line does not join it.
        struct stat after = {};
        if (written > 0 && ::fstat(fd, &after) == 0)
            while (::ftruncate(fd, after.st_size - written) < 0 && errno == EINTR) {
            }
        error = reason(writeError);
    }
    if (::close(fd) < 0 && error.isEmpty())
        error = reason(errno);
    return error;
#endif
}

Read read(const QString &path, qint64 limit)
{
    QFile file(path);
    const auto failed = [&file, &path] {
        return Read{std::nullopt,
                    QStringLiteral("Cannot read %1: %2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()),
                    false};
    };
    if (!file.open(QIODevice::ReadOnly))
        return failed();
    // Whatever size the file system reports (a device's or a FIFO's is 0),
    // no more than one byte past the limit is read.
    QByteArray contents;
    while (contents.size() <= limit) {
        const QByteArray part = file.read(limit + 1 - contents.size());
        if (part.isEmpty())
            break;
        contents += part;
    }
    if (file.error() != QFileDevice::NoError)
        return failed();
    if (contents.size() > limit)
        return {std::nullopt,
                QStringLiteral("%1 holds more than %2 bytes")
                    .arg(QDir::toNativeSeparators(path))
                    .arg(limit),
                true};
    return {contents, {}, false};
}

} // namespace WholeFile
