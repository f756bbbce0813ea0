#include "parttab.h"

#include "tables/gridmodel.h"
#include "widgets/gridview.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

PartTab::PartTab(PlcPart part, QWidget *parent) : QWidget(parent), m_part(part) {}

void PartTab::followEdits()
{
    const auto made = [this] {
        Q_EMIT edited(m_part, Edit::Made);
    };
    for (const GridView *grid : findChildren<GridView *>()) {
        const GridModel *model = grid->grid();
        connect(model, &QAbstractItemModel::dataChanged, this, made);
        connect(model, &QAbstractItemModel::rowsInserted, this, made);
        connect(model, &QAbstractItemModel::rowsRemoved, this, made);
        connect(model, &QAbstractItemModel::modelReset, this, made);
    }
    for (QAbstractButton *choice : findChildren<QRadioButton *>())
        connect(choice, &QAbstractButton::toggled, this, made);
    for (QComboBox *list : findChildren<QComboBox *>())
        connect(list, &QComboBox::currentIndexChanged, this, made);
    // What the user types into a box is one change, made when the box is
    // left or confirmed; text set by the program is a change at once.
    for (QLineEdit *box : findChildren<QLineEdit *>()) {
        connect(box, &QLineEdit::editingFinished, this, made);
        connect(box, &QLineEdit::textChanged, this, [this, box] {
            Q_EMIT edited(m_part, box->hasFocus() ? Edit::Typing : Edit::Made);
        });
    }
}
