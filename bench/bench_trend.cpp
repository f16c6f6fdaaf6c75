// The trend plot over a long acquisition: a day of 1-second blocks on sixteen
// channels kept by the TrendStore, and the time one redraw of the trend takes
// (lines rebuilt from the store, autoscale, drawing), offscreen at 1600 x 400.
//
// Usage: bench_trend [hours [channels]]   (default 24 hours, 16 channels)

#include "trendplot.h"
#include "trendstore.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double RedrawTargetMs = 20.0;

long residentKb()
{
    FILE *f = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double hours = argc > 1 ? std::atof(argv[1]) : 24.0;
    const int channels = argc > 2 ? std::atoi(argv[2]) : 16;
    const int blocks = int(hours * 3600.0);

    TrendPlot plot;
    plot.resize(1600, 400);
    for (int ch = 0; ch < channels; ++ch)
        plot.addTrendGraph(ch)->setPen(QPen(QColor::fromHsv(ch * 22, 255, 200)));

    const long rssBefore = residentKb();
    QElapsedTimer timer;
    timer.start();
    const double t0 = 1.8e9;
    TrendStore::BlockValues b;
    double worstAppendUs = 0;
    for (int i = 0; i < blocks; ++i) {
        for (int ch = 0; ch < channels; ++ch) {
            for (int q = 0; q < TrendStore::QuantityCount; ++q)
                b.v[ch][q] = ch + std::sin(i * 1e-3 + q) + 1e-3 * ((i * 7919 + ch) % 101);
        }
        if (i > 0 && i % 7200 == 0)
            plot.store().addBreak(); // a restart every two hours
        QElapsedTimer one;
        one.start();
        plot.store().append(t0 + i, b);
        worstAppendUs = std::max(worstAppendUs, one.nsecsElapsed() / 1e3);
    }
    const double fillMs = timer.nsecsElapsed() / 1e6;
    std::printf("trend store: %d blocks x %d channels in %.0f ms (worst block %.0f us), "
                "%d slots of %d blocks, %.1f MB (resident +%.1f MB)\n",
                blocks, channels, fillMs, worstAppendUs, plot.store().slotCount(),
                plot.store().blocksPerSlot(), plot.store().memoryBytes() / 1048576.0,
                (residentKb() - rssBefore) / 1024.0);

    // One block more, then the redraw the window's timer would do.
    const int rounds = 20;
    double total = 0, worst = 0;
    for (int r = 0; r < rounds; ++r) {
        plot.store().append(t0 + blocks + r, b);
        timer.restart();
        plot.markDirty();
        plot.replot();
        const double ms = timer.nsecsElapsed() / 1e6;
        total += ms;
        worst = std::max(worst, ms);
    }
    std::printf("redraw after a block (rebuild, autoscale, draw): mean %.2f ms, worst %.2f ms  "
                "target %.0f ms %s\n",
                total / rounds, worst, RedrawTargetMs, worst <= RedrawTargetMs ? "met" : "MISSED");

    // Zoomed into one hour: only the drawing, as after a pan.
    total = worst = 0;
    for (int r = 0; r < rounds; ++r) {
        plot.xAxis->setRange(t0 + r * 600.0, t0 + r * 600.0 + 3600.0);
        timer.restart();
        plot.replot();
        const double ms = timer.nsecsElapsed() / 1e6;
        total += ms;
        worst = std::max(worst, ms);
    }
    std::printf("redraw of a panned hour: mean %.2f ms, worst %.2f ms  target %.0f ms %s\n",
                total / rounds, worst, RedrawTargetMs, worst <= RedrawTargetMs ? "met" : "MISSED");
    return 0;
}
