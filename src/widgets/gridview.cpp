#include "gridview.h"

#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>

GridView::GridView(const QString &name, GridModel *model, QWidget *parent)
    : QTableView(parent), m_model(model), m_editors(new CellEditor(this))
{
    setObjectName(name);
    m_model->setParent(this);
    setModel(m_model);
    setItemDelegate(m_editors);
    // Several cells may be chosen, for a copy to a spreadsheet.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked);
    setTabKeyNavigation(false);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setStretchLastSection(true);
    connect(m_editors, &CellEditor::confirmed, this, &GridView::commit);
    connect(this, &QTableView::clicked, this, [this](const QModelIndex &index) {
        Q_EMIT chosen(cursorRow(), cursorColumn());
        if (m_editors->kind(index.column()) == CellEditor::Kind::Combo && editable(index))
            edit(index, QAbstractItemView::AllEditTriggers, nullptr);
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, &GridView::fitColumns);
    connect(m_model, &QAbstractItemModel::headerDataChanged, this, &GridView::fitColumns);
    fitColumns();
}

void GridView::setFixedColumns(int count)
{
    m_model->setFixedColumns(count);
    m_editors->setFixedColumns(count);
    viewport()->update();
}

int GridView::cursorRow() const
{
    return currentIndex().isValid() ? GridModel::rowOf(currentIndex()) : 0;
}

int GridView::cursorColumn() const
{
    return currentIndex().isValid() ? currentIndex().column() : 0;
}

void GridView::setCursorCell(int row, int column)
{
    setCurrentIndex(m_model->cell(row, column));
}

QRect GridView::cellRect(int row, int column) const
{
    return visualRect(m_model->cell(row, column));
}

bool GridView::editable(const QModelIndex &index) const
{
    return index.isValid() && m_model->flags(index).testFlag(Qt::ItemIsEditable) &&
           m_editors->kind(index.column()) != CellEditor::Kind::None;
}

void GridView::copyRows()
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedIndexes()) {
        const int row = GridModel::rowOf(index);
        if (m_model->isEntry(row) && !rows.contains(row))
            rows << row;
    }
    std::sort(rows.begin(), rows.end());
    const TextTable entries = m_model->entries();
    TextTable copied;
    if (rows.isEmpty())
        copied = entries;
    for (int row : rows)
        copied << entries.at(row - 1);
    QGuiApplication::clipboard()->setText(
        tableText(headerFromFormat(m_model->headerFormat()), copied));
}

void GridView::copySelection()
{
    const QModelIndexList chosen = selectionModel()->selectedIndexes();
    if (chosen.size() == 1)
        QGuiApplication::clipboard()->setText(chosen.first().data(Qt::DisplayRole).toString());
    else
        copyRows();
}

void GridView::pasteRows()
{
    if (m_pasteLimit == 0)
        return;
    const QStringList header = headerFromFormat(m_model->headerFormat());
    const PastedRows pasted = pastedRows(QGuiApplication::clipboard()->text(), header);
    if (!pasted.refusal.isEmpty())
        return Q_EMIT pasteRefused(pasted.refusal);
    const TextTable entries = m_model->entries();
    if (entries.size() + pasted.rows.size() > m_pasteLimit)
        return Q_EMIT pasteRefused(
            QStringLiteral("The table holds %1 rows at the most; with the %2 pasted it would "
                           "hold %3.")
                .arg(m_pasteLimit)
                .arg(pasted.rows.size())
                .arg(entries.size() + pasted.rows.size()));
    m_model->setEntries(entries + pasted.rows);
    Q_EMIT rowsPasted(int(pasted.rows.size()));
}

void GridView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy))
        return copySelection();
    if (event->matches(QKeySequence::Paste))
        return pasteRows();
    const bool keys = m_keyEditing && editable(currentIndex());
    const bool selector = editable(currentIndex()) &&
                          m_editors->kind(currentIndex().column()) == CellEditor::Kind::Combo;
    // A selector opens from the keys as from a click, its list shown, so
    // the arrows go through the items at once.
    if (selector && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                     event->key() == Qt::Key_F2 || event->key() == Qt::Key_Space)) {
        edit(currentIndex(), QAbstractItemView::AllEditTriggers, nullptr);
        if (auto *combo = qobject_cast<QComboBox *>(indexWidget(currentIndex())))
            combo->showPopup();
        return;
    }
    if (keys && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
        edit(currentIndex(), QAbstractItemView::AllEditTriggers, nullptr);
    else if (keys && event->key() == Qt::Key_Delete)
        m_model->setData(currentIndex(), QString());
    else if (printable(event) && startsTyping())
        typeInto(currentIndex(), event);
    else if (printable(event))
        event->ignore();
    else
        userMove([&] { QTableView::keyPressEvent(event); });
}

// A printable key on a cell with a line editor opens it with that key's
// text in place of the cell's, as a spreadsheet does. Other printable keys
// do nothing: a search by the first letters would move the cursor away.
bool GridView::printable(const QKeyEvent *event)
{
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

bool GridView::startsTyping() const
{
    return editable(currentIndex()) &&
           m_editors->kind(currentIndex().column()) == CellEditor::Kind::Line;
}

void GridView::typeInto(const QModelIndex &index, QKeyEvent *event)
{
    if (!edit(index, QAbstractItemView::AllEditTriggers, nullptr))
        return;
    if (QWidget *editor = indexWidget(index))
        QCoreApplication::sendEvent(editor, event);
}

// The accessible name of a table is its frame's caption, unless it has one.
bool GridView::event(QEvent *event)
{
    if (event->type() == QEvent::Polish && accessibleName().isEmpty()) {
        for (QWidget *up = parentWidget(); up; up = up->parentWidget()) {
            if (auto *frame = qobject_cast<QGroupBox *>(up)) {
                setAccessibleName(frame->title().trimmed());
                break;
            }
        }
    }
    return QTableView::event(event);
}

void GridView::mousePressEvent(QMouseEvent *event)
{
    userMove([&] { QTableView::mousePressEvent(event); });
}

void GridView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_userMove && current.isValid())
        Q_EMIT chosen(GridModel::rowOf(current), current.column());
}

bool GridView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (!editable(index))
        return false;
    const bool opened = QTableView::edit(index, trigger, event);
    if (opened)
        m_edited = index;
    return opened;
}

// The editor closes first, so that a message the commit shows finds it gone.
void GridView::commit(QWidget *editor, const QString &value, CellEditor::Kind kind)
{
    const QPersistentModelIndex edited = m_edited;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (!edited.isValid())
        return;
    const int row = GridModel::rowOf(edited);
    const int column = edited.column();
    m_model->setText(row, column, value);
    Q_EMIT cellCommitted(row, column);
    if (kind == CellEditor::Kind::Line && row < rows() - 1)
        userMove([&] { setCursorCell(row + 1, column); });
    setFocus();
}

void GridView::setStretchColumn(int column)
{
    m_stretchColumn = column;
    horizontalHeader()->setStretchLastSection(false);
    fitColumns();
}

// The stretch column takes the room the others leave.
void GridView::fitColumns()
{
    QHeaderView *header = horizontalHeader();
    if (m_stretchColumn < 0) {
        for (int c = 0; c + 1 < m_model->columns(); ++c)
            resizeColumnToContents(c);
        return;
    }
    for (int c = 0; c < m_model->columns(); ++c)
        header->setSectionResizeMode(c, c == m_stretchColumn ? QHeaderView::Stretch
                                                             : QHeaderView::ResizeToContents);
}
