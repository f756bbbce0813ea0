#include "settingslocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString settingsFile(const QString &programFolder, const QString &userFolder)
{
    const QString name = QStringLiteral("set.ini");
    const QFileInfo beside(programFolder + QLatin1Char('/') + name);
    if (beside.exists() ? beside.isWritable() : QFileInfo(programFolder).isWritable())
        return beside.filePath();
    QDir().mkpath(userFolder);
    return userFolder + QLatin1Char('/') + name;
}

QString settingsFile()
{
    return settingsFile(QCoreApplication::applicationDirPath(),
                        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}
