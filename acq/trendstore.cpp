#include "trendstore.h"

#include "resultrules.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Capacity grows by doubling up to the limit, never past it: the library's
// own growth would round up to a power of two beyond the limit.
template <typename T> void makeRoom(QVector<T> &v, int limit)
{
    if (v.size() == v.capacity())
        v.reserve(std::min(limit + 1, std::max(64, 2 * int(v.size()))));
}

double shown(const TGRV480MeasValue &v)
{
    return v.valid && std::isfinite(v.value) ? v.value : NaN;
}

} // namespace

TrendStore::BlockValues::BlockValues()
{
    for (auto &channel : v)
        channel.fill(NaN);
}

TrendStore::TrendStore(int slotLimit)
    : m_limit(std::max(4, slotLimit))
{
}

TrendStore::BlockValues TrendStore::valuesOf(const DataBlockProcessor::DataBlock &block,
                                             const QVector<int> &channels)
{
    BlockValues out;
    const int n = std::min(block.channels.size(), channels.size());
    for (int r = 0; r < n; ++r) {
        const DataBlockProcessor::ChResult *c = block.channels.at(r).data();
        const int ch = channels.at(r);
        if (!c || ch < 0 || ch >= ChannelCount)
            continue;
        auto &v = out.v[ch];
        v[Dc] = c->dc;
        v[Ac] = c->ac;
        if (c->harmValid) {
            v[Snr] = c->snr;
            v[Sinad] = c->sinad;
            v[Enob] = c->enob;
        }
        v[Ux] = shown(c->status.ux);
        v[Udiff] = shown(ResultRules::udiff(c->status.ux, block.status.uref, c->rangeMv).value);
        v[Ucm] = shown(c->status.ucm);
    }
    return out;
}

void TrendStore::ensureChannel(int channel)
{
    if (m_seen[channel])
        return;
    m_seen[channel] = true;
    for (int q = 0; q < QuantityCount; ++q) {
        m_low[channel][q].reserve(m_count.capacity());
        m_low[channel][q].fill(float(NaN), m_count.size());
        m_high[channel][q].reserve(m_count.capacity());
        m_high[channel][q].fill(float(NaN), m_count.size());
    }
}

void TrendStore::append(double time, const BlockValues &values)
{
    if (!std::isfinite(time))
        return;
    if (!m_last.isEmpty())
        time = std::max(time, m_last.last());
    for (int ch = 0; ch < ChannelCount; ++ch) {
        for (double x : values.v[ch])
            if (std::isfinite(x))
                ensureChannel(ch);
    }
    const bool merge = !m_count.isEmpty() && m_count.last() > 0 && m_count.last() < m_blocksPerSlot;
    if (!merge) {
        makeRoom(m_first, m_limit);
        makeRoom(m_last, m_limit);
        makeRoom(m_count, m_limit);
        m_first.append(time);
        m_last.append(time);
        m_count.append(0);
    }
    const int slot = m_count.size() - 1;
    m_last[slot] = time;
    ++m_count[slot];
    ++m_blocks;
    for (int ch = 0; ch < ChannelCount; ++ch) {
        if (!m_seen[ch])
            continue;
        for (int q = 0; q < QuantityCount; ++q) {
            const double x = values.v[ch][q];
            const float f = std::isfinite(x) ? float(x) : float(NaN);
            if (!merge) {
                makeRoom(m_low[ch][q], m_limit);
                makeRoom(m_high[ch][q], m_limit);
                m_low[ch][q].append(f);
                m_high[ch][q].append(f);
            } else {
                // fmin and fmax ignore a NaN against a number.
                m_low[ch][q][slot] = std::fmin(m_low[ch][q][slot], f);
                m_high[ch][q][slot] = std::fmax(m_high[ch][q][slot], f);
            }
        }
    }
    while (m_count.size() > m_limit)
        compact();
}

void TrendStore::addBreak()
{
    if (m_count.isEmpty() || m_count.last() == 0)
        return;
    const double t = m_last.last();
    makeRoom(m_first, m_limit);
    makeRoom(m_last, m_limit);
    makeRoom(m_count, m_limit);
    m_first.append(t);
    m_last.append(t);
    m_count.append(0);
    for (int ch = 0; ch < ChannelCount; ++ch) {
        if (!m_seen[ch])
            continue;
        for (int q = 0; q < QuantityCount; ++q) {
            makeRoom(m_low[ch][q], m_limit);
            makeRoom(m_high[ch][q], m_limit);
            m_low[ch][q].append(float(NaN));
            m_high[ch][q].append(float(NaN));
        }
    }
    while (m_count.size() > m_limit)
        compact();
}

void TrendStore::clear()
{
    *this = TrendStore(m_limit);
}

void TrendStore::compact()
{
    // Pairs of neighbouring slots become one; breaks stay unless there are so
    // many that keeping them would not free enough.
    for (bool mergeBreaks : {false, true}) {
        const int n = m_count.size();
        if (mergeBreaks && n <= m_limit * 3 / 4)
            break;
        // First where each new slot comes from, then every series in one
        // sweep of its own: one series at a time stays in the cache.
        QVector<int> from;
        QVector<bool> pair;
        from.reserve(n / 2 + 1);
        pair.reserve(n / 2 + 1);
        for (int i = 0; i < n;) {
            const bool both = i + 1 < n && (mergeBreaks || (m_count[i] > 0 && m_count[i + 1] > 0));
            from.append(i);
            pair.append(both);
            i += both ? 2 : 1;
        }
        const int kept = from.size();
        for (int j = 0; j < kept; ++j) {
            const int i = from[j];
            m_first[j] = m_first[i];
            m_last[j] = pair[j] ? m_last[i + 1] : m_last[i];
            m_count[j] = pair[j] ? m_count[i] + m_count[i + 1] : m_count[i];
        }
        m_first.resize(kept);
        m_last.resize(kept);
        m_count.resize(kept);
        for (int ch = 0; ch < ChannelCount; ++ch) {
            if (!m_seen[ch])
                continue;
            for (int q = 0; q < QuantityCount; ++q) {
                float *lo = m_low[ch][q].data();
                float *hi = m_high[ch][q].data();
                for (int j = 0; j < kept; ++j) {
                    const int i = from[j];
                    lo[j] = pair[j] ? std::fmin(lo[i], lo[i + 1]) : lo[i];
                    hi[j] = pair[j] ? std::fmax(hi[i], hi[i + 1]) : hi[i];
                }
                m_low[ch][q].resize(kept);
                m_high[ch][q].resize(kept);
            }
        }
    }
    // The capacity stays: the kept grow back to the limit, which it is.
    // Saturating: a store that merged thirty times over has slots wide enough.
    if (m_blocksPerSlot <= std::numeric_limits<int>::max() / 2)
        m_blocksPerSlot *= 2;
}

void TrendStore::series(int channel, Quantity q, QVector<double> &keys,
                        QVector<double> &values) const
{
    if (channel < 0 || channel >= ChannelCount || q < 0 || q >= QuantityCount || !m_seen[channel])
        return;
    const float *lo = m_low[channel][q].constData();
    const float *hi = m_high[channel][q].constData();
    const int *count = m_count.constData();
    const double *first = m_first.constData();
    const double *last = m_last.constData();
    const int n = m_count.size();
    // Written through pointers: this runs for every shown channel at every
    // redraw of the trend, over up to the whole limit of kept.
    keys.resize(2 * n);
    values.resize(2 * n);
    double *k = keys.data();
    double *v = values.data();
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const double t = count[i] == 0 ? first[i] : (first[i] + last[i]) / 2;
        k[m] = t;
        if (count[i] == 0 || !std::isfinite(lo[i])) {
            v[m++] = NaN;
            continue;
        }
        v[m++] = lo[i];
        if (hi[i] != lo[i]) {
            k[m] = t;
            v[m++] = hi[i];
        }
    }
    keys.resize(m);
    values.resize(m);
}

qint64 TrendStore::memoryBytes() const
{
    qint64 bytes = qint64(m_first.capacity() + m_last.capacity()) * qint64(sizeof(double)) +
                   qint64(m_count.capacity()) * qint64(sizeof(int));
    for (int ch = 0; ch < ChannelCount; ++ch)
        for (int q = 0; q < QuantityCount; ++q)
            bytes +=
                qint64(m_low[ch][q].capacity() + m_high[ch][q].capacity()) * qint64(sizeof(float));
    return bytes;
}
