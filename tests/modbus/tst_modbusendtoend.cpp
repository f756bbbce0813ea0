// A full UART1 master download and upload through the real serial port and
// plc-sim on a pseudo-terminal. The frames plc-sim logs must be the very
// frames the same download sends to the in-process simulator.
#include "link/inifile.h"
#include "link/plcframe.h"
#include "link/qtplcport.h"
#include "modbus/modbusdownload.h"
#include "modbus/modbusupload.h"
#include "modbus/requesttable.h"
#include "modbus/uartdescription.h"
#include "modbusfixture.h"
#include "simprocess.h"
#include "support/buildpath.h"

#include <QFile>
#include <QTest>

class TestModbusEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void downloadThenUploadThroughPlcSim();
};

namespace {

QStringList readable(const QList<QByteArray> &frames)
{
    QStringList out;
    for (const QByteArray &frame : frames)
        out << PlcFrame::readable(frame);
    return out;
}

} // namespace

void TestModbusEndToEnd::downloadThenUploadThroughPlcSim()
{
    SimProcess sim(buildPath(PLC_SIM_PATH));
    const QString log = sim.path(QStringLiteral("frames.log"));
    QVERIFY(sim.start({QStringLiteral("--log"), log}));
    const QString ini = sim.path(QStringLiteral("set.ini"));
    Ini_write(ini, QStringLiteral("PORTS"), QStringLiteral("COM1"), sim.link());
    QtPlcPort port(ini);
    const UartDescription &uart = UartDescription::uart1();
    UartSettings settings = masterSettings(sampleRows(9));
    settings.speed = 3;
    settings.parity = 1;

    const TransferResult down = downloadUart(port, ini, uart, settings, {});
    QVERIFY2(down.ok, qPrintable(down.message));
    const UartUpload up = uploadUart(port, ini, uart, {}, {});
    QVERIFY2(up.result.ok, qPrintable(up.result.message));
    QVERIFY(up.settings);
    QCOMPARE(up.settings->table, settings.table);
    QCOMPARE(up.settings->speed, 3);
    QCOMPARE(up.settings->parity, 1);
    QVERIFY(!port.isOpen());

    ModbusBench bench;
    QVERIFY(downloadUart(bench.port, bench.ini, uart, settings, {}).ok);
    QVERIFY(uploadUart(bench.port, bench.ini, uart, {}, {}).result.ok);
    QTRY_COMPARE(loggedRequests(log), readable(bench.sim.requests()));
}

QTEST_GUILESS_MAIN(TestModbusEndToEnd)
#include "tst_modbusendtoend.moc"
