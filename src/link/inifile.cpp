#include "inifile.h"

#include "link/wholefile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

// A small reader and writer of its own rather than QSettings: QSettings keeps
// a process-wide cache that can miss a change made within the same instant,
// and the file must be read afresh at every call. Section and key names
// match without regard to case, as private-profile files always have; lines
// the writer does not change (comments, other sections) are kept as they are.

namespace {

constexpr qint64 largestFile = 1024 * 1024;

// The file's lines, or why it is unfit to be taken as settings. An absent
// file has no lines.
struct Lines
{
    QStringList lines;
    QString problem;
};

Lines readLines(const QString &file)
{
    const QFileInfo info(file);
    if (!info.exists())
        return {};
    // A FIFO would hold the program until someone writes to it.
    if (!info.isFile())
        return {{}, QStringLiteral("%1 is not an ordinary file: it is left as it is").arg(file)};
    const WholeFile::Read in = WholeFile::read(file, largestFile);
    if (in.tooLarge)
        return {{},
                QStringLiteral("%1 holds %2 bytes, more than a settings file can: it is left "
                               "as it is")
                    .arg(file, info.isFile() ? QString::number(info.size())
                                             : QStringLiteral("more than %1").arg(largestFile))};
    if (!in.contents)
        return {{}, in.error};
    // Lines end at "\n"; a "\r" before it (a file from Windows) goes.
    const QByteArray bytes = QByteArray(*in.contents).replace("\r\n", "\n");
    if (bytes.contains('\0'))
        return {{}, QStringLiteral("%1 is not a text file: it is left as it is").arg(file)};
    return {QString::fromUtf8(bytes).split(QLatin1Char('\n')), {}};
}

// The section name of a "[name]" line, or a null string for other lines.
QString sectionOf(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']')))
        return trimmed.mid(1, trimmed.size() - 2).trimmed();
    return {};
}

bool isKeyLine(const QString &line, const QString &key)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return equals > 0 && line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct KeyPosition
{
    qsizetype sectionEnd = -1; // index after the section's last non-empty line; -1: no section
    qsizetype keyLine = -1;
};

KeyPosition locate(const QStringList &lines, const QString &section, const QString &key)
{
    KeyPosition position;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString name = sectionOf(lines[i]);
        if (!name.isNull()) {
            inSection = sameName(name, section);
            if (inSection && position.sectionEnd < 0)
                position.sectionEnd = i + 1;
        } else if (inSection && position.keyLine < 0) {
            if (isKeyLine(lines[i], key))
                position.keyLine = i;
            if (!lines[i].trimmed().isEmpty())
                position.sectionEnd = i + 1;
        }
    }
    return position;
}

QString saveLines(const QString &file, QStringList lines)
{
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const QByteArray bytes = (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
    if (const QString reason = WholeFile::write(file, bytes); !reason.isEmpty())
        return QStringLiteral("Cannot save the settings in %1: %2").arg(file, reason);
    return {};
}

// Puts key=value into the section: over the key's line, after the
// section's last entry, or in a new section at the end.
void setEntry(QStringList &lines, const QString &section, const QString &key, const QString &value)
{
    const KeyPosition position = locate(lines, section, key);
    const QString entry = key + QLatin1Char('=') + value;
    if (position.keyLine >= 0) {
        lines[position.keyLine] = entry;
    } else if (position.sectionEnd >= 0) {
        lines.insert(position.sectionEnd, entry);
    } else {
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
            lines.removeLast();
        if (!lines.isEmpty())
            lines.append(QString());
        lines << QLatin1Char('[') + section + QLatin1Char(']') << entry;
    }
}

} // namespace

QString Ini_problem(const QString &file)
{
    return readLines(file).problem;
}

QString Ini_read(const QString &file, const QString &section, const QString &key,
                 const QString &defaultValue)
{
    const QStringList lines = readLines(file).lines;
    const KeyPosition position = locate(lines, section, key);
    if (position.keyLine < 0)
        return defaultValue;
    const QString &line = lines[position.keyLine];
    return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed().left(254);
}

QString Ini_write(const QString &file, const QString &section, const IniEntries &entries)
{
    Lines read = readLines(file);
    if (!read.problem.isEmpty())
        return read.problem;
    for (const auto &[key, value] : entries)
        setEntry(read.lines, section, key, value);
    return saveLines(file, read.lines);
}

QString Ini_write(const QString &file, const QString &section, const QString &key,
                  const QString &value)
{
    return Ini_write(file, section, {{key, value}});
}

int Ini_read_index(const QString &file, const QString &section, const QString &key, int count)
{
    bool ok = false;
    const int index = Ini_read(file, section, key, QStringLiteral("0")).toInt(&ok);
    return ok && index >= 0 && index < count ? index : 0;
}
