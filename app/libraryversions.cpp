#include "libraryversions.h"

#include <fftw3.h>
#include <hdf5.h>
#include <qcustomplot.h>

LibraryVersions libraryVersions()
{
    LibraryVersions v;
    v.qt = QString::fromLatin1(qVersion());
    // QCustomPlot has no run-time query; the header is the library's own.
    v.qcustomplot = QStringLiteral(QCUSTOMPLOT_VERSION_STR);
    // "fftw-3.3.10-sse2-avx": the part before the first option.
    const QString fftw = QString::fromLatin1(fftw_version);
    v.fftw = fftw.section(QLatin1Char('-'), 1, 1);
    if (v.fftw.isEmpty())
        v.fftw = fftw;
    unsigned major = 0, minor = 0, release = 0;
    if (H5get_libversion(&major, &minor, &release) >= 0)
        v.hdf5 = QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(release);
    return v;
}
