#include "envelopegraph.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Below this many points per pixel column the graph gets every visible point:
// reducing would save little.
constexpr int PointsPerColumnToReduce = 4;

bool inDomain(double v, QCP::SignDomain domain)
{
    switch (domain) {
    case QCP::sdNegative:
        return v < 0;
    case QCP::sdPositive:
        return v > 0;
    default:
        return true;
    }
}

} // namespace

EnvelopeGraph::EnvelopeGraph(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPGraph(keyAxis, valueAxis)
{
    // The envelope already is a few points per column; the library's own
    // reduction on top of it would only cost time.
    setAdaptiveSampling(false);
}

void EnvelopeGraph::setSource(const QVector<double> &keys, const QVector<double> &values)
{
    m_uniform = false;
    m_keys = keys;
    m_values = values;
    m_count = std::min(keys.size(), values.size());
    m_envelopeValid = false;
    summarise();
    computeRanges();
}

void EnvelopeGraph::setSource(double scale, double step, const QVector<double> &values)
{
    m_uniform = true;
    m_keyScale = scale;
    m_keyStep = step;
    m_keys = QVector<double>();
    m_values = values;
    m_count = values.size();
    m_envelopeValid = false;
    summarise();
    computeRanges();
}

int EnvelopeGraph::lowerIndex(int from, int to, double x) const
{
    while (from < to) {
        const int mid = from + (to - from) / 2;
        if (key(mid) < x)
            from = mid + 1;
        else
            to = mid;
    }
    return from;
}

int EnvelopeGraph::upperIndex(int from, int to, double x) const
{
    while (from < to) {
        const int mid = from + (to - from) / 2;
        if (!(x < key(mid)))
            from = mid + 1;
        else
            to = mid;
    }
    return from;
}

void EnvelopeGraph::clearSource()
{
    m_uniform = false;
    m_keys = QVector<double>();
    m_values = QVector<double>();
    m_count = 0;
    m_envelopeValid = false;
    m_keyRangeFound = m_valueRangeFound = false;
    m_chunkLow.clear();
    m_chunkHigh.clear();
    mDataContainer->clear();
}

// Lowest and highest value of [a, b) with the index of the first of each; false
// when a value is not finite (then the indices mean nothing).
static bool scanExtremes(const double *v, int a, int b, int &iLow, int &iHigh)
{
    double low = v[a], high = v[a];
    iLow = iHigh = a;
    // x - x is 0 for every finite x and NaN otherwise: one sum finds a gap.
    double gaps = low - low;
    for (int i = a + 1; i < b; ++i) {
        const double x = v[i];
        gaps += x - x;
        if (x < low) {
            low = x;
            iLow = i;
        }
        if (x > high) {
            high = x;
            iHigh = i;
        }
    }
    return gaps == 0.0;
}

void EnvelopeGraph::summarise()
{
    const double *v = m_values.constData();
    const int chunks = m_count / ChunkSize;
    m_chunkLow.resize(chunks);
    m_chunkHigh.resize(chunks);
    for (int c = 0; c < chunks; ++c) {
        const double *x = v + size_t(c) * ChunkSize;
        // Four independent lanes: no loop-carried dependency on one compare.
        double lo[4] = {x[0], x[1], x[2], x[3]};
        double hi[4] = {x[0], x[1], x[2], x[3]};
        double gaps = 0.0;
        for (int i = 0; i < ChunkSize; i += 4) {
            for (int l = 0; l < 4; ++l) {
                const double y = x[i + l];
                gaps += y - y;
                lo[l] = y < lo[l] ? y : lo[l];
                hi[l] = y > hi[l] ? y : hi[l];
            }
        }
        if (gaps == 0.0) {
            m_chunkLow[c] = std::min(std::min(lo[0], lo[1]), std::min(lo[2], lo[3]));
            m_chunkHigh[c] = std::max(std::max(hi[0], hi[1]), std::max(hi[2], hi[3]));
        } else {
            m_chunkLow[c] = m_chunkHigh[c] = std::numeric_limits<double>::quiet_NaN();
        }
    }
}

bool EnvelopeGraph::findExtremes(int a, int b, int &iLow, int &iHigh) const
{
    const double *v = m_values.constData();
    const int firstChunk = (a + ChunkSize - 1) / ChunkSize;
    const int endChunk = b / ChunkSize;
    if (endChunk - firstChunk < 2)
        return scanExtremes(v, a, b, iLow, iHigh);

    // The part before the first whole chunk, the chunks, the part after them;
    // strict comparisons keep the first occurrence.
    const int headEnd = firstChunk * ChunkSize;
    const int tailStart = endChunk * ChunkSize;
    int hLow = a, hHigh = a;
    if (headEnd > a && !scanExtremes(v, a, headEnd, hLow, hHigh))
        return false;
    double low = headEnd > a ? v[hLow] : std::numeric_limits<double>::infinity();
    double high = headEnd > a ? v[hHigh] : -std::numeric_limits<double>::infinity();
    iLow = hLow;
    iHigh = hHigh;
    int lowChunk = -1, highChunk = -1;
    for (int c = firstChunk; c < endChunk; ++c) {
        const double cl = m_chunkLow[c], ch = m_chunkHigh[c];
        if (!(cl == cl))
            return false;
        if (cl < low) {
            low = cl;
            lowChunk = c;
        }
        if (ch > high) {
            high = ch;
            highChunk = c;
        }
    }
    if (tailStart < b) {
        int tLow, tHigh;
        if (!scanExtremes(v, tailStart, b, tLow, tHigh))
            return false;
        if (v[tLow] < low) {
            low = v[tLow];
            iLow = tLow;
            lowChunk = -1;
        }
        if (v[tHigh] > high) {
            high = v[tHigh];
            iHigh = tHigh;
            highChunk = -1;
        }
    }
    auto firstEqual = [v](int chunk, double value) {
        int i = chunk * ChunkSize;
        while (v[i] != value)
            ++i;
        return i;
    };
    if (lowChunk >= 0)
        iLow = firstEqual(lowChunk, low);
    if (highChunk >= 0)
        iHigh = firstEqual(highChunk, high);
    return true;
}

void EnvelopeGraph::computeRanges()
{
    const double *v = m_values.constData();
    const int n = m_count;

    m_keyRangeFound = false;
    int first = 0;
    while (first < n && !std::isfinite(v[first]))
        ++first;
    int last = n - 1;
    while (last >= first && !std::isfinite(v[last]))
        --last;
    if (first <= last) {
        m_keyRange = QCPRange(key(first), key(last));
        m_keyRangeFound = true;
    }

    m_valueRangeFound = false;
    if (!m_keyRangeFound)
        return;
    int iLow = first, iHigh = first;
    if (findExtremes(first, last + 1, iLow, iHigh)) {
        m_valueRange = QCPRange(v[iLow], v[iHigh]);
    } else {
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        for (int i = first; i <= last; ++i) {
            const double x = v[i];
            if (std::isfinite(x)) {
                lo = std::min(lo, x);
                hi = std::max(hi, x);
            }
        }
        m_valueRange = QCPRange(lo, hi);
    }
    m_valueRangeFound = true;
}

QCPRange EnvelopeGraph::getKeyRange(bool &foundRange, QCP::SignDomain inSignDomain) const
{
    if (inSignDomain == QCP::sdBoth) {
        foundRange = m_keyRangeFound;
        return m_keyRangeFound ? m_keyRange : QCPRange();
    }
    QCPRange range;
    foundRange = false;
    for (int i = 0; i < m_count; ++i) {
        const double k = key(i);
        if (!std::isfinite(m_values.at(i)) || !inDomain(k, inSignDomain))
            continue;
        if (!foundRange)
            range = QCPRange(k, k);
        else
            range.expand(k);
        foundRange = true;
    }
    return range;
}

QCPRange EnvelopeGraph::getValueRange(bool &foundRange, QCP::SignDomain inSignDomain,
                                      const QCPRange &inKeyRange) const
{
    const bool restrictKeys = inKeyRange != QCPRange();
    if (inSignDomain == QCP::sdBoth && !restrictKeys) {
        foundRange = m_valueRangeFound;
        return m_valueRangeFound ? m_valueRange : QCPRange();
    }
    QCPRange range;
    foundRange = false;
    for (int i = 0; i < m_count; ++i) {
        const double k = key(i);
        const double value = m_values.at(i);
        if (restrictKeys && (k < inKeyRange.lower || k > inKeyRange.upper))
            continue;
        if (!std::isfinite(value) || !inDomain(value, inSignDomain))
            continue;
        if (!foundRange)
            range = QCPRange(value, value);
        else
            range.expand(value);
        foundRange = true;
    }
    return range;
}

void EnvelopeGraph::updateEnvelope()
{
    QCPAxis *axis = keyAxis();
    if (!axis || !axis->axisRect() || !mParentPlot)
        return;
    const QRect rect = axis->axisRect()->rect();
    const int pixels = axis->orientation() == Qt::Horizontal ? rect.width() : rect.height();
    const int columns = std::max(1, int(std::ceil(pixels * mParentPlot->bufferDevicePixelRatio())));
    const QCPRange range = axis->range();
    if (m_envelopeValid && range.lower == m_builtLower && range.upper == m_builtUpper &&
        columns == m_builtColumns)
        return;
    buildEnvelope(range.lower, range.upper, columns);
    m_builtLower = range.lower;
    m_builtUpper = range.upper;
    m_builtColumns = columns;
    m_envelopeValid = true;
}

void EnvelopeGraph::draw(QCPPainter *painter)
{
    updateEnvelope();
    QCPGraph::draw(painter);
}

void EnvelopeGraph::buildEnvelope(double lower, double upper, int columns)
{
    const double *v = m_values.constData();
    const int n = m_count;
    const double nan = std::numeric_limits<double>::quiet_NaN();

    QVector<QCPGraphData> out;
    auto emitPoint = [&](int i) {
        out.append(QCPGraphData(key(i), std::isfinite(v[i]) ? v[i] : nan));
    };
    // The points of [a, b), all finite, that draw the same column: the first and
    // the last in place, the lowest and the highest between them in data order.
    // The extremes stand on the column's centre line: there the vertical run
    // from one to the other covers the pixel column fully, as the hundreds of
    // overlapping segments of all points do; off centre, the anti-aliasing
    // would share it between two columns at half strength.
    double centre = 0.0;
    auto emitRun = [&](int a, int b, int iLow, int iHigh) {
        const int lo = std::min(iLow, iHigh), hi = std::max(iLow, iHigh);
        const double c = std::min(std::max(centre, key(a)), key(b - 1));
        emitPoint(a);
        if (lo != a && lo != b - 1)
            out.append(QCPGraphData(c, v[lo]));
        if (hi != lo && hi != a && hi != b - 1)
            out.append(QCPGraphData(c, v[hi]));
        if (b - 1 != a)
            emitPoint(b - 1);
    };

    const int first = lowerIndex(0, n, lower);
    const int last = upperIndex(0, n, upper);
    // One point beyond each end, so that the lines leaving the view are drawn.
    const int begin = std::max(0, first - 1);
    const int end = std::min(n, last + 1);

    if (last - first <= PointsPerColumnToReduce * columns) {
        out.reserve(end - begin);
        for (int i = begin; i < end; ++i)
            emitPoint(i);
        mDataContainer->set(out, true);
        return;
    }

    out.reserve(4 * columns + 2);
    if (begin < first)
        emitPoint(begin);
    const double width = (upper - lower) / columns;
    int start = first;
    for (int c = 0; c < columns && start < last; ++c) {
        const int stop =
            c == columns - 1
                ? last
                : lowerIndex(start, last, lower + (c + 1) * width);
        if (stop <= start)
            continue;
        centre = lower + (c + 0.5) * width;
        if (stop - start <= 4) {
            for (int i = start; i < stop; ++i)
                emitPoint(i);
            start = stop;
            continue;
        }
        int iLow = start, iHigh = start;
        const bool finite = findExtremes(start, stop, iLow, iHigh);
        if (finite) {
            emitRun(start, stop, iLow, iHigh);
        } else {
            // Runs of finite values separated by one gap point each.
            int runStart = -1;
            bool gapEmitted = false;
            for (int i = start; i <= stop; ++i) {
                const bool finite = i < stop && std::isfinite(v[i]);
                if (finite) {
                    if (runStart < 0) {
                        runStart = i;
                        iLow = iHigh = i;
                    } else {
                        if (v[i] < v[iLow])
                            iLow = i;
                        if (v[i] > v[iHigh])
                            iHigh = i;
                    }
                    continue;
                }
                if (runStart >= 0) {
                    emitRun(runStart, i, iLow, iHigh);
                    runStart = -1;
                    gapEmitted = false;
                }
                if (i < stop && !gapEmitted) {
                    emitPoint(i);
                    gapEmitted = true;
                }
            }
        }
        start = stop;
    }
    if (end > last)
        emitPoint(end - 1);
    mDataContainer->set(out, true);
}
