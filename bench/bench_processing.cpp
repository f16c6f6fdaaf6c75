// Processing cost of one block against the bare transform and against the
// block's own duration.
//
// For every case the frames carry a sine plus noise on each channel. The block
// duration assumes the emulator's highest conversion rate, 250 000 conversions
// per second shared by the channels: a frame holds one conversion per channel,
// so the frame rate is 250 000 / channels and a block of n frames lasts
// n / (250 000 / channels) seconds.
//
// Targets: processor / (fftw_execute x channels) <= 1.5 for lengths >= 4096,
// processing <= 10 % of the block duration in every case.

#include "datablockprocessor.h"
#include "spectrum.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr double MaxConversionRate = 250000.0;
constexpr qint64 MinMeasureNs = 400 * 1000 * 1000;

struct Case
{
    int channels;
    int length;
};

QSharedPointer<GRV480RecvThread::Frame> makeFrame(const Case &c, double sampleInterval)
{
    std::mt19937 gen(12345);
    std::normal_distribution<double> noise(0.0, 0.01);
    auto frame = QSharedPointer<GRV480RecvThread::Frame>::create();
    for (int ch = 0; ch < c.channels; ++ch) {
        auto data = QSharedPointer<GRV480RecvThread::ChData>::create();
        data->sampleInterval = sampleInterval;
        data->rangeMv = 35.0;
        data->values.resize(c.length);
        const double freq = 50.0 + 10.0 * ch;
        for (int i = 0; i < c.length; ++i)
            data->values[i] =
                1.0 + 10.0 * std::sin(6.283185307179586 * freq * i * sampleInterval) + noise(gen);
        frame->channels.append(data);
    }
    return frame;
}

// Seconds per call of f, repeated until the measurement is long enough.
template <typename F> double secondsPerCall(F f)
{
    f(); // warm-up: first set-up, page faults
    QElapsedTimer timer;
    qint64 calls = 0;
    timer.start();
    do {
        f();
        ++calls;
    } while (timer.nsecsElapsed() < MinMeasureNs || calls < 3);
    return double(timer.nsecsElapsed()) * 1e-9 / double(calls);
}

// The processor's own in-place plan. Its output overwrites its input, so the
// input is written anew before every run, outside the timed region: run on its
// own output, the values would grow without bound.
double bareTransformSeconds(int length)
{
    SpectrumFft *fft = spectrumFftCreate(length);
    if (!fft)
        return 0.0;
    std::vector<double> input(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i)
        input[size_t(i)] = std::sin(0.01 * i);
    const auto refill = [&] { std::copy(input.begin(), input.end(), fft->input); };
    refill();
    fftw_execute(fft->plan); // warm-up
    QElapsedTimer timer;
    qint64 timed = 0;
    qint64 calls = 0;
    do {
        refill();
        timer.start();
        fftw_execute(fft->plan);
        timed += timer.nsecsElapsed();
        ++calls;
    } while (timed < MinMeasureNs || calls < 3);
    spectrumFftDestroy(fft);
    return double(timed) * 1e-9 / double(calls);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // "bench_processing CHANNELS LENGTH" measures one case only (for a profiler).
    QVector<Case> cases = {{16, 1000}, {16, 20000}, {1, 250000}, {1, 249989}};
    const QStringList args = app.arguments();
    if (args.size() == 3)
        cases = {{args.at(1).toInt(), args.at(2).toInt()}};

    std::printf("Block processing (window type 7), %g conversions/s shared by the channels\n\n",
                MaxConversionRate);
    std::printf("%8s %8s %12s %14s %7s %12s %8s\n", "channels", "length", "process ms",
                "fftw x ch ms", "ratio", "block ms", "share %");

    bool allMet = true;
    for (const Case &c : qAsConst(cases)) {
        if (c.channels < 1 || c.length < 1)
            continue;
        const double frameRate = MaxConversionRate / c.channels;
        const double sampleInterval = 1.0 / frameRate;
        const auto frame = makeFrame(c, sampleInterval);

        DataBlockProcessor processor;
        QSharedPointer<DataBlockProcessor::DataBlock> last;
        QObject::connect(
            &processor, &DataBlockProcessor::newBlock,
            [&last](const QSharedPointer<DataBlockProcessor::DataBlock> &b) { last = b; });
        const double process = secondsPerCall([&] { processor.processFrame(frame); });
        const double bare = bareTransformSeconds(c.length) * c.channels;
        const double ratio = process / bare;
        const double blockSeconds = c.length / frameRate;
        const double share = 100.0 * process / blockSeconds;

        const bool ratioMet = c.length < 4096 || ratio <= 1.5;
        const bool shareMet = share <= 10.0;
        allMet = allMet && ratioMet && shareMet;
        std::printf("%8d %8d %12.3f %14.3f %7.2f%s %12.1f %8.3f%s\n", c.channels, c.length,
                    process * 1e3, bare * 1e3, ratio, ratioMet ? " " : "!", blockSeconds * 1e3,
                    share, shareMet ? "" : "!");
    }
    std::printf("\nTargets: ratio <= 1.5 for lengths >= 4096, share <= 10 %%: %s\n",
                allMet ? "met" : "MISSED (marked !)");
    return 0;
}
