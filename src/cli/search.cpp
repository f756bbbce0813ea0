#include "cli/command.h"

#include "onewire/bussearch.h"
#include "onewire/romcode.h"
#include "onewire/sensortable.h"

#include <QFileInfo>

namespace Cli {

CommandResult search(const Options &o, PlcPort &port, const TransferProgress &)
{
    const BusSearch::Found found = BusSearch::search(port, o.ini);
    if (!found.result.ok)
        return failed(found.result);
    CommandResult out{Done, {}, {}};
    QJsonArray devices;
    for (const QStringList &device : *found.devices) {
        const QByteArray code = SensorTable::romCode(device).value_or(QByteArray(8, '\0'));
        const bool crc = RomCode::crcMatches(code);
        const QString family = RomCode::family(quint8(code.at(0)));
        out.lines << QStringLiteral("%1 %2 %3%4")
                         .arg(device.first(), device.mid(1).join(QLatin1Char(' ')), family,
                              crc ? QString() : QStringLiteral(" (CRC does not match)"));
        devices.append(QJsonObject{{QStringLiteral("code"), device.mid(1).join(QString())},
                                   {QStringLiteral("family"), family},
                                   {QStringLiteral("crc"), crc}});
    }
    out.json.insert(QStringLiteral("devices"), devices);
    if (o.addTo.isEmpty())
        return out;
    QString error;
    Configuration c = Configuration::defaults();
    if (QFileInfo::exists(o.addTo)) {
        const std::optional<Configuration> loaded = loadFile(o.addTo, error);
        if (!loaded)
            return failed(Invalid, error);
        c = *loaded;
    }
    const BusSearch::Taken taken = BusSearch::addNew(c.aux.sensors, *found.devices, o.start);
    if (!taken.refusal.isEmpty())
        return failed(Invalid, taken.refusal);
    const qsizetype added = taken.sensors.size() - c.aux.sensors.size();
    c.aux.sensors = taken.sensors;
    if (const QString saveError = saveFile(o.addTo, c); !saveError.isEmpty())
        return failed(Invalid, saveError);
    out.lines << QStringLiteral("%1 new added to %2").arg(added).arg(o.addTo);
    out.json.insert(QStringLiteral("added"), int(added));
    return out;
}

} // namespace Cli
