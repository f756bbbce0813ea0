#include "requestrecord.h"

#include "link/transferrun.h"

namespace RequestRecord {

namespace {

quint16 functionWord(const RequestRow &row)
{
    return quint16((row.function & 0xF) << 12 | (row.timeout & 0xFFF));
}

} // namespace

QByteArray encode(const RequestRow &row)
{
    return QByteArray(1, char(row.address & 0xFF)) + char(row.count & 0xFF) +
           wordData(quint16(row.slaveAddress)) + wordData(quint16(row.masterAddress)) +
           wordData(functionWord(row));
}

std::optional<RequestRow> decode(QByteArrayView record)
{
    if (record.size() != bytes)
        return std::nullopt;
    const quint16 last = wordOf(record.sliced(6));
    return RequestRow{quint8(record.at(0)),     quint8(record.at(1)), wordOf(record.sliced(2)),
                      wordOf(record.sliced(4)), last >> 12,           last & 0xFFF};
}

QByteArray encodeAll(const QList<RequestRow> &rows)
{
    QByteArray data;
    data.reserve(rows.size() * bytes);
    for (const RequestRow &row : rows)
        data += encode(row);
    return data;
}

std::optional<QList<RequestRow>> decodeAll(QByteArrayView data)
{
    if (data.size() % bytes != 0)
        return std::nullopt;
    QList<RequestRow> rows;
    for (qsizetype at = 0; at < data.size(); at += bytes)
        rows.append(*decode(data.sliced(at, bytes)));
    return rows;
}

} // namespace RequestRecord
