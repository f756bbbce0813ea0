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
        rows << QStringList{QString::number(k + 1),
                            b.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), b.port,
                            QString::number(b.cpuType), PlcBackup::partsText(b.parts)};
    }
    m_grid->setEntries(rows);
    m_grid->setCursorCell(1, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton *show =
        buttons->addButton(QStringLiteral("Show in window"), QDialogButtonBox::AcceptRole);
    show->setObjectName(QStringLiteral("show_backup"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addWidget(buttons);
    resize(560, 360);
}

int BackupList::chosen() const
{
    const int row = m_grid->cursorRow();
    return m_grid->grid()->isEntry(row) ? row - 1 : -1;
}
