// Reads any bytes as the command line's JSON form of a configuration. It is
// either refused with a message or read whole; what is read writes back to
// JSON that reads to the same configuration, and every check a download or
// a save makes of it runs without harm.
#include "config/configurationcompare.h"
#include "config/configurationfile.h"
#include "config/configurationjson.h"
#include "fuzzinput.h"
#include "modbus/requestcheck.h"
#include "onewire/sensortable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const ConfigurationJson::Read read = ConfigurationJson::read(bytes);
    FUZZ_CHECK(read.configuration.has_value() == read.error.isEmpty());
    if (!read.configuration)
        return 0;
    const Configuration &c = *read.configuration;
    FUZZ_CHECK(ConfigurationJson::read(ConfigurationJson::write(c)).configuration == c);
    FUZZ_CHECK(configurationDifferences(c, c).isEmpty());
    Check_grid(c.uart1.table);
    Check_grid(c.uart2.table);
    Check_grid_1w(c.aux.sensors);
    const ConfigurationFile::Encoded encoded = ConfigurationFile::encode(c);
    FUZZ_CHECK(encoded.error.isEmpty() == !encoded.record.isEmpty());
    if (encoded.error.isEmpty()) {
        // What the file holds of it comes back; the rest is taken from c.
        const auto decoded = ConfigurationFile::decode(encoded.record, c);
        FUZZ_CHECK(decoded.configuration.has_value());
        FUZZ_CHECK(ConfigurationFile::encode(*decoded.configuration).record == encoded.record);
    }
    return 0;
}
