#ifndef GRV480RECVTHREAD_H
#define GRV480RECVTHREAD_H

#include "grv480api.h"

#include <QList>
#include <QMetaType>
#include <QSharedPointer>
#include <QThread>
#include <QVector>

#include <atomic>

// One acquisition run of an opened, configured module on a thread of its own:
// start, receive the words of one block time, convert them, emit them as a
// Frame, repeat until stopped or until an error, stop the module.
//
// Use: create one object per run, connect finished() and dataReceived(), then
// start(QThread::InheritPriority). Stop with requestStop() followed by wait();
// the stop takes effect within one receive timeout (block time + 1000 ms).
// After finished(), lastError() gives the run's code: 0 for a clean run, the
// first error otherwise, -1 if run() never ran. While the thread runs it alone
// uses the handle.
//
// Two guards beyond a plain receive loop:
// - the stop flag is atomic, since the GUI thread writes it while run() polls it;
// - a block that would need more than MaxBlockBytes of buffers (a long
//   collection time at a high rate) ends the run with GRV480_ERR_BLOCK_TOO_LARGE,
//   an allocation failure with GRV480_ERR_NO_MEMORY, and implausible frame
//   parameters from the library (no channels, more than 16, a frame frequency
//   that is not positive, no words per frame) with GRV480_ERR_NOT_CONFIGURED;
//   in each case the started module is still stopped.
class GRV480RecvThread : public QThread
{
    Q_OBJECT

public:
    struct ChData
    {
        double sampleInterval = 0.0; // seconds between frames
        double rangeMv = 0.0;        // full scale of the channel's range
        TGRV480ChStatus status{};
        QVector<double> values; // mV, oldest first
    };

    struct Frame
    {
        TGRV480FrameStatus status{};
        QList<QSharedPointer<ChData>> channels; // in the order of the logical channel table
        // Where the block sits in time: when its last word arrived (UTC, ms since
        // the epoch), the index within the run of its first frame, and the run.
        qint64 receivedMs = 0;
        qint64 firstSample = 0;
        quint64 runId = 0;
    };

    // Upper bound of the buffers of one block: the words, the values and the statuses.
    static constexpr quint64 MaxBlockBytes = quint64(512) * 1024 * 1024;

    GRV480RecvThread(TGRV480 *handle, unsigned blockTimeMs);

    // Thread-safe; the run ends after the block being received is discarded
    // (or, if it is already complete, after it has been converted and emitted).
    void requestStop() { m_stopRequested.store(true); }
    bool isStopRequested() const { return m_stopRequested.load(); }

    // Valid after finished(); -1 until run() has returned.
    int lastError() const { return m_lastError.load(); }
    // The block time of the run; run() replaces a block time shorter than one
    // frame period by the rounded frame period.
    unsigned blockTimeMs() const { return m_blockTimeMs.load(); }

    // Tells the frames of this run from those of every other run of the process.
    quint64 runId() const { return m_runId; }

    // Full scale in mV of a range code; codes the module does not know are
    // treated as its widest range, so that spectra stay finite.
    static double rangeMvForCode(int rangeCode);

signals:
    void dataReceived(QSharedPointer<GRV480RecvThread::Frame> frame);

protected:
    void run() override;

private:
    int receiveBlocks(quint32 framesPerBlock, quint32 wordsPerBlock, quint32 timeoutMs);

    TGRV480 *m_handle;
    const quint64 m_runId;
    std::atomic<int> m_lastError{-1};
    std::atomic<unsigned> m_blockTimeMs;
    std::atomic<bool> m_stopRequested{false};
};

Q_DECLARE_METATYPE(QSharedPointer<GRV480RecvThread::Frame>)

#endif // GRV480RECVTHREAD_H
