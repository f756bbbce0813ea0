#include "recentfiles.h"

#include "link/inifile.h"

#include <QDir>
#include <QFileInfo>

namespace RecentFiles {

namespace {

const QString section = QStringLiteral("RECENT");

QString key(int n)
{
    return QStringLiteral("File%1").arg(n);
}

} // namespace

QStringList list(const QString &iniFile)
{
    QStringList files;
    for (int n = 1; n <= most; ++n) {
        const QString path = Ini_read(iniFile, section, key(n), QString()).trimmed();
        if (!path.isEmpty() && !files.contains(path))
            files << path;
    }
    return files;
}

void add(const QString &iniFile, const QString &path)
{
    QStringList files = list(iniFile);
    files.removeAll(path);
    files.prepend(path);
    for (int n = 1; n <= most; ++n)
        Ini_write(iniFile, section, key(n), files.value(n - 1));
}

QString dialogFolder(const QString &iniFile, const QString &programFolder, const QString &documents)
{
    const QString settingsFolder = QFileInfo(iniFile).absolutePath();
    if (QDir(settingsFolder) == QDir(programFolder))
        return programFolder;
    const QStringList files = list(iniFile);
    if (!files.isEmpty()) {
        const QFileInfo last(files.first());
        if (last.absoluteDir().exists())
            return last.absolutePath();
    }
    return documents;
}

} // namespace RecentFiles
