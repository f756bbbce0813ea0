#pragma once

#include <QString>

class PlcSimulator;

// The simulated PLC's memory kept in a file between runs: the whole 64 KiB,
// byte 0 first.
class MemoryImage
{
public:
    explicit MemoryImage(QString path) : m_path(std::move(path)) {}

    // Loads the file into the memory if it exists. A file longer than the
    // memory is refused; a shorter one fills the memory from address 0.
    bool load(PlcSimulator &simulator);
    // Replaces the file with the memory; the old file stays whole until the
    // new one is complete.
    bool save(const PlcSimulator &simulator);

    QString errorString() const { return m_error; }

private:
    bool fail(const QString &error);

    QString m_path;
    QString m_error;
};
