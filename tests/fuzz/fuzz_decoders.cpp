// Decodes PLC data of any value: mode words, request and sensor records and
// error bytes. No value may crash a decoder, and whatever decodes must encode back
// to the same bytes where the format allows it.
#include "diag/modbuserrorbuffer.h"
#include "diag/onewireerrorbuffer.h"
#include "fuzzinput.h"

#include "io/ioassignment.h"
#include "link/transferrun.h"
#include "modbus/modeword.h"
#include "modbus/requestrecord.h"
#include "onewire/auxmodeword.h"
#include "onewire/bussearch.h"
#include "onewire/sensortable.h"
#include <bit>

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

// An auxiliary word names one mode; a 1-wire or Field Net word encodes back
// to itself where its unused bits are clear.
void checkAuxWord(quint16 word)
{
    const AuxModeWord::Decoded decoded = AuxModeWord::decode(word);
    FUZZ_CHECK(decoded.sensors >= 0 && decoded.sensors <= 255);
    FUZZ_CHECK(AuxModeWord::sensorCount(word) ==
               (decoded.mode == AuxMode::OneWireMaster ? decoded.sensors : 0));
    AuxSettings settings;
    settings.mode = decoded.mode;
    settings.sensors = TextTable(decoded.sensors);
    settings.fieldNetSpeed = decoded.speed;
    settings.fieldNetParity = decoded.parity;
    settings.fieldNetDataBits = decoded.dataBits;
    settings.fieldNetStopBits = decoded.stopBits;
    const quint16 again = AuxModeWord::encode(settings);
    const AuxModeWord::Decoded redecoded = AuxModeWord::decode(again);
    FUZZ_CHECK(redecoded.mode == decoded.mode && redecoded.sensors == decoded.sensors &&
               redecoded.speed == decoded.speed && redecoded.parity == decoded.parity &&
               redecoded.dataBits == decoded.dataBits && redecoded.stopBits == decoded.stopBits);
}

// Whole records decode to rows that pass the table check (registers above
// 7997 aside) and encode back to the same bytes where the register is not
// negative.
void checkSensorRecords(const QByteArray &bytes)
{
    const auto rows = SensorTable::decodeAll(bytes);
    FUZZ_CHECK(rows.has_value() == (bytes.size() % SensorTable::recordBytes == 0));
    if (!rows)
        return;
    for (const QStringList &row : *rows) {
        FUZZ_CHECK(row.size() == SensorTable::columnCount && SensorTable::romCode(row));
        const int reg = row.at(SensorTable::Register).toInt();
        if (reg >= 0 && reg <= SensorTable::maxRegister)
            FUZZ_CHECK(SensorTable::encodeAll({row}) ==
                       bytes.mid(SensorTable::recordBytes * (row.first().toInt() - 1),
                                 SensorTable::recordBytes));
    }
    // The same codes as a bus search's finds, against the table.
    TextTable devices;
    for (const QStringList &row : *rows)
        devices << row.first(9);
    FUZZ_CHECK(BusSearch::newDevices(devices, *rows).isEmpty());
    FUZZ_CHECK(BusSearch::missingRows(devices, *rows).isEmpty());
    BusSearch::summary(devices, *rows);
    if (rows->size() <= SensorTable::maxSensors) {
        const auto error = Check_grid_1w(*rows);
        FUZZ_CHECK(!error || error->code == SensorGridError::Register);
    }
}

void checkOneWireErrors(const QByteArray &bytes)
{
    QList<int> errors;
    for (char c : bytes)
        errors.append(static_cast<unsigned char>(c));
    const TextTable table = OneWireErrorBuffer::table(errors);
    FUZZ_CHECK(table.size() == errors.size());
    for (qsizetype k = 0; k < table.size(); ++k)
        FUZZ_CHECK(table.at(k).at(2).isEmpty() == ((errors.at(k) & 0xE0) == 0));
}

// Masks of any value show at most 21 points, numbered in turn, inputs first
// where both bits are set; what they show downloads back to the same masks
// for those points.
void checkIoMasks(quint32 inputs, quint32 outputs)
{
    IoAssignment io;
    io.applyMasks(inputs, outputs);
    const quint32 points = (1u << IoAssignment::pointCount) - 1;
    FUZZ_CHECK(io.inputMask() == (inputs & points));
    FUZZ_CHECK(io.outputMask() == (outputs & ~inputs & points));
    FUZZ_CHECK(io.nextFree(QLatin1Char('X')) == std::popcount(io.inputMask()) % 21);
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
    checkAuxWord(word);
    checkSensorRecords(rest.left(128 * SensorTable::recordBytes));
    checkOneWireErrors(rest.left(128));
    checkIoMasks(quint32(word) * 0x9E3779B1u, quint32(word) << 7);
    return 0;
}
