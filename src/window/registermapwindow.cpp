#include "registermapwindow.h"

#include "widgets/gridview.h"

#include <QLabel>
#include <QVBoxLayout>

RegisterMapWindow::RegisterMapWindow(QWidget *parent)
    : QDialog(parent),
      m_grid(new GridView(QStringLiteral("register_map_grid"), new GridModel(format), this)),
      m_conflicts(new QLabel(this))
{
    setObjectName(QStringLiteral("register_map_window"));
    setWindowTitle(QStringLiteral("Register map"));
    m_grid->grid()->setCentred(true);
    m_grid->setFixedColumns(1);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_conflicts->setObjectName(QStringLiteral("register_map_conflicts"));
    m_conflicts->setWordWrap(true);
    m_conflicts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_conflicts);
    resize(640, 480);
}

void RegisterMapWindow::showMap(const RegisterMap::Map &map)
{
    using namespace RegisterMap;
    // A row is highlighted when its place is part of a conflict.
    QList<std::pair<Table, int>> conflicted;
    QStringList texts;
    for (const Conflict &conflict : map.conflicts) {
        texts << conflict.text;
        for (const Place &place : conflict.places)
            conflicted << std::pair{place.table, place.row};
    }
    TextTable rows;
    for (qsizetype k = 0; k < map.uses.size(); ++k) {
        const Use &use = map.uses.at(k);
        const QString place = use.table == Table::Sensors ? QStringLiteral("sensor")
                              : use.table == Table::Uart1 ? QStringLiteral("UART 1")
                                                          : QStringLiteral("UART 2");
        rows << QStringList{QString::number(k + 1),      place,
                            QString::number(use.row),    areaName(use.area),
                            QString::number(use.first),  QString::number(use.last),
                            directionName(use.direction)};
    }
    m_grid->grid()->setNotes([rows, conflicted](const QStringList &cells, int) {
        const qsizetype k = cells.value(0).toInt() - 1;
        GridModel::CellNote note;
        if (k < 0 || k >= rows.size())
            return note;
        const QString place = cells.value(1);
        const Table table = place == QLatin1String("sensor")   ? Table::Sensors
                            : place == QLatin1String("UART 1") ? Table::Uart1
                                                               : Table::Uart2;
        note.highlight = conflicted.contains(std::pair{table, cells.value(2).toInt()});
        return note;
    });
    m_grid->setEntries(rows);
    m_conflicts->setText(texts.isEmpty() ? QStringLiteral("No register conflicts.")
                                         : texts.join(QLatin1Char('\n')));
}
