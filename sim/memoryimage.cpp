#include "memoryimage.h"

#include "plcsimulator.h"

#include <QFile>
#include <QSaveFile>

bool MemoryImage::fail(const QString &error)
{
    m_error = QStringLiteral("%1: %2").arg(m_path, error);
    return false;
}

bool MemoryImage::load(PlcSimulator &simulator)
{
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.size() > PlcSimulator::memorySize)
        return fail(
            QStringLiteral("larger than the %1 bytes of memory").arg(PlcSimulator::memorySize));
    simulator.setMemory(0, file.readAll());
    return true;
}

bool MemoryImage::save(const PlcSimulator &simulator)
{
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(simulator.memoryImage()) != PlcSimulator::memorySize || !file.commit())
        return fail(file.errorString());
    return true;
}
