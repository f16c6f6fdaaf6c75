// The acquisition thread against the crate-server emulator: cadence, layout and
// values of the frames, stopping, and the ways a run ends with an error.
#include "apierror.h"
#include "datablockprocessor.h"
#include "deviceconfig.h"
#include "grv480recvthread.h"

#include <QtTest>

#include <cmath>

#if defined(GRV480_EMULATOR_PATH) && __has_include("emulatorprocess.h")
#include "emulatorprocess.h"
#define HAVE_EMULATOR 1
#endif

using FramePtr = QSharedPointer<GRV480RecvThread::Frame>;

namespace {

constexpr quint32 Loopback = 0x7F000001;
const char CrateSerial[] = "CR16-0417";
constexpr quint16 Slot = 3; // the scenario's module with a signal of its own on every bridge

// Frames of one run, collected on the test's thread.
class FrameCollector : public QObject
{
public:
    explicit FrameCollector(GRV480RecvThread *thread)
    {
        clock.start();
        connect(thread, &GRV480RecvThread::dataReceived, this, [this](const FramePtr &frame) {
            frames.append(frame);
            arrivalMs.append(clock.elapsed());
        });
    }
    QList<FramePtr> frames;
    QList<qint64> arrivalMs;
    QElapsedTimer clock;
};

double mean(const QVector<double> &v)
{
    double sum = 0.0;
    for (double x : v)
        sum += x;
    return v.isEmpty() ? 0.0 : sum / v.size();
}

} // namespace

class TestGRV480RecvThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void constructionState();
    void blocksAtTheConfiguredCadence_data();
    void blocksAtTheConfiguredCadence();
    void valuesMatchTheScenario();
    void shortBlockTimeGivesOneFramePerBlock();
    void stopDuringAHalfBlockDiscardsIt();
    void startFailure_data();
    void startFailure();
    void tooLargeBlockEndsTheRun();
    void serverLostEndsTheRun();

private:
    bool configure(const QVector<int> &channels, int range = GRV480_RANGE_35MV);

#ifdef HAVE_EMULATOR
    QScopedPointer<EmulatorProcess> emulator;
#endif
    TGRV480 h{};
    QTemporaryDir settingsDir;
};

void TestGRV480RecvThread::initTestCase()
{
#ifdef HAVE_EMULATOR
    emulator.reset(new EmulatorProcess);
    QVERIFY2(emulator->start(), "the emulator did not start");
#else
    QSKIP("Built without the crate-server emulator (GRV480_EMULATOR_PATH, emulatorprocess.h)");
#endif
}

void TestGRV480RecvThread::init()
{
    QCOMPARE(GRV480_Init(&h), 0);
#ifdef HAVE_EMULATOR
    QCOMPARE(GRV480_Open(&h, Loopback, emulator->port(), CrateSerial, Slot), 0);
#endif
}

void TestGRV480RecvThread::cleanup()
{
    if (GRV480_IsOpened(&h) == 0)
        GRV480_Close(&h);
}

// Writes a configuration with the given channels enabled into the module.
bool TestGRV480RecvThread::configure(const QVector<int> &channels, int range)
{
    QSettings settings(settingsDir.filePath(QStringLiteral("cfg.ini")), QSettings::IniFormat);
    DeviceConfig cfg;
    cfg.loadSettings(settings);
    for (int ch = 0; ch < DeviceConfig::ChannelCount; ++ch)
        cfg.setChannelEnabled(ch, channels.contains(ch));
    for (int ch : channels)
        cfg.setChannelRange(ch, range);
    cfg.setISrcValue(25.0); // the scenario's signals are given at the nominal current
    cfg.fillDeviceConfig(&h);
    if (GRV480_SetADC(&h) != 0)
        return false;
    return GRV480_InitMeasParams(&h, GRV480_MEAS_MODE_ACQUISITION, 0, 0) == 0 &&
           h.frameFrequency > 0.0;
}

void TestGRV480RecvThread::constructionState()
{
    GRV480RecvThread thread(&h, 250);
    QCOMPARE(thread.lastError(), -1);
    QCOMPARE(thread.blockTimeMs(), 250u);
    QVERIFY(!thread.isStopRequested());
    thread.requestStop();
    QVERIFY(thread.isStopRequested());
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QVERIFY(QMetaType::fromName("QSharedPointer<GRV480RecvThread::Frame>").isValid());
#else
    QVERIFY(QMetaType::type("QSharedPointer<GRV480RecvThread::Frame>") != 0);
#endif
}

void TestGRV480RecvThread::blocksAtTheConfiguredCadence_data()
{
    QTest::addColumn<QVector<int>>("channels");
    QTest::addColumn<int>("range");
    QTest::addColumn<unsigned>("blockTimeMs");

    QTest::newRow("4 channels, 200 ms") << QVector<int>{0, 1, 2, 3} << 0 << 200u;
    QTest::newRow("every channel, 70 mV, 300 ms")
        << QVector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15} << 1 << 300u;
    QTest::newRow("gaps in the list, 100 ms") << QVector<int>{1, 6, 12} << 0 << 100u;
}

void TestGRV480RecvThread::blocksAtTheConfiguredCadence()
{
    QFETCH(QVector<int>, channels);
    QFETCH(int, range);
    QFETCH(unsigned, blockTimeMs);
    QVERIFY(configure(channels, range));
    const quint32 expectedFrames = quint32(blockTimeMs * h.frameFrequency / 1000.0);
    QVERIFY(expectedFrames > 1);

    GRV480RecvThread thread(&h, blockTimeMs);
    FrameCollector collector(&thread);
    thread.start(QThread::InheritPriority);
    const int blocks = 5;
    QTRY_VERIFY_WITH_TIMEOUT(collector.frames.size() >= blocks, int(blocks * blockTimeMs + 3000));
    thread.requestStop();
    QVERIFY(thread.wait(blockTimeMs + 3000));
    QCOMPARE(thread.lastError(), 0);

    // Paced by the module, not by the thread: the blocks come one block time apart.
    const double spanMs = collector.arrivalMs.at(blocks - 1) - collector.arrivalMs.at(1);
    const double expectedSpanMs = (blocks - 2) * expectedFrames * 1000.0 / h.frameFrequency;
    QVERIFY2(std::abs(spanMs - expectedSpanMs) < 0.3 * expectedSpanMs + 50,
             qPrintable(QStringLiteral("%1 ms for %2 ms").arg(spanMs).arg(expectedSpanMs)));

    for (const FramePtr &frame : qAsConst(collector.frames)) {
        QCOMPARE(frame->channels.size(), channels.size());
        QCOMPARE(frame->status.frameCount, expectedFrames);
        for (int i = 0; i < channels.size(); ++i) {
            const GRV480RecvThread::ChData &ch = *frame->channels.at(i);
            QCOMPARE(int(ch.status.channelIndex), channels.at(i));
            QCOMPARE(quint32(ch.values.size()), expectedFrames);
            QCOMPARE(ch.values.capacity(), ch.values.size());
            QCOMPARE(ch.rangeMv, range == 0 ? 35.0 : 70.0);
            QCOMPARE(ch.sampleInterval, 1.0 / h.frameFrequency);
        }
    }
}

void TestGRV480RecvThread::valuesMatchTheScenario()
{
    // Bridge 1: 0.5 mV + 10 mV at 50 Hz; bridge 3: -3 mV + 20 mV at 17 Hz;
    // bridge 4: 12.5 mV DC. A second of data holds whole periods of each.
    QVERIFY(configure({0, 2, 3}));
    GRV480RecvThread thread(&h, 1000);
    FrameCollector collector(&thread);
    DataBlockProcessor processor;
    QList<QSharedPointer<DataBlockProcessor::DataBlock>> blocks;
    connect(
        &processor, &DataBlockProcessor::newBlock,
        [&blocks](const QSharedPointer<DataBlockProcessor::DataBlock> &b) { blocks.append(b); });
    thread.start(QThread::InheritPriority);
    QTRY_VERIFY_WITH_TIMEOUT(collector.frames.size() >= 2, 5000);
    thread.requestStop();
    QVERIFY(thread.wait(5000));

    // The first block may hold the filter's settling; the second is steady.
    const FramePtr frame = collector.frames.at(1);
    processor.processFrame(frame);
    QCOMPARE(blocks.size(), 1);
    const auto &results = blocks.first()->channels;
    QCOMPARE(results.size(), 3);

    struct Expected
    {
        double offset, amplitude, freq;
    };
    const Expected expected[] = {{0.5, 10.0, 50.0}, {-3.0, 20.0, 17.0}, {12.5, 0.0, 0.0}};
    for (int i = 0; i < 3; ++i) {
        const DataBlockProcessor::ChResult &r = *results.at(i);
        const QString what = QStringLiteral("channel %1: dc %2, amplitude %3 at %4 Hz")
                                 .arg(i)
                                 .arg(r.dc)
                                 .arg(r.peakAmplitude)
                                 .arg(r.peakFreq);
        QVERIFY2(std::abs(mean(r.values) - expected[i].offset) < 0.1, qPrintable(what));
        QVERIFY2(std::abs(r.dc - expected[i].offset) < 0.1, qPrintable(what));
        if (expected[i].amplitude > 0.0) {
            QVERIFY2(std::abs(r.peakAmplitude - expected[i].amplitude) <
                         0.02 * expected[i].amplitude,
                     qPrintable(what));
            QVERIFY2(std::abs(r.peakFreq - expected[i].freq) < 0.5, qPrintable(what));
            QVERIFY2(std::abs(r.ac - expected[i].amplitude / std::sqrt(2.0)) < 0.2,
                     qPrintable(what));
        } else {
            QVERIFY2(r.ac < 0.05, qPrintable(what));
        }
    }
}

void TestGRV480RecvThread::shortBlockTimeGivesOneFramePerBlock()
{
    QVERIFY(configure({0, 1}));
    GRV480RecvThread thread(&h, 0);
    // Stopped from the thread itself after 20 frames, so the count is exact.
    int count = 0;
    int longest = 0;
    connect(
        &thread, &GRV480RecvThread::dataReceived, &thread,
        [&](const FramePtr &frame) {
            longest = std::max(longest, int(frame->channels.first()->values.size()));
            if (++count == 20)
                thread.requestStop();
        },
        Qt::DirectConnection);
    thread.start(QThread::InheritPriority);
    QVERIFY(thread.wait(10000));
    QCOMPARE(thread.lastError(), 0);
    QCOMPARE(count, 20);
    QCOMPARE(longest, 1);
    QCOMPARE(thread.blockTimeMs(), unsigned(std::floor(1000.0 / h.frameFrequency + 0.5)));
}

void TestGRV480RecvThread::stopDuringAHalfBlockDiscardsIt()
{
    QVERIFY(configure({0}));
    const unsigned blockTimeMs = 3000;
    GRV480RecvThread thread(&h, blockTimeMs);
    FrameCollector collector(&thread);
    thread.start(QThread::InheritPriority);
    QTest::qWait(800);
    QElapsedTimer stopping;
    stopping.start();
    thread.requestStop();
    QVERIFY(thread.wait(blockTimeMs + 1000 + 2000));
    QVERIFY2(stopping.elapsed() < blockTimeMs + 1000 + 500,
             qPrintable(QString::number(stopping.elapsed())));
    QCoreApplication::processEvents();
    QCOMPARE(collector.frames.size(), 0);
    QCOMPARE(thread.lastError(), 0);
}

void TestGRV480RecvThread::startFailure_data()
{
    QTest::addColumn<bool>("closed");
    QTest::addColumn<int>("error");

    QTest::newRow("not configured") << false << GRV480_ERR_NOT_CONFIGURED;
    QTest::newRow("closed") << true << GRV480_ERR_NOT_OPENED;
}

void TestGRV480RecvThread::startFailure()
{
    QFETCH(bool, closed);
    QFETCH(int, error);
    if (closed)
        QCOMPARE(GRV480_Close(&h), 0);

    GRV480RecvThread thread(&h, 200);
    FrameCollector collector(&thread);
    thread.start(QThread::InheritPriority);
    QVERIFY(thread.wait(5000));
    QCoreApplication::processEvents();
    QCOMPARE(thread.lastError(), error);
    QCOMPARE(collector.frames.size(), 0);
    QCOMPARE(apiErrorText(error).isEmpty(), false);
}

void TestGRV480RecvThread::tooLargeBlockEndsTheRun()
{
    QVERIFY(configure({0, 1, 2, 3}));
    // Weeks of collection at the module's rate: far beyond any sane buffer.
    GRV480RecvThread thread(&h, 4000000000u);
    FrameCollector collector(&thread);
    thread.start(QThread::InheritPriority);
    QVERIFY(thread.wait(5000));
    QCOMPARE(thread.lastError(), GRV480_ERR_BLOCK_TOO_LARGE);
    QCOMPARE(collector.frames.size(), 0);

    // The started module was stopped: it starts again.
    QCOMPARE(GRV480_Start(&h), 0);
    QCOMPARE(GRV480_Stop(&h), 0);
}

void TestGRV480RecvThread::serverLostEndsTheRun()
{
#ifdef HAVE_EMULATOR
    EmulatorProcess doomed;
    QVERIFY(doomed.start());
    GRV480_Close(&h);
    QCOMPARE(GRV480_Init(&h), 0);
    QCOMPARE(GRV480_Open(&h, Loopback, doomed.port(), CrateSerial, Slot), 0);
    QVERIFY(configure({0, 1}));

    const unsigned blockTimeMs = 500;
    GRV480RecvThread thread(&h, blockTimeMs);
    FrameCollector collector(&thread);
    thread.start(QThread::InheritPriority);
    QTRY_VERIFY_WITH_TIMEOUT(collector.frames.size() >= 1, 5000);

    QElapsedTimer ending;
    ending.start();
    doomed.kill();
    // One receive timeout, with slack for a loaded machine.
    QVERIFY(thread.wait(blockTimeMs + 1000 + 3000));
    QVERIFY2(ending.elapsed() < blockTimeMs + 1000 + 1500,
             qPrintable(QString::number(ending.elapsed())));
    QVERIFY2(thread.lastError() < 0, qPrintable(QString::number(thread.lastError())));
#endif
}

QTEST_GUILESS_MAIN(TestGRV480RecvThread)

#include "tst_grv480recvthread.moc"
