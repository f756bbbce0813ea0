#pragma once

#include "link/plcport.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <memory>

// A serial device to offer: its path (a COM port's name on Windows) and,
// where the system knows them, the adapter's description, serial number and
// USB vendor and product (hexadecimal).
struct SerialDevice
{
    QString path;
    QString description;
    QString serialNumber;
    QString vendorId;
    QString productId;

    bool operator==(const SerialDevice &) const = default;
};

// The serial devices the system has, by their kernel names (Linux) or COM
// port names (Windows).
QList<SerialDevice> systemSerialDevices();

// The line format of a serial device, parsed from a settings text.
struct LineFormat
{
    enum class Parity { None, Odd, Even };
    enum class StopBits { One, OneAndHalf, Two };

    int speed = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
};

// One open serial device, read and written from one thread without an event
// loop. On Linux it is Qt Serial Port's; on Windows the system's own
// communications calls. Either way the device is held by one program at a
// time: opening one that another program holds fails and names it.
class SerialLine
{
public:
    SerialLine();
    ~SerialLine();
    SerialLine(const SerialLine &) = delete;
    SerialLine &operator=(const SerialLine &) = delete;

    // Opens the device for reading and writing. On failure the reason, in
    // a sentence: "Cannot open <device>: ...".
    bool open(const QString &device, QString &error);
    enum class Setting { None, Speed, Parity, DataBits, StopBits };
    // Applies the format; `line` false (a pseudo-terminal) applies the
    // speed only. Returns the setting the device refused, None when all
    // were taken.
    Setting configure(const LineFormat &format, bool line);
    void close();
    bool isOpen() const;

    bool write(const QByteArray &data, QString &error);
    QByteArray takeReceived();
    void discardInput();
    PlcPort::Wait waitForData(std::chrono::milliseconds timeout, QString &error);

private:
    struct Device;
    std::unique_ptr<Device> m_device;
};
