#include "configurationcompare.h"

#include "modbus/modbuschoices.h"
#include "onewire/auxmodeword.h"
#include "onewire/sensortable.h"
#include "tables/wholenumber.h"

namespace {

const QStringList roles = {QStringLiteral("Modbus master"), QStringLiteral("Modbus slave"),
                           QStringLiteral("Not use")};
const QStringList auxModes = {QStringLiteral("1-wire master"), QStringLiteral("Field Net"),
                              QStringLiteral("Not use")};

// Numbers are compared as numbers, hex bytes without regard to case.
bool sameCell(const QString &a, const QString &b)
{
    const std::optional<qint64> x = wholeNumber(a);
    const std::optional<qint64> y = wholeNumber(b);
    if (x && y)
        return *x == *y;
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

class Differences
{
public:
    QString mine;
    QStringList list;

    void field(const QString &what, const QString &file, const QString &plc)
    {
        if (!sameCell(file, plc))
            list << QStringLiteral("%1: %2 %3, PLC %4").arg(what, mine, file, plc);
    }

    void table(const QString &name, const TextTable &file, const TextTable &plc,
               const QStringList &columns)
    {
        field(name + QStringLiteral(" rows"), QString::number(file.size()),
              QString::number(plc.size()));
        for (qsizetype r = 0; r < std::min(file.size(), plc.size()); ++r) {
            for (int c = 1; c < columns.size(); ++c)
                field(QStringLiteral("%1 row %2 %3").arg(name).arg(r + 1).arg(columns.at(c)),
                      file.at(r).value(c), plc.at(r).value(c));
        }
    }
};

QString listItem(const QStringList &items, int index)
{
    return items.value(index, QString::number(index));
}

void compareUart(Differences &d, int number, const UartSettings &file, const UartSettings &plc)
{
    const QString name = QStringLiteral("UART %1").arg(number);
    d.field(name + QStringLiteral(" role"), listItem(roles, int(file.role)),
            listItem(roles, int(plc.role)));
    if (file.role != plc.role || file.role == ModbusRole::NotUsed)
        return;
    d.field(name + QStringLiteral(" speed"), listItem(ModbusChoices::speeds, file.speed),
            listItem(ModbusChoices::speeds, plc.speed));
    d.field(name + QStringLiteral(" parity"), listItem(ModbusChoices::parities, file.parity),
            listItem(ModbusChoices::parities, plc.parity));
    if (file.role == ModbusRole::Slave)
        d.field(name + QStringLiteral(" slave address"), file.slaveAddress, plc.slaveAddress);
    else
        d.table(name, file.table, plc.table, headerFromFormat(RequestTable::format));
}

void compareAux(Differences &d, const AuxSettings &file, const AuxSettings &plc)
{
    d.field(QStringLiteral("Auxiliary port mode"), listItem(auxModes, int(file.mode)),
            listItem(auxModes, int(plc.mode)));
    if (file.mode != plc.mode)
        return;
    if (file.mode == AuxMode::OneWireMaster) {
        d.table(QStringLiteral("1-wire"), file.sensors, plc.sensors,
                headerFromFormat(SensorTable::format));
    } else if (file.mode == AuxMode::FieldNet) {
        using namespace AuxModeWord;
        d.field(QStringLiteral("Field Net speed"), listItem(speeds, file.fieldNetSpeed),
                listItem(speeds, plc.fieldNetSpeed));
        d.field(QStringLiteral("Field Net parity"), listItem(parities, file.fieldNetParity),
                listItem(parities, plc.fieldNetParity));
        d.field(QStringLiteral("Field Net data bits"), listItem(dataBits, file.fieldNetDataBits),
                listItem(dataBits, plc.fieldNetDataBits));
        d.field(QStringLiteral("Field Net stop bits"), listItem(stopBits, file.fieldNetStopBits),
                listItem(stopBits, plc.fieldNetStopBits));
    }
}

} // namespace

QStringList configurationDifferences(const Configuration &file, const Configuration &plc,
                                     const ConfigurationParts &parts, const QString &mine)
{
    Differences d{mine, {}};
    if (parts.uart1)
        compareUart(d, 1, file.uart1, plc.uart1);
    if (parts.uart2)
        compareUart(d, 2, file.uart2, plc.uart2);
    if (parts.aux)
        compareAux(d, file.aux, plc.aux);
    return d.list;
}
