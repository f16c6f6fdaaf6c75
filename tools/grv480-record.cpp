// grv480-record: records a GRV480 module's measurement into an HDF5 file
// without a window (test benches, cron, remote machines).
#include "headlessrecording.h"
#include "terminationwatcher.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Norvik"));
    QCoreApplication::setApplicationName(QStringLiteral("grv480-record"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GRV480_VERSION));

    bool ok = false;
    const int envPort = qEnvironmentVariableIntValue("GRV480_SERVER_PORT", &ok);
    const quint16 defaultPort = ok && envPort > 0 && envPort <= 65535 ? quint16(envPort) : 11111;

    HeadlessRecording::Arguments args;
    QString error;
    if (!HeadlessRecording::parseArguments(app.arguments().mid(1), defaultPort, &args, &error)) {
        std::fprintf(stderr, "grv480-record: %s\n\n%s", qUtf8Printable(error),
                     qUtf8Printable(HeadlessRecording::usage()));
        return HeadlessRecording::UsageError;
    }
    if (args.help) {
        std::fputs(qUtf8Printable(HeadlessRecording::usage()), stdout);
        return 0;
    }

    // Watched before anything starts, so that an early signal still ends cleanly.
    TerminationWatcher termination;
    HeadlessRecording recording(args);
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, &recording,
                     [&recording](int signalNumber) {
                         recording.interrupt(QStringLiteral("Запись прервана сигналом %1")
                                                 .arg(signalNumber == SIGINT
                                                          ? QStringLiteral("SIGINT")
                                                          : QStringLiteral("SIGTERM")));
                     });
    QObject::connect(&recording, &HeadlessRecording::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    if (!recording.start())
        return recording.exitCode();
    return app.exec();
}
