#ifndef MEASUREMENTEXPORT_H
#define MEASUREMENTEXPORT_H

#include "measurementsnapshot.h"

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

// PNG or PDF through the plot library's own export; GUI thread only.
Result savePlot(QCustomPlot *plot, const QString &path, bool pdf);

} // namespace MeasurementExport

#endif // MEASUREMENTEXPORT_H
