#pragma once

#include <QHash>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class PlcPort;

// A PLC that answered the search: where, at which speed (an index of the
// link-settings list) and its CPU type.
struct FoundPlc
{
    QString device;
    int speed = 0;
    quint16 cpuType = 0;

    bool operator==(const FoundPlc &) const = default;
};

// The devices worth trying: the serial ports the system lists and every
// device mapped under "PORTS", each once.
QStringList plcCandidates(const QString &iniFile);

// "Find PLC": each device at each speed of the link-settings list, with the
// rest of the line as given ("N,8,1"): the ENQ probe (100 ms) and, where it
// is acknowledged, the CPU type read (100 ms), each waiting `extra` longer
// when given (in place of the settings file's added time). `trying` hears of
// each try; `cancelled` is asked before each.
QList<FoundPlc> findPlc(const QStringList &devices, const QString &lineRest,
                        const std::function<std::unique_ptr<PlcPort>(const QString &)> &portFor,
                        const std::function<void(const QString &device, int speed)> &trying,
                        const std::function<bool()> &cancelled,
                        std::optional<std::chrono::milliseconds> extra = {});

// The COMn that stands for a device found: as `edits` (the form's changes
// not yet stored) or else the settings file maps it; 0 when none does.
int comNumberFor(const QString &device, const QHash<int, QString> &edits, const QString &iniFile);
