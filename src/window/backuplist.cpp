#include "backuplist.h"

#include "widgets/gridview.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

BackupList::BackupList(const QList<PlcBackup::Entry> &backups, QWidget *parent)
    : QDialog(parent), m_grid(new GridView(QStringLiteral("backups"), new GridModel(format), this))
{
    setObjectName(QStringLiteral("Restore_backup"));
    setWindowTitle(QStringLiteral("Restore PLC backup"));
    m_grid->grid()->setCentred(true);
    m_grid->setFixedColumns(1);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TextTable rows;
    for (qsizetype k = 0; k < backups.size(); ++k) {
        const PlcBackup::Entry &b = backups.at(k);
        // A backup whose description cannot be read says so, and nothing
        // of what it might hold.
        rows << (b.problem.isEmpty()
                     ? QStringList{QString::number(k + 1),
                                   b.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), b.port,
                                   QString::number(b.cpuType), PlcBackup::partsText(b.parts)}
                     : QStringList{QString::number(k + 1),
                                   b.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                   QString(), QString(), b.problem});
    }
    m_grid->setEntries(rows);
    m_grid->setCursorCell(1, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton *show =
        buttons->addButton(QStringLiteral("Show in window"), QDialogButtonBox::AcceptRole);
    show->setObjectName(QStringLiteral("show_backup"));
    // Only a backup whose description was read can be shown.
    m_readable.reserve(backups.size());
    for (const PlcBackup::Entry &b : backups)
        m_readable << b.problem.isEmpty();
    const auto follow = [this, show] {
        show->setEnabled(chosen() >= 0);
    };
    connect(m_grid, &GridView::chosen, this, follow);
    follow();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, [this] {
        if (chosen() >= 0)
            accept();
    });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addWidget(buttons);
    resize(560, 360);
}

int BackupList::chosen() const
{
    const int row = m_grid->cursorRow();
    return m_grid->grid()->isEntry(row) && m_readable.value(row - 1) ? row - 1 : -1;
}
