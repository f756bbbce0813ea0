#pragma once

#include "config/configuration.h"
#include "config/configurationfile.h"

#include <QString>
#include <QStringList>

#include <functional>

// The configuration as a document: the file it was last saved to or loaded
// from, the configuration as it was then, the recent files, and the rule
// for setting unsaved work aside. The window shows what it says; nothing of
// it needs a widget.
class ConfigurationDocument
{
public:
    // What the user chose when asked about unsaved work.
    enum class Choice { Save, Discard, Cancel };
    static inline const QString saveQuestion = QStringLiteral("Save changes to the configuration?");

    // `start` counts as saved: nothing is unsaved at start-up.
    ConfigurationDocument(QString iniFile, const Configuration &start);

    // The file last saved or loaded; empty before either.
    const QString &fileName() const { return m_fileName; }
    // Whether `current` differs from what was last saved, loaded or started
    // with, in what the document's file holds (a record or the JSON form,
    // by its name).
    bool isModified(const Configuration &current) const;

    // Writes the file, by its name's ending (see ConfigurationFiles); on success it becomes the
    // document's file and the first of the recent files. Returns the error, empty on success.
    QString save(const QString &path, const Configuration &configuration);
    // Reads the file; `current` gives the parts a file does not hold. Once
    // the configuration is shown, remember() what is shown.
    ConfigurationFile::Decoded load(const QString &path, const Configuration &current) const;
    // The file just saved or loaded becomes the document's file and the first
    // of the recent files, and `configuration` what later changes are
    // measured against.
    void remember(const QString &path, const Configuration &configuration);

    // True when unsaved work may be set aside: there is none, or the user,
    // asked, gives it up or saves it (and `save` succeeds).
    bool maySetAside(const Configuration &current, const std::function<Choice()> &ask,
                     const std::function<bool()> &save) const;

    QStringList recentFiles() const;
    // Where the file dialogs open (see RecentFiles::dialogFolder()).
    QString dialogFolder(const QString &programFolder, const QString &documents) const;

private:
    QString m_iniFile;
    QString m_fileName;
    Configuration m_saved;
};
