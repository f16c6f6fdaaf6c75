// Review of a long recording: a synthetic file of one channel at 250 000
// samples/s (one-second blocks) is written with the recording's own writer,
// then opened in the review window. Printed: open to trend on screen, one
// block shown after choosing it, the window's resident memory above idle in
// blocks of samples; the file is deleted afterwards.
//
//   bench_review [seconds] [folder]   (default 3600 s, the system's temporary folder)
#include "deviceconfig.h"
#include "recordingfile.h"
#include "recordingrun.h"
#include "residentmemory.h"
#include "reviewwindow.h"
#include "trendplot.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr double Rate = 250000.0; // samples/s
constexpr int BlockSamples = 250000;
constexpr double OpenTargetMs = 1000.0;
constexpr double BlockTargetMs = 500.0;

// A block as the processor would hand it to the recorder: a sine on a
// drifting offset, and figures that move slowly over the hour.
QSharedPointer<DataBlockProcessor::DataBlock> syntheticBlock(qint64 index, qint64 startMs)
{
    auto block = QSharedPointer<DataBlockProcessor::DataBlock>::create();
    block->receivedMs = startMs + (index + 1) * 1000;
    block->firstSample = index * BlockSamples;
    block->runId = 1;
    block->status.uref = {GRV480_MV_VALID, 1, {}, 2.5};
    block->status.urefR = {GRV480_MV_NOT_MEASURED, 0, {}, 0.0};
    block->status.vadj = {GRV480_MV_VALID, 1, {}, 1.2};
    block->status.uneg = {GRV480_MV_VALID, 1, {}, -0.4};
    auto c = QSharedPointer<DataBlockProcessor::ChResult>::create();
    c->sampleInterval = 1.0 / Rate;
    c->rangeMv = 35.0;
    c->status.channelIndex = 0;
    const double offset = 2.0 + std::sin(index * 2e-3);
    c->values.resize(BlockSamples);
    for (int i = 0; i < BlockSamples; ++i) {
        const double t = (index * BlockSamples + i) / Rate;
        c->values[i] = offset + 5.0 * std::sin(2 * M_PI * 1000.0 * t) + 1e-3 * ((i * 7919) % 13);
    }
    c->dc = offset;
    c->ac = 5.0 / std::sqrt(2.0);
    c->peakValid = true;
    c->peakFreq = 1000.0;
    c->peakAmplitude = 5.0;
    c->harmValid = true;
    c->snr = 80.0 + std::cos(index * 1e-3);
    c->sinad = c->snr - 1.0;
    c->enob = (c->sinad - 1.76) / 6.02;
    block->channels.append(c);
    return block;
}

bool writeRecording(const QString &path, qint64 blocks)
{
    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    DeviceConfig config;
    config.loadSettings(settings);
    for (int ch = 0; ch < DeviceConfig::ChannelCount; ++ch)
        config.setChannelEnabled(ch, ch == 0);
    RecordingRun run = RecordingRun::fromConfig(config);
    run.moduleSerial = QStringLiteral("480-00-0000");
    run.crateSerial = QStringLiteral("BENCH");
    run.slot = 1;

    RecordingFile file;
    QString error;
    const qint64 startMs = QDateTime::currentMSecsSinceEpoch() - blocks * 1000;
    QElapsedTimer clock;
    clock.start();
    bool ok = file.create(path, 0, QStringLiteral("bench"), &error);
    for (qint64 i = 0; ok && i < blocks; ++i) {
        const auto block = syntheticBlock(i, startMs);
        if (i == 0)
            ok = file.beginRun(1, run, *block, QString(), &error);
        ok = ok && file.append(*block, &error);
        if (ok && (i + 1) % 600 == 0)
            std::printf("  written %lld of %lld blocks, %.0f s\n", static_cast<long long>(i + 1),
                        static_cast<long long>(blocks), clock.elapsed() / 1000.0);
    }
    ok = ok && file.endRun(RunEnd{0, QStringLiteral("Записано заданное время")}, QString(), &error);
    ok = file.close(&error) && ok;
    if (!ok) {
        std::printf("writing failed: %s\n", qPrintable(error));
        return false;
    }
    std::printf("recording: %lld blocks of %d samples, %.2f GB, written in %.0f s\n",
                static_cast<long long>(blocks), BlockSamples, QFileInfo(path).size() / 1e9,
                clock.elapsed() / 1000.0);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef __GLIBC__
    // As the program sets it: blocks of millions of values go back to the system when freed.
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Norvik"));
    QCoreApplication::setApplicationName(QStringLiteral("GRV480 Monitor bench"));
    const QStringList args = app.arguments();
    const double seconds = args.size() > 1 ? args.at(1).toDouble() : 3600.0;
    const QString folder = args.size() > 2 ? args.at(2) : QDir::tempPath();
    const qint64 blocks = std::max<qint64>(2, qint64(seconds));
    // Samples, the block table and the chunk index, with a margin.
    const qint64 needed = qint64(blocks * BlockSamples * 8.0 * 1.05) + (qint64(1) << 30);
    const QStorageInfo disk(folder);
    if (disk.bytesAvailable() < needed) {
        std::printf("skipped: %.1f GB free in %s, %.1f GB needed for %lld s of recording\n",
                    disk.bytesAvailable() / 1e9, qPrintable(folder), needed / 1e9,
                    static_cast<long long>(blocks));
        return 0;
    }
    QTemporaryDir dir(QDir(folder).filePath(QStringLiteral("bench_review-XXXXXX")));
    const QString path = dir.filePath(QStringLiteral("review.h5"));
    if (!writeRecording(path, blocks))
        return 1;

    // Idle: a review window without a file, shown and drawn once, after one
    // window has opened a small recording and gone: what the libraries set up
    // once per process (HDF5, FFTW, Qt's caches of glyphs) is not the window's.
    QString error;
    const QString small = dir.filePath(QStringLiteral("warm-up.h5"));
    auto *warm = new ReviewWindow;
    warm->show();
    if (!writeRecording(small, 2) || !warm->openFile(small, &error)) {
        std::printf("warm-up failed: %s\n", qPrintable(error));
        return 1;
    }
    warm->grab();
    app.processEvents();
    delete warm;
    app.processEvents();
    // The file just written is still in the page cache: out with it, so that
    // the figures are those of a recording read from the disk.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
    auto *window = new ReviewWindow;
    window->show();
    window->grab();
    app.processEvents();
    const double idleMiB = residentMiB();

    QElapsedTimer clock;
    clock.start();
    if (!window->openFile(path, &error)) {
        std::printf("open failed: %s\n", qPrintable(error));
        return 1;
    }
    window->trend()->replot(QCustomPlot::rpImmediateRefresh);
    window->grab();
    const double openMs = clock.nsecsElapsed() / 1e6;
    const double blockMiB = BlockSamples * 8.0 / 1048576.0;
    std::printf("open to trend on screen (with the first block): %7.1f ms  target %.0f ms %s\n",
                openMs, OpenTargetMs, openMs <= OpenTargetMs ? "met" : "MISSED");
    app.processEvents();
    const double openedMiB = residentMiB() - idleMiB;

    QVector<double> shownMs;
    for (int k = 0; k < 9; ++k) {
        const int index = int((blocks - 1) * k / 8);
        clock.restart();
        window->showBlockAt(index);
        window->grab(); // the table, the panel and both plots drawn
        shownMs.append(clock.nsecsElapsed() / 1e6);
    }
    std::sort(shownMs.begin(), shownMs.end());
    const double median = shownMs.at(shownMs.size() / 2);
    std::printf("one block shown after choosing it: median %6.1f ms, worst %6.1f ms  target %.0f "
                "ms %s\n",
                median, shownMs.last(), BlockTargetMs,
                shownMs.last() <= BlockTargetMs ? "met" : "MISSED");
    app.processEvents();
    const double above = residentMiB() - idleMiB;
    // A block as the window holds it: its samples and their spectrum (half as many values).
    const double heldMiB = blockMiB * 1.5;
    std::printf("review window's memory above idle: %.1f MiB after opening, %.1f MiB after "
                "choosing 9 blocks\n  = %.2f blocks of samples (%.1f MiB), %.2f blocks as shown "
                "(samples and spectrum, %.1f MiB)  target 2 blocks %s\n",
                openedMiB, above, above / blockMiB, blockMiB, above / heldMiB, heldMiB,
                above <= 2 * heldMiB ? "met" : "MISSED");
    delete window;
    QFile::remove(path);
    return 0;
}
