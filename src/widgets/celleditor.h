#pragma once

#include <QHash>
#include <QStringList>
#include <QStyledItemDelegate>

// The in-cell editors of a grid view, column by column: a line edit, or a
// combo box with fixed items. A column without one is not edited in place.
//
// A line edit confirms what was typed with Enter; a combo box confirms an
// item when the user chooses it. Leaving an editor any other way (focus
// moving elsewhere, Tab, Escape) drops what it holds: the view writes a
// cell only on confirmed().
class CellEditor : public QStyledItemDelegate
{
    Q_OBJECT

public:
    enum class Kind { None, Line, Combo };

    using QStyledItemDelegate::QStyledItemDelegate;

    void setLineEditor(int column);
    void setComboEditor(int column, const QStringList &items);
    Kind kind(int column) const { return m_columns.value(column).kind; }
    // Columns below this one are labels, shown on the button colour.
    void setFixedColumns(int count) { m_fixedColumns = count; }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

Q_SIGNALS:
    // The editor's value was confirmed; the cell is still unwritten.
    void confirmed(QWidget *editor, const QString &value, Kind kind) const;

protected:
    bool eventFilter(QObject *object, QEvent *event) override;
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    struct Column
    {
        Kind kind = Kind::None;
        QStringList items;
    };

    QHash<int, Column> m_columns;
    int m_fixedColumns = 0;
};
