#pragma once

#include "link/plcframe.h"
#include "link/transferrun.h"
#include "modbus/requestrecord.h"
#include "modbus/requesttable.h"
#include "modbus/uartsettings.h"
#include "plcsimulator.h"
#include "simport.h"

#include <QTemporaryDir>

#include <algorithm>
#include <optional>

// A simulated PLC on the tool's port and an empty settings file beside them.
struct ModbusBench
{
    PlcSimulator sim;
    SimPort port{sim};
    QTemporaryDir dir;
    QString ini = dir.path() + QStringLiteral("/set.ini");
    QList<int> progress;

    TransferProgress recorder()
    {
        return [this](int percent) {
            progress.append(percent);
        };
    }

    void fault(SimFault kind, int ordinal)
    {
        SimFaults faults;
        faults.perRequest[kind].ordinals.insert(ordinal);
        sim.setFaults(faults);
    }

    // The fault at the ordinal-th request and at each time a read is sent
    // again after it (see triesOf()), so that a read fails for good.
    void faultEveryTry(SimFault kind, int ordinal)
    {
        SimFaults faults;
        for (int k = 0; k < triesOf(kind); ++k)
            faults.perRequest[kind].ordinals.insert(ordinal + k);
        sim.setFaults(faults);
    }

    // How often a read is sent when every answer to it has this fault: a
    // refusal ends it at once, silence (or lateness) allows one more try, a
    // wrong answer two more.
    static int triesOf(SimFault kind)
    {
        switch (kind) {
        case SimFault::Refuse:
            return 1;
        case SimFault::Silent:
        case SimFault::Late:
        case SimFault::Lost:
            return 2;
        default:
            return 3;
        }
    }
};

// The message of a configuration write that failed at its k-th request,
// given the requests the PLC received (reads may come before the write,
// as the check of what the PLC holds): once the control word "0FFF" was
// accepted, a second line says what the PLC was left with (the data writes
// it took, or a PLC waiting for a configuration), and a write whose answer
// was lost or garbled is named as possibly applied.
inline QString failedWriteMessage(const QString &message, const QList<QByteArray> &requests, int k,
                                  std::optional<bool> possiblyApplied = std::nullopt)
{
    const QByteArray begin = PlcFrame::request("E11", "3000", "02", "0FFF");
    const auto start = std::find_if(requests.cbegin(), requests.cend(),
                                    [&begin](const QByteArray &r) { return r.startsWith(begin); });
    if (start == requests.cend())
        return message;
    const int write = k - int(start - requests.cbegin()); // the failed one in the write, from 1
    const bool unanswered =
        possiblyApplied.value_or(message.startsWith(QLatin1String("Answer timeout")));
    QString text = message;
    const int accepted = write - 2; // the data writes before the failed one
    if (accepted > 0)
        text += QStringLiteral("\nThe download stopped half-way: %1 of its writes %2 "
                               "accepted, the last at %3; the PLC may hold part of the "
                               "new configuration.")
                    .arg(accepted)
                    .arg(accepted == 1 ? QStringLiteral("was") : QStringLiteral("were"))
                    .arg(QString::fromLatin1(requests.at(k - 2).mid(4, 4)));
    else if (write == 2)
        text += QStringLiteral("\nThe download stopped before its first data write was "
                               "accepted: the PLC was left waiting for a configuration; a new "
                               "write mends it.");
    if (unanswered)
        text += QStringLiteral("\nThe write at %1 got no proper answer; the PLC may have "
                               "applied it.")
                    .arg(QString::fromLatin1(requests.at(k - 1).mid(4, 4)));
    return text;
}

inline QByteArray writeFrame(const QString &address, const QString &data,
                             QByteArrayView command = "E11")
{
    const QByteArray count =
        QByteArray::number(data.size() / 2, 16).toUpper().rightJustified(2, '0');
    return PlcFrame::request(command, address.toLatin1(), count, data.toLatin1());
}

inline QByteArray readFrame(const QString &address, const QString &count)
{
    return PlcFrame::request("E00", address.toLatin1(), count.toLatin1());
}

inline QString addressText(quint16 address)
{
    return QString::fromLatin1(PlcFrame::hexDigits(address, 4));
}

inline QByteArray writeFrame(quint16 address, const QString &data, QByteArrayView command = "E11")
{
    return writeFrame(addressText(address), data, command);
}

inline QByteArray readFrame(quint16 address, const QString &count)
{
    return readFrame(addressText(address), count);
}

// Rows that pass the table check, each different from the others.
inline QList<RequestRow> sampleRows(int count)
{
    QList<RequestRow> rows;
    for (int i = 1; i <= count; ++i)
        rows.append({1 + i % 200, 1 + i % 100, 20 * i, 1000 + 10 * i, i % 5, 50 + 7 * i});
    return rows;
}

inline UartSettings masterSettings(const QList<RequestRow> &rows)
{
    UartSettings settings;
    settings.role = ModbusRole::Master;
    settings.table = RequestTable::fromRows(rows);
    return settings;
}

// The request records of the rows as the PLC stores them.
inline QByteArray recordBytes(const QList<RequestRow> &rows)
{
    return RequestRecord::encodeAll(rows);
}

inline QByteArray wordBytes(quint16 word)
{
    return wordData(word);
}

// A word's data digits as they travel, low byte first.
inline QString wordText(quint16 word)
{
    return QString::fromLatin1(wordBytes(word).toHex().toUpper());
}
