#pragma once

#include "link/plcport.h"
#include "link/serialline.h"

#include <QList>

#include <memory>

// The serial devices of the system: first the stable names in `byIdFolder`
// (on Linux /dev/serial/by-id, names that survive unplugging), each with the
// description of the device it stands for, then the kernel names.
QList<SerialDevice> serialDevices(const QString &byIdFolder = QStringLiteral("/dev/serial/by-id"));

// The device a name the user gives stands for: a name with a slash is a
// path, from the current folder unless it is absolute ("build/plc-link"); a
// bare name is a device under /dev ("ttyUSB0"). On Windows names stay as
// they are.
QString serialDevicePath(const QString &name);

// Whether the system has the device: a file on Linux, a COM port Windows
// knows on Windows.
bool serialDeviceExists(const QString &device);

// A PlcPort over a real serial device. The section "PORTS" of the settings
// file may map port number n, "COMn", to a device (a path, or on Windows
// another COM port, "COM12"); without such a key COMn is the port of that
// name on Windows and /dev/ttyS(n-1) elsewhere.
class QtPlcPort : public PlcPort
{
public:
    explicit QtPlcPort(QString iniFile);
    ~QtPlcPort() override;

    // The device port number `number` stands for.
    static QString deviceFor(int number, const QString &iniFile);
    // A device to open whatever the port number; empty (the default) to
    // open the one the port number stands for.
    void setDevice(const QString &device) { m_fixedDevice = device; }

    void setSettings(const QString &settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }
    void setPortNumber(int number) override { m_portNumber = number; }
    int portNumber() const override { return m_portNumber; }

    bool open() override;
    void close() override;
    bool isOpen() const override;

    bool write(const QByteArray &data) override;
    QByteArray takeReceived() override;
    void discardInput() override;
    Wait waitForData(std::chrono::milliseconds timeout) override;
    void pause(std::chrono::milliseconds duration) override;

    QString errorString() const override { return m_error; }

private:
    bool applySettings();
    bool fail(const QString &error);

    QString m_iniFile;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_portNumber = 1;
    QString m_device;
    QString m_fixedDevice;
    std::unique_ptr<SerialLine> m_serial;
    QString m_error;
};
