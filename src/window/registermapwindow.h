#pragma once

#include "config/registermap.h"

#include <QDialog>

class GridView;
class QLabel;

// View > "Register map": every area of the PLC's memory the configuration
// fills or supplies, sorted by address, the places in a conflict
// highlighted, and the conflicts listed below. Not modal; the window shows
// each new map in it as the tables change.
class RegisterMapWindow : public QDialog
{
    Q_OBJECT

public:
    explicit RegisterMapWindow(QWidget *parent = nullptr);

    void showMap(const RegisterMap::Map &map);
    GridView *grid() const { return m_grid; }

    // The table's columns.
    static inline const QString format =
        QStringLiteral("Num | Place | Row | Area | First | Last | Direction ");

private:
    GridView *m_grid = nullptr;
    QLabel *m_conflicts = nullptr;
};
