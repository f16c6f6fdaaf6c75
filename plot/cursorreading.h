#ifndef CURSORREADING_H
#define CURSORREADING_H

#include "datablockprocessor.h"

#include <QVector>
#include <QtNumeric>

// What the plot cursors read off a block: the values of each shown channel at
// two times and its spectrum levels at two frequencies, and the dominant line
// of each channel with its harmonics. Free of widgets, so that the arithmetic
// can be checked on its own.
namespace CursorReading {

using ChResult = DataBlockProcessor::ChResult;

// Value of the samples at time t (ms) on the block's evenly spaced time axis,
// interpolated linearly between the two samples around it. NaN outside the
// samples, and where either neighbour is not a finite number.
double valueAt(const ChResult &c, double timeMs);

// Level (dB) of the spectrum line nearest to frequency f (Hz); NaN outside the
// spectrum or where the line is not a finite number.
double levelAt(const ChResult &c, double freqHz);

struct Pair
{
    double at1 = qQNaN();
    double at2 = qQNaN();
    double difference() const { return at2 - at1; } // second minus first
};

struct ChannelReading
{
    int row = -1;    // index of the channel result in the block
    int channel = 0; // physical channel, 1 to 16
    Pair value;      // mV at t1, t2
    Pair level;      // dB at f1, f2
};

struct Reading
{
    double t1 = 0.0, t2 = 0.0; // ms
    double f1 = 0.0, f2 = 0.0; // Hz
    double deltaT() const { return t2 - t1; }
    // Frequency whose period is |t2 - t1|; NaN when the cursors coincide.
    double inverseDeltaT() const;
    double deltaF() const { return f2 - f1; }
    QVector<ChannelReading> channels;
};

// Reads the rows of the block listed in rows; channelNumbers gives the physical
// channel of each channel result (a missing entry reads as 0). Rows beyond the
// block are skipped.
Reading read(const DataBlockProcessor::DataBlock &block, const QVector<int> &rows,
             const QVector<int> &channelNumbers, double t1, double t2, double f1, double f2);

struct Line
{
    int order = 1;      // 1 for the dominant line, k for its k-th harmonic
    double freq = 0.0;  // Hz
    double level = 0.0; // dB
};

// The dominant line of a channel and its harmonics up to the processor's limit
// that lie within the spectrum, each at the highest level near its frequency
// (a windowed line spreads over a few bins). Empty without a valid line.
QVector<Line> harmonicLines(const ChResult &c);

} // namespace CursorReading

#endif // CURSORREADING_H
