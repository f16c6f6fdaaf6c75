#include "grv480recvthread.h"

#include <QDateTime>

#include <climits>
#include <cmath>
#include <memory>
#include <new>

namespace {
quint64 nextRunId()
{
    static std::atomic<quint64> last{0};
    return ++last;
}
} // namespace

GRV480RecvThread::GRV480RecvThread(TGRV480 *handle, unsigned blockTimeMs)
    : QThread(nullptr)
    , m_handle(handle)
    , m_runId(nextRunId())
    , m_blockTimeMs(blockTimeMs)
{
    qRegisterMetaType<QSharedPointer<GRV480RecvThread::Frame>>(
        "QSharedPointer<GRV480RecvThread::Frame>");
}

double GRV480RecvThread::rangeMvForCode(int rangeCode)
{
    switch (rangeCode) {
    case GRV480_RANGE_35MV:
        return 35.0;
    case GRV480_RANGE_70MV:
        return 70.0;
    default:
        return 1200.0;
    }
}

void GRV480RecvThread::run()
{
    GRV480_InitMeasParams(m_handle, GRV480_MEAS_MODE_ACQUISITION, 0, 0);
    const int startResult = GRV480_Start(m_handle);
    if (startResult != 0) {
        m_lastError = startResult;
        return;
    }

    const quint32 channelCount = m_handle->cfg.logicalChannelCount;
    const double frameFrequency = m_handle->frameFrequency;
    const quint32 frameWords = m_handle->frameWordCount;

    int error = 0;
    if (channelCount == 0 || channelCount > GRV480_CHANNEL_COUNT || !(frameFrequency > 0.0) ||
        !std::isfinite(frameFrequency) || frameWords == 0) {
        error = GRV480_ERR_NOT_CONFIGURED;
    } else {
        // In doubles first: a long block time at a high rate must not wrap around.
        double frames = std::floor(double(m_blockTimeMs) * frameFrequency / 1000.0);
        if (frames < 1.0) {
            frames = 1.0;
            const double periodMs = std::floor(1000.0 / frameFrequency + 0.5);
            m_blockTimeMs =
                periodMs < double(UINT_MAX - 1000u) ? unsigned(periodMs) : UINT_MAX - 1000u;
        }
        const double bytes = frames * frameWords * sizeof(quint32) +
                             frames * channelCount * sizeof(double) +
                             double(channelCount) * sizeof(TGRV480ChStatus);
        if (bytes > double(MaxBlockBytes)) {
            error = GRV480_ERR_BLOCK_TOO_LARGE;
        } else {
            const quint64 timeout = quint64(m_blockTimeMs) + 1000u;
            error = receiveBlocks(quint32(frames), quint32(frames) * frameWords,
                                  timeout < UINT_MAX ? quint32(timeout) : UINT_MAX);
        }
    }

    // The module was started, so it is stopped whatever ended the run.
    const int stopResult = GRV480_Stop(m_handle);
    m_lastError = error != 0 ? error : stopResult;
}

int GRV480RecvThread::receiveBlocks(quint32 framesPerBlock, quint32 wordsPerBlock,
                                    quint32 timeoutMs)
{
    const quint32 channelCount = m_handle->cfg.logicalChannelCount;
    const double sampleInterval = 1.0 / m_handle->frameFrequency;

    // Allocated once for the whole run.
    std::unique_ptr<quint32[]> words(new (std::nothrow) quint32[wordsPerBlock]);
    // One channel's values need no reordering: they are converted straight into
    // the vector the frame carries, and the run keeps no buffer of doubles.
    const bool direct = channelCount == 1;
    std::unique_ptr<double[]> values(
        direct ? nullptr : new (std::nothrow) double[size_t(framesPerBlock) * channelCount]);
    std::unique_ptr<TGRV480ChStatus[]> statuses(new (std::nothrow) TGRV480ChStatus[channelCount]());
    if (!words || (!direct && !values) || !statuses)
        return GRV480_ERR_NO_MEMORY;

    qint64 nextFirstSample = 0;
    try {
        while (!m_stopRequested) {
            quint32 received = 0;
            while (!m_stopRequested && received < wordsPerBlock) {
                const quint32 missing = wordsPerBlock - received;
                const INT r =
                    GRV480_Recv(m_handle, words.get() + received, nullptr, missing, timeoutMs);
                if (r < 0)
                    return r;
                if (quint32(r) > missing)
                    return GRV480_ERR_PROTOCOL;
                // 0 means nothing came within the timeout: ask again.
                received += quint32(r);
            }
            if (received < wordsPerBlock)
                continue; // a stop during the block: its words are dropped

            // A complete block is converted and emitted even if a stop came meanwhile.
            auto frame = QSharedPointer<Frame>::create();
            frame->receivedMs = QDateTime::currentMSecsSinceEpoch();
            frame->firstSample = nextFirstSample;
            frame->runId = m_runId;
            nextFirstSample += framesPerBlock;
            QVector<double> single;
            if (direct)
                single.resize(int(framesPerBlock));
            quint32 wordCount = wordsPerBlock;
            const INT e =
                GRV480_ProcessData(m_handle, words.get(), direct ? single.data() : values.get(),
                                   &wordCount, 0, &frame->status, statuses.get());
            if (e != 0)
                return e;

            frame->channels.reserve(int(channelCount));
            for (quint32 ch = 0; ch < channelCount; ++ch) {
                auto data = QSharedPointer<ChData>::create();
                data->sampleInterval = sampleInterval;
                data->rangeMv = rangeMvForCode(m_handle->cfg.logicalChannels[ch].rangeCode);
                data->status = statuses[ch];
                if (direct) {
                    for (double &v : single)
                        v *= 1000.0;
                    data->values = std::move(single);
                } else {
                    data->values.reserve(int(framesPerBlock));
                    const double *v = values.get() + ch;
                    for (quint32 f = 0; f < framesPerBlock; ++f, v += channelCount)
                        data->values.append(*v * 1000.0);
                }
                frame->channels.append(data);
            }
            emit dataReceived(frame);
        }
    } catch (const std::bad_alloc &) {
        return GRV480_ERR_NO_MEMORY;
    }
    return 0;
}
