#include "cursorreading.h"

#include <algorithm>
#include <cmath>

namespace CursorReading {

namespace {

// Half the main lobe of the processor's default window, in bins: a harmonic's
// peak lies within it even where k times the measured frequency misses it by
// a bin or two.
constexpr int LineHalfWidthBins = 4;

} // namespace

double valueAt(const ChResult &c, double timeMs)
{
    const int n = c.values.size();
    const double step = 1000.0 * c.sampleInterval;
    if (n == 0 || !(step > 0.0) || !std::isfinite(timeMs))
        return qQNaN();
    const double x = timeMs / step;
    if (x < 0.0 || x > n - 1)
        return qQNaN();
    const int i = std::min(int(std::floor(x)), n - 1);
    const double a = c.values.at(i);
    if (i == n - 1 || x == i)
        return std::isfinite(a) ? a : qQNaN();
    const double b = c.values.at(i + 1);
    if (!std::isfinite(a) || !std::isfinite(b))
        return qQNaN();
    const double frac = x - i;
    return a + (b - a) * frac;
}

double levelAt(const ChResult &c, double freqHz)
{
    const int n = std::min(int(c.spectrum.size()), c.freqBins);
    if (n == 0 || !(c.freqStep > 0.0) || !std::isfinite(freqHz))
        return qQNaN();
    const double x = freqHz / c.freqStep;
    if (x < -0.5 || x > n - 0.5)
        return qQNaN();
    const int i = std::min(std::max(int(std::lround(x)), 0), n - 1);
    const double v = c.spectrum.at(i);
    return std::isfinite(v) ? v : qQNaN();
}

double Reading::inverseDeltaT() const
{
    const double dt = std::abs(deltaT());
    return dt > 0.0 ? 1000.0 / dt : qQNaN();
}

Reading read(const DataBlockProcessor::DataBlock &block, const QVector<int> &rows,
             const QVector<int> &channelNumbers, double t1, double t2, double f1, double f2)
{
    Reading r;
    r.t1 = t1;
    r.t2 = t2;
    r.f1 = f1;
    r.f2 = f2;
    for (int row : rows) {
        if (row < 0 || row >= block.channels.size() || !block.channels.at(row))
            continue;
        const ChResult &c = *block.channels.at(row);
        ChannelReading ch;
        ch.row = row;
        ch.channel = row < channelNumbers.size() ? channelNumbers.at(row) : 0;
        ch.value = {valueAt(c, t1), valueAt(c, t2)};
        ch.level = {levelAt(c, f1), levelAt(c, f2)};
        r.channels.append(ch);
    }
    return r;
}

QVector<Line> harmonicLines(const ChResult &c)
{
    QVector<Line> lines;
    const int n = std::min(int(c.spectrum.size()), c.freqBins);
    if (!c.peakValid || !(c.peakFreq > 0.0) || !(c.freqStep > 0.0) || n == 0)
        return lines;
    for (int k = 1; k < DataBlockProcessor::HarmonicLimit; ++k) {
        const double f = k * c.peakFreq;
        const int centre = int(std::lround(f / c.freqStep));
        if (centre >= n)
            break;
        int best = -1;
        for (int i = std::max(0, centre - LineHalfWidthBins);
             i <= std::min(n - 1, centre + LineHalfWidthBins); ++i) {
            if (std::isfinite(c.spectrum.at(i)) &&
                (best < 0 || c.spectrum.at(i) > c.spectrum.at(best)))
                best = i;
        }
        if (best < 0)
            continue;
        // The dominant line sits where the processor measured it; a harmonic
        // at the bin of its highest level.
        lines.append({k, k == 1 ? c.peakFreq : best * c.freqStep, c.spectrum.at(best)});
    }
    return lines;
}

} // namespace CursorReading
