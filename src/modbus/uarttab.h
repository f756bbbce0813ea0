#pragma once

#include "modbus/uartsettings.h"
#include "modbus/uarttabdescription.h"

#include <QWidget>

#include <functional>

class Main;
class PlcPort;
class QButtonGroup;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TableGrid;

// One Modbus port tab of the main window ("UART 1" or "UART 2"): the port's
// role, its line settings, the slave settings, the master request table and
// the transfers of the port's configuration to and from the PLC. The two
// tabs differ only by their description.
class UartTab : public QWidget
{
    Q_OBJECT

public:
    UartTab(const UartTabDescription &description, Main &main, QWidget *parent = nullptr);

    const UartTabDescription &description() const { return m_description; }

    QComboBox *speedList() const { return m_speed; }
    QComboBox *parityList() const { return m_parity; }
    // Inactive: they keep what start-up, a configuration load or an upload
    // puts there.
    QComboBox *dataBitsList() const { return m_dataBits; }
    QComboBox *stopBitsList() const { return m_stopBits; }
    QLineEdit *slaveAddressBox() const { return m_slaveAddress; }
    QLineEdit *slaveTimeoutBox() const { return m_slaveTimeout; }
    RequestTableFrame *requestTable() const { return m_master; }
    TableGrid *grid() const;

    // Chooses a role button (0 master, 1 slave, 2 not used), which runs
    // Option4_Click.
    void selectRole(int index);
    // What choosing a role does: a master shows the request table, which
    // stays disabled until a row has been chosen; a slave shows the slave
    // settings; an unused port neither. The line settings stay.
    void Option4_Click(int index);
    // The role last chosen (option_hw1, option_hw2); 0 until one is.
    int optionHw() const { return m_optionHw; }

    // What the tab holds that travels to and from the PLC.
    UartSettings settings() const;
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
    QGroupBox *buildGeneralFrame();
    QLayout *buildRoles(QWidget *frame);
    QFormLayout *buildLineSettings(QWidget *frame);
    QLayout *buildTransfers(QWidget *frame);
    QGroupBox *buildSlaveFrame();
    QPushButton *addTransfer(const QString &name, const QString &caption, bool active,
                             void (UartTab::*handler)(), QWidget *frame);
    void runTransfer(std::function<TransferResult(PlcPort &, const TransferProgress &)> transfer,
                     bool withProgress);
    void runUpload(std::function<UartUpload(PlcPort &, const TransferProgress &)> upload,
                   std::function<void(const UartSettings &)> apply, bool withProgress);
    void report(const TransferResult &result);

    const UartTabDescription &m_description;
    Main &m_main;
    QButtonGroup *m_roles = nullptr;
    QComboBox *m_speed = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_dataBits = nullptr;
    QComboBox *m_stopBits = nullptr;
    QGroupBox *m_slave = nullptr;
    QLineEdit *m_slaveAddress = nullptr;
    QLineEdit *m_slaveTimeout = nullptr;
    RequestTableFrame *m_master = nullptr;
    int m_optionHw = 0;
};
