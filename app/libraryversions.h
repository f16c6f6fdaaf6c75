#ifndef LIBRARYVERSIONS_H
#define LIBRARYVERSIONS_H

#include <QString>

// Versions of the libraries the program runs with (not those it was built
// against, where the library can tell).
struct LibraryVersions
{
    QString qt;
    QString qcustomplot;
    QString fftw;
    QString hdf5;
};

LibraryVersions libraryVersions();

#endif // LIBRARYVERSIONS_H
