#include "onewiretab.h"

#include "link/transferresult.h"
#include "onewire/auxmodeword.h"
#include "onewire/auxtransfer.h"
#include "onewire/searchform.h"
#include "onewire/sensordialog.h"
#include "onewire/sensortable.h"
#include "widgets/framebox.h"
#include "widgets/gridview.h"
#include "widgets/linesettingsform.h"
#include "widgets/optiongroup.h"
#include "widgets/tabcontext.h"
#include "widgets/tableframe.h"
#include "widgets/userdialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

namespace {

const QStringList modeCaptions = {QStringLiteral("1-wire master"), QStringLiteral("Field Net"),
                                  QStringLiteral("Not use")};

// The dialog "Add/modify 1-wire slave". Adding proposes a register; only a
// sensor row can be modified (the open row is never sent, so what was put
// there would be lost).
RowDialog *sensorDialog(RowMode mode, const GridModel &grid, int &chosenRow, QWidget *parent)
{
    using namespace SensorTable;
    if (mode == RowMode::Modify && !grid.isEntry(chosenRow))
        return nullptr;
    auto *dialog = new SensorDialog(parent);
    if (mode == RowMode::Add) {
        dialog->setStart({}, proposedRegister(grid.text(chosenRow, Register), grid.entries()));
    } else {
        QStringList bytes;
        for (int column = Byte0; column <= Byte7; ++column)
            bytes << grid.text(chosenRow, column);
        dialog->setStart(bytes, grid.text(chosenRow, Register));
    }
    return dialog;
}

} // namespace

OneWireTab::OneWireTab(TabContext &context, QWidget *parent)
    : PartTab(PlcPart::Aux, parent), m_context(context)
{
    // Mode and Field Net settings on the left, the sensor table beside them.
    auto *layout = new QGridLayout(this);
    layout->addWidget(buildModeFrame(), 0, 0);
    layout->addWidget(buildFieldNetFrame(), 1, 0);
    layout->addWidget(buildSensorFrame(), 0, 1, 3, 1);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(1, 1);
    apply(AuxSettings());
    followEdits();
}

GridView *OneWireTab::grid() const
{
    return m_sensors->view();
}

QGroupBox *OneWireTab::buildModeFrame()
{
    auto *frame =
        frameBox(QStringLiteral("Frame2"), QStringLiteral(" Auxiliary port setting"), this);
    auto *layout = new QVBoxLayout(frame);
    m_modes = new OptionGroup(QStringLiteral("Option1"), modeCaptions, frame, layout);
    // Field Net is chosen only by an upload or a configuration file.
    PlcControls::markNotAvailable(m_modes->button(int(AuxMode::FieldNet)));
    connect(m_modes, &OptionGroup::chosen, this, &OneWireTab::Option1_Click);
    auto *buttons = new QHBoxLayout;
    const auto transfer = [this, frame, buttons](const char *name, const QString &caption,
                                                 void (OneWireTab::*handler)()) {
        buttons->addWidget(
            m_context.plcButton(QLatin1String(name), caption, frame, std::bind(handler, this)));
    };
    transfer("Command17", QStringLiteral("&Write to PLC"), &OneWireTab::writeToPlc);
    transfer("Command18", QStringLiteral("&Upload from PLC"), &OneWireTab::uploadFromPlc);
    layout->addLayout(buttons);
    return frame;
}

QGroupBox *OneWireTab::buildFieldNetFrame()
{
    using namespace AuxModeWord;
    m_fieldNet =
        frameBox(QStringLiteral("USART3_setting"), QStringLiteral("Field Net port setting"), this);
    const LineSettingsForm line({.names = {QStringLiteral("Combo4"), QStringLiteral("Combo2"),
                                           QStringLiteral("Combo3"), QStringLiteral("Combo5")},
                                 .items = {speeds, parities, dataBits, stopBits}},
                                new QFormLayout(m_fieldNet), m_fieldNet);
    m_speed = line.list(LineSettingsForm::Speed);
    m_parity = line.list(LineSettingsForm::Parity);
    m_dataBits = line.list(LineSettingsForm::DataBits);
    m_stopBits = line.list(LineSettingsForm::StopBits);
    return m_fieldNet;
}

TableFrame *OneWireTab::buildSensorFrame()
{
    m_sensors = new TableFrame({QStringLiteral("Frame3"),
                                QStringLiteral("1-wire master configuration"),
                                QStringLiteral("Grid1"),
                                SensorTable::format,
                                QStringLiteral("Command8"),
                                QStringLiteral("Command9"),
                                QStringLiteral("Command11"),
                                QStringLiteral("You are shure for delete this sensor?"),
                                false,
                                1,
                                {},
                                sensorDialog},
                               m_context.dialogs(), this);
    grid()->grid()->setNotes(m_context.withConflicts(PlcTable::Sensors, SensorTable::codeNote));
    m_search = m_sensors->addButton(QStringLiteral("Command10"), QStringLiteral("&Search slave"));
    connect(m_search, &QPushButton::clicked, this, &OneWireTab::openSearch);
    // The search takes the line, so it waits for a transfer to end.
    m_context.registerPlcControl(m_search);
    QPushButton *all =
        m_sensors->addButton(QStringLiteral("Command21"), QStringLiteral("Delete a&ll slave"));
    connect(all, &QPushButton::clicked, this, &OneWireTab::deleteAll);
    return m_sensors;
}

void OneWireTab::selectMode(int index)
{
    m_modes->select(index);
}

void OneWireTab::Option1_Click(int index)
{
    m_sensors->setVisible(index == int(AuxMode::OneWireMaster));
    m_fieldNet->setVisible(index == int(AuxMode::FieldNet));
    if (index == int(AuxMode::OneWireMaster))
        grid()->grid()->setFormat(SensorTable::format);
    m_optionMode = index;
}

AuxSettings OneWireTab::configuration() const
{
    AuxSettings settings;
    const int mode = m_modes->selected();
    settings.mode = mode < 0 ? AuxMode::NotUsed : AuxMode(mode);
    settings.fieldNetSpeed = m_speed->currentIndex();
    settings.fieldNetParity = m_parity->currentIndex();
    settings.fieldNetDataBits = m_dataBits->currentIndex();
    settings.fieldNetStopBits = m_stopBits->currentIndex();
    settings.sensors = grid()->entries();
    return settings;
}

void OneWireTab::apply(const AuxSettings &settings)
{
    if (m_modes->selected() != int(settings.mode))
        selectMode(int(settings.mode));
    showSettings(settings);
}

void OneWireTab::applyUpload(const AuxSettings &settings)
{
    selectMode(int(settings.mode));
    showSettings(settings);
}

void OneWireTab::showSettings(const AuxSettings &settings)
{
    m_speed->setCurrentIndex(settings.fieldNetSpeed);
    m_parity->setCurrentIndex(settings.fieldNetParity);
    m_dataBits->setCurrentIndex(settings.fieldNetDataBits);
    m_stopBits->setCurrentIndex(settings.fieldNetStopBits);
    setSensors(settings.sensors);
}

// A table that already shows these sensors keeps what its open row holds.
void OneWireTab::setSensors(const TextTable &sensors)
{
    if (sensors != grid()->entries())
        grid()->setEntries(sensors);
}

void OneWireTab::deleteAll()
{
    if (grid()->grid()->entryCount() == 0)
        return;
    if (m_context.dialogs().confirm(this, QStringLiteral("Delete all sensors from the table?")))
        grid()->setEntries({});
}

void OneWireTab::openSearch()
{
    // The window's: the tab is disabled while the search runs, as it is
    // while any operation of the user does, and the form must stay usable.
    auto *form = new SearchForm(m_context, *grid()->grid(), window());
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->open();
}

// The progress window shows only while sensor records go out; a table that
// fails the check is refused before anything is sent, whatever the mode.
void OneWireTab::writeToPlc()
{
    if (!m_context.dialogs().confirm(this, downloadQuestion) ||
        !m_context.mayDownload(this, PlcPart::Aux))
        return;
    const AuxSettings settings = configuration();
    const bool blocks = settings.mode == AuxMode::OneWireMaster && !settings.sensors.isEmpty() &&
                        !Check_grid_1w(settings.sensors);
    m_context.download(
        this, PlcPart::Aux,
        [ini = m_context.iniFile(), settings](PlcPort &port, const TransferProgress &progress) {
            return downloadAux(port, ini, settings, progress);
        },
        blocks ? TabContext::ProgressWindow::Shown : TabContext::ProgressWindow::Hidden);
}

// Everything is read first; the tab changes only once all of it has arrived.
// The progress window shows once sensor records are read, so only for a
// 1-wire master.
void OneWireTab::uploadFromPlc()
{
    m_context.transfer<AuxUpload>(
        this,
        [ini = m_context.iniFile(), current = configuration()](PlcPort &port,
                                                               const TransferProgress &progress) {
            return uploadAux(port, ini, current, progress);
        },
        TabContext::ProgressWindow::OnProgress,
        [this](const AuxUpload &read) {
            if (read.settings) {
                m_context.nameNextChange(QStringLiteral("Upload 1-wire from PLC"));
                applyUpload(*read.settings);
                Q_EMIT m_context.partRead(PlcPart::Aux);
            }
        });
}
