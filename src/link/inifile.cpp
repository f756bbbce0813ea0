#include "inifile.h"

#include <QSettings>
#include <QStringList>

namespace {

QString settingsKey(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

} // namespace

QString Ini_read(const QString &file, const QString &section, const QString &key,
                 const QString &defaultValue)
{
    const QSettings ini(file, QSettings::IniFormat);
    const QVariant value = ini.value(settingsKey(section, key));
    if (!value.isValid())
        return defaultValue;
    // A value holding commas comes back as a list; the file's text is wanted.
    const QString text = value.typeId() == QMetaType::QStringList
                             ? value.toStringList().join(QLatin1Char(','))
                             : value.toString();
    return text.left(254);
}

void Ini_write(const QString &file, const QString &section, const QString &key,
               const QString &value)
{
    QSettings ini(file, QSettings::IniFormat);
    ini.setValue(settingsKey(section, key), value);
    ini.sync();
}

int Ini_read_index(const QString &file, const QString &section, const QString &key, int count)
{
    bool ok = false;
    const int index = Ini_read(file, section, key, QStringLiteral("0")).trimmed().toInt(&ok);
    return ok && index >= 0 && index < count ? index : 0;
}
