#include "qtplcport.h"

#include "link/inifile.h"
#include "link/portsetup.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <initializer_list>
#include <optional>
#include <thread>

using std::chrono::milliseconds;

namespace {

template <typename T> using Choices = std::initializer_list<std::pair<const char *, T>>;

const Choices<LineFormat::Parity> parities = {{"N", LineFormat::Parity::None},
                                              {"O", LineFormat::Parity::Odd},
                                              {"E", LineFormat::Parity::Even}};
const Choices<int> dataBits = {{"5", 5}, {"6", 6}, {"7", 7}, {"8", 8}};
const Choices<LineFormat::StopBits> stopBits = {{"1", LineFormat::StopBits::One},
                                                {"1.5", LineFormat::StopBits::OneAndHalf},
                                                {"2", LineFormat::StopBits::Two}};

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
    const QList<SerialDevice> kernel = systemSerialDevices();
    QList<SerialDevice> devices;
    const QFileInfoList links =
        QDir(byIdFolder).entryInfoList(QDir::Files | QDir::System, QDir::Name);
    for (const QFileInfo &link : links) {
        const QString target = link.canonicalFilePath();
        const auto known = std::find_if(kernel.cbegin(), kernel.cend(), [&target](const auto &d) {
            return QFileInfo(d.path).canonicalFilePath() == target;
        });
        SerialDevice named = known == kernel.cend() ? SerialDevice() : *known;
        named.path = link.filePath();
        devices.append(named);
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

bool serialDeviceExists(const QString &device)
{
#ifdef Q_OS_WIN
    const QList<SerialDevice> ports = systemSerialDevices();
    return std::any_of(ports.cbegin(), ports.cend(), [&device](const SerialDevice &port) {
        return port.path.compare(device, Qt::CaseInsensitive) == 0;
    });
#else
    return QFileInfo::exists(device);
#endif
}

QtPlcPort::QtPlcPort(QString iniFile) : m_iniFile(std::move(iniFile)) {}

QtPlcPort::~QtPlcPort() = default;

QString QtPlcPort::deviceFor(int number, const QString &iniFile)
{
    const QString name = QStringLiteral("COM%1").arg(number);
    const QString mapped = Ini_read(iniFile, QStringLiteral("PORTS"), name, QString()).trimmed();
    if (!mapped.isEmpty())
        return mapped;
#ifdef Q_OS_WIN
    return name;
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

bool QtPlcPort::open()
{
    close();
    m_error.clear();
    m_device = serialDevicePath(m_fixedDevice.isEmpty() ? deviceFor(m_portNumber, m_iniFile)
                                                        : m_fixedDevice);
    m_serial = std::make_unique<SerialLine>();
    if (!m_serial->open(m_device, m_error)) {
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
    line().answerTimeAdd = answerTimeAdd(m_iniFile);
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
    LineFormat format;
    bool ok = false;
    format.speed = parts[0].toInt(&ok);
    const QString speedRefused = QStringLiteral("speed %1 is not supported").arg(parts[0]);
    const QString parityRefused = QStringLiteral("parity %1 is not supported").arg(parts[1]);
    const QString bitsRefused = QStringLiteral("%1 data bits are not supported").arg(parts[2]);
    const QString stopRefused = QStringLiteral("%1 stop bits are not supported").arg(parts[3]);
    if (!ok || format.speed <= 0)
        return fail(speedRefused);
    const auto parity = choiceOf(parities, parts[1]);
    if (!parity)
        return fail(parityRefused);
    const auto bits = choiceOf(dataBits, parts[2]);
    if (!bits)
        return fail(bitsRefused);
    const auto stop = choiceOf(stopBits, parts[3]);
    if (!stop)
        return fail(stopRefused);
    format.parity = *parity;
    format.dataBits = *bits;
    format.stopBits = *stop;
    switch (m_serial->configure(format, !isPseudoTerminal(m_device))) {
    case SerialLine::Setting::None:
        return true;
    case SerialLine::Setting::Speed:
        return fail(speedRefused);
    case SerialLine::Setting::Parity:
        return fail(parityRefused);
    case SerialLine::Setting::DataBits:
        return fail(bitsRefused);
    case SerialLine::Setting::StopBits:
        return fail(stopRefused);
    }
    return true;
}

void QtPlcPort::close()
{
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
    QString error;
    return m_serial->write(data, error) || fail(error);
}

QByteArray QtPlcPort::takeReceived()
{
    return isOpen() ? m_serial->takeReceived() : QByteArray();
}

void QtPlcPort::discardInput()
{
    if (isOpen())
        m_serial->discardInput();
}

PlcPort::Wait QtPlcPort::waitForData(milliseconds timeout)
{
    if (!isOpen()) {
        m_error = QStringLiteral("The port is not open.");
        return Wait::Error;
    }
    QString error;
    const Wait wait = m_serial->waitForData(timeout, error);
    if (wait == Wait::Error) {
        fail(error);
        close();
    }
    return wait;
}

void QtPlcPort::pause(milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}
