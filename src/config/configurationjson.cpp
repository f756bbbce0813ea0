#include "configurationjson.h"

#include "config/configurationfile.h"
#include "modbus/modbuschoices.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>
#include <optional>

namespace ConfigurationJson {

namespace {

// The path of the first key an object holds twice ("uart1",
// "aux.fieldNet.speed", "io[3].function"), or nothing. QJsonDocument keeps
// the last of them without a word; a file with one says two things at once.
// Only well-formed text comes here: its grammar was checked.
std::optional<QString> duplicateKey(const QByteArray &json)
{
    struct Level
    {
        bool object = false;
        QSet<QString> keys;
        QString key;   // the object's member being read
        int index = 0; // the array's element being read
        bool expectKey = false;
    };
    QList<Level> levels;
    const auto path = [&levels](const QString &last) {
        QString text;
        for (const Level &level : levels) {
            if (level.object && &level != &levels.last())
                text += (text.isEmpty() ? QString() : QStringLiteral(".")) + level.key;
            else if (!level.object)
                text += QStringLiteral("[%1]").arg(level.index);
        }
        return text.isEmpty() ? last : text + QLatin1Char('.') + last;
    };
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json.at(i);
        if (c == '"') {
            QByteArray raw;
            for (++i; i < json.size() && json.at(i) != '"'; ++i) {
                if (json.at(i) == '\\')
                    raw += json.at(i++);
                raw += json.at(i);
            }
            if (!levels.isEmpty() && levels.last().object && levels.last().expectKey) {
                // The key as the parser reads it, escapes and all.
                const QString key =
                    QJsonDocument::fromJson("[\"" + raw + "\"]").array().at(0).toString();
                Level &level = levels.last();
                if (level.keys.contains(key))
                    return path(key);
                level.keys.insert(key);
                level.key = key;
                level.expectKey = false;
            }
        } else if (c == '{' || c == '[') {
            levels.append({c == '{', {}, {}, 0, c == '{'});
        } else if (c == '}' || c == ']') {
            if (!levels.isEmpty())
                levels.removeLast();
        } else if (c == ',' && !levels.isEmpty()) {
            if (levels.last().object)
                levels.last().expectKey = true;
            else
                ++levels.last().index;
        }
    }
    return std::nullopt;
}

// Rows without their number, and back with it.
QJsonArray rowsOf(const TextTable &table)
{
    QJsonArray rows;
    for (const QStringList &row : table)
        rows.append(QJsonArray::fromStringList(row.mid(1)));
    return rows;
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

// Reads the parts of a JSON configuration, keeping the first fault it finds:
// a value of the wrong type, a list index out of its list, a table too long
// or a row of the wrong width. What is left out keeps its default.
class Reader
{
public:
    QString error;

    QJsonObject object(const QJsonObject &parent, const QString &key, const QString &name)
    {
        const QJsonValue value = parent.value(key);
        if (!value.isUndefined() && !value.isObject())
            fail(QStringLiteral("%1 is not an object").arg(name));
        return value.toObject();
    }

    // A list index (or a number with a fixed range) from low to high.
    void index(const QJsonObject &o, const QString &key, const QString &name, int &into, int low,
               int high)
    {
        const QJsonValue value = o.value(key);
        if (value.isUndefined())
            return;
        const double number = value.toDouble(-1e9);
        if (!value.isDouble() || number != std::floor(number) || number < low || number > high)
            return fail(QStringLiteral("%1 %2: %3 is not a whole number from %4 to %5")
                            .arg(name, key, text(value))
                            .arg(low)
                            .arg(high));
        into = int(number);
    }

    void string(const QJsonObject &o, const QString &key, const QString &name, QString &into)
    {
        const QJsonValue value = o.value(key);
        if (value.isUndefined())
            return;
        if (!value.isString() && !value.isDouble())
            return fail(QStringLiteral("%1 %2 is neither text nor a number").arg(name, key));
        into = text(value);
    }

    // Table rows: at most 128, each an array of `cells` texts or numbers.
    void table(const QJsonObject &o, const QString &key, const QString &name, int cells,
               TextTable &into)
    {
        const QJsonValue value = o.value(key);
        if (value.isUndefined())
            return;
        if (!value.isArray())
            return fail(QStringLiteral("%1 %2 is not an array of rows").arg(name, key));
        const QJsonArray rows = value.toArray();
        if (rows.size() > maxRows)
            return fail(QStringLiteral("%1 %2: %3 rows; a table takes at most %4")
                            .arg(name, key)
                            .arg(rows.size())
                            .arg(maxRows));
        TextTable table;
        for (const QJsonValue &row : rows) {
            const QString where =
                QStringLiteral("%1 %2 row %3").arg(name, key).arg(table.size() + 1);
            const QJsonArray array = row.toArray();
            if (!row.isArray() || array.size() != cells)
                return fail(QStringLiteral("%1 is not an array of %2 cells").arg(where).arg(cells));
            QStringList texts{QString::number(table.size() + 1)};
            for (const QJsonValue &cell : array) {
                if (!cell.isString() && !cell.isDouble())
                    return fail(
                        QStringLiteral("%1: a cell is neither text nor a number").arg(where));
                texts << text(cell);
            }
            table << texts;
        }
        into = table;
    }

    void uart(const QJsonObject &root, const QString &key, UartSettings &uart)
    {
        const QString name = key.toUpper();
        const QJsonObject o = object(root, key, name);
        onlyKnown(o, key,
                  {QStringLiteral("role"), QStringLiteral("speed"), QStringLiteral("parity"),
                   QStringLiteral("dataBits"), QStringLiteral("stopBits"),
                   QStringLiteral("slaveAddress"), QStringLiteral("slaveTimeout"),
                   QStringLiteral("requests")});
        int role = int(uart.role);
        index(o, QStringLiteral("role"), name, role, 0, 2);
        uart.role = ModbusRole(role);
        index(o, QStringLiteral("speed"), name, uart.speed, 0, lastOf(ModbusChoices::speeds));
        index(o, QStringLiteral("parity"), name, uart.parity, 0, lastOf(ModbusChoices::parities));
        // -1: no item chosen, as UART2's lists start.
        index(o, QStringLiteral("dataBits"), name, uart.dataBits, -1,
              lastOf(ModbusChoices::dataBits));
        index(o, QStringLiteral("stopBits"), name, uart.stopBits, -1,
              lastOf(ModbusChoices::stopBits));
        string(o, QStringLiteral("slaveAddress"), name, uart.slaveAddress);
        string(o, QStringLiteral("slaveTimeout"), name, uart.slaveTimeout);
        table(o, QStringLiteral("requests"), name, requestCells, uart.table);
    }

    static constexpr int maxRows = 128;
    static constexpr int requestCells = 6;
    static constexpr int sensorCells = 9;

    static int lastOf(const QStringList &list) { return int(list.size()) - 1; }

    // A number as the tables write it: whole numbers without a point.
    static QString text(const QJsonValue &value)
    {
        if (!value.isDouble())
            return value.toString();
        const double number = value.toDouble();
        return number == std::floor(number) && std::abs(number) < 1e15
                   ? QString::number(qint64(number))
                   : QString::number(number);
    }

    void fail(const QString &message)
    {
        if (error.isEmpty())
            error = message;
    }

    // Refuses a key the object at `path` does not take: a misspelt one
    // would otherwise leave its part at the defaults in silence.
    void onlyKnown(const QJsonObject &o, const QString &path, const QStringList &known)
    {
        for (const QString &key : o.keys()) {
            if (!known.contains(key))
                return fail(QStringLiteral("unknown key \"%1\"")
                                .arg(path.isEmpty() ? key : path + QLatin1Char('.') + key));
        }
    }
};

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
    const QJsonObject root{{QStringLiteral("$schema"), schema},
                           {QStringLiteral("uart1"), uartOf(c.uart1)},
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
    if (const std::optional<QString> twice = duplicateKey(json))
        return {std::nullopt, QStringLiteral("the key %1 is given twice").arg(*twice)};
    if (!document.isObject())
        return {std::nullopt, QStringLiteral("not a JSON object")};
    const QJsonObject root = document.object();
    Configuration c = Configuration::defaults();
    Reader reader;
    reader.onlyKnown(root, {},
                     {QStringLiteral("$schema"), QStringLiteral("uart1"), QStringLiteral("uart2"),
                      QStringLiteral("aux"), QStringLiteral("io")});
    if (const QJsonValue named = root.value(QStringLiteral("$schema"));
        !named.isUndefined() && !named.isString())
        reader.fail(QStringLiteral("$schema is not text"));
    reader.uart(root, QStringLiteral("uart1"), c.uart1);
    reader.uart(root, QStringLiteral("uart2"), c.uart2);
    const QJsonObject aux = reader.object(root, QStringLiteral("aux"), QStringLiteral("aux"));
    reader.onlyKnown(
        aux, QStringLiteral("aux"),
        {QStringLiteral("mode"), QStringLiteral("fieldNet"), QStringLiteral("sensors")});
    int mode = int(c.aux.mode);
    reader.index(aux, QStringLiteral("mode"), QStringLiteral("aux"), mode, 0, 2);
    c.aux.mode = AuxMode(mode);
    const QString fieldNetName = QStringLiteral("aux fieldNet");
    const QJsonObject fieldNet = reader.object(aux, QStringLiteral("fieldNet"), fieldNetName);
    reader.onlyKnown(fieldNet, QStringLiteral("aux.fieldNet"),
                     {QStringLiteral("speed"), QStringLiteral("parity"), QStringLiteral("dataBits"),
                      QStringLiteral("stopBits")});
    reader.index(fieldNet, QStringLiteral("speed"), fieldNetName, c.aux.fieldNetSpeed, 0, 4);
    reader.index(fieldNet, QStringLiteral("parity"), fieldNetName, c.aux.fieldNetParity, 0, 2);
    reader.index(fieldNet, QStringLiteral("dataBits"), fieldNetName, c.aux.fieldNetDataBits, 0, 1);
    reader.index(fieldNet, QStringLiteral("stopBits"), fieldNetName, c.aux.fieldNetStopBits, 0, 1);
    reader.table(aux, QStringLiteral("sensors"), QStringLiteral("aux"), Reader::sensorCells,
                 c.aux.sensors);
    const QJsonValue io = root.value(QStringLiteral("io"));
    if (!io.isUndefined() && !io.isArray())
        reader.fail(QStringLiteral("io is not an array of points"));
    const QJsonArray points = io.toArray();
    if (points.size() > IoAssignment::pointCount)
        reader.fail(QStringLiteral("io: %1 points; the PLC has %2")
                        .arg(points.size())
                        .arg(IoAssignment::pointCount));
    for (int i = 0; i < std::min<int>(int(points.size()), IoAssignment::pointCount); ++i) {
        const QString name = QStringLiteral("io point %1").arg(i);
        if (!points.at(i).isObject())
            reader.fail(QStringLiteral("%1 is not an object").arg(name));
        const QJsonObject point = points.at(i).toObject();
        reader.onlyKnown(point, QStringLiteral("io[%1]").arg(i),
                         {QStringLiteral("function"), QStringLiteral("functionText"),
                          QStringLiteral("programName")});
        reader.index(point, QStringLiteral("function"), name, c.io.points[i].function, 0, 2);
        reader.string(point, QStringLiteral("functionText"), name, c.io.points[i].functionText);
        reader.string(point, QStringLiteral("programName"), name, c.io.points[i].programName);
    }
    if (!reader.error.isEmpty())
        return {std::nullopt, reader.error};
    // What the configuration file holds of it passes the file's own checks,
    // both ways: what a convert writes always loads.
    const ConfigurationFile::Encoded record = ConfigurationFile::encode(c);
    if (!record.error.isEmpty())
        return {std::nullopt, record.error};
    if (const ConfigurationFile::Decoded back = ConfigurationFile::decode(record.record, c);
        !back.configuration)
        return {std::nullopt, back.error};
    return {c, {}};
}

} // namespace ConfigurationJson
