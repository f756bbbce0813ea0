#include "celleditdelegate.h"

#include <QKeyEvent>
#include <QLineEdit>

QWidget *CellEditDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                        const QModelIndex &) const
{
    auto *editor = new QLineEdit(parent);
    editor->setFrame(false);
    return editor;
}

void CellEditDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *line = qobject_cast<QLineEdit *>(editor);
    line->setText(index.data(Qt::EditRole).toString());
    line->selectAll();
}

bool CellEditDelegate::eventFilter(QObject *object, QEvent *event)
{
    auto *editor = qobject_cast<QLineEdit *>(object);
    if (!editor || event->type() != QEvent::KeyPress)
        return QStyledItemDelegate::eventFilter(object, event);
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT confirmed(editor);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        Q_EMIT closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
        return true;
    default:
        return QStyledItemDelegate::eventFilter(object, event);
    }
}
