#include "hwconfigtab.h"

#include "io/iotransfer.h"
#include "widgets/framebox.h"
#include "widgets/gridview.h"
#include "widgets/tabcontext.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

HwConfigTab::HwConfigTab(TabContext &context, QWidget *parent)
    : PartTab(PlcPart::Io, parent), m_context(context)
{
    auto *io =
        frameBox(QStringLiteral("Frame5"), QStringLiteral("Input-output configuration"), this);
    auto *model = new GridModel(IoTable::format);
    model->setNumbered(false);
    model->setOpenRowEditable(false);
    m_grid = new GridView(QStringLiteral("MSFlexGrid1"), model, io);
    m_grid->setFixedColumns(1);
    m_grid->editors()->setComboEditor(IoTable::Function, IoAssignment::choices);
    // Rows as high as the selector, so that it covers a cell exactly.
    m_grid->verticalHeader()->setDefaultSectionSize(
        std::max(m_grid->verticalHeader()->defaultSectionSize(), QComboBox().sizeHint().height()));
    model->setNotes([this](const QStringList &cells, int column) {
        if (column != IoTable::ProgramName)
            return GridModel::CellNote{};
        bool isPoint = false;
        const int point =
            cells.value(IoTable::Address).section(QLatin1Char(' '), -1).toInt(&isPoint);
        return GridModel::CellNote{isPoint ? unnamedWhy(point) : QString()};
    });
    connect(m_grid, &GridView::cellCommitted, this, [this](int row, int column) {
        if (column == IoTable::Function)
            choose(row, int(IoAssignment::choices.indexOf(m_grid->text(row, column))));
    });

    auto *buttons = new QHBoxLayout;
    const auto button = [this, io, buttons](const char *name, const QString &caption,
                                            void (HwConfigTab::*handler)()) {
        buttons->addWidget(m_context.plcButton(QLatin1String(name), caption, io,
                                               std::bind(handler, this),
                                               TabContext::Availability::Inactive));
    };
    button("Command12", QStringLiteral("&New IO config"), &HwConfigTab::newConfig);
    button("Command13", QStringLiteral("&Upload from PLC"), &HwConfigTab::uploadFromPlc);
    button("Command14", QStringLiteral("&Download to PLC"), &HwConfigTab::downloadToPlc);
    buttons->addStretch(1);

    auto *frameLayout = new QVBoxLayout(io);
    frameLayout->addWidget(m_grid, 1);
    frameLayout->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(io);
    showAssignment();
    followEdits();
}

void HwConfigTab::apply(const IoAssignment &assignment)
{
    m_assignment = assignment;
    showAssignment();
}

void HwConfigTab::showAssignment()
{
    TextTable rows;
    for (int i = 0; i < IoAssignment::pointCount; ++i) {
        const IoPoint &point = m_assignment.points.at(i);
        rows.append({IoTable::pointLabel(i), point.functionText, point.programName});
    }
    if (rows != m_grid->entries())
        m_grid->setEntries(rows);
}

void HwConfigTab::choose(int row, int item)
{
    m_assignment.choose(row - 1, item);
    showAssignment();
    if (const QString why = unnamedWhy(row - 1); !why.isEmpty())
        m_context.showStatus(why);
}

// A point given a function out of turn keeps it without an X or Y name:
// the names go to the points in turn.
QString HwConfigTab::unnamedWhy(int point) const
{
    const IoPoint &p = m_assignment.points.value(point);
    if (p.functionText.isEmpty() || p.functionText == IoAssignment::choices.last() ||
        !p.programName.isEmpty())
        return {};
    const int next =
        m_assignment.nextFree(QLatin1Char('X')) + m_assignment.nextFree(QLatin1Char('Y'));
    return QStringLiteral("%1 has no X or Y name: the points are named in turn, %2 is next")
        .arg(IoTable::pointLabel(point), IoTable::pointLabel(next));
}

void HwConfigTab::newConfig()
{
    m_assignment.clear();
    showAssignment();
    m_grid->setCursorCell(IoAssignment::pointCount, IoTable::Function);
}

void HwConfigTab::uploadFromPlc()
{
    m_context.transfer<IoUpload>(
        this,
        [ini = m_context.iniFile(), current = m_assignment](
            PlcPort &port, const TransferProgress &) { return uploadIo(port, ini, current); },
        TabContext::ProgressWindow::Hidden,
        [this](const IoUpload &read) {
            if (!read.assignment)
                return;
            apply(*read.assignment);
            Q_EMIT m_context.partRead(PlcPart::Io);
        });
}

void HwConfigTab::downloadToPlc()
{
    m_context.transfer<TransferResult>(
        this,
        [assignment = m_assignment](PlcPort &port, const TransferProgress &) {
            return downloadIo(port, assignment);
        },
        TabContext::ProgressWindow::Hidden);
}
