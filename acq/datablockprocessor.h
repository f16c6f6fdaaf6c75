#ifndef DATABLOCKPROCESSOR_H
#define DATABLOCKPROCESSOR_H

#include "grv480api.h"
#include "grv480recvthread.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSharedPointer>
#include <QVector>

#include <memory>

struct SpectrumWindow;
struct SpectrumFft;

// Turns every acquired frame into a block of per-channel results: window-weighted
// DC and AC, the amplitude spectrum in dB relative to the channel's range, the
// dominant line and the sine-wave figures. Lives on a processing thread of its
// own; both slots are reached through queued connections, one at a time.
//
// The analysis set-up (window, FFT plan) is kept while the block length and
// the sample interval stay the same.
//
// A window type without a window function (3 to 6, above 8) leaves dc, ac and
// the spectrum empty/zero; the block is still emitted. Spectrum buffers of
// results nobody holds any more are reused for later blocks.
//
// Usage: move to a thread of its own, connect GRV480RecvThread::dataReceived to
// processFrame (queued) and newBlock to the consumer (queued).
class DataBlockProcessor : public QObject
{
    Q_OBJECT

public:
    struct ChResult
    {
        TGRV480ChStatus status{};
        // The axes are evenly spaced and are not stored (a block of millions of
        // samples would carry 12 bytes a sample for them): time i * 1000 *
        // sampleInterval ms for every value, frequency i * freqStep Hz for
        // freqBins bins. Whoever needs them as numbers builds them on demand.
        double sampleInterval = 0.0; // s
        double freqStep = 0.0;       // Hz
        int freqBins = 0;
        QVector<double> values;   // mV, shared with the frame
        QVector<double> spectrum; // dB re rangeMv; empty for blocks shorter than 6
        double dc = 0.0;          // mV
        double ac = 0.0;          // mV RMS
        double rangeMv = 0.0;
        bool peakValid = false;
        double peakFreq = 0.0;      // Hz
        double peakAmplitude = 0.0; // mV
        bool harmValid = false;     // the figures below are meaningful only if set
        double snr = 0.0;           // dB
        double thd = 0.0;           // dB, negative
        double sinad = 0.0;         // dB
        double sfdr = 0.0;          // dB
        double enob = 0.0;          // bits

        QVector<double> timeAxis() const; // ms, one per value
        QVector<double> freqAxis() const; // Hz, freqBins of them
    };

    struct DataBlock
    {
        TGRV480FrameStatus status{};
        QList<QSharedPointer<ChResult>> channels; // same order as the frame's
        qint64 receivedMs = 0;                    // the frame's, see GRV480RecvThread::Frame
        qint64 firstSample = 0;
        quint64 runId = 0;
    };

    static constexpr int DefaultWindowType = 7; // 4-term Blackman-Harris
    static constexpr int HarmonicLimit = 6;     // fundamental plus harmonics 2 to 5

    explicit DataBlockProcessor(QObject *parent = nullptr);
    ~DataBlockProcessor() override;

    int windowType() const { return m_winType; }

public slots:
    void processFrame(QSharedPointer<GRV480RecvThread::Frame> frame);
    // Takes effect only once a frame has set the processor up; an earlier call
    // is not remembered.
    void processParamsUpdate(int wintype);

signals:
    void newBlock(QSharedPointer<DataBlockProcessor::DataBlock> block);

private:
    class SpectrumPool;

    void setUp(int length, double interval, int type);
    void analyse(ChResult &result);

    double m_freqStep = 0.0;
    SpectrumWindow *m_window = nullptr;
    SpectrumFft *m_fft = nullptr;
    double *m_fftInput = nullptr;
    int m_binCount = 0;
    int m_blockLen = 0;
    double m_sampleInterval = 0.0;
    int m_winType = DefaultWindowType;
    std::shared_ptr<SpectrumPool> m_spectrumPool; // shared with the results, which may outlive us

    Q_DISABLE_COPY(DataBlockProcessor)
};

Q_DECLARE_METATYPE(QSharedPointer<DataBlockProcessor::DataBlock>)

#endif // DATABLOCKPROCESSOR_H
