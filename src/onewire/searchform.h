#pragma once

#include "tables/texttable.h"
#include "widgets/tabcontext.h"

#include <QDialog>

#include <array>
#include <memory>

class GridModel;
class GridView;
class PlcSession;
class QBoxLayout;
class QComboBox;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The form "Search module for 1-wire device": lets the PLC search its 1-wire
// bus on a session of the form's own, lists the ROM codes found with a line
// comparing them with the sensor table, and takes them into that table,
// added to it or replacing it. It closes after taking them in, or with
// "Close", which also ends a search under way. While it is open the
// window's background reads pause: its session opens the same device.
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
    void search();
    void stopSearch();
    void followFound();

    TabContext &m_context;
    TabContext::UserOperation m_pausesBackground;
    GridModel &m_sensors;
    std::unique_ptr<PlcSession> m_session;
    GridView *m_grid = nullptr;
    QLineEdit *m_count = nullptr;
    QLineEdit *m_start = nullptr;
    QLabel *m_summary = nullptr;
    QProgressBar *m_busy = nullptr;
    QPushButton *m_search = nullptr;
    QPushButton *m_replaceMissing = nullptr;
    QPushButton *m_stop = nullptr;
    std::array<QPushButton *, 2> m_takeFound{};
    bool m_stopped = false;
    QComboBox *m_missing = nullptr;
    int m_found = 0; // devices the last search found
    bool m_searching = false;
    bool m_closed = false; // done() has run: nothing more is reported here
};
