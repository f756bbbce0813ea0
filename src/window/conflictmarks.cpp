// The register map of the configuration shown: its conflicts marked in the
// tables, counted in the status bar and listed in the map's window.

#include "mainwindow.h"

#include "modbus/uarttab.h"
#include "onewire/onewiretab.h"
#include "widgets/gridview.h"
#include "window/registermapwindow.h"

#include <QLabel>

void Main::updateRegisterMap()
{
    m_map = RegisterMap::of(configuration());
    m_refused = refusedCells(configuration());
    const qsizetype count = m_map.conflicts.size();
    m_conflictCount->setText(QStringLiteral("<a href=\"map\">%1 register conflict%2</a>")
                                 .arg(count)
                                 .arg(count == 1 ? QString() : QStringLiteral("s")));
    m_conflictCount->setVisible(count > 0);
    for (GridView *grid : {m_uart1->grid(), m_uart2->grid(), m_oneWire->grid()})
        grid->viewport()->update();
    if (m_mapWindow && m_mapWindow->isVisible())
        m_mapWindow->showMap(m_map);
}

QString Main::cellConflict(PlcTable table, int row, int column) const
{
    QStringList texts;
    for (const RegisterMap::Conflict &conflict : m_map.conflicts) {
        if (conflict.places.contains(RegisterMap::Place{table, row, column}))
            texts << conflict.text;
    }
    for (const RefusedCell &cell : m_refused) {
        if (cell.table == table && cell.row == row && cell.column == column)
            texts << QStringLiteral("A download refuses this cell: %1 takes %2")
                         .arg(cell.columnName, cell.range);
    }
    return texts.join(QLatin1Char('\n'));
}

void Main::showRegisterMap()
{
    if (!m_mapWindow)
        m_mapWindow = new RegisterMapWindow(this);
    m_mapWindow->showMap(m_map);
    m_mapWindow->show();
    m_mapWindow->raise();
}
