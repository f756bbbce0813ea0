#pragma once

#include "link/plcpart.h"
#include "modbus/uartsettings.h"
#include "modbus/uarttabdescription.h"

#include "tables/gridmodel.h"
#include "tables/texttable.h"
#include "widgets/parttab.h"

class GridView;
class OptionGroup;
class PlcPort;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TabContext;
class TableFrame;

// One Modbus port tab of the main window ("UART 1" or "UART 2"): the port's
// role, its line settings, the slave settings, the master request table and
// the transfers of the port's configuration to and from the PLC. The two
// tabs differ only by their description.
class UartTab : public PartTab
{
    Q_OBJECT

public:
    // Starts from the UART's defaults.
    UartTab(const UartTabDescription &description, TabContext &context, QWidget *parent = nullptr);

    const UartTabDescription &description() const { return m_description; }

    QComboBox *speedList() const { return m_speed; }
    QComboBox *parityList() const { return m_parity; }
    // Inactive: they keep what start-up, a configuration load or an upload
    // puts there.
    QComboBox *dataBitsList() const { return m_dataBits; }
    QComboBox *stopBitsList() const { return m_stopBits; }
    QLineEdit *slaveAddressBox() const { return m_slaveAddress; }
    QLineEdit *slaveTimeoutBox() const { return m_slaveTimeout; }
    TableFrame *requestTable() const { return m_requestTable; }
    GridView *grid() const;

    // Chooses a role button (0 master, 1 slave, 2 not used), which runs
    // Option4_Click.
    void selectRole(int index);
    // What choosing a role does: a master shows the request table, which
    // stays disabled until a row has been chosen; a slave shows the slave
    // settings; an unused port neither. The line settings stay.
    void Option4_Click(int index);
    // The role last chosen; 0 until one is.
    int optionHw() const { return m_optionHw; }

    // Everything the tab holds.
    UartSettings configuration() const;
    // Shows all of it: the role (choosing it only when it is not the chosen
    // one already), the lists, the slave boxes and the table.
    void apply(const UartSettings &settings);
    // Shows what a full upload read (role, speed, parity, slave address and
    // table) and enables the table.
    void applyUpload(const UartSettings &settings);

    // "Write to PLC" and "Upload from PLC".
    void writeToPlc();
    void uploadFromPlc();
    // "Download" and "Upload" of the slave settings alone (UART2).
    void downloadSlave();
    void uploadSlave();

private:
    ErrorBuffer healthBuffer() const;
    GridModel::CellNote slotHealthNote(const QStringList &cells) const;
    QGroupBox *buildGeneralFrame();
    QLayout *buildRoles(QWidget *frame);
    QFormLayout *buildLineSettings(QWidget *frame);
    QLayout *buildTransfers(QWidget *frame);
    QGroupBox *buildSlaveFrame();
    QPushButton *addTransfer(const QString &name, const QString &caption, bool active,
                             void (UartTab::*handler)(), QWidget *frame);
    void setTable(const TextTable &table);

    const UartTabDescription &m_description;
    TabContext &m_context;
    OptionGroup *m_roles = nullptr;
    QComboBox *m_speed = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_dataBits = nullptr;
    QComboBox *m_stopBits = nullptr;
    QGroupBox *m_slave = nullptr;
    QLineEdit *m_slaveAddress = nullptr;
    QLineEdit *m_slaveTimeout = nullptr;
    TableFrame *m_requestTable = nullptr;
    int m_optionHw = 0;
    TextTable m_rowsRead; // the requests as they were when their slots were last read
};
