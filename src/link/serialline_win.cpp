#include "serialline.h"

#include <QRegularExpression>
#include <QSettings>

#include <algorithm>

#include <windows.h>

using std::chrono::milliseconds;

namespace {

QString systemMessage(DWORD code)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString message = length > 0 ? QString::fromWCharArray(text, int(length)).trimmed()
                                 : QStringLiteral("system error %1").arg(code);
    LocalFree(text);
    while (message.endsWith(QLatin1Char('.')))
        message.chop(1);
    return message;
}

// "COM12" as the device namespace names it: the short form reaches COM1 to
// COM9 only.
std::wstring deviceName(const QString &port)
{
    const QString name =
        port.startsWith(QLatin1String("\\\\.\\")) ? port : QStringLiteral("\\\\.\\") + port;
    return name.toStdWString();
}

int portNumber(const QString &name)
{
    static const QRegularExpression com(QStringLiteral("^COM(\\d+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(name);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

} // namespace

struct SerialLine::Device
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    QByteArray received; // read from the device, not yet taken
    // The read timeouts last set: setting them again costs a system call.
    DWORD readConstant = MAXDWORD - 1;

    bool setReadWait(DWORD wait)
    {
        if (wait == readConstant)
            return true;
        COMMTIMEOUTS timeouts = {};
        // A wait of 0 returns at once with what has arrived; otherwise a
        // read returns as soon as one byte is there, or after `wait` ms.
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = wait > 0 ? MAXDWORD : 0;
        timeouts.ReadTotalTimeoutConstant = wait;
        timeouts.WriteTotalTimeoutConstant = 2000;
        timeouts.WriteTotalTimeoutMultiplier = 10;
        if (!SetCommTimeouts(handle, &timeouts))
            return false;
        readConstant = wait;
        return true;
    }

    // Reads what the device has, waiting up to `wait` ms for the first byte.
    bool read(DWORD wait)
    {
        if (!setReadWait(wait))
            return false;
        char buffer[4096];
        DWORD count = 0;
        if (!ReadFile(handle, buffer, sizeof buffer, &count, nullptr))
            return false;
        received.append(buffer, qsizetype(count));
        return true;
    }
};

// The COM ports Windows knows: those its serial drivers registered, and the
// names of the device namespace (where Wine maps its ports), in number order.
QList<SerialDevice> systemSerialDevices()
{
    QStringList names;
    const QSettings registry(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM"),
                             QSettings::NativeFormat);
    for (const QString &key : registry.allKeys()) {
        const QString name = registry.value(key).toString();
        if (portNumber(name) > 0 && !names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    std::wstring all(65536, L'\0');
    const DWORD length = QueryDosDeviceW(nullptr, all.data(), DWORD(all.size()));
    for (const QString &name : QString::fromWCharArray(all.data(), int(length))
                                   .split(QLatin1Char('\0'), Qt::SkipEmptyParts)) {
        if (portNumber(name) > 0 && !names.contains(name, Qt::CaseInsensitive))
            names.append(name.toUpper());
    }
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return portNumber(a) < portNumber(b); });
    QList<SerialDevice> devices;
    for (const QString &name : names)
        devices.append({name, {}, {}, {}, {}});
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
    const HANDLE handle = CreateFileW(deviceName(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            error = QStringLiteral("Cannot open %1: there is no such port. If it is a USB "
                                   "adapter, it may be unplugged.")
                        .arg(device);
        else if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION)
            error = QStringLiteral("Cannot open %1: it is in use by another program.").arg(device);
        else
            error = QStringLiteral("Cannot open %1: %2.").arg(device, systemMessage(code));
        return false;
    }
    m_device = std::make_unique<Device>();
    m_device->handle = handle;
    if (!m_device->setReadWait(0)) {
        error = QStringLiteral("Cannot open %1: %2.").arg(device, systemMessage(GetLastError()));
        close();
        return false;
    }
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return true;
}

SerialLine::Setting SerialLine::configure(const LineFormat &format, bool line)
{
    Q_UNUSED(line);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(m_device->handle, &dcb))
        return Setting::Speed;
    dcb.BaudRate = DWORD(format.speed);
    dcb.ByteSize = BYTE(format.dataBits);
    switch (format.parity) {
    case LineFormat::Parity::None:
        dcb.Parity = NOPARITY;
        break;
    case LineFormat::Parity::Odd:
        dcb.Parity = ODDPARITY;
        break;
    case LineFormat::Parity::Even:
        dcb.Parity = EVENPARITY;
        break;
    }
    switch (format.stopBits) {
    case LineFormat::StopBits::One:
        dcb.StopBits = ONESTOPBIT;
        break;
    case LineFormat::StopBits::OneAndHalf:
        dcb.StopBits = ONE5STOPBITS;
        break;
    case LineFormat::StopBits::Two:
        dcb.StopBits = TWOSTOPBITS;
        break;
    }
    dcb.fBinary = TRUE;
    dcb.fParity = format.parity != LineFormat::Parity::None;
    // No flow control, as on every other system; DTR and RTS up, as an
    // adapter powered from them expects.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (SetCommState(m_device->handle, &dcb))
        return Setting::None;
    // Which one the driver refused: the speed alone first.
    DCB speedOnly = {};
    speedOnly.DCBlength = sizeof speedOnly;
    GetCommState(m_device->handle, &speedOnly);
    speedOnly.BaudRate = DWORD(format.speed);
    if (!SetCommState(m_device->handle, &speedOnly))
        return Setting::Speed;
    if (format.parity != LineFormat::Parity::None)
        return Setting::Parity;
    if (format.stopBits != LineFormat::StopBits::One)
        return Setting::StopBits;
    return Setting::DataBits;
}

void SerialLine::close()
{
    if (m_device && m_device->handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_device->handle);
    m_device.reset();
}

bool SerialLine::isOpen() const
{
    return m_device != nullptr;
}

bool SerialLine::write(const QByteArray &data, QString &error)
{
    qsizetype sent = 0;
    while (sent < data.size()) {
        DWORD count = 0;
        if (!WriteFile(m_device->handle, data.constData() + sent, DWORD(data.size() - sent), &count,
                       nullptr)) {
            error = QStringLiteral("write failed: %1").arg(systemMessage(GetLastError()));
            return false;
        }
        if (count == 0) {
            error = QStringLiteral("write failed: the port took nothing within its time");
            return false;
        }
        sent += qsizetype(count);
    }
    return true;
}

QByteArray SerialLine::takeReceived()
{
    if (!isOpen())
        return {};
    m_device->read(0);
    return std::exchange(m_device->received, {});
}

void SerialLine::discardInput()
{
    if (!isOpen())
        return;
    PurgeComm(m_device->handle, PURGE_RXCLEAR);
    m_device->received.clear();
    m_device->read(0);
    m_device->received.clear();
}

PlcPort::Wait SerialLine::waitForData(milliseconds timeout, QString &error)
{
    if (!m_device->received.isEmpty())
        return PlcPort::Wait::Data;
    const DWORD wait = DWORD(std::clamp<qint64>(timeout.count(), 0, MAXDWORD - 2));
    if (!m_device->read(wait)) {
        error = systemMessage(GetLastError());
        return PlcPort::Wait::Error;
    }
    return m_device->received.isEmpty() ? PlcPort::Wait::Timeout : PlcPort::Wait::Data;
}
