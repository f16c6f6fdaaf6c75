#include "datablockprocessor.h"

#include <QtTest>

#include <cmath>
#include <random>

using Frame = GRV480RecvThread::Frame;
using ChData = GRV480RecvThread::ChData;
using Block = DataBlockProcessor::DataBlock;
using FramePtr = QSharedPointer<Frame>;
using BlockPtr = QSharedPointer<Block>;

namespace {

const double Pi = std::acos(-1.0);

QVector<double> sine(int n, double cycles, double amplitude, double offset = 0.0)
{
    QVector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = offset + amplitude * std::sin(2.0 * Pi * cycles * i / n + 0.7);
    return v;
}

FramePtr makeFrame(const QList<QVector<double>> &channels, double dt, double rangeMv = 35.0)
{
    auto frame = FramePtr::create();
    frame->status.frameCount = quint32(channels.isEmpty() ? 0 : channels.first().size());
    for (int i = 0; i < channels.size(); ++i) {
        auto ch = QSharedPointer<ChData>::create();
        ch->sampleInterval = dt;
        ch->rangeMv = rangeMv;
        ch->status.channelIndex = quint8(i);
        ch->values = channels.at(i);
        frame->channels.append(ch);
    }
    return frame;
}

// Runs one frame through the processor and returns the block it emitted.
BlockPtr process(DataBlockProcessor &p, const FramePtr &frame)
{
    BlockPtr result;
    auto c = QObject::connect(&p, &DataBlockProcessor::newBlock,
                              [&result](const BlockPtr &b) { result = b; });
    p.processFrame(frame);
    QObject::disconnect(c);
    return result;
}

} // namespace

class TestDataBlockProcessor : public QObject
{
    Q_OBJECT

private slots:
    void centredSine_data();
    void centredSine();
    void shortBlocks_data();
    void shortBlocks();
    void channelsKeepOrderAndStatus();
    void noiseGivesNoFigures();
    void setUpFollowsLengthAndInterval_data();
    void setUpFollowsLengthAndInterval();
    void windowTypeChange_data();
    void windowTypeChange();
    void queuedAcrossThreads();
};

void TestDataBlockProcessor::centredSine_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<double>("dt");
    QTest::addColumn<int>("bin");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("rangeMv");

    QTest::newRow("1000 at 1 kHz") << 1000 << 0.001 << 50 << 10.0 << 2.0 << 35.0;
    QTest::newRow("4096 at 15625 Hz") << 4096 << 1.0 / 15625 << 301 << 0.5 << -7.25 << 70.0;
    QTest::newRow("odd length") << 999 << 0.002 << 120 << 30.0 << 0.0 << 35.0;
    QTest::newRow("shortest with a peak") << 24 << 0.01 << 8 << 1.0 << 0.5 << 35.0;
}

void TestDataBlockProcessor::centredSine()
{
    QFETCH(int, length);
    QFETCH(double, dt);
    QFETCH(int, bin);
    QFETCH(double, amplitude);
    QFETCH(double, offset);
    QFETCH(double, rangeMv);

    DataBlockProcessor p;
    const BlockPtr block =
        process(p, makeFrame({sine(length, bin, amplitude, offset)}, dt, rangeMv));
    QVERIFY(block);
    QCOMPARE(block->channels.size(), 1);
    const DataBlockProcessor::ChResult &r = *block->channels.first();

    const double df = 1.0 / (length * dt);
    QCOMPARE(r.timeAxis().size(), length);
    QVERIFY(std::abs(r.timeAxis().last() - (length - 1) * 1000.0 * dt) < 1e-9);
    QCOMPARE(r.freqAxis().size(), length / 2 + 1);
    QVERIFY(std::abs(r.freqAxis().at(1) - df) < 1e-9 * df);
    QCOMPARE(r.spectrum.size(), length / 2 + 1);
    QCOMPARE(r.rangeMv, rangeMv);

    QVERIFY2(std::abs(r.dc - offset) < 1e-6 * (1 + amplitude), qPrintable(QString::number(r.dc)));
    QVERIFY(std::abs(r.ac - amplitude / std::sqrt(2.0)) < 1e-6 * amplitude);
    QVERIFY(r.peakValid);
    QVERIFY2(std::abs(r.peakFreq - bin * df) < 1e-6 * df, qPrintable(QString::number(r.peakFreq)));
    QVERIFY2(std::abs(r.peakAmplitude - amplitude) < 1e-3 * amplitude,
             qPrintable(QString::number(r.peakAmplitude)));
    // The spectrum is in dB relative to the range.
    QVERIFY(std::abs(r.spectrum.at(bin) - 20 * std::log10(amplitude / rangeMv)) < 1e-6);
    if (length >= 100)
        QVERIFY(r.spectrum.at(bin + length / 4) < -100.0);
}

void TestDataBlockProcessor::shortBlocks_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("spectrumSize");
    QTest::addColumn<bool>("peakValid");

    QTest::newRow("1 value") << 1 << 0 << false;
    QTest::newRow("5 values, 3 bins") << 5 << 0 << false;
    QTest::newRow("6 values, 4 bins") << 6 << 4 << false;
    QTest::newRow("23 values, 12 bins") << 23 << 12 << false;
    QTest::newRow("24 values, 13 bins") << 24 << 13 << true;
}

void TestDataBlockProcessor::shortBlocks()
{
    QFETCH(int, length);
    QFETCH(int, spectrumSize);
    QFETCH(bool, peakValid);

    DataBlockProcessor p;
    // A line at bin 8 (for length 1 no sine fits; the constant offset remains).
    QVector<double> v = length >= 17 ? sine(length, 8, 1.0, 3.0) : QVector<double>(length, 3.0);
    const BlockPtr block = process(p, makeFrame({v}, 0.001));
    QVERIFY(block);
    const DataBlockProcessor::ChResult &r = *block->channels.first();
    QCOMPARE(r.spectrum.size(), spectrumSize);
    QCOMPARE(r.peakValid, peakValid);
    if (!peakValid) {
        QCOMPARE(r.peakFreq, 0.0);
        QCOMPARE(r.peakAmplitude, 0.0);
        QVERIFY(!r.harmValid);
    }
    QVERIFY(std::abs(r.dc - 3.0) < 1e-6);
}

void TestDataBlockProcessor::channelsKeepOrderAndStatus()
{
    DataBlockProcessor p;
    const int n = 1000;
    FramePtr frame =
        makeFrame({sine(n, 40, 1.0), sine(n, 60, 2.0, 1.0), sine(n, 80, 3.0, -1.0)}, 0.001);
    frame->status.bgCycleCount = 77;
    const BlockPtr block = process(p, frame);
    QVERIFY(block);
    QCOMPARE(block->status.frameCount, quint32(n));
    QCOMPARE(block->status.bgCycleCount, quint32(77));
    QCOMPARE(block->channels.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const DataBlockProcessor::ChResult &r = *block->channels.at(i);
        QCOMPARE(int(r.status.channelIndex), i);
        QVERIFY(std::abs(r.peakFreq - (40 + 20 * i)) < 1e-6);
        QVERIFY(std::abs(r.peakAmplitude - (1 + i)) < 1e-3);
        QVERIFY(std::abs(r.dc - (i == 0 ? 0.0 : i == 1 ? 1.0 : -1.0)) < 1e-6);
        // The values are the frame's, not a copy.
        QCOMPARE(r.values.constData(), frame->channels.at(i)->values.constData());
        QVERIFY(r.harmValid);
        QVERIFY(r.snr > 100.0);
    }
}

void TestDataBlockProcessor::noiseGivesNoFigures()
{
    // White noise: some group of bins is the greatest, but it stands no higher
    // than the rest of the spectrum taken together.
    std::mt19937 gen(4711);
    std::normal_distribution<double> noise(0.0, 1.0);
    QVector<double> v(2048);
    for (double &x : v)
        x = noise(gen);
    DataBlockProcessor p;
    const BlockPtr block = process(p, makeFrame({v}, 0.001));
    QVERIFY(block);
    const DataBlockProcessor::ChResult &r = *block->channels.first();
    QVERIFY(r.peakValid);
    QVERIFY(!r.harmValid);
}

void TestDataBlockProcessor::setUpFollowsLengthAndInterval_data()
{
    QTest::addColumn<int>("secondLength");
    QTest::addColumn<double>("secondDt");
    QTest::addColumn<bool>("newSetUp");

    QTest::newRow("same frame") << 1000 << 0.001 << false;
    QTest::newRow("other length") << 1200 << 0.001 << true;
    QTest::newRow("other interval") << 1000 << 0.002 << true;
}

void TestDataBlockProcessor::setUpFollowsLengthAndInterval()
{
    QFETCH(int, secondLength);
    QFETCH(double, secondDt);
    QFETCH(bool, newSetUp);

    DataBlockProcessor p;
    const BlockPtr first = process(p, makeFrame({sine(1000, 50, 1.0)}, 0.001));
    QVERIFY(first);
    const QVector<double> timeBefore = first->channels.first()->timeAxis();
    const QVector<double> freqBefore = first->channels.first()->freqAxis();

    const BlockPtr second = process(p, makeFrame({sine(secondLength, 50, 1.0)}, secondDt));
    QVERIFY(second);
    const DataBlockProcessor::ChResult &a = *first->channels.first();
    const DataBlockProcessor::ChResult &b = *second->channels.first();
    QCOMPARE(a.timeAxis() != b.timeAxis(), newSetUp);
    QCOMPARE(a.freqAxis() != b.freqAxis(), newSetUp);
    // The first block's axes are untouched by the later set-up.
    QCOMPARE(a.timeAxis(), timeBefore);
    QCOMPARE(a.freqAxis(), freqBefore);
    QCOMPARE(b.timeAxis().size(), secondLength);
    QVERIFY(std::abs(b.timeAxis().at(1) - 1000.0 * secondDt) < 1e-12);
    QVERIFY(std::abs(b.freqAxis().at(1) - 1.0 / (secondLength * secondDt)) < 1e-9);
    QVERIFY(std::abs(b.peakFreq - 50.0 / (secondLength * secondDt)) < 1e-6);
}

void TestDataBlockProcessor::windowTypeChange_data()
{
    QTest::addColumn<bool>("beforeFirstFrame");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("expectedType");
    QTest::addColumn<double>("scallopDb"); // a line half-way between two bins shows this low

    QTest::newRow("before the first frame is forgotten") << true << 0 << 7 << -0.83;
    QTest::newRow("same type") << false << 7 << 7 << -0.83;
    QTest::newRow("rectangular") << false << 0 << 0 << -3.92;
    QTest::newRow("hann") << false << 1 << 1 << -1.42;
    QTest::newRow("type without a window") << false << 4 << 4 << 0.0;
}

void TestDataBlockProcessor::windowTypeChange()
{
    QFETCH(bool, beforeFirstFrame);
    QFETCH(int, type);
    QFETCH(int, expectedType);
    QFETCH(double, scallopDb);

    // 10.5 cycles: the scalloping loss tells the windows apart.
    const int n = 1000;
    const QVector<double> v = sine(n, 10.5, 1.0, 0.25);
    DataBlockProcessor reference;
    const BlockPtr expected = process(reference, makeFrame({v}, 0.001));

    DataBlockProcessor p;
    QCOMPARE(p.windowType(), 7);
    if (beforeFirstFrame)
        p.processParamsUpdate(type);
    const BlockPtr first = process(p, makeFrame({v}, 0.001));
    if (!beforeFirstFrame)
        p.processParamsUpdate(type);
    QCOMPARE(p.windowType(), expectedType);
    const BlockPtr block = process(p, makeFrame({v}, 0.001));
    QVERIFY(block && first && expected);
    const DataBlockProcessor::ChResult &r = *block->channels.first();
    const DataBlockProcessor::ChResult &e = *expected->channels.first();

    if (expectedType == 7) {
        QCOMPARE(r.spectrum, e.spectrum);
        QCOMPARE(r.dc, e.dc);
    }
    if (expectedType == 4) {
        // No window function: no statistics and no spectrum, but still a block.
        QCOMPARE(r.dc, 0.0);
        QCOMPARE(r.ac, 0.0);
        QVERIFY(r.spectrum.isEmpty());
        QVERIFY(!r.peakValid);
        QCOMPARE(r.values, v);
        return;
    }
    QCOMPARE(r.spectrum.size(), e.spectrum.size());
    const double lineDb = r.spectrum.at(10) - 20 * std::log10(1.0 / 35.0);
    QVERIFY2(std::abs(lineDb - scallopDb) < 0.05, qPrintable(QString::number(lineDb)));
    QVERIFY(r.peakValid);
    QVERIFY(std::abs(r.peakFreq - 10.5) < 0.5);
}

void TestDataBlockProcessor::queuedAcrossThreads()
{
    QThread worker;
    auto *p = new DataBlockProcessor;
    p->moveToThread(&worker);
    connect(&worker, &QThread::finished, p, &QObject::deleteLater);
    worker.start();

    QVERIFY(QMetaType::type("QSharedPointer<DataBlockProcessor::DataBlock>") != 0);
    // Frames are registered by the acquisition thread, which this test has none of.
    qRegisterMetaType<FramePtr>("QSharedPointer<GRV480RecvThread::Frame>");

    QSignalSpy spy(p, &DataBlockProcessor::newBlock);
    QVERIFY(spy.isValid());
    const FramePtr frame = makeFrame({sine(512, 30, 2.0)}, 0.001);
    QVERIFY(QMetaObject::invokeMethod(p, "processFrame", Qt::QueuedConnection,
                                      Q_ARG(QSharedPointer<GRV480RecvThread::Frame>, frame)));
    QVERIFY(spy.wait(5000));
    const BlockPtr block = spy.at(0).at(0).value<BlockPtr>();
    QVERIFY(block);
    QVERIFY(std::abs(block->channels.first()->peakAmplitude - 2.0) < 1e-3);

    worker.quit();
    worker.wait();
}

QTEST_GUILESS_MAIN(TestDataBlockProcessor)

#include "tst_datablockprocessor.moc"
