#pragma once

#include "tables/texttable.h"
#include "widgets/tabcontext.h"

#include <QDialog>

#include <array>
#include <atomic>
#include <memory>

class GridModel;
class GridView;
class QBoxLayout;
class QComboBox;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The form "Search module for 1-wire device": lets the PLC search its 1-wire
// bus, as an operation on the window's session, lists the ROM codes found
// with a line comparing them with the sensor table, and takes them into that
// table, added to it or replacing it. It closes after taking them in, or
// with "Close", which also ends a search under way.
class SearchForm : public QDialog
{
    Q_OBJECT

public:
    // `sensors` is the sensor table the devices go into.
    SearchForm(TabContext &context, GridModel &sensors, QWidget *parent = nullptr);
    ~SearchForm() override;

    GridView *grid() const { return m_grid; }
    bool isSearching() const;

    // "Start search", "Add new in the table", "Replace all in the table".
    void startSearch();
    void addNew();
    void replaceAll();
    // "Replace missing sensor": the new device chosen (the only one, or the
    // one current in the grid) takes the row and register of the missing
    // sensor chosen in the list.
    void replaceMissing();

    // Closing by any way ends a search under way at once.
    void done(int result) override;

private:
    GridView *buildGrid();
    void buildStatus(QBoxLayout *layout);
    QFormLayout *buildBoxes();
    QDialogButtonBox *buildButtons();
    void showFound(const TextTable &devices);
    void take(const TextTable &sensors, const QString &refusal);
    void setSearching(bool searching);
    struct Run;
    void search(const std::shared_ptr<Run> &run);
    void stopSearch();
    // Ends the search asked for: at once if it runs, as it starts if it
    // still waits for a read of the window's.
    void endRun();
    void followFound();

    // A search asked for, shared with its operation on the session's thread.
    struct Run
    {
        std::atomic<bool> started = false;
        std::atomic<bool> ended = false; // by the form: it does nothing more
    };

    TabContext &m_context;
    GridModel &m_sensors;
    std::shared_ptr<Run> m_run; // until its end has been shown
    GridView *m_grid = nullptr;
    QLineEdit *m_count = nullptr;
    QLineEdit *m_start = nullptr;
    QLabel *m_summary = nullptr;
    QProgressBar *m_busy = nullptr;
    QPushButton *m_search = nullptr;
    QPushButton *m_replaceMissing = nullptr;
    QPushButton *m_stop = nullptr;
    std::array<QPushButton *, 2> m_takeFound{};
    QComboBox *m_missing = nullptr;
    int m_found = 0; // devices the last search found
    bool m_searching = false;
};
