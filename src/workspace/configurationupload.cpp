#include "configurationupload.h"

#include "modbus/modbusupload.h"
#include "modbus/uartdescription.h"
#include "onewire/auxtransfer.h"

namespace {

TransferProgress scaled(const TransferProgress &progress, int from, int to)
{
    return [progress, from, to](int percent) {
        reportProgress(progress, from + (to - from) * percent / 100);
    };
}

} // namespace

ConfigurationUpload uploadConfiguration(PlcPort &port, const QString &iniFile,
                                        const Configuration &current,
                                        const TransferProgress &progress)
{
    ConfigurationUpload read;
    const UartUpload uart1 =
        uploadUart(port, iniFile, UartDescription::uart1(), current.uart1, scaled(progress, 0, 33));
    read.result = uart1.result;
    read.uart1 = uart1.settings;
    if (!read.result.ok)
        return read;
    const UartUpload uart2 = uploadUart(port, iniFile, UartDescription::uart2(), current.uart2,
                                        scaled(progress, 33, 67));
    read.result = uart2.result;
    read.uart2 = uart2.settings;
    if (!read.result.ok)
        return read;
    const AuxUpload aux = uploadAux(port, iniFile, current.aux, scaled(progress, 67, 100));
    read.result = aux.result;
    read.aux = aux.settings;
    return read;
}
