// Export of a 15-million-sample block (16 channels of 937 500 samples and their
// spectra): the time each file kind takes, the peak memory the export adds to
// the block's own, and how long the GUI thread's event loop is kept waiting
// while the export runs on its worker thread.
//
//   bench_export [directory]   (default: a temporary directory, removed after)
#include "measurementactions.h"
#include "measurementexport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <qcustomplot.h>

#include <cmath>
#include <cstdio>

using Block = DataBlockProcessor::DataBlock;

namespace {

constexpr int Channels = 16;
constexpr int Samples = 937500;

// Resident set size now and at its peak since the last reset, in MiB.
double statusMiB(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

MeasurementSnapshot makeSnapshot()
{
    auto block = QSharedPointer<Block>::create();
    QVector<double> freq(Samples / 2 + 1);
    for (int c = 0; c < Channels; ++c) {
        auto r = QSharedPointer<DataBlockProcessor::ChResult>::create();
        r->sampleInterval = 1e-5;
        r->freqStep = 100000.0 / Samples;
        r->freqBins = freq.size();
        r->values.resize(Samples);
        for (int i = 0; i < Samples; ++i)
            r->values[i] = 12.5 * std::sin(i * 0.0123 + c) + 1e-4 * (i % 97);
        r->spectrum.resize(freq.size());
        for (int i = 0; i < freq.size(); ++i)
            r->spectrum[i] = -140.0 + 3.0 * std::sin(i * 0.01);
        r->rangeMv = 35;
        block->channels.append(r);
    }
    MeasurementSnapshot s;
    s.moduleSerial = QStringLiteral("BENCH-1");
    s.crateSerial = QStringLiteral("CR16-0417");
    s.slot = 3;
    s.blockTime = QDateTime::currentDateTimeUtc();
    for (int c = 0; c < Channels; ++c)
        s.channelNumbers.append(c + 1);
    s.block = block;
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.path();

    const double before = statusMiB("VmRSS:");
    const MeasurementSnapshot s = makeSnapshot();
    const double withBlock = statusMiB("VmRSS:");
    std::printf("block: %d channels x %d samples = %lld samples, %.0f MiB resident for the block\n",
                Channels, Samples, static_cast<long long>(s.sampleCount()), withBlock - before);

    struct Case
    {
        const char *name;
        MeasurementExport::Format format;
        const char *file;
    } cases[] = {
        {"results CSV", MeasurementExport::Format::ResultsCsv, "results.csv"},
        {"samples CSV", MeasurementExport::Format::SamplesCsv, "samples.csv"},
        {"samples HDF5", MeasurementExport::Format::SamplesHdf5, "samples.h5"},
    };
    std::printf("%-14s %9s %10s %16s\n", "kind", "time, s", "size, MiB", "peak added, MiB");
    for (const Case &c : cases) {
        const QString path = dir + QLatin1Char('/') + QLatin1String(c.file);
        resetPeak();
        const double rss = statusMiB("VmRSS:");
        QElapsedTimer t;
        t.start();
        const MeasurementExport::Result r = MeasurementExport::write(s, c.format, path);
        const double secs = t.nsecsElapsed() / 1e9;
        if (!r.ok) {
            std::printf("%s failed: %s\n", c.name, qPrintable(r.error));
            return 1;
        }
        std::printf("%-14s %9.2f %10.1f %16.1f\n", c.name, secs, QFileInfo(path).size() / 1048576.0,
                    statusMiB("VmHWM:") - rss);
        QFile::remove(path);
    }

    // The same exports through the window's action: the longest the event loop
    // waits between two ticks of a 10 ms timer while the worker writes.
    QMainWindow window;
    auto *timePlot = new QCustomPlot(&window);
    auto *fftPlot = new QCustomPlot(&window);
    MeasurementActions actions(&window, timePlot, fftPlot, [&s](MeasurementSnapshot &d) {
        d = s;
        d.block.reset();
    });
    actions.blockShown(s.block.constCast<Block>());
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->done(QMessageBox::Ok);
    });
    closer.start(20);
    for (auto kind :
         {MeasurementActions::Kind::SamplesCsv, MeasurementActions::Kind::SamplesHdf5}) {
        const QString path =
            dir + QStringLiteral("/action.") + MeasurementActions::defaultSuffix(kind);
        QElapsedTimer total, gap;
        qint64 worstGapMs = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { worstGapMs = std::max(worstGapMs, gap.restart()); });
        QEventLoop loop;
        QObject::connect(&actions, &MeasurementActions::exportFinished, &loop, &QEventLoop::quit);
        total.start();
        gap.start();
        tick.start(10);
        actions.exportTo(path, kind);
        loop.exec();
        tick.stop();
        std::printf("action %-6s: %.2f s, longest event-loop gap %lld ms (timer 10 ms)\n",
                    qPrintable(MeasurementActions::defaultSuffix(kind)), total.nsecsElapsed() / 1e9,
                    static_cast<long long>(worstGapMs));
        QFile::remove(path);
    }
    return 0;
}
