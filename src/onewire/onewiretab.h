#pragma once

#include "onewire/auxsettings.h"
#include "widgets/parttab.h"

class GridView;
class OptionGroup;
class QComboBox;
class QGroupBox;
class QPushButton;
class TabContext;
class TableFrame;

// The "1-wire" tab: the auxiliary port's mode, its Field Net line settings,
// the table of 1-wire sensors with its dialog, and the transfers of the
// port's configuration to and from the PLC.
class OneWireTab : public PartTab
{
    Q_OBJECT

public:
    // Starts from the auxiliary port's defaults.
    explicit OneWireTab(TabContext &context, QWidget *parent = nullptr);

    TableFrame *sensorTable() const { return m_sensors; }
    GridView *grid() const;
    // "Search slave" under the table.
    QPushButton *searchButton() const { return m_search; }

    // Chooses a mode button (0 1-wire master, 1 Field Net, 2 not used),
    // which runs Option1_Click.
    void selectMode(int index);
    // What choosing a mode does: a 1-wire master shows the sensor table,
    // Field Net its line settings, an unused port neither.
    void Option1_Click(int index);
    // The mode last chosen; 0 until one is.
    int optionMode() const { return m_optionMode; }

    // Everything the tab holds.
    AuxSettings configuration() const;
    // Shows all of it, choosing the mode only when it is not chosen already.
    void apply(const AuxSettings &settings);
    // Shows what an upload read, choosing the mode in any case.
    void applyUpload(const AuxSettings &settings);

    // "Write to PLC" and "Upload from PLC".
    void writeToPlc();
    void uploadFromPlc();
    // "Delete all slave": empties the table once the user agrees.
    void deleteAll();
    // "Search slave": the bus search form, whose devices land in the table
    // whatever the mode.
    void openSearch();

private:
    QGroupBox *buildModeFrame();
    QGroupBox *buildFieldNetFrame();
    TableFrame *buildSensorFrame();
    void setSensors(const TextTable &sensors);
    void showSettings(const AuxSettings &settings);

    TabContext &m_context;
    OptionGroup *m_modes = nullptr;
    QGroupBox *m_fieldNet = nullptr;
    QComboBox *m_speed = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_dataBits = nullptr;
    QComboBox *m_stopBits = nullptr;
    TableFrame *m_sensors = nullptr;
    QPushButton *m_search = nullptr;
    int m_optionMode = 0;
};
