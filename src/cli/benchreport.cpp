#include "benchreport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>

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
    QFile file(m_path);
    // One write of the whole line to a file opened for appending: lines of
    // other processes on the same file stay whole as well.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered) ||
        file.write(line) != line.size())
        return QStringLiteral("Cannot write %1: %2").arg(m_path, file.errorString());
    return {};
}

QJsonObject BenchReport::json(const Entry &entry)
{
    QJsonObject object{
        {QStringLiteral("time"), entry.start.toString(Qt::ISODateWithMs)},
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
