#pragma once

#include "diag/modbuserrorbuffer.h"
#include "link/plcpart.h"
#include "tables/texttable.h"

#include <QDateTime>
#include <QList>

#include <optional>

class PlcPort;

// What watching an error buffer keeps of each slot (or sensor) from one read
// to the next: its error byte, since when its current error has been active
// and how many times it became active. The first read is taken against a
// clean buffer, so every slot with an error counts as changed then.
class ErrorWatch
{
public:
    enum class Buffer { Modbus, OneWire };

    struct Slot
    {
        int errorByte = 0;
        QDateTime activeSince; // invalid while no error is active
        int activations = 0;
    };

    explicit ErrorWatch(Buffer buffer) : m_buffer(buffer) {}

    // The buffer's table format, and the same with the two watch columns.
    static QString plainFormat(Buffer buffer);
    static QString format(Buffer buffer);
    // The kind of each buffer.
    static Buffer kindOf(ErrorBuffer buffer);
    // The buffers by the names they go by on the command line and in the
    // settings: modbus1, modbus2 and onewire.
    static std::optional<ErrorBuffer> bufferNamed(const QString &name);
    static QString nameOf(ErrorBuffer buffer);

    // Whether an error byte says an error is active: for a Modbus slot any
    // error but an inactive one (80), for a sensor bit 7.
    bool isActive(int errorByte) const;

    // Takes a read made at `at`: gives the slots, from 1, whose error byte
    // differs from the last read. A buffer that grew starts its new slots
    // clean; one that shrank forgets the slots it lost.
    QList<int> take(const QList<int> &errorBytes, const QDateTime &at);
    // Forgets every read: the next one is a first read again.
    void reset() { m_slots.clear(); }

    const QList<Slot> &watched() const { return m_slots; }
    // The buffer's rows with "active since" (time of day) and "times active".
    TextTable table() const;
    // One line for a slot that changed: "12:03:04 modbus1 slot 3: Active
    // error, timeout error occurred" (its description when there is one).
    QString changeLine(const QString &buffer, int slot, const QDateTime &at) const;

private:
    Buffer m_buffer;
    QList<Slot> m_slots;
};

// The buffer read as its button reads it.
ErrorBufferRead readErrorBuffer(PlcPort &port, const QString &iniFile, ErrorBuffer buffer);
