#pragma once

#include "config/plcbackup.h"

#include <QDialog>

class GridView;

// The backups of the PLC, newest first (time, port, CPU type, what they
// hold); "Show in window" takes the chosen one.
class BackupList : public QDialog
{
    Q_OBJECT

public:
    BackupList(const QList<PlcBackup::Entry> &backups, QWidget *parent = nullptr);

    // The backup chosen (an index of the list), -1 for none or for one whose
    // description cannot be read.
    int chosen() const;
    GridView *grid() const { return m_grid; }

    static inline const QString format = QStringLiteral("Num | Time | Port | CPU type | Holds ");

private:
    GridView *m_grid = nullptr;
    QList<bool> m_readable;
};
