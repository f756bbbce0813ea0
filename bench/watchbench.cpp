// watch-bench: what watching the error buffers costs the window. The main
// window (offscreen) talks to plc-sim on a pseudo-terminal at 115200 baud;
// both diag tabs watch every second, UART 1 with 64 request slots and the
// 1-wire master with 64 sensors, for the given seconds (default 60). Prints
// the window process's CPU time as a share of one core, idle and watching,
// and the reads made.
//   watch-bench [seconds]
#include "diag/bufferwatch.h"
#include "diag/modbusdiagtab.h"
#include "diag/onewirediagtab.h"
#include "link/inifile.h"
#include "link/qtplcport.h"
#include "simprocess.h"
#include "widgets/qtuserdialogs.h"
#include "window/mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSpinBox>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for that long; unlike QTest::qWait, without waking
// every few milliseconds itself.
void run(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The share of one core the process used over `seconds` of waiting.
double share(int seconds)
{
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    run(seconds * 1000);
    return (cpuSeconds() - before) / (double(wall.elapsed()) / 1000.0);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    SimProcess sim(QStringLiteral(PLC_SIM_PATH));
    if (!sim.start({QStringLiteral("--set"), QStringLiteral("2008=40C0"), QStringLiteral("--set"),
                    QStringLiteral("200A=40C0"), QStringLiteral("--errors"),
                    QStringLiteral("modbus1:3=84,onewire:5=C2"), QStringLiteral("--log"),
                    sim.path(QStringLiteral("frames.log"))})) {
        std::fprintf(stderr, "watch-bench: plc-sim did not start\n");
        return 1;
    }
    const QString ini = sim.path(QStringLiteral("set.ini"));
    Ini_write(ini, QStringLiteral("PORTS"), QStringLiteral("COM1"), sim.link());
    Ini_write(ini, QStringLiteral("COM"), QStringLiteral("Speed"), QStringLiteral("4"));
    Ini_write(ini, QStringLiteral("BACKUP"), QStringLiteral("Enabled"), QStringLiteral("0"));
    QtUserDialogs dialogs;
    Main window({ini, dialogs, [ini] {
                     return std::make_unique<QtPlcPort>(ini);
                 }});
    window.show();
    run(3000); // past the start's loose ends

    const double idle = share(seconds);
    for (QWidget *tab : {static_cast<QWidget *>(&window.modbusDiagTab()),
                         static_cast<QWidget *>(&window.oneWireDiagTab())}) {
        for (QSpinBox *interval : tab->findChildren<QSpinBox *>())
            interval->setValue(1);
        for (QCheckBox *watch : tab->findChildren<QCheckBox *>())
            watch->setChecked(true);
    }
    const int before = int(loggedRequests(sim.path(QStringLiteral("frames.log"))).size());
    const double watching = share(seconds);
    const int requests =
        int(loggedRequests(sim.path(QStringLiteral("frames.log"))).size()) - before;
    std::printf("watch cpu idle=%.2f%% watching=%.2f%% seconds=%d requests=%d\n", 100 * idle,
                100 * watching, seconds, requests);
    return 0;
}
