// plc-sim: the simulated PLC on a pseudo-terminal. See --help.

#include "configload.h"
#include "framelogfile.h"
#include "memoryimage.h"
#include "plcsimulator.h"
#include "ptyserver.h"
#include "simoptions.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

void say(const QString &line, std::FILE *stream)
{
    std::fprintf(stream, "plc-sim: %s\n", qPrintable(line));
    std::fflush(stream);
}

int failure(const QString &message)
{
    say(message, stderr);
    return 1;
}

// The optional image and log files wired to the simulator; empty when not used.
struct Files
{
    std::unique_ptr<MemoryImage> image;
    std::unique_ptr<FrameLogFile> log;
};

QString attachImage(const QString &path, PlcSimulator &simulator, Files &files)
{
    if (path.isEmpty())
        return {};
    files.image = std::make_unique<MemoryImage>(path);
    if (!files.image->load(simulator))
        return files.image->errorString();
    MemoryImage *image = files.image.get();
    simulator.setWriteHook([image, &simulator](quint16, QByteArrayView) {
        if (!image->save(simulator))
            say(image->errorString(), stderr);
    });
    return {};
}

QString attachLog(const QString &path, PlcSimulator &simulator, Files &files)
{
    if (path.isEmpty())
        return {};
    files.log = std::make_unique<FrameLogFile>(path);
    if (!files.log->open())
        return files.log->errorString();
    FrameLogFile *log = files.log.get();
    simulator.setLogHook([log](const SimLogEntry &entry) { log->write(entry); });
    return {};
}

int serve(SimOptions &options, PlcSimulator &simulator)
{
    PtyServer server(simulator);
    server.setLineSpeed(options.lineSpeed());
    server.setHangupHook([&options, &simulator] {
        say(options.reloadErrors(simulator) ? QStringLiteral("error bytes read again")
                                            : options.errorString(),
            stdout);
    });
    if (!server.open(options.linkPath()))
        return failure(server.errorString());
    say(QStringLiteral("listening on %1 (%2)").arg(options.linkPath(), server.slavePath()), stdout);
    const bool ok = server.run();
    server.close();
    return ok ? 0 : failure(server.errorString());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plc-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.1"));
    SimOptions options;
    if (!options.parse(QCoreApplication::arguments()))
        return failure(options.errorString());
    PlcSimulator simulator;
    Files files;
    QString error = attachImage(options.imagePath(), simulator, files);
    if (error.isEmpty())
        error = attachLog(options.logPath(), simulator, files);
    if (error.isEmpty() && !options.configPath().isEmpty())
        error = loadConfiguration(simulator, options.configPath());
    if (!error.isEmpty())
        return failure(error);
    options.apply(simulator);
    return serve(options, simulator);
}
