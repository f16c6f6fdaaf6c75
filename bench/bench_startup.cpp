// The monitor as a user runs it, against the project's emulator: the time from
// process start to the first block on screen, and the resident memory that a
// run's blocks take above the idle window.
//
// The monitor reports every block it has drawn through its off-by-default
// logging category "grv480.timing"; this program starts it with the category
// on, offscreen, with a private settings directory, and reads the reports.
//
// Start-up: wall time from QProcess::start to the first report, median of
// several starts; target 1 s plus one collection time.
// Memory: peak resident set (VmHWM) once three blocks have been drawn, less the
// resident set of the idle window (no channel enabled, so no acquisition),
// divided by the samples of one block; target 48 bytes per sample.
//
// Usage: bench_startup [starts]   (default 3 starts per start-up case)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr double StartupSlackMs = 1000.0;
constexpr double MaxBytesPerSample = 48.0;

QString binary(const char *name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(name));
}

struct Emulator
{
    QProcess process;
    quint16 port = 0;
    QTemporaryDir stateDir;

    bool start()
    {
        process.setProgram(binary("grv480-emulator"));
        process.setArguments({QStringLiteral("--port"), QStringLiteral("0"),
                              QStringLiteral("--state-dir"), stateDir.path()});
        process.start();
        if (!process.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        QByteArray out;
        while (t.elapsed() < 5000) {
            process.waitForReadyRead(200);
            out += process.readAllStandardOutput();
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("listening on [^:]+:(\\d+)"))
                    .match(QString::fromLatin1(out));
            if (m.hasMatch()) {
                port = quint16(m.captured(1).toUInt());
                return true;
            }
        }
        return false;
    }
    ~Emulator()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000))
                process.kill();
            process.waitForFinished(2000);
        }
    }
};

struct Config
{
    const char *name;
    bool singleCh;
    double adcFreq; // 0: default
    int channels;   // 0: none enabled (the idle window)
    int measTimeMs;
};

QByteArray iniText(const Config &c)
{
    QByteArray ini = "[GRV480MonitorDeviceConfig]\n";
    ini += "MeasTime=" + QByteArray::number(c.measTimeMs) + "\n";
    if (c.singleCh)
        ini += "SingleChMode=true\n";
    if (c.adcFreq > 0)
        ini += "AdcFreq=" + QByteArray::number(c.adcFreq, 'f', 0) + "\n";
    if (c.adcFreq > 0 && !c.singleCh)
        ini += "SwTimeUs=0\n"; // the filter that the frequency needs leaves no time to switch
    ini += "AdcChannels\\size=16\n";
    for (int i = 0; i < c.channels; ++i)
        ini += "AdcChannels\\" + QByteArray::number(i + 1) + "\\Enabled=true\n";
    return ini;
}

long statusKb(qint64 pid, const char *key)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

struct Outcome
{
    bool ok = false;
    double firstBlockMs = 0.0;
    long peakKb = 0;
    long rssKb = 0;
    int channels = 0;
    int samples = 0;
};

// Runs the monitor until it has drawn `blocks` blocks (or, for 0, for idleMs),
// then closes it with SIGTERM.
Outcome runMonitor(quint16 port, const Config &c, int blocks, int timeoutMs, int idleMs = 3000)
{
    Outcome o;
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("Norvik"));
    QFile ini(home.filePath(QStringLiteral("Norvik/GRV480 Monitor.ini")));
    if (!ini.open(QIODevice::WriteOnly) || ini.write(iniText(c)) < 0)
        return o;
    ini.close();

    QProcess monitor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    env.insert(QStringLiteral("GRV480_SERVER_PORT"), QString::number(port));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("grv480.timing.debug=true"));
    monitor.setProcessEnvironment(env);
    monitor.setProgram(binary("grv480-monitor"));

    QElapsedTimer clock;
    clock.start();
    monitor.start();
    if (!monitor.waitForStarted(5000))
        return o;
    const QRegularExpression shown(QStringLiteral("block (\\d+) shown: (\\d+) x (\\d+)"));
    QByteArray pending;
    int seen = 0;
    while (clock.elapsed() < timeoutMs && monitor.state() == QProcess::Running) {
        if (blocks == 0) {
            if (clock.elapsed() >= idleMs) {
                o.rssKb = statusKb(monitor.processId(), "VmRSS:");
                o.ok = true;
                break;
            }
            QThread::msleep(50);
            continue;
        }
        monitor.waitForReadyRead(50);
        pending += monitor.readAllStandardError();
        int nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(pending.left(nl));
            pending.remove(0, nl + 1);
            const QRegularExpressionMatch m = shown.match(line);
            if (!m.hasMatch())
                continue;
            ++seen;
            if (seen == 1)
                o.firstBlockMs = double(clock.nsecsElapsed()) / 1e6;
            o.channels = m.captured(2).toInt();
            o.samples = m.captured(3).toInt();
        }
        if (seen >= blocks) {
            o.peakKb = statusKb(monitor.processId(), "VmHWM:");
            o.rssKb = statusKb(monitor.processId(), "VmRSS:");
            o.ok = true;
            break;
        }
    }
    monitor.terminate();
    if (!monitor.waitForFinished(10000)) {
        monitor.kill();
        monitor.waitForFinished(2000);
    }
    return o;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int starts = argc > 1 ? std::max(1, atoi(argv[1])) : 3;

    Emulator emulator;
    if (!emulator.start()) {
        std::fprintf(stderr, "cannot start the emulator\n");
        return 1;
    }
    std::printf("Monitor against the emulator on port %u, offscreen\n\n", unsigned(emulator.port));

    bool allMet = true;
    std::printf("Start-up: process start to the first block on screen, median of %d\n", starts);
    const Config startupCases[] = {
        {"9 channels, 500 ms", false, 0, 9, 500},
        {"1 channel 250000/s, 1000 ms", true, 250000, 1, 1000},
    };
    for (const Config &c : startupCases) {
        QVector<double> times;
        for (int i = 0; i < starts; ++i) {
            const Outcome o = runMonitor(emulator.port, c, 1, 20000 + 3 * c.measTimeMs);
            if (o.ok)
                times.append(o.firstBlockMs);
        }
        if (times.isEmpty()) {
            std::printf("  %-30s no block shown\n", c.name);
            allMet = false;
            continue;
        }
        std::sort(times.begin(), times.end());
        const double median = times.at(times.size() / 2);
        const double target = StartupSlackMs + c.measTimeMs;
        const bool met = median <= target;
        allMet = allMet && met;
        std::printf("  %-30s %8.0f ms (min %6.0f, max %6.0f)  target %6.0f ms %s\n", c.name, median,
                    times.first(), times.last(), target, met ? "met" : "MISSED");
        std::fflush(stdout);
    }

    std::printf("\nMemory: peak resident set after 3 blocks above the idle window\n");
    const Outcome idle = runMonitor(emulator.port, {"idle", false, 0, 0, 1000}, 0, 20000);
    if (!idle.ok) {
        std::printf("  idle window could not be measured\n");
        return 1;
    }
    std::printf("  idle window                    %8.1f MB resident\n", idle.rssKb / 1024.0);
    const Config memoryCases[] = {
        {"1 channel x 5 million", true, 250000, 1, 20000},
        // The longest block the configuration dialog accepts.
        {"1 channel x 15 million", true, 250000, 1, 60000},
        // The emulator's sixteen channels run at up to about 1 400 frames/s:
        // 300 000 frames a channel would take 200 s, past the longest collection
        // time, so the longest collection time at 25 kHz stands in for it.
        {"16 channels, 60 s at 25 kHz", false, 25000, 16, 60000},
    };
    for (const Config &c : memoryCases) {
        const Outcome o = runMonitor(emulator.port, c, 3, 30000 + 4 * c.measTimeMs);
        if (!o.ok || o.samples == 0) {
            std::printf("  %-30s no block shown\n", c.name);
            allMet = false;
            continue;
        }
        const double samples = double(o.channels) * o.samples;
        const double perSample = (o.peakKb - idle.rssKb) * 1024.0 / samples;
        const bool met = perSample <= MaxBytesPerSample;
        allMet = allMet && met;
        std::printf("  %-30s %d x %d: peak %7.1f MB, %6.1f bytes/sample  target %.0f %s\n", c.name,
                    o.channels, o.samples, o.peakKb / 1024.0, perSample, MaxBytesPerSample,
                    met ? "met" : "MISSED");
        std::fflush(stdout);
    }
    std::printf("\nTargets: %s\n", allMet ? "met" : "MISSED");
    return 0;
}
