// The recording of every sample against the emulator: samples in the file
// against the frames the module stream delivered, the recording's CPU above
// acquisition alone, bytes on disk per sample, resident memory late against
// early, and the longest stall of the owning (GUI) thread.
//
//   bench_record [seconds]      (default 600 s of recording per case)
#include "datablockprocessor.h"
#include "grv480api.h"
#include "grv480recvthread.h"
#include "measurementrecorder.h"
#include "recordingreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <hdf5.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec * 1e-6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec * 1e-6;
}

double rssMiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

struct Case
{
    const char *name;
    bool single;
    int channels;
    double adcFreq;
};

struct Run
{
    double seconds = 0;
    double cpu = 0;      // s of CPU of this process
    double stallMs = 0;  // longest gap of a 5 ms timer on the owning thread
    double rssEarly = 0; // MiB after a tenth of the time (at most a minute)
    double rssLate = 0;  // MiB at the end
    double frameFrequency = 0;
    qint64 blocks = 0;
    qint64 bytes = 0; // of the recording on disk
};

// Acquires for the given time, recording into path unless it is empty.
bool acquire(const Case &c, quint16 port, double seconds, const QString &path, Run *out)
{
    std::unique_ptr<TGRV480> h(new TGRV480);
    GRV480_Init(h.get());
    int err = GRV480_Open(h.get(), 0x7F000001u, port, "CR16-0417", 3);
    if (err) {
        std::printf("open: %s\n", GRV480_GetErrorString(err));
        return false;
    }
    TGRV480Config &cfg = h->cfg;
    cfg.singleChMode = c.single;
    cfg.logicalChannelCount = uint32_t(c.channels);
    for (int i = 0; i < c.channels; ++i)
        cfg.logicalChannels[i].channelIndex = uint8_t(i);
    GRV480_FindSyncFreqDiv(c.adcFreq, &cfg.syncFreqDiv, nullptr);
    cfg.filterType = GRV480_FILTER_SINC5_SINC1;
    cfg.filterOdrCode = 0;
    cfg.swTimeUs = 0;
    GRV480_FindISrcCode(nullptr, 25.0, &cfg.iSrcCode, nullptr);
    cfg.bgMeasMask = GRV480_BG_ALL;
    cfg.shortRThresh = 10;
    cfg.cableLength = 100;
    cfg.cableCapPerUnit = 150;
    err = GRV480_SetADC(h.get());
    if (err) {
        std::printf("%s: SetADC: %s\n", c.name, GRV480_GetErrorString(err));
        return false;
    }
    out->frameFrequency = h->frameFrequency;

    DataBlockProcessor processor;
    QThread procThread;
    processor.moveToThread(&procThread);
    procThread.start();
    MeasurementRecorder recorder;
    if (!path.isEmpty()) {
        MeasurementRecorder::Options o;
        o.path = path;
        o.programVersion = QStringLiteral("bench");
        QString error;
        if (!recorder.start(o, &error)) {
            std::printf("%s\n", qPrintable(error));
            return false;
        }
        QObject::connect(
            &processor, &DataBlockProcessor::newBlock, &processor,
            [&recorder](const QSharedPointer<DataBlockProcessor::DataBlock> &b) {
                recorder.push(b);
            },
            Qt::DirectConnection);
    }
    std::atomic<qint64> blocks{0};
    QObject::connect(
        &processor, &DataBlockProcessor::newBlock, &processor,
        [&blocks](const QSharedPointer<DataBlockProcessor::DataBlock> &) { ++blocks; },
        Qt::DirectConnection);
    auto *thread = new GRV480RecvThread(h.get(), 1000);
    if (!path.isEmpty()) {
        RecordingRun run;
        run.moduleSerial = QStringLiteral("bench");
        for (int i = 1; i <= c.channels; ++i)
            run.channelNumbers.append(i);
        recorder.beginRun(thread->runId(), run);
    }
    QObject::connect(thread, &GRV480RecvThread::dataReceived, &processor,
                     &DataBlockProcessor::processFrame);

    QElapsedTimer clock;
    QElapsedTimer tick;
    double stall = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        stall = std::max(stall, tick.nsecsElapsed() * 1e-6 - 5.0);
        tick.restart();
        // The window's status bar asks for the figures once a second; here every tick.
        if (!path.isEmpty())
            recorder.stats();
    });
    const double early = std::min(60.0, seconds / 10);
    bool earlyTaken = false;
    const double cpu0 = cpuSeconds();
    clock.start();
    tick.start();
    timer.start();
    thread->start();
    while (clock.elapsed() < seconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(1);
        if (!earlyTaken && clock.elapsed() >= early * 1000) {
            out->rssEarly = rssMiB();
            earlyTaken = true;
        }
        if (!path.isEmpty() && !recorder.isActive()) {
            std::printf("%s: the recording stopped early\n", c.name);
            break;
        }
    }
    timer.stop();
    thread->requestStop();
    thread->wait();
    QMetaObject::invokeMethod(
        &processor, [] {}, Qt::BlockingQueuedConnection);
    out->cpu = cpuSeconds() - cpu0;
    out->seconds = clock.nsecsElapsed() * 1e-9;
    out->rssLate = rssMiB();
    out->stallMs = stall;
    out->blocks = blocks;
    procThread.quit();
    procThread.wait();
    const int lastError = thread->lastError();
    delete thread;
    GRV480_Close(h.get());
    QString error;
    if (!path.isEmpty()) {
        const bool stopped = recorder.stop(RunEnd{0, QStringLiteral("bench")}, &error);
        out->bytes = recorder.stats().bytesOnDisk;
        if (!stopped)
            std::printf("%s: %s\n", c.name, qPrintable(error));
    }
    if (lastError)
        std::printf("%s: acquisition: %s\n", c.name, GRV480_GetErrorString(lastError));
    return true;
}

// Frames the module stream delivered over the recorded blocks, from the frame
// counter in the recorded status records.
qint64 framesDelivered(const QString &path)
{
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    const QByteArray native = QFile::encodeName(path);
    const hid_t f = H5Fopen(native.constData(), H5F_ACC_RDONLY | H5F_ACC_SWMR_READ, H5P_DEFAULT);
    const hid_t set = H5Dopen2(f, "run_0001/blocks", H5P_DEFAULT);
    const hid_t space = H5Dget_space(set);
    hsize_t n = 0;
    H5Sget_simple_extent_dims(space, &n, nullptr);
    const hsize_t raw = 136;
    const hid_t rawType = H5Tarray_create2(H5T_NATIVE_UINT8, 1, &raw);
    const hid_t mem = H5Tcreate(H5T_COMPOUND, raw);
    H5Tinsert(mem, "frame_status_raw", 0, rawType);
    std::vector<TGRV480FrameStatus> rows(n);
    qint64 frames = -1;
    if (n > 0 && H5Dread(set, mem, H5S_ALL, H5S_ALL, H5P_DEFAULT, rows.data()) >= 0)
        frames = qint64(rows.back().firstFrameNumber) + rows.back().frameCount -
                 rows.front().firstFrameNumber;
    H5Tclose(mem);
    H5Tclose(rawType);
    H5Sclose(space);
    H5Dclose(set);
    H5Fclose(f);
    return frames;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(5.0, std::atof(argv[1])) : 600.0;
    const QString emulator =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("grv480-emulator"));
    QTemporaryDir state;
    QTemporaryDir out(QDir::current().filePath(QStringLiteral("bench_record-XXXXXX")));
    QProcess emu;
    emu.start(emulator, {"--port", "0", "--state-dir", state.path()});
    if (!emu.waitForStarted(5000) || !emu.waitForReadyRead(5000)) {
        std::printf("cannot start %s\n", qPrintable(emulator));
        return 1;
    }
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("listening on [0-9.]+:(\\d+)"))
            .match(QString::fromUtf8(emu.readLine()));
    if (!m.hasMatch()) {
        std::printf("emulator did not report its port\n");
        return 1;
    }
    const quint16 port = quint16(m.captured(1).toUInt());
    const Case cases[] = {
        {"1 channel, 250000 samples/s (single-channel mode, SINC5+SINC1 code 0)", true, 1, 0},
        {"16 channels, ADC 40000 Hz, all background measurements", false, 16, 40000},
    };
    bool ok = true;
    int n = 0;
    for (const Case &c : cases) {
        const double baseSeconds = std::min(60.0, std::max(5.0, seconds / 4));
        Run alone, rec;
        const QString path = out.filePath(QStringLiteral("case%1.h5").arg(++n));
        if (!acquire(c, port, baseSeconds, QString(), &alone) ||
            !acquire(c, port, seconds, path, &rec)) {
            ok = false;
            continue;
        }
        RecordingReader reader;
        QString error;
        if (!reader.open(path, &error) || reader.runs().isEmpty()) {
            std::printf("%s: %s\n", c.name, qPrintable(error));
            ok = false;
            continue;
        }
        const RecordingReader::Run r = reader.runs().first();
        reader.close();
        const qint64 delivered = framesDelivered(path);
        struct stat st;
        const double bytes =
            ::stat(QFile::encodeName(path).constData(), &st) == 0 ? double(st.st_blocks) * 512 : 0;
        const double samples = double(r.samples) * r.channels.size();
        const double cpuAlone = alone.cpu / alone.seconds * 100;
        const double cpuRec = rec.cpu / rec.seconds * 100;
        std::printf("%s\n", c.name);
        std::printf("  frame frequency              %12.1f Hz, %lld blocks in %.0f s\n",
                    rec.frameFrequency, (long long)r.blocks, rec.seconds);
        std::printf("  samples in file / delivered  %12.6f (%lld of %lld frames; %lld blocks "
                    "processed, %lld recorded)\n",
                    delivered > 0 ? double(r.samples) / delivered : 0.0, (long long)r.samples,
                    (long long)delivered, (long long)rec.blocks, (long long)r.blocks);
        std::printf("  CPU, acquisition alone       %12.2f %% of one core\n", cpuAlone);
        std::printf("  CPU, with recording          %12.2f %% of one core (recording %+.2f %%)\n",
                    cpuRec, cpuRec - cpuAlone);
        std::printf("  bytes on disk per sample     %12.3f\n", samples > 0 ? bytes / samples : 0.0);
        std::printf(
            "  resident memory              %12.1f MiB early, %.1f MiB at the end (%+.1f)\n",
            rec.rssEarly, rec.rssLate, rec.rssLate - rec.rssEarly);
        std::printf("  longest owner-thread stall   %12.1f ms alone, %.1f ms recording\n",
                    alone.stallMs, rec.stallMs);
        std::fflush(stdout);
    }
    emu.kill();
    emu.waitForFinished(3000);
    return ok ? 0 : 1;
}
