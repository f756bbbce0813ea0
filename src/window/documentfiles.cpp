// The configuration as a file: saved, loaded, and asked about before the
// work shown is set aside.

#include "mainwindow.h"

#include "config/configurationdocument.h"
#include "config/configurationfiles.h"
#include "modbus/uarttab.h"
#include "widgets/gridview.h"
#include "widgets/userdialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStatusBar>

QString Main::dialogFolder() const
{
    return m_document->dialogFolder(
        m_programFolder, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

bool Main::isModified() const
{
    return m_document->isModified(configuration());
}

bool Main::Save_config_Click()
{
    const QString path = dialogs().saveFileName(this, QStringLiteral("Save PLC configuration"),
                                                ConfigurationFiles::filter, dialogFolder(),
                                                ConfigurationFile::suffix);
    if (path.isEmpty()) {
        dialogs().message(this, QStringLiteral("Saving was cancelled: nothing was written."));
        return false;
    }
    return saveFile(path);
}

bool Main::saveFile(const QString &path)
{
    const QString error = m_document->save(path, configuration());
    if (!error.isEmpty()) {
        dialogs().message(this, QStringLiteral("The configuration was not saved. ") + error, {},
                          UserDialogs::Icon::Warning);
        return false;
    }
    showFile(path);
    return true;
}

bool Main::saveShownFile()
{
    const QString path = m_document->fileName();
    if (path.isEmpty())
        return Save_config_Click();
    if (!saveFile(path))
        return false;
    statusBar()->showMessage(QStringLiteral("Saved to %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

void Main::Load_config_Click()
{
    if (!maySetAside())
        return;
    const QString path = dialogs().openFileName(this, QStringLiteral("Load PLC configuration"),
                                                ConfigurationFiles::filter, dialogFolder());
    if (path.isEmpty()) {
        dialogs().message(this, QStringLiteral("Loading was cancelled: nothing was read."));
        return;
    }
    loadAccepted(path);
}

bool Main::loadFile(const QString &path)
{
    return maySetAside() && loadAccepted(path);
}

// The whole file is checked before anything is shown; a file refused leaves
// the window as it was.
bool Main::loadAccepted(const QString &path)
{
    const ConfigurationFile::Decoded loaded = m_document->load(path, configuration());
    if (!loaded.configuration) {
        dialogs().message(this,
                          QStringLiteral("%1 was not loaded: %2")
                              .arg(QDir::toNativeSeparators(path), loaded.error),
                          {}, UserDialogs::Icon::Warning);
        return false;
    }
    m_context->nameNextChange(QStringLiteral("Load ") + QFileInfo(path).fileName());
    apply(*loaded.configuration);
    m_uart1->grid()->setEnabled(true);
    m_document->remember(path, configuration());
    showFile(path);
    // A file a download would refuse loads, so it can be repaired; the
    // tables mark its cells, and the status bar counts them.
    if (const qsizetype refused = refusedCells(configuration()).size())
        statusBar()->showMessage(QStringLiteral("%1: %2 cell%3 a download refuses, marked in the "
                                                "tables")
                                     .arg(QDir::toNativeSeparators(path))
                                     .arg(refused)
                                     .arg(refused == 1 ? QString() : QStringLiteral("s")));
    return true;
}

bool Main::maySetAside()
{
    using Choice = ConfigurationDocument::Choice;
    return m_document->maySetAside(
        configuration(),
        [this] {
            switch (dialogs().askToSave(this, ConfigurationDocument::saveQuestion)) {
            case UserDialogs::SaveChoice::Save:
                return Choice::Save;
            case UserDialogs::SaveChoice::Discard:
                return Choice::Discard;
            case UserDialogs::SaveChoice::Cancel:
                break;
            }
            return Choice::Cancel;
        },
        [this] { return Save_config_Click(); });
}

void Main::showFile(const QString &path)
{
    statusBar()->showMessage(QDir::toNativeSeparators(path));
    buildRecentMenu();
    updateFileState();
}
