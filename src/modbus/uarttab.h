#pragma once

#include <QWidget>

class QComboBox;
class QFormLayout;
class QGroupBox;

// The control names that tell the two UART tabs apart.
struct UartTabNames
{
    QString masterFrame;  // "Modbus master configuration": the request table
    QString slaveFrame;   // "Modbus slave setting"
    QString generalFrame; // "Modbus general setting": role, line settings, transfers
    QString grid;         // the request table inside the master frame
    QString speed;
    QString parity;
    QString dataBits;
    QString stopBits;
};

// One Modbus port tab of the main window ("UART 1" or "UART 2"): the master
// request table, the slave settings and the port's general settings.
class UartTab : public QWidget
{
    Q_OBJECT

public:
    static UartTabNames uart1Names();
    static UartTabNames uart2Names();

    explicit UartTab(UartTabNames names, QWidget *parent = nullptr);

    const UartTabNames &names() const { return m_names; }

    QComboBox *speedList() const { return m_speed; }
    QComboBox *parityList() const { return m_parity; }
    // Inactive: they keep what start-up, a configuration load or an upload
    // puts there.
    QComboBox *dataBitsList() const { return m_dataBits; }
    QComboBox *stopBitsList() const { return m_stopBits; }

private:
    QGroupBox *buildGeneralFrame();
    QFormLayout *buildLineSettings();

    UartTabNames m_names;
    QComboBox *m_speed = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_dataBits = nullptr;
    QComboBox *m_stopBits = nullptr;
};
