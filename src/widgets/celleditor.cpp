#include "celleditor.h"

#include "tables/gridmodel.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>

void CellEditor::setLineEditor(int column)
{
    m_columns.insert(column, {Kind::Line, {}});
}

void CellEditor::setComboEditor(int column, const QStringList &items)
{
    m_columns.insert(column, {Kind::Combo, items});
}

QWidget *CellEditor::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                  const QModelIndex &index) const
{
    const Column column = m_columns.value(index.column());
    switch (column.kind) {
    case Kind::Line: {
        auto *line = new QLineEdit(parent);
        line->setFrame(false);
        return line;
    }
    case Kind::Combo: {
        auto *combo = new QComboBox(parent);
        combo->addItems(column.items);
        connect(combo, &QComboBox::activated, this, [this, combo](int item) {
            Q_EMIT confirmed(combo, combo->itemText(item), Kind::Combo);
        });
        return combo;
    }
    case Kind::None:
        break;
    }
    return nullptr;
}

void CellEditor::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const QString text = index.data(Qt::EditRole).toString();
    if (auto *line = qobject_cast<QLineEdit *>(editor)) {
        line->setText(text);
        line->selectAll();
    } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        combo->setCurrentIndex(combo->findText(text));
    }
}

// Exactly over the cell, as wide as its column is now.
void CellEditor::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                      const QModelIndex &) const
{
    editor->setGeometry(option.rect);
}

bool CellEditor::eventFilter(QObject *object, QEvent *event)
{
    auto *line = qobject_cast<QLineEdit *>(object);
    if (!line || event->type() != QEvent::KeyPress)
        return QStyledItemDelegate::eventFilter(object, event);
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT confirmed(line, line->text(), Kind::Line);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        Q_EMIT closeEditor(line, QAbstractItemDelegate::RevertModelCache);
        return true;
    default:
        return QStyledItemDelegate::eventFilter(object, event);
    }
}

namespace {

// A round mark in the colour of a state: green, red, amber, grey (see
// SlotHealth: no error, active, inactive, not known).
QIcon markIcon(int mark)
{
    static const QColor colours[] = {Qt::transparent, QColor(40, 160, 60), QColor(210, 40, 40),
                                     QColor(235, 165, 20), QColor(150, 150, 150)};
    QPixmap picture(12, 12);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(colours[std::clamp(mark, 0, 4)]);
    painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    return QIcon(picture);
}

} // namespace

void CellEditor::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (const int mark = index.data(GridModel::MarkRole).toInt(); mark > 0) {
        option->features |= QStyleOptionViewItem::HasDecoration;
        static const QIcon icons[] = {markIcon(1), markIcon(2), markIcon(3), markIcon(4)};
        option->icon = icons[std::min(mark, 4) - 1];
        option->decorationSize = QSize(12, 12);
    }
    if (index.column() < m_fixedColumns)
        option->backgroundBrush = option->palette.button();
    else if (index.data(GridModel::WarningRole).toBool())
        option->backgroundBrush = QColor(255, 214, 214);
    else if (index.data(GridModel::HighlightRole).toBool())
        option->backgroundBrush = QColor(214, 234, 255);
}
