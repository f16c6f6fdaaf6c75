// The module library against the emulator: search functions, configuration
// checks, tables, opening, acquisition, conversion, tare and flash.
#include "emulatorprocess.h"
#include "moduletestutil.h"

#include "grv480api.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>

#include <cstring>

using namespace moduletest;

namespace {

struct Handle
{
    Handle() : h(new TGRV480) { GRV480_Init(h.get()); }
    ~Handle() { GRV480_Close(h.get()); }
    TGRV480 *operator->() { return h.get(); }
    TGRV480 *get() { return h.get(); }
    std::unique_ptr<TGRV480> h;
};

// Amplitude and frequency of the strongest sine near `guessHz` (least squares on a grid).
void fitSine(const QVector<double> &v, double rate, double guessHz, double *amp, double *freq)
{
    double bestA = 0, bestF = guessHz;
    for (double f = guessHz * 0.9; f <= guessHz * 1.1; f += guessHz * 0.001) {
        double s = 0, c = 0, mean = 0;
        for (double x : v)
            mean += x;
        mean /= v.size();
        for (int i = 0; i < v.size(); ++i) {
            const double ph = 2 * M_PI * f * i / rate;
            s += (v[i] - mean) * std::sin(ph);
            c += (v[i] - mean) * std::cos(ph);
        }
        const double a = 2 * std::sqrt(s * s + c * c) / v.size();
        if (a > bestA) {
            bestA = a;
            bestF = f;
        }
    }
    *amp = bestA;
    *freq = bestF;
}

} // namespace

class TestGrv480Api : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void syncFreqDiv_data();
    void syncFreqDiv();
    void filterOutParams_data();
    void filterOutParams();
    void findFilterParams_data();
    void findFilterParams();
    void iSrc();
    void rawTables_data();
    void rawTables();

    void uninitialisedHandle();
    void openErrors_data();
    void openErrors();
    void stalledServer();
    void openTwiceAndClose();
    void initOnOpenRecord();
    void idleHandleAnswers_data();
    void idleHandleAnswers();

    void setAdcValidation_data();
    void setAdcValidation();
    void setAdcFillsHandle();
    void timedAcquisition();
    void isOpenedWhileReceiving();
    void knownSignals();
    void backgroundStates();
    void undeterminedWithoutCurrent();
    void faultsOfSecondModule();
    void singleChannelMode();
    void badBlocks_data();
    void badBlocks();
    void serverKilledMidAcquisition();
    void overflowIsReported();

    void tareAndFlashRoundTrip();
    void tareScale();
    void tareWithoutChannels();

private:
    int openSignals(TGRV480 *h, uint16_t slot = 1);
    void acquire(TGRV480 *h, uint32_t frames, QVector<double> *values, TGRV480FrameStatus *fs,
                 QVector<TGRV480ChStatus> *cs);

    std::unique_ptr<EmulatorProcess> emu;
};

void TestGrv480Api::initTestCase()
{
    emu.reset(new EmulatorProcess(EmulatorProcess::scenarioPath("test-signals.ini")));
    QVERIFY(emu->start());
}

int TestGrv480Api::openSignals(TGRV480 *h, uint16_t slot)
{
    return GRV480_Open(h, kLoopback, emu->port(), "TEST-1", slot);
}

void TestGrv480Api::acquire(TGRV480 *h, uint32_t frames, QVector<double> *values,
                            TGRV480FrameStatus *fs, QVector<TGRV480ChStatus> *cs)
{
    QCOMPARE(GRV480_InitMeasParams(h, GRV480_MEAS_MODE_ACQUISITION, 0, 0), 0);
    QCOMPARE(GRV480_Start(h), 0);
    QVector<uint32_t> words;
    QCOMPARE(receiveFrames(h, frames, &words), 0);
    QCOMPARE(GRV480_Stop(h), 0);
    values->resize(int(frames * h->cfg.logicalChannelCount));
    cs->resize(int(h->cfg.logicalChannelCount));
    uint32_t wc = uint32_t(words.size());
    QCOMPARE(GRV480_ProcessData(h, words.data(), values->data(), &wc, 0, fs, cs->data()), 0);
    QCOMPARE(wc, uint32_t(words.size()));
}

// --- search functions ---------------------------------------------------------

void TestGrv480Api::syncFreqDiv_data()
{
    QTest::addColumn<double>("freq");
    QTest::addColumn<int>("div");
    QTest::addColumn<double>("result");
    QTest::addColumn<int>("status");
    QTest::newRow("20 kHz exact") << 20000.0 << 800 << 20000.0 << 0;
    QTest::newRow("25 kHz exact") << 25000.0 << 640 << 25000.0 << 0;
    QTest::newRow("250 kHz, the highest") << 250000.0 << 64 << 250000.0 << 0;
    QTest::newRow("above 250 kHz is limited") << 400000.0 << 64 << 250000.0 << 0;
    QTest::newRow("nearest in frequency") << 15999.0 << 1000 << 16000.0 << 0;
    QTest::newRow("0.01 Hz") << 0.01 << 1600000000 << 0.01 << 0;
    QTest::newRow("zero is refused") << 0.0 << 1600000000 << 0.01 << int(GRV480_ERR_INVALID_PARAM);
}

void TestGrv480Api::syncFreqDiv()
{
    QFETCH(double, freq);
    QFETCH(int, div);
    QFETCH(double, result);
    QFETCH(int, status);
    int32_t d = -1;
    double f = -1;
    QCOMPARE(GRV480_FindSyncFreqDiv(freq, &d, &f), status);
    QCOMPARE(d, div);
    QVERIFY(qAbs(f - result) < 1e-9 * result);
    // either output may be null
    QCOMPARE(GRV480_FindSyncFreqDiv(freq, nullptr, &f), status);
    QCOMPARE(GRV480_FindSyncFreqDiv(freq, &d, nullptr), status);
}

void TestGrv480Api::filterOutParams_data()
{
    QTest::addColumn<int>("single");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("selector");
    QTest::addColumn<int>("status");
    QTest::addColumn<double>("odr");
    QTest::addColumn<double>("notchDb");
    QTest::newRow("sinc5 multi code 0") << 0 << 0 << 0 << 0 << 50000.0 << 0.0;
    QTest::newRow("sinc5 single code 0") << 1 << 0 << 0 << 0 << 250000.0 << 0.0;
    QTest::newRow("sinc5 multi code 3") << 0 << 0 << 3 << 0 << 27778.0 << 0.0;
    QTest::newRow("sinc5 code 20") << 0 << 0 << 20 << 0 << 5.0 << 0.0;
    QTest::newRow("sinc5 code 21") << 0 << 0 << 21 << int(GRV480_ERR_CFG_FILTER_ODR) << 0.0 << 0.0;
    QTest::newRow("sinc3 single div 10") << 1 << 1 << 10 << 0 << 25000.0 << 0.0;
    QTest::newRow("sinc3 div 32767") << 1 << 1 << 32767 << 0 << 250000.0 / 32767 << 0.0;
    QTest::newRow("sinc3 div 0") << 1 << 1 << 0 << int(GRV480_ERR_CFG_FILTER_ODR) << 0.0 << 0.0;
    QTest::newRow("sinc3 div 32768") << 0 << 1 << 32768 << int(GRV480_ERR_CFG_FILTER_ODR) << 0.0 << 0.0;
    QTest::newRow("enhanced code 2") << 0 << 2 << 2 << 0 << 27.27 << 47.0;
    QTest::newRow("enhanced code 3") << 0 << 2 << 3 << 0 << 25.0 << 62.0;
    QTest::newRow("enhanced code 5") << 1 << 2 << 5 << 0 << 20.0 << 85.0;
    QTest::newRow("enhanced code 6") << 0 << 2 << 6 << 0 << 16.67 << 90.0;
    QTest::newRow("enhanced code 4") << 0 << 2 << 4 << int(GRV480_ERR_CFG_FILTER_ODR) << 0.0 << 0.0;
    QTest::newRow("type 3") << 0 << 3 << 0 << int(GRV480_ERR_CFG_FILTER_TYPE) << 0.0 << 0.0;
}

void TestGrv480Api::filterOutParams()
{
    QFETCH(int, single);
    QFETCH(int, type);
    QFETCH(int, selector);
    QFETCH(int, status);
    QFETCH(double, odr);
    QFETCH(double, notchDb);
    TGRV480FilterParams p;
    std::memset(&p, 0x55, sizeof p);
    QCOMPARE(GRV480_GetFilterOutParams(single, type, selector, &p), status);
    if (status)
        return;
    QCOMPARE(p.type, type);
    QCOMPARE(p.odrCode, selector);
    QVERIFY(qAbs(p.odr - odr) < 1e-6 * odr);
    QCOMPARE(p.notchDb, notchDb);
    if (type != GRV480_FILTER_ENH_50_60)
        QCOMPARE(p.notchFreq, p.odr);
}

void TestGrv480Api::findFilterParams_data()
{
    QTest::addColumn<int>("single");
    QTest::addColumn<double>("adcFreq");
    QTest::addColumn<double>("swTime");
    QTest::addColumn<double>("odr");
    QTest::addColumn<double>("swResult");
    // 1/20000 - 1/27778 leaves 14 us; the next slower rate (20833) only 2 us
    QTest::newRow("20 kHz, 10 us") << 0 << 20000.0 << 10.0 << 27778.0 << (1 / 20000.0 - 1 / 27778.0) * 1e6;
    QTest::newRow("20 kHz, 1 us") << 0 << 20000.0 << 1.0 << 20833.0 << (1 / 20000.0 - 1 / 20833.0) * 1e6;
    QTest::newRow("1 kHz, 10 us") << 0 << 1000.0 << 10.0 << 1000.0 * 0 + 2500.0 << (1 / 1000.0 - 1 / 2500.0) * 1e6;
    QTest::newRow("impossible: fastest, what remains") << 0 << 250000.0 << 10.0 << 50000.0 << -16.0;
    QTest::newRow("single: nearest rate") << 1 << 24000.0 << 10.0 << 25000.0 << 0.0;
    QTest::newRow("single: 250 kHz") << 1 << 250000.0 << 0.0 << 250000.0 << 0.0;
}

void TestGrv480Api::findFilterParams()
{
    QFETCH(int, single);
    QFETCH(double, adcFreq);
    QFETCH(double, swTime);
    QFETCH(double, odr);
    QFETCH(double, swResult);
    TGRV480FilterParams p;
    double sw = -1;
    QCOMPARE(GRV480_FindFilterParams(single, adcFreq, swTime, &p, &sw), 0);
    QCOMPARE(p.odr, odr);
    QVERIFY2(qAbs(sw - swResult) < 1e-6, qPrintable(QString::number(sw)));
    if (!single && sw >= 0)
        QVERIFY(sw >= swTime);
}

void TestGrv480Api::iSrc()
{
    int32_t code = -1;
    double ma = -1;
    QCOMPARE(GRV480_FindISrcCode(nullptr, 25.0, &code, &ma), 0);
    QCOMPARE(code, 1667);
    QVERIFY(qAbs(ma - 25.005) < 1e-9);
    QCOMPARE(GRV480_CalcISrcValue(nullptr, code, &ma), 0);
    QVERIFY(qAbs(ma - 25.005) < 1e-9);
    QCOMPARE(GRV480_FindISrcCode(nullptr, 60.0, &code, &ma), 0);
    QCOMPARE(code, 4000);
    QCOMPARE(GRV480_FindISrcCode(nullptr, 0.0, &code, &ma), 0);
    QCOMPARE(code, 0);
    QCOMPARE(GRV480_FindISrcCode(nullptr, 80.0, &code, &ma), int(GRV480_ERR_INVALID_PARAM));
    QCOMPARE(code, 4000);
    QCOMPARE(GRV480_CalcISrcValue(nullptr, 4001, &ma), int(GRV480_ERR_CFG_ISRC_CODE));
}

void TestGrv480Api::rawTables_data()
{
    QTest::addColumn<int>("single");
    QTest::addColumn<int>("ch16Uref");
    QTest::addColumn<uint>("mask");
    QTest::addColumn<int>("channels");   // channels 0..n-1, alternating ranges 0 and 1
    QTest::addColumn<uint>("mainSize");
    QTest::addColumn<uint>("secondary");
    QTest::addColumn<uint>("bgSize");
    QTest::addColumn<uint>("frameClocks");
    QTest::newRow("unbalance only") << 0 << 0 << 0u << 4 << 4u << 4u << 0u << 4u;
    QTest::newRow("with zero: one row per gain") << 0 << 0 << 1u << 4 << 6u << 6u << 0u << 6u;
    QTest::newRow("zero, one range") << 0 << 0 << 1u << 1 << 2u << 2u << 0u << 2u;
    QTest::newRow("Uref only") << 0 << 0 << 2u << 3 << 4u << 3u << 1u << 4u;
    QTest::newRow("everything, 3 channels") << 0 << 0 << 0xFFFu << 3 << 6u << 5u << 19u << 6u;
    QTest::newRow("everything, 16 channels") << 0 << 0 << 0xFFFu << 16 << 19u << 18u << 71u << 19u;
    QTest::newRow("channel 16 for Uref") << 0 << 1 << 0xFFFu << 15 << 18u << 17u << 70u << 18u;
    QTest::newRow("single channel") << 1 << 0 << 0xFFFu << 1 << 1u << 1u << 0u << 1u;
    QTest::newRow("no channel yet") << 0 << 0 << 0xFFFu << 0 << 1u << 0u << 7u << 1u;
}

void TestGrv480Api::rawTables()
{
    QFETCH(int, single);
    QFETCH(int, ch16Uref);
    QFETCH(uint, mask);
    QFETCH(int, channels);
    QFETCH(uint, mainSize);
    QFETCH(uint, secondary);
    QFETCH(uint, bgSize);
    QFETCH(uint, frameClocks);
    TGRV480Config cfg;
    fillConfig(&cfg, {}, 0, mask);
    cfg.singleChMode = uint8_t(single);
    cfg.ch16ForUref = uint8_t(ch16Uref);
    for (int i = 0; i < channels; ++i) {
        cfg.logicalChannels[i].channelIndex = uint8_t(i);
        cfg.logicalChannels[i].rangeCode = uint8_t(i % 2);
    }
    cfg.logicalChannelCount = uint32_t(channels);
    std::unique_ptr<TGRV480RawTables> raw(new TGRV480RawTables);
    QCOMPARE(GRV480_FillRawTables(nullptr, &cfg, raw.get()), 0);
    QCOMPARE(raw->unbalanceChCount, uint32_t(channels));
    QCOMPARE(raw->mainTableSize, mainSize);
    QCOMPARE(raw->secondaryRowStart, secondary);
    QCOMPARE(raw->bgTableSize, bgSize);
    QCOMPARE(raw->frameClocks, frameClocks);
    QCOMPARE(raw->frameWordCount, frameClocks);
    QCOMPARE(raw->bgStepClocks, bgSize ? 1u : 0u);
    for (int i = 0; i < channels; ++i) {
        const uint32_t gain = i % 2 ? 3 : 2;
        QCOMPARE(raw->mainTable[i], GRV480_MODE_UNBALANCE | (uint32_t(i) << 19) | (gain << 16) | 8192u);
    }
    for (uint32_t r = uint32_t(channels); r < secondary; ++r)
        QCOMPARE(raw->mainTable[r] & GRV480_ENTRY_MODE_MASK, GRV480_MODE_ZERO_UREF);
    if (bgSize)
        QCOMPARE(raw->mainTable[mainSize - 1], GRV480_ENTRY_BG_SLOT);
    for (uint32_t k = 0; k < bgSize; ++k)
        QVERIFY(!(raw->bgTable[k] & GRV480_ENTRY_BG_SLOT));
    // table refusals are the module's own
    cfg.bgMeasMask = 0x1000;
    QCOMPARE(GRV480_FillRawTables(nullptr, &cfg, raw.get()), int(GRV480_ERR_CFG_BG_MASK));
    QCOMPARE(GRV480_FillRawTables(nullptr, nullptr, raw.get()), int(GRV480_ERR_INVALID_PARAM));
}

// --- handle and connection ----------------------------------------------------

void TestGrv480Api::uninitialisedHandle()
{
    std::unique_ptr<TGRV480> h(new TGRV480);
    std::memset(h.get(), 0, sizeof *h);
    QCOMPARE(GRV480_IsOpened(h.get()), int(GRV480_ERR_INVALID_HANDLE));
    QCOMPARE(GRV480_SetADC(h.get()), int(GRV480_ERR_INVALID_HANDLE));
    QCOMPARE(GRV480_Open(h.get(), kLoopback, emu->port(), "TEST-1", 1), int(GRV480_ERR_INVALID_HANDLE));
    QCOMPARE(GRV480_IsOpened(nullptr), int(GRV480_ERR_INVALID_HANDLE));
    GRV480_Init(h.get());
    QCOMPARE(GRV480_IsOpened(h.get()), int(GRV480_ERR_NOT_OPENED));
    QCOMPARE(GRV480_SetADC(h.get()), int(GRV480_ERR_NOT_OPENED));
    QCOMPARE(GRV480_Start(h.get()), int(GRV480_ERR_NOT_OPENED));
    QCOMPARE(GRV480_Close(h.get()), 0);   // closing a closed handle is harmless
}

void TestGrv480Api::openErrors_data()
{
    QTest::addColumn<QString>("crate");
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("deadPort");
    QTest::addColumn<int>("status");
    QTest::newRow("unknown crate") << "NOPE" << 1 << false << int(GRV480_ERR_CRATE_NOT_FOUND);
    QTest::newRow("empty slot") << "TEST-1" << 9 << false << int(GRV480_ERR_NO_MODULE);
    QTest::newRow("other module type") << "TEST-1" << 4 << false << int(GRV480_ERR_NO_MODULE);
    QTest::newRow("slot 0") << "TEST-1" << 0 << false << int(GRV480_ERR_INVALID_PARAM);
    QTest::newRow("no server") << "TEST-1" << 1 << true << int(GRV480_ERR_CONNECT);
}

void TestGrv480Api::openErrors()
{
    QFETCH(QString, crate);
    QFETCH(int, slot);
    QFETCH(bool, deadPort);
    QFETCH(int, status);
    quint16 port = emu->port();
    if (deadPort) {
        QTcpServer s;   // a port that was free a moment ago and has no listener now
        QVERIFY(s.listen(QHostAddress::LocalHost));
        port = s.serverPort();
        s.close();
    }
    Handle h;
    QElapsedTimer t;
    t.start();
    QCOMPARE(GRV480_Open(h.get(), kLoopback, port, crate.toLatin1().constData(), uint16_t(slot)), status);
    QVERIFY(t.elapsed() < 1000);   // refused at once, not after a timeout
    QCOMPARE(GRV480_IsOpened(h.get()), int(GRV480_ERR_NOT_OPENED));
}

void TestGrv480Api::stalledServer()
{
    QTcpServer server;   // accepts, never answers
    QVERIFY(server.listen(QHostAddress::LocalHost));
    Handle h;
    QElapsedTimer t;
    t.start();
    QCOMPARE(GRV480_Open(h.get(), kLoopback, server.serverPort(), "TEST-1", 1), int(GRV480_ERR_TIMEOUT));
    QVERIFY(t.elapsed() >= 2000);
    QVERIFY(t.elapsed() < 8000);
    QCOMPARE(GRV480_IsOpened(h.get()), int(GRV480_ERR_NOT_OPENED));
}

void TestGrv480Api::openTwiceAndClose()
{
    Handle a, b;
    QCOMPARE(openSignals(a.get()), 0);
    QCOMPARE(GRV480_IsOpened(a.get()), 0);
    QCOMPARE(QByteArray(a->info.moduleSerial), QByteArray("T480-0001"));
    QCOMPARE(int(a->info.fpgaVersion), 21);
    QCOMPARE(openSignals(a.get()), int(GRV480_ERR_ALREADY_OPENED));
    // a second client is refused while the first holds the module
    QCOMPARE(openSignals(b.get()), int(GRV480_ERR_MODULE_BUSY));
    QCOMPARE(GRV480_IsOpened(b.get()), int(GRV480_ERR_NOT_OPENED));
    QCOMPARE(GRV480_Close(a.get()), 0);
    QCOMPARE(GRV480_IsOpened(a.get()), int(GRV480_ERR_NOT_OPENED));
    // once Close has returned the module is free: another client opens it at once
    QCOMPARE(openSignals(b.get()), 0);
    QCOMPARE(GRV480_Close(b.get()), 0);
    QCOMPARE(openSignals(a.get()), 0);
}

void TestGrv480Api::initOnOpenRecord()
{
    Handle a, b;
    QCOMPARE(openSignals(a.get()), 0);
    // initialising the open record closes it: the module is free again
    QCOMPARE(GRV480_Init(a.get()), 0);
    QCOMPARE(GRV480_IsOpened(a.get()), int(GRV480_ERR_NOT_OPENED));
    QCOMPARE(openSignals(b.get()), 0);
    // a copy of an open record is not its owner: initialising it touches nothing
    TGRV480 copy;
    std::memcpy(&copy, b.get(), sizeof copy);
    QCOMPARE(GRV480_Init(&copy), 0);
    QCOMPARE(GRV480_IsOpened(b.get()), 0);
    fillConfig(&b->cfg, {0});
    QCOMPARE(GRV480_SetADC(b.get()), 0);
    // fresh memory that happens to look like a record is not freed
    std::unique_ptr<TGRV480> junk(new TGRV480);
    std::memset(junk.get(), 0x5A, sizeof *junk);
    junk->magic = b->magic;
    QCOMPARE(GRV480_Init(junk.get()), 0);
}

void TestGrv480Api::idleHandleAnswers_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("stallFirst");
    for (bool stall : {false, true}) {
        const char *why = stall ? "after a timed-out request, " : "";
        QTest::newRow(qPrintable(QString("%1configure").arg(why))) << "setadc" << stall;
        QTest::newRow(qPrintable(QString("%1start and receive").arg(why))) << "start" << stall;
        QTest::newRow(qPrintable(QString("%1zero tare").arg(why))) << "tare" << stall;
        QTest::newRow(qPrintable(QString("%1flash").arg(why))) << "flash" << stall;
    }
}

// The dialogs keep an opened module idle while the operator reads them; the
// next call must work however long that was.
void TestGrv480Api::idleHandleAnswers()
{
    QFETCH(QString, operation);
    QFETCH(bool, stallFirst);
    const int stallLimit = 300;
    qputenv("GRV480_STALL_LIMIT_MS", QByteArray::number(stallLimit));
    EmulatorProcess own(EmulatorProcess::scenarioPath("test-signals.ini"));
    QVERIFY(own.start());
    Handle h;
    QCOMPARE(GRV480_Open(h.get(), kLoopback, own.port(), "TEST-1", 1), 0);
    qunsetenv("GRV480_STALL_LIMIT_MS");
    fillConfig(&h->cfg, {0, 4});
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    if (stallFirst) {
        // a request that times out leaves its reply on the way; the next
        // request must not take it for its own
        QVERIFY(own.suspend());
        QCOMPARE(GRV480_ReadTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK), int(GRV480_ERR_TIMEOUT));
        own.resume();
    }
    QTest::qWait(4 * stallLimit);

    if (operation == "setadc") {
        QCOMPARE(GRV480_SetADC(h.get()), 0);
        QCOMPARE(GRV480_SetADC(h.get()), 0);
    } else if (operation == "start") {
        QCOMPARE(GRV480_Start(h.get()), 0);
        QVector<uint32_t> w;
        QCOMPARE(receiveFrames(h.get(), 200, &w), 0);
        QCOMPARE(GRV480_Stop(h.get()), 0);
        QTest::qWait(4 * stallLimit);   // idle again between two runs
        QCOMPARE(GRV480_Start(h.get()), 0);
        QCOMPARE(receiveFrames(h.get(), 200, &w), 0);
        QCOMPARE(GRV480_Stop(h.get()), 0);
    } else if (operation == "tare") {
        uint32_t ok = 0;
        QCOMPARE(GRV480_TareOffset(h.get(), 0x10, &ok), 0);
        QCOMPARE(ok, 0x10u);
    } else if (operation == "flash") {
        QCOMPARE(GRV480_ReadTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK), int(GRV480_ERR_FLASH_EMPTY));
        h->tare[3].offsetCoef = 0.25;
        h->tare[3].offsetValid = 1;
        QCOMPARE(GRV480_WriteTareInfo(h.get(), 0x8), 0);
        QTest::qWait(4 * stallLimit);
        h->tare[3].offsetCoef = 0;
        QCOMPARE(GRV480_ReadTareInfo(h.get(), 0x8), 0);
        QCOMPARE(h->tare[3].offsetCoef, 0.25);
    }
    QCOMPARE(GRV480_Close(h.get()), 0);
}

// --- configuration -----------------------------------------------------------

void TestGrv480Api::setAdcValidation_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("status");
    QTest::newRow("valid") << "" << 0;
    QTest::newRow("range code 3") << "range3" << int(GRV480_ERR_CFG_RANGE_CODE);
    QTest::newRow("range code 2 accepted") << "range2" << 0;
    QTest::newRow("channel index 16") << "index16" << int(GRV480_ERR_CFG_CHANNEL_INDEX);
    QTest::newRow("descending channels") << "descending" << int(GRV480_ERR_CFG_CHANNEL_ORDER);
    QTest::newRow("repeated channel") << "repeat" << int(GRV480_ERR_CFG_CHANNEL_ORDER);
    QTest::newRow("no channel accepted") << "count0" << 0;
    QTest::newRow("17 channels") << "count17" << int(GRV480_ERR_CFG_CHANNEL_COUNT);
    QTest::newRow("single with two channels") << "single2" << int(GRV480_ERR_CFG_SINGLE_CHANNEL);
    QTest::newRow("single with one, divider unset") << "single1" << 0;
    QTest::newRow("single with no channel accepted") << "single0" << 0;
    QTest::newRow("current code 4001") << "isrc" << int(GRV480_ERR_CFG_ISRC_CODE);
    QTest::newRow("current 0 accepted") << "isrc0" << 0;
    QTest::newRow("divider above 250 kHz") << "div63" << int(GRV480_ERR_CFG_SYNC_DIV);
    QTest::newRow("filter type 3") << "ftype" << int(GRV480_ERR_CFG_FILTER_TYPE);
    QTest::newRow("sinc5 code 21") << "fodr" << int(GRV480_ERR_CFG_FILTER_ODR);
    QTest::newRow("enhanced code 4") << "fenh" << int(GRV480_ERR_CFG_FILTER_ODR);
    QTest::newRow("mask bit 12") << "mask" << int(GRV480_ERR_CFG_BG_MASK);
    QTest::newRow("channel 16 while it measures Uref") << "ch16" << int(GRV480_ERR_CFG_CH16_UREF);
    QTest::newRow("switching time left too short") << "swtime" << int(GRV480_ERR_CFG_SW_TIME);
    QTest::newRow("negative switching time") << "swneg" << int(GRV480_ERR_CFG_SW_TIME);
    QTest::newRow("cable 201 m") << "cable201" << int(GRV480_ERR_CFG_CABLE);
    QTest::newRow("cable capacitance -1") << "capneg" << int(GRV480_ERR_CFG_CABLE);
    QTest::newRow("cable bounds of the dialog") << "cablebounds" << 0;
    QTest::newRow("threshold 100.5") << "thresh" << int(GRV480_ERR_CFG_SHORT_THRESH);
    QTest::newRow("threshold NaN") << "threshnan" << int(GRV480_ERR_CFG_SHORT_THRESH);
    QTest::newRow("threshold 99.99") << "thresh9999" << 0;
}

void TestGrv480Api::setAdcValidation()
{
    QFETCH(QString, change);
    QFETCH(int, status);
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    TGRV480Config &c = h->cfg;
    fillConfig(&c, {0, 4, 9});
    if (change == "range3") c.logicalChannels[1].rangeCode = 3;
    if (change == "range2") c.logicalChannels[1].rangeCode = 2;
    if (change == "index16") c.logicalChannels[2].channelIndex = 16;
    if (change == "descending") c.logicalChannels[2].channelIndex = 1;
    if (change == "repeat") c.logicalChannels[2].channelIndex = 4;
    if (change == "count0") c.logicalChannelCount = 0;
    if (change == "count17") c.logicalChannelCount = 17;
    if (change == "single2") { c.singleChMode = 1; c.logicalChannelCount = 2; }
    if (change == "single0") { c.singleChMode = 1; c.logicalChannelCount = 0; c.syncFreqDiv = 0; c.filterOdrCode = 0; }
    if (change == "single1") { c.singleChMode = 1; c.logicalChannelCount = 1; c.syncFreqDiv = 0; c.filterOdrCode = 0; }
    if (change == "isrc") c.iSrcCode = 4001;
    if (change == "isrc0") c.iSrcCode = 0;
    if (change == "div63") c.syncFreqDiv = 63;
    if (change == "ftype") c.filterType = 3;
    if (change == "fodr") c.filterOdrCode = 21;
    if (change == "fenh") { c.filterType = 2; c.filterOdrCode = 4; }
    if (change == "mask") c.bgMeasMask = 0x1FFF;
    if (change == "ch16") { c.ch16ForUref = 1; c.logicalChannels[2].channelIndex = 15; }
    if (change == "swtime") c.swTimeUs = 15;
    if (change == "swneg") c.swTimeUs = -1;
    if (change == "cable201") c.cableLength = 201;
    if (change == "capneg") c.cableCapPerUnit = -1;
    if (change == "cablebounds") { c.cableLength = 0.5; c.cableCapPerUnit = 100000; }
    if (change == "thresh") c.shortRThresh = 100.5;
    if (change == "threshnan") c.shortRThresh = std::nan("");
    if (change == "thresh9999") c.shortRThresh = 99.99;
    QCOMPARE(GRV480_SetADC(h.get()), status);
    // a refused configuration leaves nothing to start
    if (status)
        QCOMPARE(GRV480_Start(h.get()), int(GRV480_ERR_NOT_CONFIGURED));
    // configured with nothing to measure: the module refuses to start
    if (change == "count0" || change == "single0")
        QCOMPARE(GRV480_Start(h.get()), int(GRV480_ERR_CFG_CHANNEL_COUNT));
    QVERIFY(QByteArray(GRV480_GetErrorString(status)) != QByteArray(GRV480_GetErrorString(-1)));
}

void TestGrv480Api::setAdcFillsHandle()
{
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    fillConfig(&h->cfg, {0, 1, 2, 3});
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    // 4 channels, a zero row for the one gain in use, the background slot
    QCOMPARE(h->frameWordCount, 6u);
    QCOMPARE(h->raw.frameClocks, 6u);
    QCOMPARE(h->frameFrequency, 20000.0 / 6);
    std::unique_ptr<TGRV480RawTables> raw(new TGRV480RawTables);
    QCOMPARE(GRV480_FillRawTables(&h->info, &h->cfg, raw.get()), 0);
    QCOMPARE(std::memcmp(raw.get(), &h->raw, sizeof *raw), 0);
}

// --- acquisition -----------------------------------------------------------------

void TestGrv480Api::timedAcquisition()
{
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    fillConfig(&h->cfg, {0, 4});
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QCOMPARE(GRV480_Recv(h.get(), nullptr, nullptr, 0, 10), int(GRV480_ERR_NOT_STARTED));
    QCOMPARE(GRV480_Start(h.get()), 0);
    QCOMPARE(GRV480_Start(h.get()), int(GRV480_ERR_ALREADY_STARTED));
    QCOMPARE(GRV480_SetADC(h.get()), int(GRV480_ERR_ALREADY_STARTED));
    QVector<uint32_t> buf(100000);
    qint64 words = 0;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1500) {
        const int r = GRV480_Recv(h.get(), buf.data(), nullptr, uint32_t(buf.size()), 500);
        QVERIFY2(r >= 0, GRV480_GetErrorString(r));
        words += r;
    }
    const double expected = h->frameFrequency * h->frameWordCount * t.elapsed() / 1000.0;
    QCOMPARE(GRV480_Stop(h.get()), 0);
    qInfo("words %lld, expected %.0f", words, expected);
    QVERIFY(words > 0.9 * expected);
    QVERIFY(words < 1.05 * expected);
    QCOMPARE(words % h->frameWordCount, 0);
}

void TestGrv480Api::isOpenedWhileReceiving()
{
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    fillConfig(&h->cfg, {0});
    h->cfg.iSrcCode = 1;
    h->cfg.syncFreqDiv = 1600000000;   // 0.01 Hz: Recv waits, nothing but heartbeats arrive
    h->cfg.filterOdrCode = 20;
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QCOMPARE(GRV480_Start(h.get()), 0);
    std::atomic<int> result{1};
    std::thread receiver([&] {
        uint32_t w[16];
        result = GRV480_Recv(h.get(), w, nullptr, 16, 1500);
    });
    QTest::qWait(200);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 1000; ++i)
        QCOMPARE(GRV480_IsOpened(h.get()), 0);
    QVERIFY(t.elapsed() < 100);   // never waits for the receiving thread
    receiver.join();
    QCOMPARE(result.load(), 0);   // the timeout passed without data, which is not an error
    QCOMPARE(GRV480_Stop(h.get()), 0);
}

void TestGrv480Api::knownSignals()
{
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    fillConfig(&h->cfg, {0, 1, 2, 3, 4, 5});
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    const uint32_t frames = uint32_t(h->frameFrequency);   // one second
    QVector<double> v;
    QVector<TGRV480ChStatus> cs;
    TGRV480FrameStatus fs;
    acquire(h.get(), frames, &v, &fs, &cs);
    const int n = 6;
    auto channel = [&](int i) {
        QVector<double> x;
        for (uint32_t f = 0; f < frames; ++f)
            x << v[int(f) * n + i] * 1000.0;
        return x;
    };
    double amp = 0, freq = 0;
    fitSine(channel(0), h->frameFrequency, 50.0, &amp, &freq);
    QVERIFY2(qAbs(amp - 10.0 * 25.005 / 25.0) < 0.05, qPrintable(QString::number(amp)));
    QVERIFY2(qAbs(freq - 50.0) < 0.2, qPrintable(QString::number(freq)));
    QCOMPARE(cs[0].ux.state, uint8_t(GRV480_MV_VALID));
    QVERIFY(!(cs[0].flags & GRV480_CH_OUT_OF_RANGE));
    QCOMPARE(cs[1].ux.state, uint8_t(GRV480_MV_OPEN));
    QCOMPARE(cs[2].ux.state, uint8_t(GRV480_MV_SHORT));
    QVERIFY(cs[3].flags & GRV480_CH_OUT_OF_RANGE);
    QVERIFY(cs[3].outOfRangeCount > 0);
    double mean = 0;
    for (double x : channel(4))
        mean += x / frames;
    QVERIFY2(qAbs(mean - 5.0 * 25.005 / 25) < 0.005, qPrintable(QString::number(mean)));
    QCOMPARE(cs[5].ucm.state, uint8_t(GRV480_MV_COND_VIOLATED));
    QCOMPARE(cs[4].ucm.state, uint8_t(GRV480_MV_VALID));
    QVERIFY(cs[4].ucm.value > cs[4].ucmMin && cs[4].ucm.value < cs[4].ucmMax);
    // Uref = I * Rref, Ux of a bridge equal to Rref agrees with it
    QCOMPARE(fs.uref.state, uint8_t(GRV480_MV_VALID));
    QVERIFY(qAbs(fs.uref.value - 0.025005 * 120) < 0.001);
    QVERIFY(qAbs(cs[0].ux.value - fs.uref.value) < 0.001);
    QCOMPARE(fs.urefR.state, uint8_t(GRV480_MV_NOT_MEASURED));
    QCOMPARE(fs.vadj.state, uint8_t(GRV480_MV_VALID));
    QCOMPARE(fs.uneg.state, uint8_t(GRV480_MV_VALID));
    QVERIFY(!(fs.flags & GRV480_FRAME_LOAD_POWER_EXCEEDED));
    QCOMPARE(fs.frameCount, frames);
    QCOMPARE(cs[4].channelIndex, uint8_t(4));
}

void TestGrv480Api::backgroundStates()
{
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    fillConfig(&h->cfg, {0, 1}, 0, GRV480_BG_ALL & ~GRV480_BG_VADJ & ~GRV480_BG_CHECK_OPEN_UX);
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QCOMPARE(GRV480_InitMeasParams(h.get(), GRV480_MEAS_MODE_ACQUISITION, 0, 0), 0);
    QCOMPARE(GRV480_Start(h.get()), 0);
    QVector<uint32_t> words;
    QCOMPARE(receiveFrames(h.get(), 1, &words), 0);
    TGRV480FrameStatus fs;
    TGRV480ChStatus cs[2];
    double values[2];
    uint32_t wc = uint32_t(words.size());
    QCOMPARE(GRV480_ProcessData(h.get(), words.data(), values, &wc, 0, &fs, cs), 0);
    // one frame measured one background entry: the rest has no value yet
    QCOMPARE(fs.vadj.state, uint8_t(GRV480_MV_NOT_MEASURED));
    QCOMPARE(cs[0].ux.state, uint8_t(GRV480_MV_NO_VALUE));
    QCOMPARE(cs[1].ucm.state, uint8_t(GRV480_MV_NO_VALUE));
    QCOMPARE(fs.bgCycleCount, 0u);
    // a full cycle later everything is there; without the open check an open
    // line reads as a saturated Ux: a fault
    const uint32_t frames = h->raw.bgTableSize * 2;
    QCOMPARE(receiveFrames(h.get(), frames, &words), 0);
    QVector<double> v(int(frames * 2));
    wc = uint32_t(words.size());
    QCOMPARE(GRV480_ProcessData(h.get(), words.data(), v.data(), &wc, 0, &fs, cs), 0);
    QCOMPARE(GRV480_Stop(h.get()), 0);
    QCOMPARE(cs[0].ux.state, uint8_t(GRV480_MV_VALID));
    QCOMPARE(cs[1].ux.state, uint8_t(GRV480_MV_FAULT));
    QCOMPARE(fs.firstFrameNumber, 1u);
    QVERIFY(fs.bgCycleCount >= 2);
}

void TestGrv480Api::undeterminedWithoutCurrent()
{
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    fillConfig(&h->cfg, {0});
    h->cfg.iSrcCode = 0;
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QVector<double> v;
    QVector<TGRV480ChStatus> cs;
    TGRV480FrameStatus fs;
    acquire(h.get(), h->raw.bgTableSize * 2, &v, &fs, &cs);
    QCOMPARE(cs[0].ux.state, uint8_t(GRV480_MV_UNDETERMINED));
    QCOMPARE(fs.uref.state, uint8_t(GRV480_MV_UNDETERMINED));
    QCOMPARE(fs.iSrcValue, 0.0);
}

void TestGrv480Api::faultsOfSecondModule()
{
    // slot 2: reference resistor open, U- open, load power above its limit
    Handle h;
    QCOMPARE(openSignals(h.get(), 2), 0);
    fillConfig(&h->cfg, {0, 1});
    h->cfg.ch16ForUref = 1;
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QVector<double> v;
    QVector<TGRV480ChStatus> cs;
    TGRV480FrameStatus fs;
    acquire(h.get(), h->raw.bgTableSize * 2, &v, &fs, &cs);
    QCOMPARE(fs.uref.state, uint8_t(GRV480_MV_OPEN));
    QCOMPARE(fs.urefR.state, uint8_t(GRV480_MV_OPEN));
    QCOMPARE(fs.uneg.state, uint8_t(GRV480_MV_OPEN));
    QVERIFY(fs.flags & GRV480_FRAME_LOAD_POWER_EXCEEDED);
    // 17 x 350 ohm at 25 mA need more than the Vadj input can show
    QCOMPARE(fs.vadj.state, uint8_t(GRV480_MV_FAULT));
}

void TestGrv480Api::singleChannelMode()
{
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    fillConfig(&h->cfg, {0});
    h->cfg.singleChMode = 1;
    h->cfg.filterOdrCode = 9;   // 2500 SPS
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QCOMPARE(h->frameWordCount, 1u);
    QCOMPARE(h->frameFrequency, 2500.0);
    QVector<double> v;
    QVector<TGRV480ChStatus> cs;
    TGRV480FrameStatus fs;
    acquire(h.get(), 2500, &v, &fs, &cs);
    double amp = 0, freq = 0;
    for (double &x : v)
        x *= 1000.0;
    fitSine(v, 2500.0, 50.0, &amp, &freq);
    QVERIFY(qAbs(amp - 10.0) < 0.1);
    // no background measurement in single-channel mode
    QCOMPARE(cs[0].ux.state, uint8_t(GRV480_MV_NOT_MEASURED));
    QCOMPARE(cs[0].ucm.state, uint8_t(GRV480_MV_NOT_MEASURED));
    QCOMPARE(fs.uref.state, uint8_t(GRV480_MV_NOT_MEASURED));
}

void TestGrv480Api::badBlocks_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("status");
    QTest::newRow("intact") << "" << 0;
    QTest::newRow("half a frame more") << "extra" << int(GRV480_ERR_DATA_MISALIGNED);
    QTest::newRow("starts mid-frame") << "shift" << int(GRV480_ERR_DATA_CORRUPTED);
    QTest::newRow("two words swapped") << "swap" << int(GRV480_ERR_DATA_CORRUPTED);
    QTest::newRow("a frame missing") << "drop" << int(GRV480_ERR_DATA_CORRUPTED);
    QTest::newRow("a frame twice") << "dup" << int(GRV480_ERR_DATA_CORRUPTED);
    QTest::newRow("garbage") << "garbage" << int(GRV480_ERR_DATA_CORRUPTED);
}

void TestGrv480Api::badBlocks()
{
    QFETCH(QString, damage);
    QFETCH(int, status);
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    fillConfig(&h->cfg, {0, 1, 2});
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QCOMPARE(GRV480_Start(h.get()), 0);
    QVector<uint32_t> words;
    QCOMPARE(receiveFrames(h.get(), 100, &words), 0);
    QCOMPARE(GRV480_Stop(h.get()), 0);
    const int fw = int(h->frameWordCount);
    if (damage == "extra") words.resize(words.size() - fw / 2);
    if (damage == "shift") words = words.mid(2, words.size() - fw);
    if (damage == "swap") std::swap(words[fw * 3 + 1], words[fw * 3 + 2]);
    if (damage == "drop") words.remove(fw * 10, fw);
    if (damage == "dup") words = words.mid(0, fw * 10) + words.mid(fw * 9);
    if (damage == "garbage") {
        for (int i = fw * 5; i < words.size(); ++i)
            words[i] = uint32_t(i) * 2654435761u;
    }
    QVector<double> v(words.size());
    TGRV480ChStatus cs[3];
    TGRV480FrameStatus fs;
    uint32_t wc = uint32_t(words.size());
    QCOMPARE(GRV480_ProcessData(h.get(), words.data(), v.data(), &wc, 0, &fs, cs), status);
    if (status)
        QCOMPARE(wc, 0u);
}

void TestGrv480Api::serverKilledMidAcquisition()
{
    EmulatorProcess own(EmulatorProcess::scenarioPath("test-signals.ini"));
    QVERIFY(own.start());
    Handle h;
    QCOMPARE(GRV480_Open(h.get(), kLoopback, own.port(), "TEST-1", 1), 0);
    fillConfig(&h->cfg, {0});
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QCOMPARE(GRV480_Start(h.get()), 0);
    QVector<uint32_t> words;
    QCOMPARE(receiveFrames(h.get(), 100, &words), 0);
    own.kill();
    QVector<uint32_t> buf(1 << 20);
    QElapsedTimer t;
    t.start();
    int r = 0;
    while (r >= 0 && t.elapsed() < 10000)
        r = GRV480_Recv(h.get(), buf.data(), nullptr, uint32_t(buf.size()), 3000);
    QCOMPARE(r, int(GRV480_ERR_CONNECTION_LOST));
    QVERIFY(t.elapsed() < 3500);
    QVERIFY(GRV480_Stop(h.get()) < 0);
    QCOMPARE(GRV480_IsOpened(h.get()), 0);   // open until closed, so that the caller closes it
    QCOMPARE(GRV480_Close(h.get()), 0);
}

void TestGrv480Api::overflowIsReported()
{
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    fillConfig(&h->cfg, {0});
    h->cfg.singleChMode = 1;
    h->cfg.filterOdrCode = 0;   // 250 000 words per second
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QCOMPARE(GRV480_Start(h.get()), 0);
    QTest::qWait(5000);   // not reading: the backlog outgrows its cap
    QVector<uint32_t> buf(1 << 20);
    int r = 0;
    qint64 words = 0;
    QElapsedTimer t;
    t.start();
    while (r >= 0 && t.elapsed() < 10000) {
        r = GRV480_Recv(h.get(), buf.data(), nullptr, uint32_t(buf.size()), 1000);
        if (r > 0)
            words += r;
    }
    QCOMPARE(r, int(GRV480_ERR_OVERFLOW));
    QVERIFY(words > 0);               // what was sent before the overflow still arrives
    QVERIFY(words < 5 * 250000);      // but not everything
    QCOMPARE(GRV480_Stop(h.get()), 0);
    // a new run works again
    QCOMPARE(GRV480_Start(h.get()), 0);
    QVector<uint32_t> w;
    QCOMPARE(receiveFrames(h.get(), 1000, &w), 0);
    QCOMPARE(GRV480_Stop(h.get()), 0);
}

// --- tare and flash -------------------------------------------------------------

void TestGrv480Api::tareAndFlashRoundTrip()
{
    EmulatorProcess own(EmulatorProcess::scenarioPath("test-signals.ini"));
    QVERIFY(own.start());
    Handle h;
    QCOMPARE(GRV480_Open(h.get(), kLoopback, own.port(), "TEST-1", 1), 0);
    QCOMPARE(GRV480_ReadTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK), int(GRV480_ERR_FLASH_EMPTY));
    fillConfig(&h->cfg, {0, 1, 4});
    uint32_t ok = 0xDEAD;
    // the open line of channel 2 fails, the others succeed
    QCOMPARE(GRV480_TareOffset(h.get(), GRV480_ALL_CHANNELS_MASK, &ok), int(GRV480_ERR_TARE_PARTIAL));
    QCOMPARE(ok, 0x11u);
    QCOMPARE(int(h->tare[4].offsetValid), 1);
    QVERIFY(qAbs(h->tare[4].offsetCoef - 0.005 * 25.005 / 25) < 5e-6);
    QCOMPARE(int(h->tare[1].offsetValid), 0);
    // only the channels asked for
    QCOMPARE(GRV480_TareOffset(h.get(), 0x10, &ok), 0);
    QCOMPARE(ok, 0x10u);
    h->tare[7].scaleCoef = 1.25;
    h->tare[7].scaleValid = 1;
    QCOMPARE(GRV480_WriteTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK), 0);
    TGRV480TareInfo written[GRV480_CHANNEL_COUNT];
    std::memcpy(written, h->tare, sizeof written);

    // the tare is applied: channel 5 reads about zero
    h->cfg.tareCoefEn = 1;
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QVector<double> v;
    QVector<TGRV480ChStatus> cs;
    TGRV480FrameStatus fs;
    acquire(h.get(), 500, &v, &fs, &cs);
    double mean = 0;
    for (int f = 0; f < 500; ++f)
        mean += v[f * 3 + 2] / 500;
    QVERIFY2(qAbs(mean) < 5e-6, qPrintable(QString::number(mean)));

    GRV480_Close(h.get());
    QVERIFY(own.restart());
    GRV480_Init(h.get());
    QCOMPARE(GRV480_Open(h.get(), kLoopback, own.port(), "TEST-1", 1), 0);
    QCOMPARE(GRV480_ReadTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK), 0);
    QCOMPARE(std::memcmp(written, h->tare, sizeof written), 0);
    // a partial write keeps the other records
    std::memset(h->tare, 0, sizeof h->tare);
    QCOMPARE(GRV480_WriteTareInfo(h.get(), 0x1), 0);
    QCOMPARE(GRV480_ReadTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK), 0);
    QCOMPARE(int(h->tare[0].offsetValid), 0);
    QCOMPARE(std::memcmp(&written[4], &h->tare[4], sizeof written[4]), 0);
}

void TestGrv480Api::tareScale()
{
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    fillConfig(&h->cfg, {0, 1, 6});
    uint32_t ok = 0;
    QCOMPARE(GRV480_TareScale(h.get(), GRV480_ALL_CHANNELS_MASK, &ok), int(GRV480_ERR_MEAS_MODE));
    QCOMPARE(GRV480_InitMeasParams(h.get(), 7, 0, 0), int(GRV480_ERR_MEAS_MODE));
    QCOMPARE(GRV480_InitMeasParams(h.get(), GRV480_MEAS_MODE_SCALE_TARE, 0, 0), 0);
    QCOMPARE(GRV480_TareScale(h.get(), GRV480_ALL_CHANNELS_MASK, &ok), int(GRV480_ERR_TARE_PARTIAL));
    QCOMPARE(ok, 0x41u);
    QVERIFY2(qAbs(h->tare[6].scaleCoef - 1 / 1.01) < 2e-4, qPrintable(QString::number(h->tare[6].scaleCoef)));
    QVERIFY(qAbs(h->tare[0].scaleCoef - 1.0) < 2e-4);
    QCOMPARE(h->measMode, uint32_t(GRV480_MEAS_MODE_ACQUISITION));
}

void TestGrv480Api::tareWithoutChannels()
{
    Handle h;
    QCOMPARE(openSignals(h.get()), 0);
    fillConfig(&h->cfg, {});
    uint32_t ok = 1;
    QCOMPARE(GRV480_TareOffset(h.get(), GRV480_ALL_CHANNELS_MASK, &ok), int(GRV480_ERR_TARE_NO_CHANNELS));
    QCOMPARE(ok, 0u);
    fillConfig(&h->cfg, {0});
    QCOMPARE(GRV480_TareOffset(h.get(), 0x2, &ok), int(GRV480_ERR_TARE_NO_CHANNELS));
}

QTEST_GUILESS_MAIN(TestGrv480Api)
#include "tst_grv480api.moc"
