#include "cli/command.h"

#include "config/configurationfile.h"
#include "config/configurationfiles.h"
#include "config/configurationjson.h"
#include "config/configurationupload.h"
#include "config/registermap.h"
#include "modbus/modbuschoices.h"
#include "modbus/requesttable.h"
#include "onewire/sensortable.h"

#include <QJsonDocument>

namespace Cli {

namespace {

QString uartLine(int number, const UartSettings &u)
{
    static const QStringList roles = {QStringLiteral("Modbus master"),
                                      QStringLiteral("Modbus slave"), QStringLiteral("Not use")};
    return QStringLiteral("UART %1: %2, %3, parity %4, slave address %5, slave timeout %6")
        .arg(number)
        .arg(roles.value(int(u.role)), ModbusChoices::speeds.value(u.speed),
             ModbusChoices::parities.value(u.parity), u.slaveAddress, u.slaveTimeout);
}

} // namespace

std::optional<Configuration> loadFile(const QString &path, QString &error)
{
    const ConfigurationFile::Decoded loaded =
        ConfigurationFiles::load(path, Configuration::defaults());
    error = loaded.error;
    return loaded.configuration;
}

QString saveFile(const QString &path, const Configuration &c)
{
    return ConfigurationFiles::save(path, c);
}

QJsonArray tableJson(const TextTable &table)
{
    QJsonArray rows;
    for (const QStringList &row : table)
        rows.append(QJsonArray::fromStringList(row));
    return rows;
}

QStringList tableLines(const QString &format, const TextTable &table)
{
    QStringList lines{headerFromFormat(format).join(QStringLiteral(" | "))};
    for (const QStringList &row : table)
        lines << row.join(QStringLiteral(" | "));
    return lines;
}

CommandResult show(const Options &o)
{
    QString error;
    const std::optional<Configuration> c = loadFile(o.arguments.value(0), error);
    if (!c)
        return failed(Invalid, error);
    if (!o.csv.isEmpty()) {
        const bool sensors = o.csv == QLatin1String("sensors");
        const TextTable &table = sensors                           ? c->aux.sensors
                                 : o.csv == QLatin1String("uart2") ? c->uart2.table
                                                                   : c->uart1.table;
        const QString text = tableText(
            headerFromFormat(sensors ? SensorTable::format : RequestTable::format), table);
        return {Done, {text.chopped(1)}, {{QStringLiteral("csv"), text}}};
    }
    static const QStringList modes = {QStringLiteral("1-wire master"), QStringLiteral("Field Net"),
                                      QStringLiteral("Not use")};
    QStringList lines{uartLine(1, c->uart1)};
    lines << tableLines(RequestTable::format, c->uart1.table) << uartLine(2, c->uart2)
          << tableLines(RequestTable::format, c->uart2.table)
          << QStringLiteral("Auxiliary port: %1").arg(modes.value(int(c->aux.mode)))
          << tableLines(SensorTable::format, c->aux.sensors);
    // The configuration as its JSON file holds it, less the file's schema.
    QJsonObject json = QJsonDocument::fromJson(ConfigurationJson::write(*c)).object();
    json.remove(QStringLiteral("$schema"));
    return {Done, lines, json};
}

// The places that fill the same PLC items, and requests asked twice (1);
// then the cells a download would refuse (4).
CommandResult check(const Options &o)
{
    QString error;
    const std::optional<Configuration> c = loadFile(o.arguments.value(0), error);
    if (!c)
        return failed(Invalid, error);
    QStringList lines;
    for (const RegisterMap::Conflict &conflict : RegisterMap::of(*c).conflicts)
        lines << conflict.text;
    QJsonObject json{{QStringLiteral("conflicts"), QJsonArray::fromStringList(lines)}};
    const QList<RefusedCell> refused = refusedCells(*c);
    QJsonArray cells;
    for (const RefusedCell &cell : refused) {
        lines << cell.text();
        cells.append(QJsonObject{{QStringLiteral("table"), cell.tableName()},
                                 {QStringLiteral("row"), cell.row},
                                 {QStringLiteral("column"), cell.column},
                                 {QStringLiteral("columnName"), cell.columnName},
                                 {QStringLiteral("value"), cell.value},
                                 {QStringLiteral("allowed"), cell.range}});
    }
    json.insert(QStringLiteral("refusedCells"), cells);
    const QStringList settings = refusedSettings(*c);
    lines << settings;
    json.insert(QStringLiteral("refusedSettings"), QJsonArray::fromStringList(settings));
    if (lines.isEmpty())
        return {Done, {QStringLiteral("no register conflicts")}, json};
    // Conflicts are listed on standard output; refused cells and settings
    // make the file one a download refuses.
    return {refused.isEmpty() && settings.isEmpty() ? Differences : Invalid, lines, json, true};
}

// .apc to .json or back, by the names' endings.
CommandResult convert(const Options &o)
{
    const QString in = o.arguments.value(0);
    const QString out = o.arguments.value(1);
    QString error;
    const std::optional<Configuration> c = loadFile(in, error);
    if (!c)
        return failed(Invalid, ConfigurationFiles::isJson(in)
                                   ? error
                                   : QStringLiteral("%1: %2").arg(in, error));
    // What a download refuses is not carried into another file: check
    // names each value.
    QStringList refused;
    for (const RefusedCell &cell : refusedCells(*c))
        refused << cell.text();
    refused << refusedSettings(*c);
    if (!refused.isEmpty())
        return {Invalid,
                QStringList{QStringLiteral("%1 was not converted: a download refuses it").arg(in)} +
                    refused,
                {{QStringLiteral("error"), refused.join(QLatin1Char('\n'))}}};
    if (const QString saveError = saveFile(out, *c); !saveError.isEmpty())
        return failed(Invalid, saveError);
    QStringList lines{QStringLiteral("%1 written").arg(out)};
    // A configuration file holds the UARTs and the 1-wire port only.
    if (!ConfigurationFiles::isJson(out)) {
        const Configuration defaults = Configuration::defaults();
        QStringList left;
        if (c->io != defaults.io)
            left << QStringLiteral("the I/O assignment");
        if (c->aux.fieldNetSpeed != defaults.aux.fieldNetSpeed ||
            c->aux.fieldNetParity != defaults.aux.fieldNetParity ||
            c->aux.fieldNetDataBits != defaults.aux.fieldNetDataBits ||
            c->aux.fieldNetStopBits != defaults.aux.fieldNetStopBits)
            left << QStringLiteral("the Field Net line settings");
        if (!left.isEmpty())
            lines << QStringLiteral("%1 cannot hold %2: left out").arg(out, left.join(u" and "));
    }
    return {Done, lines, {{QStringLiteral("file"), out}}};
}

} // namespace Cli
