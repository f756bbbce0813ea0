#pragma once

#include <QList>
#include <QString>

#include <optional>

class PlcSimulator;

// Error bytes of the PLC's diagnostic buffers, as plc-sim takes them:
// "modbus1:2=84" sets the error byte of UART 1's request slot 2 to 84 (hex);
// "modbus2:…" is UART 2's, "onewire:3=C2" sensor 3's. Items are separated by
// commas, blanks or line ends; "#" starts a comment to the end of its line.
namespace SimErrors {

struct Item
{
    quint16 address = 0;
    quint8 value = 0;
};

// The items of a text; nothing, with `error` set, when one is malformed.
std::optional<QList<Item>> parse(const QString &text, QString &error);

// Writes the items into the memory; with `clearFirst`, every buffer is
// zeroed before, so an item left out clears its error.
void apply(PlcSimulator &simulator, const QList<Item> &items, bool clearFirst);

} // namespace SimErrors
