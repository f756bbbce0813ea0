#include "configurationjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ConfigurationJson {

namespace {

// Rows without their number, and back with it.
QJsonArray rowsOf(const TextTable &table)
{
    QJsonArray rows;
    for (const QStringList &row : table)
        rows.append(QJsonArray::fromStringList(row.mid(1)));
    return rows;
}

TextTable tableOf(const QJsonArray &rows)
{
    TextTable table;
    for (const QJsonValue &row : rows) {
        QStringList cells{QString::number(table.size() + 1)};
        for (const QJsonValue &cell : row.toArray())
            cells << cell.toString();
        table << cells;
    }
    return table;
}

QJsonObject uartOf(const UartSettings &uart)
{
    return {{QStringLiteral("role"), int(uart.role)},
            {QStringLiteral("speed"), uart.speed},
            {QStringLiteral("parity"), uart.parity},
            {QStringLiteral("dataBits"), uart.dataBits},
            {QStringLiteral("stopBits"), uart.stopBits},
            {QStringLiteral("slaveAddress"), uart.slaveAddress},
            {QStringLiteral("slaveTimeout"), uart.slaveTimeout},
            {QStringLiteral("requests"), rowsOf(uart.table)}};
}

UartSettings uartFrom(const QJsonObject &o, UartSettings uart)
{
    uart.role = ModbusRole(o.value(QStringLiteral("role")).toInt(int(uart.role)));
    uart.speed = o.value(QStringLiteral("speed")).toInt(uart.speed);
    uart.parity = o.value(QStringLiteral("parity")).toInt(uart.parity);
    uart.dataBits = o.value(QStringLiteral("dataBits")).toInt(uart.dataBits);
    uart.stopBits = o.value(QStringLiteral("stopBits")).toInt(uart.stopBits);
    uart.slaveAddress = o.value(QStringLiteral("slaveAddress")).toString(uart.slaveAddress);
    uart.slaveTimeout = o.value(QStringLiteral("slaveTimeout")).toString(uart.slaveTimeout);
    if (o.contains(QStringLiteral("requests")))
        uart.table = tableOf(o.value(QStringLiteral("requests")).toArray());
    return uart;
}

} // namespace

QByteArray write(const Configuration &c)
{
    QJsonArray io;
    for (const IoPoint &point : c.io.points)
        io.append(QJsonObject{{QStringLiteral("function"), point.function},
                              {QStringLiteral("functionText"), point.functionText},
                              {QStringLiteral("programName"), point.programName}});
    const QJsonObject aux{{QStringLiteral("mode"), int(c.aux.mode)},
                          {QStringLiteral("fieldNet"),
                           QJsonObject{{QStringLiteral("speed"), c.aux.fieldNetSpeed},
                                       {QStringLiteral("parity"), c.aux.fieldNetParity},
                                       {QStringLiteral("dataBits"), c.aux.fieldNetDataBits},
                                       {QStringLiteral("stopBits"), c.aux.fieldNetStopBits}}},
                          {QStringLiteral("sensors"), rowsOf(c.aux.sensors)}};
    const QJsonObject root{{QStringLiteral("uart1"), uartOf(c.uart1)},
                           {QStringLiteral("uart2"), uartOf(c.uart2)},
                           {QStringLiteral("aux"), aux},
                           {QStringLiteral("io"), io}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

Read read(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return {
            std::nullopt,
            QStringLiteral("not JSON: %1 at offset %2").arg(error.errorString()).arg(error.offset)};
    if (!document.isObject())
        return {std::nullopt, QStringLiteral("not a JSON object")};
    const QJsonObject root = document.object();
    Configuration c = Configuration::defaults();
    c.uart1 = uartFrom(root.value(QStringLiteral("uart1")).toObject(), c.uart1);
    c.uart2 = uartFrom(root.value(QStringLiteral("uart2")).toObject(), c.uart2);
    const QJsonObject aux = root.value(QStringLiteral("aux")).toObject();
    c.aux.mode = AuxMode(aux.value(QStringLiteral("mode")).toInt(int(c.aux.mode)));
    const QJsonObject fieldNet = aux.value(QStringLiteral("fieldNet")).toObject();
    c.aux.fieldNetSpeed = fieldNet.value(QStringLiteral("speed")).toInt(c.aux.fieldNetSpeed);
    c.aux.fieldNetParity = fieldNet.value(QStringLiteral("parity")).toInt(c.aux.fieldNetParity);
    c.aux.fieldNetDataBits =
        fieldNet.value(QStringLiteral("dataBits")).toInt(c.aux.fieldNetDataBits);
    c.aux.fieldNetStopBits =
        fieldNet.value(QStringLiteral("stopBits")).toInt(c.aux.fieldNetStopBits);
    c.aux.sensors = tableOf(aux.value(QStringLiteral("sensors")).toArray());
    const QJsonArray io = root.value(QStringLiteral("io")).toArray();
    for (int i = 0; i < std::min<int>(int(io.size()), IoAssignment::pointCount); ++i) {
        const QJsonObject point = io.at(i).toObject();
        c.io.points[i] = {point.value(QStringLiteral("function")).toInt(),
                          point.value(QStringLiteral("functionText")).toString(),
                          point.value(QStringLiteral("programName")).toString()};
    }
    const int role1 = int(c.uart1.role), role2 = int(c.uart2.role), mode = int(c.aux.mode);
    if (role1 < 0 || role1 > 2 || role2 < 0 || role2 > 2 || mode < 0 || mode > 2)
        return {std::nullopt, QStringLiteral("a role or mode is not 0 to 2")};
    return {c, {}};
}

} // namespace ConfigurationJson
