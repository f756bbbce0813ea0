#include "requestrecord.h"

#include "link/plcframe.h"
#include "modbus/modeword.h"

namespace RequestRecord {

namespace {

QString byteText(int value)
{
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

quint16 functionWord(const RequestRow &row)
{
    return quint16((row.function & 0xF) << 12 | (row.timeout & 0xFFF));
}

} // namespace

QString encode(const RequestRow &row)
{
    return byteText(row.address) + byteText(row.count) + wordToTransfer(quint16(row.slaveAddress)) +
           wordToTransfer(quint16(row.masterAddress)) + wordToTransfer(functionWord(row));
}

std::optional<RequestRow> decode(QStringView text)
{
    if (text.size() != digits || !PlcFrame::isHexDigits(text.toLatin1()))
        return std::nullopt;
    const quint16 last = *transferToWord(text.mid(12, 4));
    return RequestRow{Hex_to_int(text.mid(0, 2)),
                      Hex_to_int(text.mid(2, 2)),
                      *transferToWord(text.mid(4, 4)),
                      *transferToWord(text.mid(8, 4)),
                      last >> 12,
                      last & 0xFFF};
}

QString encodeAll(const QList<RequestRow> &rows)
{
    QString text;
    text.reserve(rows.size() * digits);
    for (const RequestRow &row : rows)
        text += encode(row);
    return text;
}

std::optional<QList<RequestRow>> decodeAll(QStringView text)
{
    if (text.size() % digits != 0)
        return std::nullopt;
    QList<RequestRow> rows;
    for (qsizetype at = 0; at < text.size(); at += digits) {
        const std::optional<RequestRow> row = decode(text.mid(at, digits));
        if (!row)
            return std::nullopt;
        rows.append(*row);
    }
    return rows;
}

} // namespace RequestRecord
