#include "serialline.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where the device locks live: the system's folder for them when this user
// may write there, the temporary folder otherwise.
QString lockFolder()
{
    const QFileInfo run(QStringLiteral("/run/lock"));
    return run.isDir() && run.isWritable() ? run.filePath() : QDir::tempPath();
}

// The lock's name comes from the device itself (its device number), not
// from the name it was opened by: /dev/pts/3 and a link to it are one
// device, and so are /dev/ttyUSB0 and its /dev/serial/by-id name.
QString lockPath(const QString &device)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(device).constData(), &status) != 0)
        return {};
    const QString id = S_ISCHR(status.st_mode)
                           ? QStringLiteral("%1").arg(quint64(status.st_rdev), 0, 16)
                           : QStringLiteral("%1-%2")
                                 .arg(quint64(status.st_dev), 0, 16)
                                 .arg(quint64(status.st_ino), 0, 16);
    return lockFolder() + QStringLiteral("/plc-tarvik-device-") + id + QStringLiteral(".lock");
}

QSerialPort::Parity parityOf(LineFormat::Parity parity)
{
    switch (parity) {
    case LineFormat::Parity::Odd:
        return QSerialPort::OddParity;
    case LineFormat::Parity::Even:
        return QSerialPort::EvenParity;
    case LineFormat::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits stopBitsOf(LineFormat::StopBits stop)
{
    switch (stop) {
    case LineFormat::StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case LineFormat::StopBits::Two:
        return QSerialPort::TwoStop;
    case LineFormat::StopBits::One:
        break;
    }
    return QSerialPort::OneStop;
}

} // namespace

struct SerialLine::Device
{
    QSerialPort serial;
    std::unique_ptr<QLockFile> lock;
};

QList<SerialDevice> systemSerialDevices()
{
    QList<SerialDevice> devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        devices.append(
            {info.systemLocation(), info.description(), info.serialNumber(),
             info.hasVendorIdentifier() ? QString::number(info.vendorIdentifier(), 16) : QString(),
             info.hasProductIdentifier() ? QString::number(info.productIdentifier(), 16)
                                         : QString()});
    }
    return devices;
}

SerialLine::SerialLine() = default;

SerialLine::~SerialLine()
{
    close();
}

bool SerialLine::open(const QString &device, QString &error)
{
    close();
    if (!QFileInfo::exists(device)) {
        error = QStringLiteral("Cannot open %1: there is no such device. If it is a USB adapter, "
                               "it may be unplugged.")
                    .arg(device);
        return false;
    }
    auto opened = std::make_unique<Device>();
    if (const QString path = lockPath(device); !path.isEmpty()) {
        opened->lock = std::make_unique<QLockFile>(path);
        // A lock is taken from a program that ended only when its PID is gone.
        opened->lock->setStaleLockTime(0);
        if (!opened->lock->tryLock(0)) {
            qint64 pid = 0;
            QString host;
            QString application;
            if (opened->lock->error() == QLockFile::LockFailedError &&
                opened->lock->getLockInfo(&pid, &host, &application)) {
                error = QStringLiteral("Cannot open %1: it is in use by another program (PID %2).")
                            .arg(device)
                            .arg(pid);
                return false;
            }
            // A folder the lock cannot be made in does not stop the port.
            opened->lock.reset();
        }
    }
    opened->serial.setPortName(device);
    if (!opened->serial.open(QIODevice::ReadWrite)) {
        error = QStringLiteral("Cannot open %1: %2.").arg(device, opened->serial.errorString());
        // Only a device this user may not use calls for the group; a busy
        // one does not.
        if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES)
            error += QStringLiteral(" The user may need to be a member of the dialout group.");
        return false;
    }
    m_device = std::move(opened);
    return true;
}

SerialLine::Setting SerialLine::configure(const LineFormat &format, bool line)
{
    QSerialPort &serial = m_device->serial;
    if (!serial.setBaudRate(format.speed))
        return Setting::Speed;
    if (line && !serial.setParity(parityOf(format.parity)))
        return Setting::Parity;
    if (line && !serial.setDataBits(QSerialPort::DataBits(format.dataBits)))
        return Setting::DataBits;
    if (line && !serial.setStopBits(stopBitsOf(format.stopBits)))
        return Setting::StopBits;
    serial.setFlowControl(QSerialPort::NoFlowControl);
    return Setting::None;
}

void SerialLine::close()
{
    if (m_device)
        m_device->serial.close();
    m_device.reset();
}

bool SerialLine::isOpen() const
{
    return m_device && m_device->serial.isOpen();
}

bool SerialLine::write(const QByteArray &data, QString &error)
{
    QSerialPort &serial = m_device->serial;
    if (serial.write(data) != data.size()) {
        error = serial.errorString();
        return false;
    }
    // Without an event loop on this thread the bytes leave only while we wait.
    while (serial.bytesToWrite() > 0) {
        if (!serial.waitForBytesWritten(1000)) {
            error = QStringLiteral("write failed: %1").arg(serial.errorString());
            return false;
        }
    }
    return true;
}

QByteArray SerialLine::takeReceived()
{
    return isOpen() ? m_device->serial.readAll() : QByteArray();
}

void SerialLine::discardInput()
{
    if (!isOpen())
        return;
    m_device->serial.clear(QSerialPort::Input);
    m_device->serial.readAll();
}

PlcPort::Wait SerialLine::waitForData(std::chrono::milliseconds timeout, QString &error)
{
    QSerialPort &serial = m_device->serial;
    if (serial.bytesAvailable() > 0)
        return PlcPort::Wait::Data;
    if (serial.waitForReadyRead(int(timeout.count())))
        return PlcPort::Wait::Data;
    if (serial.error() == QSerialPort::TimeoutError) {
        serial.clearError();
        return PlcPort::Wait::Timeout;
    }
    error = serial.errorString();
    return PlcPort::Wait::Error;
}
