// GUI-thread cost of one block: MainWindow::showBlock plus the coalesced
// replot of both plots and the repaint of the table, measured as CPU time of
// the GUI thread, offscreen, and given as a share of the block's duration.
//
// Frame rates assumed (the emulator's fastest settings): 250 kHz ADC clock;
// 16 channels with every background measurement give frames of 18 clocks
// (16 channels, one zero row, one background step), 13 889 frames/s; one
// channel in single-channel mode runs at the 250 kHz output rate.
//
// Usage: bench_gui [iterations [snapshot-dir]]   (default 20 iterations; with a
// directory, the window of each case is saved there as a PNG to look at)

#include "datablockprocessor.h"
#include "deviceconfig.h"
#include "grv480recvthread.h"
#include "mainwindow.h"
#include "plot.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <random>
#include <time.h>

namespace {

double threadCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

TGRV480MeasValue measValue(double value)
{
    TGRV480MeasValue v{};
    v.state = GRV480_MV_VALID;
    v.valid = 1;
    v.value = value;
    return v;
}

QSharedPointer<DataBlockProcessor::DataBlock> makeBlock(DataBlockProcessor &processor,
                                                        int channels, int samples,
                                                        double frameRate, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.002);
    auto frame = QSharedPointer<GRV480RecvThread::Frame>::create();
    frame->status.uref = measValue(2.5);
    frame->status.urefR = measValue(2.5);
    frame->status.vadj = measValue(1.6);
    frame->status.uneg = measValue(-0.05);
    for (int c = 0; c < channels; ++c) {
        auto ch = QSharedPointer<GRV480RecvThread::ChData>::create();
        ch->sampleInterval = 1.0 / frameRate;
        ch->rangeMv = 35.0;
        ch->status.ux = measValue(2.51);
        ch->status.ucm = measValue(1.25);
        ch->status.ucmMin = 0.5;
        ch->status.ucmMax = 3.0;
        ch->values.resize(samples);
        const double f = 17.0 * (c + 1);
        for (int i = 0; i < samples; ++i)
            ch->values[i] = 10.0 * std::sin(2 * M_PI * f * i / frameRate + seed) + noise(rng);
        frame->channels.append(ch);
    }
    QSharedPointer<DataBlockProcessor::DataBlock> block;
    const auto conn = QObject::connect(&processor, &DataBlockProcessor::newBlock,
                                       [&block](QSharedPointer<DataBlockProcessor::DataBlock> b) {
                                           block = b;
                                       });
    processor.processFrame(frame);
    QObject::disconnect(conn);
    return block;
}

void writeConfig(int channels, bool singleCh)
{
    QSettings settings;
    settings.clear();
    DeviceConfig cfg;
    cfg.loadSettings(settings);
    cfg.setSingleChMode(singleCh);
    for (int c = 0; c < channels; ++c)
        cfg.setChannelEnabled(c, true);
    cfg.saveSettings(settings);
    settings.sync();
}

struct Case
{
    const char *name;
    int channels;
    int samples;
    double frameRate;
    bool singleCh;
    bool shareTarget = false;
};

constexpr double MaxGuiMsPerBlock = 50.0;
constexpr double MaxShortBlockShare = 10.0;

void runCase(const Case &c, int iterations, const QString &snapshotDir)
{
    writeConfig(c.channels, c.singleCh);

    MainWindow window;
    window.setWindowState(Qt::WindowNoState);
    window.resize(1600, 1000);
    window.show();
    QApplication::processEvents();
    auto *timePlot = window.findChild<Plot *>(QStringLiteral("timePlot"));
    auto *fftPlot = window.findChild<Plot *>(QStringLiteral("fftPlot"));

    DataBlockProcessor processor;
    const QSharedPointer<DataBlockProcessor::DataBlock> blocks[2] = {
        makeBlock(processor, c.channels, c.samples, c.frameRate, 1),
        makeBlock(processor, c.channels, c.samples, c.frameRate, 2)};

    auto oneBlock = [&](int i) {
        const double start = threadCpuMs();
        window.showBlock(blocks[i % 2]);
        // Idle waiting for the replot timer costs no CPU and is not counted.
        while (timePlot->isReplotPending() || fftPlot->isReplotPending())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QApplication::processEvents();
        return threadCpuMs() - start;
    };

    // Of the long blocks a few tell enough (each may take seconds without the envelope).
    iterations =
        std::min(iterations, std::max(3, int(20000000LL / (qint64(c.channels) * c.samples))));
    for (int i = 0; i < 3; ++i)
        oneBlock(i);
    double total = 0.0;
    double worst = 0.0;
    for (int i = 0; i < iterations; ++i) {
        const double ms = oneBlock(i);
        total += ms;
        worst = std::max(worst, ms);
    }
    const double mean = total / iterations;
    const double blockMs = c.samples / c.frameRate * 1000.0;
    // Targets: at most 50 ms for any block; at most 10 % of the block's duration
    // for the shortest blocks of sixteen channels at the highest frame rate.
    const double share = 100.0 * mean / blockMs;
    const bool met = worst <= MaxGuiMsPerBlock && (!c.shareTarget || share <= MaxShortBlockShare);
    std::printf("%-26s block %8.1f ms  GUI %8.2f ms/block (worst %8.2f)  share %6.2f %%  "
                "target %s%s\n",
                c.name, blockMs, mean, worst, share,
                c.shareTarget ? "<= 50 ms, <= 10 %: " : "<= 50 ms: ", met ? "met" : "MISSED");
    std::fflush(stdout);
    if (!snapshotDir.isEmpty())
        window.grab().save(QStringLiteral("%1/bench_gui_%2x%3.png")
                                   .arg(snapshotDir)
                                   .arg(c.channels)
                                   .arg(c.samples));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    // Nothing listens on port 1: the window starts without a module and the
    // blocks are handed to it directly.
    qputenv("GRV480_SERVER_PORT", "1");

    QSettings::setDefaultFormat(QSettings::IniFormat);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Norvik"));
    QCoreApplication::setApplicationName(QStringLiteral("GRV480 Monitor bench"));

    // The refresh at construction reports the missing server in a box.
    QTimer boxCloser;
    QObject::connect(&boxCloser, &QTimer::timeout, []() {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    boxCloser.start(20);

    const int iterations = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const double multiRate = 250000.0 / 18.0;
    const Case cases[] = {
        {"16 channels x 1000", 16, 1000, multiRate, false, true},
        {"16 channels x 20000", 16, 20000, multiRate, false},
        {"1 channel x 250000", 1, 250000, 250000.0, true},
        {"1 channel x 5 million", 1, 5000000, 250000.0, true},
        {"1 channel x 15 million", 1, 15000000, 250000.0, true},
    };
    std::printf("GUI thread per block, offscreen, window 1600 x 1000, %d blocks each\n",
                iterations);
    std::printf("frame rates: %.1f frames/s (16 channels), 250000 frames/s (1 channel)\n",
                multiRate);
    const QString snapshotDir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    // BENCH_GUI_CASE=N runs the N-th case alone (for a profiler).
    bool ok = false;
    const int only = qEnvironmentVariableIntValue("BENCH_GUI_CASE", &ok);
    for (const Case &c : cases) {
        if (!ok || &c - cases == only)
            runCase(c, iterations, snapshotDir);
    }
    return 0;
}
