// Backups of the PLC: taken before a download, shown again on request.

#include "mainwindow.h"

#include "config/configurationdocument.h"
#include "config/configurationfile.h"
#include "config/plcbackup.h"
#include "link/inifile.h"
#include "link/portsetup.h"
#include "modbus/uarttab.h"
#include "widgets/gridview.h"
#include "widgets/userdialogs.h"
#include "window/backuplist.h"

#include <QAction>
#include <QDir>
#include <QPointer>
#include <QStatusBar>

// Before a tab writes a part: a backup of what the PLC holds of it, when
// backups are on and the write would not be refused before sending.
std::optional<WindowHooks::Backup> Main::backupBefore(PlcPart part)
{
    const ConfigurationParts parts = ConfigurationParts::only(part);
    if (!m_backupFirst->isChecked() || ::downloadRefusal(configuration(), parts))
        return std::nullopt;
    auto taken = std::make_shared<std::optional<PlcBackup::Taken>>();
    return Backup{[ini = iniFile(), taken, parts](PlcPort &port) {
                      *taken = PlcBackup::take(port, ini, parts);
                      return (*taken)->result.ok ? QString() : (*taken)->result.message;
                  },
                  [this, taken, parts] {
                      const int port =
                          Ini_read_index(iniFile(), QStringLiteral("COM"),
                                         QStringLiteral("Port_num"), LinkChoices::portCount) +
                          1;
                      const PlcBackup::Saved saved = PlcBackup::save(
                          m_backupFolder, **taken, QStringLiteral("COM%1").arg(port), parts);
                      if (!saved.error.isEmpty())
                          return Kept{{}, saved.error};
                      statusBar()->showMessage(QStringLiteral("PLC backed up to ") +
                                               QDir::toNativeSeparators(saved.path));
                      return Kept{saved.path, {}};
                  }};
}

void Main::restoreBackup()
{
    const QList<PlcBackup::Entry> backups = PlcBackup::list(m_backupFolder);
    if (backups.isEmpty())
        return dialogs().message(this, QStringLiteral("There are no backups of the PLC in %1.")
                                           .arg(QDir::toNativeSeparators(m_backupFolder)));
    // On the heap: a dialog dies with its parent, never on the stack.
    const QPointer<BackupList> list = new BackupList(backups, this);
    const bool accepted = list->exec() == QDialog::Accepted;
    const int chosen = list ? list->chosen() : -1;
    delete list.data();
    if (!accepted || chosen < 0)
        return;
    const PlcBackup::Entry &backup = backups.at(chosen);
    const ConfigurationFile::Decoded loaded = m_document->load(backup.path, configuration());
    if (!loaded.configuration)
        return dialogs().message(this,
                                 QStringLiteral("%1 was not loaded: %2")
                                     .arg(QDir::toNativeSeparators(backup.path), loaded.error),
                                 {}, UserDialogs::Icon::Warning);
    // Only what the backup holds is shown; the other tabs stay as they are.
    QStringList held;
    if (backup.parts.uart1)
        held << QStringLiteral("UART 1");
    if (backup.parts.uart2)
        held << QStringLiteral("UART 2");
    if (backup.parts.aux)
        held << QStringLiteral("1-wire");
    m_context->nameNextChange(
        QStringLiteral("Show backup (%1) of %2 in window")
            .arg(held.join(QStringLiteral(", ")),
                 backup.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    apply(withParts(configuration(), *loaded.configuration, backup.parts));
    if (backup.parts.uart1)
        m_uart1->grid()->setEnabled(true);
    followChange();
    statusBar()->showMessage(QStringLiteral("%1 shown from the backup of %2")
                                 .arg(held.join(QStringLiteral(", ")),
                                      backup.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
}
