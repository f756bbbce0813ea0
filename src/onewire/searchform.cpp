#include "searchform.h"

#include "link/plcsession.h"
#include "onewire/bussearch.h"
#include "onewire/sensortable.h"
#include "widgets/gridview.h"
#include "widgets/tabcontext.h"
#include "widgets/userdialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

SearchForm::SearchForm(TabContext &context, GridModel &sensors, QWidget *parent)
    : QDialog(parent), m_context(context), m_sensors(sensors),
      m_grid(new GridView(QStringLiteral("grid"), new GridModel(BusSearch::format), this))
{
    setObjectName(QStringLiteral("Search_onewire"));
    setWindowTitle(QStringLiteral("Search module for 1-wire device"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildGrid(), 1);
    buildStatus(layout);
    layout->addLayout(buildBoxes());
    layout->addWidget(buildButtons());
    resize(720, 420);
}

// The devices found, each code with its family and CRC and whether the
// sensor table holds it already.
GridView *SearchForm::buildGrid()
{
    m_grid->grid()->setCentred(true);
    m_grid->setFixedColumns(1);
    m_grid->setKeyEditing(true);
    m_grid->setPasteLimit(255);
    connect(m_grid, &GridView::pasteRefused, this, [this](const QString &reason) {
        m_context.dialogs().message(this, reason, {}, UserDialogs::Icon::Warning);
    });
    for (int c = 1; c < m_grid->grid()->columns(); ++c)
        m_grid->editors()->setLineEditor(c);
    m_grid->grid()->setNotes([this](const QStringList &cells, int column) {
        GridModel::CellNote note = SensorTable::codeNote(cells, column);
        if (const int row = BusSearch::configuredRow(cells, m_sensors.entries()); row > 0) {
            note.highlight = true;
            note.toolTip += (note.toolTip.isEmpty() ? QString() : QStringLiteral("\n")) +
                            QStringLiteral("Already in the sensor table, row %1").arg(row);
        }
        return note;
    });

    return m_grid;
}

// The line that sums up a search, and the bar that runs while it searches.
void SearchForm::buildStatus(QBoxLayout *layout)
{
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setWordWrap(true);
    m_busy = new QProgressBar(this);
    m_busy->setObjectName(QStringLiteral("searching"));
    m_busy->setRange(0, 0);
    m_busy->setFormat(QStringLiteral("Searching the bus..."));
    m_busy->setTextVisible(true);
    m_busy->hide();

    layout->addWidget(m_summary);
    layout->addWidget(m_busy);
}

QFormLayout *SearchForm::buildBoxes()
{
    m_count = new QLineEdit(QStringLiteral("0"), this);
    m_count->setObjectName(QStringLiteral("Text1"));
    m_count->setReadOnly(true);
    m_start = new QLineEdit(BusSearch::defaultStart, this);
    m_start->setObjectName(QStringLiteral("Text2"));
    m_missing = new QComboBox(this);
    m_missing->setObjectName(QStringLiteral("missing"));
    m_missing->setEnabled(false);
    for (QLineEdit *box : {m_count, m_start})
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Number sensor on the bus"), m_count);
    form->addRow(QStringLiteral("Start address for automatic slave addition in the main table"),
                 m_start);
    form->addRow(QStringLiteral("Missing sensor"), m_missing);

    return form;
}

QDialogButtonBox *SearchForm::buildButtons()
{
    auto *buttons = new QDialogButtonBox(this);
    const auto button = [this, buttons](const char *name, const QString &caption,
                                        void (SearchForm::*handler)()) {
        QPushButton *b = buttons->addButton(caption, QDialogButtonBox::ActionRole);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    m_search = button("Command2", QStringLiteral("Start search"), &SearchForm::startSearch);
    m_takeFound = {
        button("Command3", QStringLiteral("Add new in the table"), &SearchForm::addNew),
        button("Command4", QStringLiteral("Replace all in the table"), &SearchForm::replaceAll)};
    m_stop = button("stop_search", QStringLiteral("Stop search"), &SearchForm::stopSearch);
    m_stop->hide();
    followFound();
    m_replaceMissing = button("replace_missing", QStringLiteral("Replace missing sensor"),
                              &SearchForm::replaceMissing);
    m_replaceMissing->setEnabled(false);
    QPushButton *close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("Command1"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    return buttons;
}

// A search under way ends with the form (see done()).
SearchForm::~SearchForm()
{
    endRun();
}

bool SearchForm::isSearching() const
{
    return m_searching || m_run;
}

void SearchForm::setSearching(bool searching)
{
    m_searching = searching;
    m_search->setEnabled(!searching);
    m_busy->setVisible(searching);
    m_stop->setVisible(searching);
}

// The grid is emptied first; it lists the devices only when the whole search
// has succeeded, and the count changes only then.
void SearchForm::startSearch()
{
    m_grid->setEntries({});
    m_summary->clear();
    m_found = 0;
    m_missing->clear();
    m_missing->setEnabled(false);
    m_replaceMissing->setEnabled(false);
    setSearching(true);
    // A search just ended (cancelled, say) may still be leaving the
    // window's session: this one waits for it.
    const auto run = std::make_shared<Run>();
    m_run = run;
    m_context.whenSessionFree(this, [this, run] {
        if (m_run == run)
            search(run);
    });
}

// On the window's session: a read of the window's under way (the watch's)
// ends first.
void SearchForm::search(const std::shared_ptr<Run> &run)
{
    auto found = std::make_shared<BusSearch::Found>();
    const bool started = m_context.run(
        [run, found, ini = m_context.iniFile()](PlcPort &port, const TransferProgress &) {
            run->started = true;
            if (!run->ended)
                *found = BusSearch::search(port, ini);
        },
        TabContext::ProgressWindow::Hidden,
        [form = QPointer<SearchForm>(this), run, found] {
            // A form closed or stopped meanwhile ended the search itself:
            // there is nothing to show or say.
            if (!form || form->m_run != run)
                return;
            form->m_run.reset();
            form->setSearching(false);
            if (found->devices)
                form->showFound(*found->devices);
            form->m_context.report(form, found->result);
        });
    if (!started) {
        m_run.reset();
        setSearching(false);
        m_context.reportBusy(this);
    }
}

void SearchForm::endRun()
{
    const std::shared_ptr<Run> run = std::exchange(m_run, {});
    if (!run)
        return;
    run->ended = true;
    if (run->started)
        m_context.session().cancel();
}

void SearchForm::showFound(const TextTable &devices)
{
    m_found = int(devices.size());
    m_count->setText(QString::number(m_found));
    m_grid->setEntries(devices);
    m_summary->setText(BusSearch::summary(devices, m_sensors.entries()));
    // A failed sensor can be swapped when one is missing and a new device
    // answered.
    m_missing->clear();
    const TextTable sensors = m_sensors.entries();
    for (int row : BusSearch::missingRows(devices, sensors))
        m_missing->addItem(QStringLiteral("row %1: %2")
                               .arg(row)
                               .arg(sensors.at(row - 1).mid(1, 8).join(QLatin1Char(' '))),
                           row);
    const bool swappable =
        m_missing->count() > 0 && !BusSearch::newDevices(devices, sensors).isEmpty();
    m_missing->setEnabled(swappable);
    m_replaceMissing->setEnabled(swappable);
}

void SearchForm::replaceMissing()
{
    const TextTable sensors = m_sensors.entries();
    const TextTable fresh = BusSearch::newDevices(m_grid->entries(), sensors);
    QStringList device;
    if (fresh.size() == 1) {
        device = fresh.first();
    } else {
        const int current = m_grid->cursorRow();
        const QStringList chosen =
            m_grid->grid()->isEntry(current) ? m_grid->entries().at(current - 1) : QStringList();
        if (chosen.isEmpty() || BusSearch::configuredRow(chosen, sensors) > 0) {
            m_context.dialogs().message(
                this, QStringLiteral("Choose the new device in the list of devices found first."),
                {}, UserDialogs::Icon::Warning);
            return;
        }
        device = chosen;
    }
    m_sensors.setEntries(
        BusSearch::replaceMissing(sensors, m_missing->currentData().toInt(), device));
    accept();
}

void SearchForm::addNew()
{
    if (m_found == 0 && m_grid->entries().isEmpty())
        return accept();
    const BusSearch::Taken taken =
        BusSearch::addNew(m_sensors.entries(), m_grid->entries(), m_start->text());
    m_context.nameNextChange(QStringLiteral("Search: add %1 sensors")
                                 .arg(taken.sensors.size() - m_sensors.entries().size()));
    take(taken.sensors, taken.refusal);
}

void SearchForm::replaceAll()
{
    if (m_found == 0 && m_grid->entries().isEmpty())
        return accept();
    const BusSearch::Taken taken = BusSearch::replaceAll(m_grid->entries(), m_start->text());
    m_context.nameNextChange(
        QStringLiteral("Search: replace with %1 sensors").arg(taken.sensors.size()));
    take(taken.sensors, taken.refusal);
}

void SearchForm::take(const TextTable &sensors, const QString &refusal)
{
    if (!refusal.isEmpty()) {
        m_context.takeChangeName();
        m_context.dialogs().message(this, refusal, {}, UserDialogs::Icon::Warning);
        return;
    }
    m_sensors.setEntries(sensors);
    accept();
}

void SearchForm::done(int result)
{
    endRun();
    QDialog::done(result);
}

// The search under way ends at once; nothing it read is taken.
void SearchForm::stopSearch()
{
    if (!m_searching && !m_run)
        return;
    endRun();
    setSearching(false);
    m_summary->setText(QStringLiteral("The search was stopped."));
}

// "Add new" and "Replace all" take the devices listed: without any, they
// are disabled, and say why.
void SearchForm::followFound()
{
    const auto update = [this] {
        const bool any = !m_grid->entries().isEmpty();
        for (QPushButton *b : m_takeFound) {
            b->setEnabled(any);
            b->setToolTip(any ? QString()
                              : QStringLiteral("No devices listed: search the bus first"));
        }
    };
    GridModel *model = m_grid->grid();
    connect(model, &QAbstractItemModel::modelReset, this, update);
    connect(model, &QAbstractItemModel::rowsInserted, this, update);
    connect(model, &QAbstractItemModel::rowsRemoved, this, update);
    update();
}
