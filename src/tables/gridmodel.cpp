#include "gridmodel.h"

GridModel::GridModel(const QString &format, QObject *parent) : QAbstractTableModel(parent)
{
    setFormat(format);
    appendRow();
}

void GridModel::setFormat(const QString &format)
{
    beginResetModel();
    m_format = format;
    m_header = headerFromFormat(format);
    for (QStringList &row : m_cells)
        row.resize(columns());
    endResetModel();
}

void GridModel::setCentred(bool centred)
{
    m_alignment = centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter;
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columns() - 1),
                           {Qt::TextAlignmentRole});
}

QString GridModel::text(int row, int column) const
{
    if (row == 0)
        return m_header.value(column);
    if (row < 0 || row >= rows())
        return {};
    return m_cells.at(row - 1).value(column);
}

void GridModel::setText(int row, int column, const QString &text)
{
    if (column < 0 || column >= columns())
        return;
    if (row == 0) {
        m_header[column] = text;
        Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
    } else if (row > 0 && row < rows()) {
        m_cells[row - 1][column] = text;
        // A cell's notes may follow from the other cells of its row.
        Q_EMIT dataChanged(cell(row, 0), cell(row, columns() - 1));
    }
}

void GridModel::fill(qsizetype row, const QStringList &cells)
{
    QStringList &target = m_cells[row];
    for (int c = 0; c < columns(); ++c)
        target[c] = cells.value(c);
}

void GridModel::appendRow(const QStringList &cells)
{
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_cells.append(blankRow());
    fill(row, cells);
    endInsertRows();
}

void GridModel::removeRow(int row)
{
    if (row < 1 || row >= rows())
        return;
    beginRemoveRows({}, row - 1, row - 1);
    m_cells.removeAt(row - 1);
    endRemoveRows();
}

void GridModel::renumber()
{
    if (!m_numbered)
        return;
    for (int r = 1; r < rows(); ++r)
        m_cells[r - 1][0] = QString::number(r);
    if (rowCount() > 0 && columns() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0));
}

TextTable GridModel::entries() const
{
    return m_cells.mid(0, entryCount());
}

void GridModel::setEntries(const TextTable &entries)
{
    beginResetModel();
    m_cells.clear();
    for (const QStringList &entry : entries) {
        m_cells.append(blankRow());
        fill(m_cells.size() - 1, entry);
    }
    m_cells.append(blankRow());
    for (qsizetype r = 0; m_numbered && r < m_cells.size(); ++r)
        m_cells[r][0] = QString::number(r + 1);
    endResetModel();
}

void GridModel::addEntry(const QStringList &cells)
{
    const int open = rows() - 1;
    for (int c = 1; c < columns(); ++c)
        setText(open, c, cells.value(c - 1));
    appendRow();
    renumber();
}

void GridModel::setEntry(int row, const QStringList &cells)
{
    if (!isEntry(row))
        return;
    for (int c = 1; c < columns(); ++c)
        setText(row, c, cells.value(c - 1));
}

void GridModel::removeEntry(int row)
{
    if (!isEntry(row))
        return;
    removeRow(row);
    renumber();
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_cells.size());
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns();
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_cells.at(index.row()).at(index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_alignment);
    case Qt::ToolTipRole:
    case WarningRole:
    case HighlightRole:
    case MarkRole: {
        if (!m_notes || !isEntry(rowOf(index)))
            return {};
        const CellNote note = m_notes(m_cells.at(index.row()), index.column());
        if (role == WarningRole)
            return note.warning;
        if (role == HighlightRole)
            return note.highlight;
        if (role == MarkRole)
            return note.mark;
        return note.toolTip.isEmpty() ? QVariant() : QVariant(note.toolTip);
    }
    default:
        return {};
    }
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    setText(rowOf(index), index.column(), value.toString());
    return true;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (role == Qt::DisplayRole)
        return m_header.value(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_alignment);
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    if (index.column() < m_fixedColumns)
        return Qt::ItemIsEnabled;
    const bool open = rowOf(index) == rows() - 1;
    const Qt::ItemFlags editable =
        open && !m_openRowEditable ? Qt::NoItemFlags : Qt::ItemIsEditable;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | editable;
}
