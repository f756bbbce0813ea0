// Loads any bytes as a configuration file. A record either loads whole or is
// refused with a message naming what is wrong; what the file does not hold
// stays as it was; and a loaded configuration saves back to a record that
// loads to the same configuration, unless a slave timeout in it is no 16-bit
// whole number (then the save says so).
#include "config/configurationfile.h"
#include "fuzzinput.h"

namespace {

Configuration current()
{
    Configuration c;
    c.uart2.dataBits = 1;
    c.uart2.stopBits = 2;
    c.aux.fieldNetSpeed = 0;
    c.io.points[5] = {2, QStringLiteral("Output-Y"), QStringLiteral("Y0")};
    return c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const Configuration before = current();
    const ConfigurationFile::Decoded decoded = ConfigurationFile::decode(bytes, before);
    FUZZ_CHECK(decoded.configuration.has_value() == decoded.error.isEmpty());
    if (!decoded.configuration)
        return 0;
    const Configuration &loaded = *decoded.configuration;
    FUZZ_CHECK(loaded.io == before.io && loaded.uart2.dataBits == 1 && loaded.uart2.stopBits == 2 &&
               loaded.aux.fieldNetSpeed == 0);
    FUZZ_CHECK(loaded.uart1.table.size() <= 129 && loaded.aux.sensors.size() <= 129);
    const ConfigurationFile::Encoded again = ConfigurationFile::encode(loaded);
    FUZZ_CHECK(again.error.isEmpty() == !again.record.isEmpty());
    if (again.error.isEmpty() && loaded.uart1.table.size() <= 128 &&
        loaded.uart2.table.size() <= 128 && loaded.aux.sensors.size() <= 128)
        FUZZ_CHECK(ConfigurationFile::decode(again.record, before).configuration == loaded);
    return 0;
}
