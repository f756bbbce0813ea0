#pragma once

#include "link/plcsession.h"
#include "link/qtplcport.h"
#include "widgets/plccontrols.h"

#include <QDialog>
#include <QHash>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class PlcPort;
class SessionScheduler;
class QComboBox;
class QSpinBox;
class QLabel;
class QTableWidget;
class QPushButton;
class UserDialogs;

// The link settings form "COM-port setting": five lists stored in section
// "COM" of the settings file, the device each port number maps to (section
// "PORTS"), "OK" to store them and "Test" to try them on the device the form shows.
class ComSetting : public QDialog
{
    Q_OBJECT

public:
    // What becomes of each port Find PLC tries (the traffic monitor's
    // recording, say); none by default.
    using PortWrap =
        std::function<std::unique_ptr<PlcPort>(const QString &device, std::unique_ptr<PlcPort>)>;

    // The test and Find PLC run on `session`, the window's, lent: as
    // operations of the user, one at a time with the window's own, so the
    // form never opens a device the window is reading.
    ComSetting(QString iniFile, UserDialogs &dialogs, SessionScheduler &session,
               QWidget *parent = nullptr, PortWrap wrap = {});
    // A form on its own: a session of its own over `port`.
    ComSetting(QString iniFile, UserDialogs &dialogs, std::unique_ptr<PlcPort> port,
               QWidget *parent = nullptr, PortWrap wrap = {});
    ~ComSetting() override;

    // True while a connection test or Find PLC runs or waits to.
    bool isTesting() const;

private:
    // An operation asked of the session, shared with it.
    struct Run
    {
        std::atomic<bool> started = false;
        std::atomic<bool> stopped = false;
    };
    void setUp();
    // Runs the operation on the session; `done` runs after it unless the
    // form has gone.
    void start(PlcSession::CancellableOperation operation, std::function<void()> done);
    // Stops the operation asked for: at once if it runs, as it starts if it
    // waits; its `done` still runs.
    void stop();
    void showRunning(bool running);
    void takeOnEnter(std::function<void(int row)> take);
    void fitFound();
    void showWholeDevice();
    void buildForm();
    void load();
    void save();
    void test();
    void showDevice();
    void showDevices();
    // "Find PLC": every device at every speed; "Stop" ends it.
    void findPlc();
    // Takes a PLC found: its port (mapping the next free COMn to a device no
    // COMn stands for) and speed, unsaved until "OK".
    void takeFound(const QString &device, int speed);
    // Ports of a device, for Find PLC and a test of a device typed in.
    using DevicePorts = std::function<std::unique_ptr<PlcPort>(const QString &device)>;
    DevicePorts devicePorts() const;
    // The time the form adds to each answer timeout.
    std::chrono::milliseconds extraTime() const;
    QStringList candidates() const;

    QString m_iniFile;
    UserDialogs &m_dialogs;
    std::unique_ptr<SessionScheduler> m_ownSession; // a form on its own
    SessionScheduler *m_session = nullptr;
    std::shared_ptr<Run> m_run; // until its `done` has run
    QComboBox *m_port = nullptr;
    QComboBox *m_device = nullptr;
    QComboBox *m_speed = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_bits = nullptr;
    QComboBox *m_stop = nullptr;
    QSpinBox *m_extraTime = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_test = nullptr;
    KeptFocus m_testFocus; // Test keeps the keyboard through its run
    QPushButton *m_find = nullptr;
    QLabel *m_findProgress = nullptr;
    QTableWidget *m_found = nullptr; // device, speed, CPU type
    PortWrap m_wrap;
    QHash<int, QString> m_devices; // device edits not yet stored, by port number
    QList<SerialDevice> m_offered; // the devices the list shows
    QStringList m_foundDevices;    // those Find PLC found, while the form is open
};
