#include "datablockprocessor.h"

#include "spectrum.h"

#include <cmath>
#include <mutex>
#include <vector>

// Spectrum buffers of results that nobody holds any more, for the next blocks.
// Each block needs one per channel; taking them from the allocator anew every
// time costs more than some of the analysis (fresh pages, zero-filled by the
// system). Results may die on any thread, hence the lock.
class DataBlockProcessor::SpectrumPool
{
public:
    void give(QVector<double> &&buffer)
    {
        // Long blocks come seconds apart, where fresh pages cost nothing that
        // matters; keeping their buffers would only hold memory between blocks.
        const size_t bytes = size_t(buffer.capacity()) * sizeof(double);
        std::lock_guard<std::mutex> lock(mutex);
        if (buffers.size() < MaxBuffers && pooledBytes + bytes <= MaxPooledBytes) {
            pooledBytes += bytes;
            buffers.push_back(std::move(buffer));
        }
    }

    // A buffer of the given size; its contents are stale.
    QVector<double> take(int size)
    {
        QVector<double> buffer;
        {
            std::lock_guard<std::mutex> lock(mutex);
            while (!buffers.empty() && buffer.isEmpty()) {
                pooledBytes -= size_t(buffers.back().capacity()) * sizeof(double);
                if (buffers.back().size() == size)
                    buffer = std::move(buffers.back());
                buffers.pop_back();
            }
        }
        // Still shared by a consumer that kept a copy? Then resize() detaches
        // and this block gets a buffer of its own.
        buffer.resize(size);
        return buffer;
    }

private:
    static constexpr size_t MaxBuffers = 4 * GRV480_CHANNEL_COUNT;
    static constexpr size_t MaxPooledBytes = size_t(16) * 1024 * 1024;
    std::mutex mutex;
    size_t pooledBytes = 0;
    std::vector<QVector<double>> buffers;
};

QVector<double> DataBlockProcessor::ChResult::timeAxis() const
{
    QVector<double> axis(values.size());
    for (int i = 0; i < axis.size(); ++i)
        axis[i] = i * 1000.0 * sampleInterval;
    return axis;
}

QVector<double> DataBlockProcessor::ChResult::freqAxis() const
{
    QVector<double> axis(freqBins);
    for (int i = 0; i < freqBins; ++i)
        axis[i] = i * freqStep;
    return axis;
}

DataBlockProcessor::DataBlockProcessor(QObject *parent)
    : QObject(parent)
    , m_spectrumPool(std::make_shared<SpectrumPool>())
{
    qRegisterMetaType<QSharedPointer<DataBlockProcessor::DataBlock>>(
        "QSharedPointer<DataBlockProcessor::DataBlock>");
}

DataBlockProcessor::~DataBlockProcessor()
{
    spectrumFftDestroy(m_fft);
    spectrumWindowDestroy(m_window);
}

void DataBlockProcessor::processFrame(QSharedPointer<GRV480RecvThread::Frame> frame)
{
    if (!frame || frame->channels.isEmpty() || !frame->channels.first())
        return;

    const GRV480RecvThread::ChData &first = *frame->channels.first();
    const int length = first.values.size();
    if (m_blockLen == 0 || length != m_blockLen || first.sampleInterval != m_sampleInterval)
        setUp(length, first.sampleInterval, m_winType);

    auto block = QSharedPointer<DataBlock>::create();
    block->status = frame->status;
    block->receivedMs = frame->receivedMs;
    block->firstSample = frame->firstSample;
    block->runId = frame->runId;
    block->channels.reserve(frame->channels.size());
    for (const QSharedPointer<GRV480RecvThread::ChData> &channel : qAsConst(frame->channels)) {
        // The result's spectrum goes back to the pool when its last holder lets go.
        QSharedPointer<ChResult> result(new ChResult, [pool = m_spectrumPool](ChResult *r) {
            if (!r->spectrum.isEmpty())
                pool->give(std::move(r->spectrum));
            delete r;
        });
        if (channel) {
            result->status = channel->status;
            result->sampleInterval = m_sampleInterval;
            result->freqStep = m_freqStep;
            result->freqBins = m_binCount;
            result->values = channel->values;
            result->rangeMv = channel->rangeMv;
            // A channel of another length would make the set-up read past its end.
            if (result->values.size() == m_blockLen)
                analyse(*result);
        }
        block->channels.append(result);
    }
    emit newBlock(block);
}

void DataBlockProcessor::processParamsUpdate(int wintype)
{
    if (m_blockLen == 0 || wintype == m_winType)
        return;
    m_winType = wintype;
    setUp(m_blockLen, m_sampleInterval, wintype);
}

void DataBlockProcessor::setUp(int length, double interval, int type)
{
    spectrumFftDestroy(m_fft);
    spectrumWindowDestroy(m_window);
    m_fft = nullptr;
    m_window = nullptr;
    m_fftInput = nullptr;

    m_blockLen = length;
    m_sampleInterval = interval;

    m_window = spectrumWindowCreate(type, length);
    m_fft = spectrumFftCreate(length);
    m_fftInput = spectrumFftInput(m_fft);
    m_binCount = spectrumFftBinCount(m_fft);
    m_freqStep = m_binCount > 0 ? spectrumFftFreqStep(m_fft, interval) : 0.0;
}

void DataBlockProcessor::analyse(ChResult &result)
{
    const double *values = result.values.constData();
    // Without a window (a type that has no window function) there are no
    // statistics and no spectrum.
    if (!m_window)
        return;
    const bool withSpectrum = m_fft && m_binCount > 3;
    spectrumWindowedStatistics(values, m_window, withSpectrum ? m_fftInput : nullptr, &result.dc,
                               &result.ac);
    if (!withSpectrum)
        return;

    // The routines run on powers: the amplitudes are needed only squared, and the
    // decibels come from the powers as well.
    result.spectrum = m_spectrumPool->take(m_binCount);
    double *spectrum = result.spectrum.data();
    spectrumPower(m_fft, spectrum);

    const double df = m_freqStep;
    double frequency = 0.0;
    double power = 0.0;
    result.peakValid =
        spectrumFindLinePower(spectrum, m_binCount, df, m_window, &frequency, &power) == 0;
    if (result.peakValid) {
        result.peakFreq = frequency;
        result.peakAmplitude = std::sqrt(power);
        result.harmValid = spectrumHarmonicsPower(spectrum, m_binCount, df, result.peakFreq,
                                                  HarmonicLimit, m_window, &result.snr, &result.thd,
                                                  &result.sinad, &result.sfdr, &result.enob) == 0;
    }

    spectrumPowerToDecibels(spectrum, m_binCount, result.rangeMv);
}
