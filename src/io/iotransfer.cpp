#include "iotransfer.h"

#include "link/transferrun.h"

#include <QtEndian>

using namespace std::chrono_literals;

namespace {

constexpr quint16 blockAddress = 0x2000;

} // namespace

QByteArray ioBlock(const IoAssignment &assignment)
{
    QByteArray block(8, Qt::Uninitialized);
    qToLittleEndian(assignment.inputMask(), block.data());
    qToLittleEndian(assignment.outputMask(), block.data() + 4);
    return block;
}

TransferResult downloadIo(PlcPort &port, const IoAssignment &assignment)
{
    TransferRun run(port);
    run.beginConfiguration();
    run.write(350ms, blockAddress, ioBlock(assignment));
    run.endConfiguration();
    return run.result();
}

IoUpload uploadIo(PlcPort &port, const QString &iniFile, const IoAssignment &current)
{
    TransferRun run(port, iniFile);
    const std::optional<QByteArray> block = run.read(150ms, blockAddress, 8);
    if (!block)
        return {run.result(), std::nullopt};
    IoAssignment assignment = current;
    assignment.applyMasks(qFromLittleEndian<quint32>(block->constData()),
                          qFromLittleEndian<quint32>(block->constData() + 4));
    return {run.result(), assignment};
}
