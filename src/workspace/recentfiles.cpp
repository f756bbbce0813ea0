#include "recentfiles.h"

#include "link/inifile.h"

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

} // namespace RecentFiles
