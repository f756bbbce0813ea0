#pragma once

#include "tables/texttable.h"

#include <QAbstractTableModel>

#include <functional>

// The texts of a table on screen, numbered as every table of the tool is:
// row 0 is the header (from a format string), rows 1 to N are the entries,
// and one open row follows them, so N is the row count minus 2. Column 0
// holds each row's number. The header is the model's header data; the
// model's own rows are rows 1 onwards.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Marks a cell whose content looks wrong (a bool).
    static constexpr int WarningRole = Qt::UserRole + 1;
    // Marks a cell to be told apart from the others (a bool).
    static constexpr int HighlightRole = Qt::UserRole + 2;
    // A mark beside the cell's text (see CellNote::mark): an int, 0 for none.
    static constexpr int MarkRole = Qt::UserRole + 3;

    // What a table tells of one of its entry cells, from the cells of its row:
    // a tooltip, whether the cell looks wrong, and whether it stands out.
    struct CellNote
    {
        QString toolTip;
        bool warning = false;
        bool highlight = false;
        // A state shown as a mark beside the text; what it means is the
        // table's (the request tables: a slot's health, see SlotHealth).
        int mark = 0;
    };
    using Notes = std::function<CellNote(const QStringList &cells, int column)>;

    // The header from the format and one blank open row.
    explicit GridModel(const QString &format, QObject *parent = nullptr);

    // The columns and their headers from a format string, the headers
    // separated by '|'. Cells already there are kept.
    void setFormat(const QString &format);
    const QString &headerFormat() const { return m_format; }
    // Every cell's alignment: centred, or left as text usually is.
    void setCentred(bool centred);
    // Columns from 0 below this one are labels: neither chosen nor edited.
    void setFixedColumns(int count) { m_fixedColumns = count; }
    int fixedColumns() const { return m_fixedColumns; }
    // Whether the open row's cells may be edited in place.
    void setOpenRowEditable(bool editable) { m_openRowEditable = editable; }
    // Whether column 0 holds the row numbers (by default) or labels of the
    // table's own, kept as set.
    void setNumbered(bool numbered) { m_numbered = numbered; }
    // Notes for the entry cells; none by default.
    void setNotes(Notes notes) { m_notes = std::move(notes); }

    // All rows, the header and the open row included.
    int rows() const { return int(m_cells.size()) + 1; }
    int columns() const { return int(m_header.size()); }
    // N: the rows between the header and the open row.
    int entryCount() const { return rows() - 2; }
    bool isEntry(int row) const { return row >= 1 && row <= entryCount(); }

    // Row 0 is the header; an empty text outside the table.
    QString text(int row, int column) const;
    void setText(int row, int column, const QString &text);

    // Appends a row below the last one; missing cells are empty.
    void appendRow(const QStringList &cells = {});
    // Removes a row after the header.
    void removeRow(int row);
    // Column 0 of every row after the header holds its own row number.
    void renumber();

    // The entry rows.
    TextTable entries() const;
    // The entries given, numbered from 1, and a blank open row numbered N + 1
    // (column 0 as given and the open row blank when not numbered).
    void setEntries(const TextTable &entries);
    // The cells (column 1 onwards) of a new entry go into the open row, a
    // new open row follows, and all rows are numbered.
    void addEntry(const QStringList &cells);
    // Columns 1 onwards of an entry row.
    void setEntry(int row, const QStringList &cells);
    // Removes an entry row and numbers the rows again.
    void removeEntry(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The model index of a cell of row 1 onwards.
    QModelIndex cell(int row, int column) const { return index(row - 1, column); }
    // The table row of a model index.
    static int rowOf(const QModelIndex &index) { return index.row() + 1; }

private:
    QStringList blankRow() const { return QStringList(columns()); }
    void fill(qsizetype row, const QStringList &cells);

    QString m_format;
    QStringList m_header;
    QList<QStringList> m_cells; // rows 1 onwards, each as wide as the header
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    int m_fixedColumns = 0;
    bool m_openRowEditable = true;
    bool m_numbered = true;
    Notes m_notes;
};
