#include "benchreport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString resultOf(int exitCode)
{
    switch (exitCode) {
    case 0:
        return QStringLiteral("done");
    case 1:
        return QStringLiteral("differences");
    case 2:
        return QStringLiteral("usage");
    case 3:
        return QStringLiteral("link failure");
    case 5:
        return QStringLiteral("not in mode");
    default:
        return QStringLiteral("invalid");
    }
}

QJsonValue sha256(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QJsonValue::Null;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QJsonValue::Null;
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

QString BenchReport::check()
{
    const QMutexLocker locked(&m_lock);
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return QStringLiteral("Cannot write %1: %2").arg(m_path, file.errorString());
    return {};
}

QString BenchReport::append(const Entry &entry)
{
    const QByteArray line = QJsonDocument(json(entry)).toJson(QJsonDocument::Compact) + '\n';
    const QMutexLocker locked(&m_lock);
    const QByteArray path = QFile::encodeName(m_path);
    const auto failure = [this](int error) {
        return QStringLiteral("Cannot write %1: %2")
            .arg(m_path, QString::fromLocal8Bit(std::strerror(error)));
    };
    // One write of the whole line to a file opened for appending: lines of
    // other processes on the same file stay whole as well. A line written
    // in part is cut off again, so the next one does not join it.
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return failure(errno);
    ssize_t written = 0;
    do
        written = ::write(fd, line.constData(), size_t(line.size()));
    while (written < 0 && errno == EINTR);
    const int writeError = written < 0 ? errno : ENOSPC;
    QString error;
    if (written != line.size()) {
        // The part written ends the file now.
        struct stat after = {};
        if (written > 0 && ::fstat(fd, &after) == 0)
            while (::ftruncate(fd, after.st_size - written) < 0 && errno == EINTR) {
            }
        error = failure(writeError);
    }
    if (::close(fd) < 0 && error.isEmpty())
        error = failure(errno);
    return error;
}

QJsonObject BenchReport::json(const Entry &entry)
{
    QJsonObject object{
        // With its offset from UTC: a record read at another site says when.
        {QStringLiteral("time"),
         entry.start.toOffsetFromUtc(entry.start.offsetFromUtc()).toString(Qt::ISODateWithMs)},
        {QStringLiteral("port"), entry.port},
        {QStringLiteral("cpuType"),
         entry.cpuType ? QJsonValue(int(*entry.cpuType)) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("command"), entry.command},
        {QStringLiteral("file"),
         entry.file.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(entry.file)},
        {QStringLiteral("sha256"), sha256(entry.file)},
        {QStringLiteral("result"), resultOf(entry.exitCode)},
        {QStringLiteral("durationMs"), entry.duration},
    };
    if (entry.exitCode == 1)
        object.insert(QStringLiteral("differences"), entry.differences);
    if (!entry.message.isEmpty())
        object.insert(QStringLiteral("message"), entry.message);
    return object;
}
