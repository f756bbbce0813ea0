#include "findplc.h"

#include "link/inifile.h"
#include "link/plcframe.h"
#include "link/plcport.h"
#include "link/plctransaction.h"
#include "link/portsetup.h"
#include "link/qtplcport.h"

#include <QSet>

using namespace std::chrono_literals;

QStringList plcCandidates(const QString &iniFile)
{
    QStringList devices;
    QSet<QString> paths; // a device mapped under two names is tried once
    const auto add = [&](const QString &device) {
        if (!device.isEmpty() && !paths.contains(serialDevicePath(device))) {
            paths.insert(serialDevicePath(device));
            devices << device;
        }
    };
    for (const SerialDevice &device : serialDevices())
        add(device.path);
    for (int n = 1; n <= LinkChoices::portCount; ++n)
        add(Ini_read(iniFile, QStringLiteral("PORTS"), QStringLiteral("COM%1").arg(n), {})
                .trimmed());
    return devices;
}

QList<FoundPlc> findPlc(const QStringList &devices, const QString &lineRest,
                        const std::function<std::unique_ptr<PlcPort>(const QString &)> &portFor,
                        const std::function<void(const QString &, int)> &trying,
                        const std::function<bool()> &cancelled,
                        std::optional<std::chrono::milliseconds> extra)
{
    QList<FoundPlc> found;
    for (const QString &device : devices) {
        const std::unique_ptr<PlcPort> port = portFor(device);
        for (int speed = 0; speed < LinkChoices::speeds.size(); ++speed) {
            if (cancelled())
                return found;
            trying(device, speed);
            // A late answer at another speed would not be an answer here.
            port->line().quietBeforeNext = {};
            port->setSettings(LinkChoices::speeds.at(speed) + QLatin1Char(',') + lineRest);
            if (!port->open())
                break; // no such device, or it is busy: no speed will do
            if (extra)
                port->line().answerTimeAdd = *extra;
            if (Plc_enq(*port, 100ms, PlcFrame::ENQ).code == PlcFrame::ACK) {
                const PlcResult type = Plc_read_word(*port, 100ms, 0x0E02);
                if (type.answered())
                    found.append({device, speed, type.word});
            }
            port->close();
        }
    }
    return found;
}

int comNumberFor(const QString &device, const QHash<int, QString> &edits, const QString &iniFile)
{
    for (int n = 1; n <= LinkChoices::portCount; ++n) {
        const QString shown = edits.contains(n) ? edits.value(n) : QtPlcPort::deviceFor(n, iniFile);
        if (shown == device)
            return n;
    }
    return 0;
}
