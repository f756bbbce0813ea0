#include "cli/command.h"

#include "diag/errorwatch.h"
#include "diag/modbuserrorbuffer.h"
#include "link/connectiontest.h"
#include "link/inifile.h"
#include "link/plcport.h"
#include "link/portsetup.h"
#include "link/qtplcport.h"
#include "link/serialline.h"
#include "modbus/uartdescription.h"

#include <QDeadlineTimer>
#include <QThread>

namespace Cli {

namespace {

// What a buffer read of a port out of the buffer's mode says.
QString notInModeMessage(const QString &which)
{
    if (which == QLatin1String("onewire"))
        return QStringLiteral("The auxiliary port is not a 1-wire master");
    return notMasterMessage(which == QLatin1String("modbus2") ? UartDescription::uart2()
                                                              : UartDescription::uart1());
}

// diag --watch: the buffer read every o.watch seconds, a line for each slot
// whose state changed (every slot with an error at the first read), until
// Ctrl+C or o.count reads. A failed read is told and the next one tried;
// the third in a row ends the watch as a failed link, and so does an end
// after a failed read. The watch ends as well when the port leaves the
// buffer's mode.
CommandResult watchBuffer(const Options &o, PlcPort &port, const QString &which)
{
    const ErrorBuffer buffer = *ErrorWatch::bufferNamed(which);
    ErrorWatch watch(ErrorWatch::kindOf(buffer));
    const QString prefix = o.ports.size() > 1 ? o.port + QStringLiteral(": ") : QString();
    int reads = 0;
    int failedInARow = 0;
    QString lastFailure;
    // Three failed reads in a row end the watch; so does Ctrl+C or the count
    // after a failed read: the PLC is gone, and the run says so.
    constexpr int failuresToEnd = 3;
    const auto gone = [&] {
        return CommandResult{
            LinkFailed,
            {QStringLiteral("%1: %2").arg(which, lastFailure)},
            {{QStringLiteral("reads"), reads}, {QStringLiteral("error"), lastFailure}}};
    };
    while (!interrupted && (o.count == 0 || reads < o.count)) {
        if (reads > 0) {
            QDeadlineTimer next(std::chrono::seconds(o.watch));
            while (!interrupted && !next.hasExpired())
                QThread::msleep(20);
            if (interrupted)
                break;
        }
        const ErrorBufferRead read = readErrorBuffer(port, o.ini, buffer);
        const QDateTime now = QDateTime::currentDateTime();
        ++reads;
        if (!read.result.ok) {
            lastFailure = read.result.message;
            if (++failedInARow == failuresToEnd)
                return gone();
            printLocked(prefix + QStringLiteral("%1 %2: %3")
                                     .arg(now.time().toString(QStringLiteral("HH:mm:ss")), which,
                                          read.result.message),
                        stderr);
            continue;
        }
        failedInARow = 0;
        if (!read.inMode)
            return {NotInMode,
                    {QStringLiteral("%1: %2; the watch ends").arg(which, notInModeMessage(which))},
                    {{QStringLiteral("reads"), reads},
                     {QStringLiteral("inMode"), false},
                     {QStringLiteral("error"), notInModeMessage(which)}}};
        for (int slot : watch.take(read.errorBytes, now))
            printLocked(prefix + watch.changeLine(which, slot, now), stdout);
    }
    if (failedInARow > 0)
        return gone();
    return {Done, {}, {{QStringLiteral("reads"), reads}}};
}

} // namespace

CommandResult diag(const Options &o, PlcPort &port, const TransferProgress &)
{
    const QString which = o.arguments.value(0);
    const std::optional<ErrorBuffer> buffer = ErrorWatch::bufferNamed(which);
    if (!buffer)
        return failed(Usage, QStringLiteral("diag takes modbus1, modbus2 or onewire"));
    if (o.watch > 0)
        return watchBuffer(o, port, which);
    const ErrorBufferRead read = readErrorBuffer(port, o.ini, *buffer);
    if (!read.result.ok)
        return failed(read.result);
    // A port out of the buffer's mode has no buffer: an empty table would
    // read as a clean one.
    if (!read.inMode)
        return {NotInMode,
                {notInModeMessage(which)},
                {{QStringLiteral("rows"), QJsonArray()},
                 {QStringLiteral("inMode"), false},
                 {QStringLiteral("error"), notInModeMessage(which)}}};
    const TextTable table = read.table.value_or(TextTable());
    return {Done,
            tableLines(ErrorWatch::plainFormat(ErrorWatch::kindOf(*buffer)), table),
            {{QStringLiteral("rows"), tableJson(table)}, {QStringLiteral("inMode"), true}}};
}

CommandResult testLink(const Options &o, PlcPort &port, const TransferProgress &)
{
    const LinkSettings link = linkSettings(o.ini);
    const ConnectionTestResult tested = testConnection(
        port, port.portNumber() > 0 ? port.portNumber() : link.portNumber, port.settings());
    // A port that did not open says why; the silence of a PLC is another
    // matter.
    const QString message = tested.openFailure.isEmpty() ? tested.message : tested.openFailure;
    return {tested.answered ? Done : LinkFailed, {message}, {{QStringLiteral("message"), message}}};
}

// What the link form lists: the serial devices, stable names first, then
// each COMn that section PORTS maps, with its device.
CommandResult ports(const Options &o)
{
    CommandResult out;
    QJsonArray list;
    for (const SerialDevice &device : serialDevices()) {
        out.lines << QStringLiteral("%1  %2  %3  %4:%5")
                         .arg(device.path, device.description, device.serialNumber, device.vendorId,
                              device.productId);
        list.append(QJsonObject{{QStringLiteral("device"), device.path},
                                {QStringLiteral("description"), device.description},
                                {QStringLiteral("serialNumber"), device.serialNumber},
                                {QStringLiteral("vendorId"), device.vendorId},
                                {QStringLiteral("productId"), device.productId}});
    }
    out.json.insert(QStringLiteral("ports"), list);
    QJsonArray mapped;
    for (int n = 1; n <= LinkChoices::portCount; ++n) {
        const QString port = QStringLiteral("COM%1").arg(n);
        const QString device = Ini_read(o.ini, QStringLiteral("PORTS"), port, {}).trimmed();
        if (device.isEmpty())
            continue;
        out.lines << QStringLiteral("%1  %2").arg(port, device);
        mapped.append(
            QJsonObject{{QStringLiteral("port"), port}, {QStringLiteral("device"), device}});
    }
    out.json.insert(QStringLiteral("mapped"), mapped);
    return out;
}

} // namespace Cli
