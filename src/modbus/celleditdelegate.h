#pragma once

#include <QStyledItemDelegate>

// The in-cell editor of a table grid: a plain line edit over the cell. Only
// Enter confirms what was typed; leaving the editor any other way (focus
// moving elsewhere, Tab, Escape) drops it.
class CellEditDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;

Q_SIGNALS:
    // Enter was pressed in the editor; its text is still unwritten.
    void confirmed(QWidget *editor);

protected:
    bool eventFilter(QObject *object, QEvent *event) override;
};
