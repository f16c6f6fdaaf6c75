#include "datablockprocessor.h"

#include "spectrum.h"

#include <cmath>

DataBlockProcessor::DataBlockProcessor(QObject *parent) : QObject(parent)
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
    block->channels.reserve(frame->channels.size());
    for (const QSharedPointer<GRV480RecvThread::ChData> &channel : qAsConst(frame->channels)) {
        auto result = QSharedPointer<ChResult>::create();
        if (channel) {
            result->status = channel->status;
            result->timeAxis = m_timeAxis;
            result->freqAxis = m_freqAxis;
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

    // New vectors, never resized in place: emitted blocks still share the old ones.
    QVector<double> timeAxis(length);
    for (int i = 0; i < length; ++i)
        timeAxis[i] = i * 1000.0 * interval;
    m_timeAxis = timeAxis;
    m_work = QVector<double>(length);

    m_window = spectrumWindowCreate(type, length);
    m_fft = spectrumFftCreate(length);
    m_fftInput = spectrumFftInput(m_fft);
    m_binCount = spectrumFftBinCount(m_fft);

    QVector<double> freqAxis(m_binCount);
    if (m_binCount > 0) {
        const double df = spectrumFftFreqStep(m_fft, interval);
        for (int i = 0; i < m_binCount; ++i)
            freqAxis[i] = i * df;
    }
    m_freqAxis = freqAxis;
}

void DataBlockProcessor::analyse(ChResult &result)
{
    const double *values = result.values.constData();
    spectrumStatistics(values, m_window, m_work.data(), &result.dc, &result.ac);

    // Without a window (a type that has no window function) there is no spectrum.
    if (!m_window || !m_fft || m_freqAxis.size() <= 3)
        return;

    // The routines run on powers: the amplitudes are needed only squared, and the
    // decibels come from the powers as well.
    spectrumApplyWindow(values, m_window, m_fftInput);
    result.spectrum.resize(m_binCount);
    double *spectrum = result.spectrum.data();
    spectrumPower(m_fft, spectrum);

    const double df = m_freqAxis.at(1);
    double frequency = 0.0;
    double power = 0.0;
    result.peakValid
        = spectrumFindLinePower(spectrum, m_binCount, df, m_window, &frequency, &power) == 0;
    if (result.peakValid) {
        result.peakFreq = frequency;
        result.peakAmplitude = std::sqrt(power);
        result.harmValid = spectrumHarmonicsPower(spectrum, m_binCount, df, result.peakFreq,
                                                  HarmonicLimit, m_window, &result.snr,
                                                  &result.thd, &result.sinad, &result.sfdr,
                                                  &result.enob)
                           == 0;
    }

    spectrumPowerToDecibels(spectrum, m_binCount, result.rangeMv);
}
