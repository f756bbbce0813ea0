// Decodes PLC data of any value: mode words, request records and error
// bytes. No value may crash a decoder, and whatever decodes must encode back
// to the same bytes where the format allows it.
#include "diag/modbuserrorbuffer.h"
#include "fuzzinput.h"
#include "link/transferrun.h"
#include "modbus/modeword.h"
#include "modbus/requestrecord.h"

namespace {

// Bit 13 of a mode word is always 0 in what the tool writes; a word from the
// PLC with it set still decodes by its other bits, so only words without it
// must encode back exactly.
void checkModeWord(quint16 word)
{
    FUZZ_CHECK(wordOf(wordData(word)) == word);
    const ModeWord::Decoded decoded = ModeWord::decode(word);
    if (decoded.kind != ModeWord::Decoded::Kind::Master &&
        decoded.kind != ModeWord::Decoded::Kind::Slave)
        return;
    const ModbusRole role =
        decoded.kind == ModeWord::Decoded::Kind::Master ? ModbusRole::Master : ModbusRole::Slave;
    const quint16 again = ModeWord::encode(role, decoded.speed, decoded.parity, decoded.lowByte);
    FUZZ_CHECK(again == quint16(word & ~0x2000));
    const ModeWord::Decoded redecoded = ModeWord::decode(again);
    FUZZ_CHECK(redecoded.kind == decoded.kind && redecoded.speed == decoded.speed &&
               redecoded.parity == decoded.parity && redecoded.lowByte == decoded.lowByte);
}

void checkRecords(const QByteArray &bytes)
{
    const auto rows = RequestRecord::decodeAll(bytes);
    FUZZ_CHECK(rows.has_value() == (bytes.size() % RequestRecord::bytes == 0));
    if (rows)
        FUZZ_CHECK(RequestRecord::encodeAll(*rows) == bytes);
    // Any number of bytes decodes or is refused without harm.
    RequestRecord::decode(bytes.left(RequestRecord::bytes + 1));
}

void checkErrorBytes(const QByteArray &bytes)
{
    QList<int> errors;
    for (char c : bytes)
        errors.append(static_cast<unsigned char>(c));
    const TextTable table = ModbusErrorBuffer::table(errors);
    FUZZ_CHECK(table.size() == errors.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    const quint16 word = quint16(input.byte() | input.byte() << 8);
    checkModeWord(word);
    const QByteArray rest = input.bytes(size);
    checkRecords(rest.left(128 * RequestRecord::bytes));
    checkErrorBytes(rest.left(128));
    return 0;
}
