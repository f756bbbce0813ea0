#include "qtplcport.h"

#include "link/inifile.h"
#include "link/portsetup.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QStringList>

#include <initializer_list>
#include <optional>
#include <thread>

using std::chrono::milliseconds;

namespace {

QString openFailure(const QString &device, const QSerialPort &serial)
{
    if (!QFileInfo::exists(device))
        return QStringLiteral("Cannot open %1: there is no such device. If it is a USB adapter, "
                              "it may be unplugged.")
            .arg(device);
    QString text = QStringLiteral("Cannot open %1: %2.").arg(device, serial.errorString());
    if (serial.error() == QSerialPort::PermissionError)
        text += QStringLiteral(" The user may need to be a member of the dialout group.");
    return text;
}

template <typename T> using Choices = std::initializer_list<std::pair<const char *, T>>;

const Choices<QSerialPort::Parity> parities = {
    {"N", QSerialPort::NoParity}, {"O", QSerialPort::OddParity}, {"E", QSerialPort::EvenParity}};
const Choices<QSerialPort::DataBits> dataBits = {{"5", QSerialPort::Data5},
                                                 {"6", QSerialPort::Data6},
                                                 {"7", QSerialPort::Data7},
                                                 {"8", QSerialPort::Data8}};
const Choices<QSerialPort::StopBits> stopBits = {
    {"1", QSerialPort::OneStop}, {"1.5", QSerialPort::OneAndHalfStop}, {"2", QSerialPort::TwoStop}};

template <typename T> std::optional<T> choiceOf(Choices<T> choices, const QString &text)
{
    for (const auto &[name, value] : choices) {
        if (text == QLatin1String(name))
            return value;
    }
    return std::nullopt;
}

bool isPseudoTerminal(const QString &device)
{
    return QFileInfo(device).canonicalFilePath().startsWith(QLatin1String("/dev/pts/"));
}

} // namespace

QList<SerialDevice> serialDevices(const QString &byIdFolder)
{
    QList<SerialDevice> kernel;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        kernel.append({info.systemLocation(), info.description()});
    QList<SerialDevice> devices;
    const QFileInfoList links =
        QDir(byIdFolder).entryInfoList(QDir::Files | QDir::System, QDir::Name);
    for (const QFileInfo &link : links) {
        const QString target = link.canonicalFilePath();
        const auto known = std::find_if(kernel.cbegin(), kernel.cend(), [&target](const auto &d) {
            return QFileInfo(d.path).canonicalFilePath() == target;
        });
        devices.append({link.filePath(), known == kernel.cend() ? QString() : known->description});
    }
    return devices + kernel;
}

QString serialDevicePath(const QString &name)
{
    const QString device = name.trimmed();
#ifdef Q_OS_WIN
    return device;
#else
    if (device.isEmpty())
        return device;
    if (!device.contains(QLatin1Char('/')))
        return QStringLiteral("/dev/") + device;
    return QDir::cleanPath(QDir::current().absoluteFilePath(device));
#endif
}

QtPlcPort::QtPlcPort(QString iniFile) : m_iniFile(std::move(iniFile)) {}

QtPlcPort::~QtPlcPort() = default;

QString QtPlcPort::deviceFor(int number, const QString &iniFile)
{
    const QString name = QStringLiteral("COM%1").arg(number);
#ifdef Q_OS_WIN
    Q_UNUSED(iniFile);
    return name;
#else
    const QString mapped = Ini_read(iniFile, QStringLiteral("PORTS"), name, QString()).trimmed();
    return mapped.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(number - 1) : mapped;
#endif
}

bool QtPlcPort::open()
{
    close();
    m_error.clear();
    m_device = serialDevicePath(m_fixedDevice.isEmpty() ? deviceFor(m_portNumber, m_iniFile)
                                                        : m_fixedDevice);
    m_serial = std::make_unique<QSerialPort>();
    m_serial->setPortName(m_device);
    if (!m_serial->open(QIODevice::ReadWrite)) {
        m_error = openFailure(m_device, *m_serial);
        m_serial.reset();
        return false;
    }
    if (!applySettings()) {
        m_serial.reset();
        return false;
    }
    // The window's and the command line's own forms (the connection test,
    // Find PLC) open it without Port_setup.
    line().checkChecksums = answerChecksumChecked(m_iniFile);
    return true;
}

bool QtPlcPort::fail(const QString &error)
{
    m_error = QStringLiteral("%1: %2").arg(m_device, error);
    return false;
}

// A pseudo-terminal (the simulator's, for one) has no line: the kernel
// refuses some character sizes and parities on it, and none of them would
// mean anything. Only the choices are checked there, not applied.
bool QtPlcPort::applySettings()
{
    const QStringList parts = m_settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        return fail(QStringLiteral("invalid port settings \"%1\"").arg(m_settings));
    const bool line = !isPseudoTerminal(m_device);
    bool ok = false;
    const int speed = parts[0].toInt(&ok);
    if (!ok || speed <= 0 || !m_serial->setBaudRate(speed))
        return fail(QStringLiteral("speed %1 is not supported").arg(parts[0]));
    const auto parity = choiceOf(parities, parts[1]);
    if (!parity || (line && !m_serial->setParity(*parity)))
        return fail(QStringLiteral("parity %1 is not supported").arg(parts[1]));
    const auto bits = choiceOf(dataBits, parts[2]);
    if (!bits || (line && !m_serial->setDataBits(*bits)))
        return fail(QStringLiteral("%1 data bits are not supported").arg(parts[2]));
    const auto stop = choiceOf(stopBits, parts[3]);
    if (!stop || (line && !m_serial->setStopBits(*stop)))
        return fail(QStringLiteral("%1 stop bits are not supported").arg(parts[3]));
    m_serial->setFlowControl(QSerialPort::NoFlowControl);
    return true;
}

void QtPlcPort::close()
{
    if (m_serial)
        m_serial->close();
    m_serial.reset();
}

bool QtPlcPort::isOpen() const
{
    return m_serial && m_serial->isOpen();
}

bool QtPlcPort::write(const QByteArray &data)
{
    if (!isOpen()) {
        m_error = QStringLiteral("The port is not open.");
        return false;
    }
    if (m_serial->write(data) != data.size())
        return fail(m_serial->errorString());
    // Without an event loop on this thread the bytes leave only while we wait.
    while (m_serial->bytesToWrite() > 0) {
        if (!m_serial->waitForBytesWritten(1000))
            return fail(QStringLiteral("write failed: %1").arg(m_serial->errorString()));
    }
    return true;
}

QByteArray QtPlcPort::takeReceived()
{
    return isOpen() ? m_serial->readAll() : QByteArray();
}

void QtPlcPort::discardInput()
{
    if (!isOpen())
        return;
    m_serial->clear(QSerialPort::Input);
    m_serial->readAll();
}

PlcPort::Wait QtPlcPort::waitForData(milliseconds timeout)
{
    if (!isOpen()) {
        m_error = QStringLiteral("The port is not open.");
        return Wait::Error;
    }
    if (m_serial->bytesAvailable() > 0)
        return Wait::Data;
    if (m_serial->waitForReadyRead(int(timeout.count())))
        return Wait::Data;
    if (m_serial->error() == QSerialPort::TimeoutError) {
        m_serial->clearError();
        return Wait::Timeout;
    }
    fail(m_serial->errorString());
    close();
    return Wait::Error;
}

void QtPlcPort::pause(milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}
