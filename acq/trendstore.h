#ifndef TRENDSTORE_H
#define TRENDSTORE_H

#include "datablockprocessor.h"

#include <QVector>

#include <array>

// The per-block results of every channel over a whole acquisition, for the
// trend plot: one slot per block, each slot holding for every channel and
// quantity the lowest and the highest value of its blocks.
//
// Memory stays bounded whatever the duration: when the slots exceed the limit,
// neighbouring slots are merged in pairs (their lowest and highest values kept)
// and every later slot gathers twice as many blocks, as the envelope of the
// time plot keeps per pixel column what all its points would draw. A restart
// of the acquisition is a break slot, drawn as a gap in every line; breaks are
// merged away only when there are more of them than the limit allows.
//
// Times are seconds since the epoch and never go back: a block older than the
// last one is taken at the last one's time.
class TrendStore
{
public:
    enum Quantity { Dc, Ac, Snr, Sinad, Enob, Ux, Udiff, Ucm, QuantityCount };
    static constexpr int ChannelCount = 16;
    static constexpr int DefaultSlotLimit = 1 << 15;

    // One block's values, NaN where a channel or a quantity has none.
    struct BlockValues
    {
        BlockValues();
        std::array<std::array<double, QuantityCount>, ChannelCount> v;
    };

    explicit TrendStore(int slotLimit = DefaultSlotLimit);

    // The values the results table shows of a block; channels[r] is the
    // physical channel (0 to 15) of the block's r-th result, -1 to skip it.
    static BlockValues valuesOf(const DataBlockProcessor::DataBlock &block,
                                const QVector<int> &channels);

    void append(double time, const BlockValues &values);
    // The next block starts a new line; a break right after another is one break.
    void addBreak();
    void clear();

    // Points to draw, keys ascending: one per slot of a single block, the
    // lowest and the highest value at the middle of a slot of several, a NaN
    // at a break.
    void series(int channel, Quantity q, QVector<double> &keys, QVector<double> &values) const;

    int slotCount() const { return m_count.size(); }
    int blocksPerSlot() const { return m_blocksPerSlot; }
    qint64 blockCount() const { return m_blocks; }
    bool isEmpty() const { return m_blocks == 0; }
    // What the slots take, the point of bounding them.
    qint64 memoryBytes() const;

private:
    using Series = QVector<float>;
    void ensureChannel(int channel);
    void compact();

    int m_limit;
    int m_blocksPerSlot = 1;
    qint64 m_blocks = 0;
    QVector<double> m_first; // time of a slot's first block
    QVector<double> m_last;  // and of its last
    QVector<int> m_count;    // blocks of a slot, 0 for a break
    std::array<bool, ChannelCount> m_seen{};
    // [channel][quantity] lowest and highest values; empty for a channel never seen.
    std::array<std::array<Series, QuantityCount>, ChannelCount> m_low;
    std::array<std::array<Series, QuantityCount>, ChannelCount> m_high;
};

#endif // TRENDSTORE_H
