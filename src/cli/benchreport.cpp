#include "benchreport.h"

#include "link/wholefile.h"

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
    if (const QString reason = WholeFile::append(m_path, line); !reason.isEmpty())
        return QStringLiteral("Cannot write %1: %2").arg(m_path, reason);
    return {};
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
        {QStringLiteral("result"), entry.result.isEmpty() ? resultOf(entry.exitCode) : entry.result},
        {QStringLiteral("durationMs"), entry.duration},
    };
    if (entry.exitCode == 1)
        object.insert(QStringLiteral("differences"), entry.differences);
    if (!entry.message.isEmpty())
        object.insert(QStringLiteral("message"), entry.message);
    return object;
}
