#pragma once

#include "link/transferresult.h"
#include "tables/texttable.h"

#include <optional>

class PlcPort;

// The PLC's search of its 1-wire bus, and what the search form does with the
// ROM codes found.
namespace BusSearch {

inline const QString format =
    QStringLiteral("Num | Byte 0 | Byte 1 | Byte 2 | Byte 3 | Byte 4 | Byte 5 | Byte 6 | Byte 7 ");
// The start address the form proposes for the registers of added sensors.
inline const QString defaultStart = QStringLiteral("1500");

// What a search found: the devices as rows (number, then ROM bytes 0 to 7
// as two upper-case hex digits each, in the order the PLC stores them).
struct Found
{
    TransferResult result;
    std::optional<TextTable> devices;
};

// "Start search": applies the settings file to the port, writes "0180" to
// 2000 with "E10", reads 3000 once without using the answer, waits 3500 ms
// (a pause of the port, which a cancel cuts short), reads the device count
// from the first byte at 3000 and the ROM codes from 3002 in reads of up to
// 8 devices. Every call has 350 ms. A refused, malformed or missing answer
// ends the search with its message and no devices. The port is closed at
// the end.
Found search(PlcPort &port, const QString &iniFile);

// The sensor table after taking the devices in, or why nothing is taken.
struct Taken
{
    TextTable sensors;
    QString refusal; // shown, and nothing changes, when not empty
};

// "Add new in the table": the devices whose code is not in the table yet,
// each once, appended with registers 2 apart: from the start address when
// the table is empty, else from the last sensor's register + 2 (refused when
// that is not a whole number; the start address is then not looked at).
Taken addNew(const TextTable &sensors, const TextTable &devices, const QString &start);
// "Replace all in the table": each distinct device once, with registers 2
// apart from the start address.
Taken replaceAll(const TextTable &devices, const QString &start);

// The configured sensors (table rows, from 1) whose code the search did not
// find, and the devices found that no sensor has.
QList<int> missingRows(const TextTable &devices, const TextTable &sensors);
TextTable newDevices(const TextTable &devices, const TextTable &sensors);
// A failed sensor replaced: the device's code takes the sensor's row, whose
// number and register stay.
TextTable replaceMissing(TextTable sensors, int row, const QStringList &device);

// The line under the search grid: how many devices were found, how many are
// new and how many already configured, which were found twice, and which
// configured sensors did not answer.
QString summary(const TextTable &devices, const TextTable &sensors);

// The row of the sensor table holding a device's code (compared without
// regard to case), 0 when none does.
int configuredRow(const QStringList &device, const TextTable &sensors);

} // namespace BusSearch
