// The bus search and the 1-wire transfers through the real serial port and
// plc-sim on a pseudo-terminal.
#include "link/inifile.h"
#include "link/qtplcport.h"
#include "onewire/auxtransfer.h"
#include "onewire/bussearch.h"
#include "simprocess.h"
#include "support/buildpath.h"

#include <QTest>

class TestOneWireEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void searchThenDownloadAndUpload();
};

// The ROM codes given to plc-sim come back from the search, and, taken into
// the sensor table, travel to the PLC and back unchanged.
void TestOneWireEndToEnd::searchThenDownloadAndUpload()
{
    SimProcess sim(buildPath(PLC_SIM_PATH));
    QVERIFY(sim.start({QStringLiteral("--rom"), QStringLiteral("28FF4C5D0300009A"),
                       QStringLiteral("--rom"), QStringLiteral("021CB801000000A2"),
                       QStringLiteral("--search-time"), QStringLiteral("500")}));
    const QString ini = sim.path(QStringLiteral("set.ini"));
    Ini_write(ini, QStringLiteral("PORTS"), QStringLiteral("COM1"), sim.link());
    QtPlcPort port(ini);

    const BusSearch::Found found = BusSearch::search(port, ini);
    QVERIFY2(found.result.ok, qPrintable(found.result.message));
    QCOMPARE(found.devices,
             std::optional(TextTable{{"1", "28", "FF", "4C", "5D", "03", "00", "00", "9A"},
                                     {"2", "02", "1C", "B8", "01", "00", "00", "00", "A2"}}));
    QVERIFY(!port.isOpen());

    AuxSettings settings;
    settings.mode = AuxMode::OneWireMaster;
    settings.sensors = BusSearch::replaceAll(*found.devices, BusSearch::defaultStart).sensors;
    const TransferResult down = downloadAux(port, ini, settings, {});
    QVERIFY2(down.ok, qPrintable(down.message));
    const AuxUpload up = uploadAux(port, ini, {}, {});
    QVERIFY2(up.result.ok, qPrintable(up.result.message));
    QCOMPARE(up.settings->sensors, settings.sensors);
    QCOMPARE(up.settings->mode, AuxMode::OneWireMaster);
}

QTEST_GUILESS_MAIN(TestOneWireEndToEnd)
#include "tst_onewireendtoend.moc"
