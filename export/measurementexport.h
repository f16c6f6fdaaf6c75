#ifndef MEASUREMENTEXPORT_H
#define MEASUREMENTEXPORT_H

#include "measurementsnapshot.h"

#include <QSize>
#include <QString>

#include <atomic>

class QCustomPlot;

// Files of one shown block. Every writer leaves either the complete new file
// under the chosen name or whatever was there before (nothing, or the old
// file): it writes beside it and renames only once the file is whole.
namespace MeasurementExport {

enum class Format {
    ResultsCsv,  // results table and status panel
    SamplesCsv,  // samples and spectra of every channel
    SamplesHdf5, // the same as HDF5 datasets, for large blocks
};

// Shared between the writing thread and the thread watching it.
struct Progress
{
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{1};
    std::atomic<bool> cancel{false};
};

struct Result
{
    bool ok = false;
    bool cancelled = false;
    QString error; // why it failed, for a message box
};

// Safe on any thread; progress may be null.
Result write(const MeasurementSnapshot &s, Format format, const QString &path,
             Progress *progress = nullptr);

// What a plot shows, taken when the export is chosen.
struct PlotView
{
    bool spectrum = false; // the spectra, otherwise the samples over time
    double xMin = 0.0, xMax = 1.0, yMin = 0.0, yMax = 1.0;
    QString xLabel, yLabel; // with their units
    QSize size;             // pixels of the PNG; the PDF's page
};

PlotView viewOf(const QCustomPlot *plot, bool spectrum);

// A picture of the snapshot's plotted channels as the view shows them, with a
// title (module, block time), a legend of the channels in their colours and
// the axis titles: PNG at the view's size, or PDF as vectors. GUI thread only.
Result savePlot(const MeasurementSnapshot &s, const PlotView &view, const QString &path, bool pdf);

// The picture itself, for whoever wants to look at it; the caller owns it.
QCustomPlot *buildPlot(const MeasurementSnapshot &s, const PlotView &view);

} // namespace MeasurementExport

#endif // MEASUREMENTEXPORT_H
