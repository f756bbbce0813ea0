#include "settingslocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool installed(const QString &programFolder, const QStringList &prefixes)
{
    const QFileInfo folder(programFolder);
    const QString path = folder.exists() ? folder.canonicalFilePath() : folder.absoluteFilePath();
    for (const QString &prefix : prefixes) {
        const QFileInfo root(prefix);
        const QString rootPath =
            root.exists() ? root.canonicalFilePath() : QDir::cleanPath(root.absoluteFilePath());
        if (!rootPath.isEmpty() && rootPath != QLatin1String("/") &&
            (path == rootPath || path.startsWith(rootPath + QLatin1Char('/'))))
            return true;
    }
    return false;
}

} // namespace

QStringList defaultInstallPrefixes()
{
    return {QStringLiteral("/usr"), QString::fromUtf8(PLC_INSTALL_PREFIX)};
}

QString settingsFile(const QString &programFolder, const QString &userFolder,
                     const QStringList &installPrefixes, SettingsBeside rule)
{
    const QString name = QStringLiteral("set.ini");
    const QFileInfo beside(programFolder + QLatin1Char('/') + name);
    if (rule == SettingsBeside::WhenPresent && beside.isFile())
        return beside.filePath();
    if (rule == SettingsBeside::WhenWritable && !installed(programFolder, installPrefixes) &&
        (beside.exists() ? beside.isWritable() : QFileInfo(programFolder).isWritable()))
        return beside.filePath();
    QDir().mkpath(userFolder);
    return userFolder + QLatin1Char('/') + name;
}

QString settingsFile()
{
    return settingsFile(QCoreApplication::applicationDirPath(),
                        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}
