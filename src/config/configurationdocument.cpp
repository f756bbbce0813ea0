#include "configurationdocument.h"

#include "config/configurationfiles.h"
#include "config/recentfiles.h"

#include <QFileInfo>

ConfigurationDocument::ConfigurationDocument(QString iniFile, const Configuration &start)
    : m_iniFile(std::move(iniFile)), m_saved(start)
{}

bool ConfigurationDocument::isModified(const Configuration &current) const
{
    return ConfigurationFiles::differ(m_fileName, current, m_saved);
}

QString ConfigurationDocument::save(const QString &path, const Configuration &configuration)
{
    const QString error = ConfigurationFiles::save(path, configuration);
    if (error.isEmpty())
        remember(path, configuration);
    return error;
}

ConfigurationFile::Decoded ConfigurationDocument::load(const QString &path,
                                                       const Configuration &current) const
{
    return ConfigurationFiles::load(path, current);
}

bool ConfigurationDocument::maySetAside(const Configuration &current,
                                        const std::function<Choice()> &ask,
                                        const std::function<bool()> &save) const
{
    if (!isModified(current))
        return true;
    switch (ask()) {
    case Choice::Save:
        return save();
    case Choice::Discard:
        return true;
    case Choice::Cancel:
        break;
    }
    return false;
}

QStringList ConfigurationDocument::recentFiles() const
{
    return RecentFiles::list(m_iniFile);
}

QString ConfigurationDocument::dialogFolder(const QString &programFolder,
                                            const QString &documents) const
{
    return RecentFiles::dialogFolder(m_iniFile, programFolder, documents);
}

void ConfigurationDocument::remember(const QString &path, const Configuration &configuration)
{
    m_fileName = QFileInfo(path).absoluteFilePath();
    m_saved = configuration;
    RecentFiles::add(m_iniFile, m_fileName);
}
