#include "spectrum.h"

#include <QtTest>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

struct WindowDeleter
{
    void operator()(SpectrumWindow *w) const { spectrumWindowDestroy(w); }
};
struct FftDeleter
{
    void operator()(SpectrumFft *f) const { spectrumFftDestroy(f); }
};
using WindowPtr = std::unique_ptr<SpectrumWindow, WindowDeleter>;
using FftPtr = std::unique_ptr<SpectrumFft, FftDeleter>;

const double Pi = std::acos(-1.0);

using Lines = QVector<QPair<int, double>>;

std::vector<double> sine(int n, double bin, double amplitude, double offset = 0.0,
                         double phase = 0.3)
{
    std::vector<double> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        x[size_t(i)] = offset + amplitude * std::sin(2.0 * Pi * bin * i / n + phase);
    return x;
}

// Window and spectrum of n bins: single lines set by the caller on a zero floor.
struct LineSpectrum
{
    WindowPtr window;
    std::vector<double> a;
    explicit LineSpectrum(int bins)
        : window(spectrumWindowCreate(SpectrumWindowRectangular, 2 * (bins - 1)))
        , a(size_t(bins), 0.0)
    {
    }
};

} // namespace

class TestSpectrum : public QObject
{
    Q_OBJECT

private slots:
    void windowTypes_data();
    void windowTypes();
    void windowIsPeriodic();
    void fftSizes_data();
    void fftSizes();
    void amplitudeOfCentredSine_data();
    void amplitudeOfCentredSine();
    void statistics_data();
    void statistics();
    void generatedWindowMatchesTable_data();
    void generatedWindowMatchesTable();
    void lineSearch_data();
    void lineSearch();
    void harmonics_data();
    void harmonics();
    void powerRoutinesAgreeWithAmplitudes_data();
    void powerRoutinesAgreeWithAmplitudes();
    void decibels_data();
    void decibels();
};

void TestSpectrum::windowTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<double>("coherentGain");
    QTest::addColumn<double>("enbw");

    QTest::newRow("rectangular") << 0 << 1000 << true << 1.0 << 1.0;
    QTest::newRow("rectangular length 1") << 0 << 1 << true << 1.0 << 1.0;
    QTest::newRow("hann") << 1 << 1000 << true << 0.5 << 1.5;
    QTest::newRow("hamming") << 2 << 1000 << true << 0.54
                             << (0.54 * 0.54 + 0.46 * 0.46 / 2) / (0.54 * 0.54);
    QTest::newRow("blackman-harris 4") << 7 << 1000 << true << 0.35875 << 2.0044;
    QTest::newRow("blackman-harris 7") << 8 << 1000 << true << 0.27105140069342415 << 2.631905;
    for (int type : {3, 4, 5, 6, 9, 100, -1})
        QTest::newRow(qPrintable(QStringLiteral("type %1 has none").arg(type)))
            << type << 1000 << false << 0.0 << 0.0;
    QTest::newRow("length 0") << 0 << 0 << false << 0.0 << 0.0;
    QTest::newRow("negative length") << 7 << -5 << false << 0.0 << 0.0;
}

void TestSpectrum::windowTypes()
{
    QFETCH(int, type);
    QFETCH(int, length);
    QFETCH(bool, exists);
    QFETCH(double, coherentGain);
    QFETCH(double, enbw);

    WindowPtr w(spectrumWindowCreate(type, length));
    QCOMPARE(bool(w), exists);
    if (!w)
        return;
    QCOMPARE(w->length, length);
    QCOMPARE(w->mainLobeBins, 9);
    QVERIFY(std::abs(w->coherentGain - coherentGain) < 1e-6);
    QVERIFY2(std::abs(w->enbw - enbw) < 1e-4, qPrintable(QString::number(w->enbw, 'g', 10)));
    QVERIFY(std::abs(w->enbw - w->meanSquare / (w->coherentGain * w->coherentGain)) < 1e-12);
}

void TestSpectrum::windowIsPeriodic()
{
    // The denominator is N: the last coefficient is not back at the first one.
    const int n = 64;
    WindowPtr hann(spectrumWindowCreate(SpectrumWindowHann, n));
    QVERIFY(hann);
    QCOMPARE(hann->coefs[0], 0.0);
    QVERIFY(std::abs(hann->coefs[n / 2] - 1.0) < 1e-12);
    QVERIFY(std::abs(hann->coefs[n - 1] - hann->coefs[1]) < 1e-9);
    QVERIFY(hann->coefs[n - 1] > 1e-3);
}

void TestSpectrum::fftSizes_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("binCount");

    QTest::newRow("even") << 8 << 5;
    QTest::newRow("odd") << 9 << 5;
    QTest::newRow("one") << 1 << 1;
    QTest::newRow("prime") << 249989 << 124995;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("negative") << -3 << 0;
}

void TestSpectrum::fftSizes()
{
    QFETCH(int, length);
    QFETCH(int, binCount);

    FftPtr fft(spectrumFftCreate(length));
    QCOMPARE(spectrumFftBinCount(fft.get()), binCount);
    QCOMPARE(bool(spectrumFftInput(fft.get())), binCount > 0);
    if (fft) {
        QCOMPARE(fft->size, length);
        QVERIFY(std::abs(spectrumFftFreqStep(fft.get(), 0.001) - 1000.0 / length) < 1e-9);
    }
}

void TestSpectrum::amplitudeOfCentredSine_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("bin");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("expected");

    QTest::newRow("rectangular") << 0 << 1024 << 100 << 3.0 << 0.0 << 3.0;
    QTest::newRow("hann with offset") << 1 << 1000 << 37 << 2.5 << 10.0 << 2.5;
    QTest::newRow("blackman-harris 4") << 7 << 4096 << 200 << 17.5 << -4.0 << 17.5;
    QTest::newRow("blackman-harris 7") << 8 << 999 << 50 << 1.0 << 0.5 << 1.0;
    QTest::newRow("nyquist bin") << 0 << 16 << 8 << 2.0 << 0.0 << 2.0;
    // The last bin has gain 1 for an odd length as well, so a line there shows half.
    QTest::newRow("last bin, odd length") << 0 << 9 << 4 << 2.0 << 0.0 << 1.0;
}

void TestSpectrum::amplitudeOfCentredSine()
{
    QFETCH(int, type);
    QFETCH(int, length);
    QFETCH(int, bin);
    QFETCH(double, amplitude);
    QFETCH(double, offset);
    QFETCH(double, expected);

    WindowPtr w(spectrumWindowCreate(type, length));
    FftPtr fft(spectrumFftCreate(length));
    QVERIFY(w && fft);
    // A cosine, so that the odd-length last bin holds the whole line.
    const std::vector<double> x = sine(length, bin, amplitude, offset, Pi / 2);
    spectrumApplyWindow(x.data(), w.get(), spectrumFftInput(fft.get()));
    std::vector<double> a(size_t(spectrumFftBinCount(fft.get())));
    spectrumAmplitude(fft.get(), a.data());

    QVERIFY2(std::abs(a[size_t(bin)] - expected) < 1e-6 * expected,
             qPrintable(QString::number(a[size_t(bin)], 'g', 12)));
    QVERIFY(std::abs(a[0] - std::abs(offset)) < 1e-6 * (1.0 + std::abs(offset)));
}

void TestSpectrum::statistics_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("missing"); // 0 none, 1 values, 2 window, 3 scratch, 4 scratch is values
    QTest::addColumn<int>("result");
    QTest::addColumn<double>("dc");
    QTest::addColumn<double>("ac");

    QTest::newRow("rectangular") << 0 << 0 << 0 << 1.5 << 2.0 / std::sqrt(2.0);
    QTest::newRow("blackman-harris 4") << 7 << 0 << 0 << 1.5 << 2.0 / std::sqrt(2.0);
    QTest::newRow("no values") << 0 << 1 << ERR_SPEC_BADARG << 0.0 << 0.0;
    QTest::newRow("no window") << 0 << 2 << ERR_SPEC_BADARG << 0.0 << 0.0;
    QTest::newRow("no scratch") << 0 << 3 << ERR_SPEC_BADARG << 0.0 << 0.0;
    QTest::newRow("scratch is the input") << 0 << 4 << ERR_SPEC_BADARG << 0.0 << 0.0;
}

void TestSpectrum::statistics()
{
    QFETCH(int, type);
    QFETCH(int, missing);
    QFETCH(int, result);
    QFETCH(double, dc);
    QFETCH(double, ac);

    const int n = 2000;
    std::vector<double> x = sine(n, 25, 2.0, 1.5);
    std::vector<double> scratch(static_cast<size_t>(n));
    WindowPtr w(spectrumWindowCreate(type, n));
    double outDc = 0.0;
    double outAc = 0.0;
    const int rc =
        spectrumStatistics(missing == 1 ? nullptr : x.data(), missing == 2 ? nullptr : w.get(),
                           missing == 3   ? nullptr
                           : missing == 4 ? x.data()
                                          : scratch.data(),
                           &outDc, &outAc);
    QCOMPARE(rc, result);
    QVERIFY(std::abs(outDc - dc) < 1e-9);
    QVERIFY(std::abs(outAc - ac) < 1e-6);
}

void TestSpectrum::generatedWindowMatchesTable_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("amplitude");

    QTest::newRow("rectangular, one piece") << 0 << 1000 << 0.0 << 1.0;
    QTest::newRow("hann, pieces and a rest") << 1 << 5000 << 3.0 << 2.0;
    QTest::newRow("hamming, whole pieces") << 2 << 4096 << -1.0 << 0.5;
    QTest::newRow("blackman-harris 4, odd") << 7 << 4097 << 35.0 << 10.0;
    QTest::newRow("blackman-harris 7") << 8 << 3333 << 0.0 << 1.0;
    // Microvolts on a large offset: the statistics must not lose them.
    QTest::newRow("large offset, tiny signal") << 7 << 8192 << 1e4 << 1e-3;
    QTest::newRow("constant") << 7 << 2048 << 1200.0 << 0.0;
}

// Long windows rebuild their coefficients instead of keeping a table; the
// block processor must see the same window and the same figures either way.
void TestSpectrum::generatedWindowMatchesTable()
{
    QFETCH(int, type);
    QFETCH(int, length);
    QFETCH(double, offset);
    QFETCH(double, amplitude);

    WindowPtr table(spectrumWindowCreate(type, length, SpectrumWindowTable));
    WindowPtr generated(spectrumWindowCreate(type, length, SpectrumWindowGenerated));
    QVERIFY(table && generated && table->coefs && !generated->coefs);
    QVERIFY(std::abs(table->coherentGain - generated->coherentGain) < 1e-14);
    QVERIFY(std::abs(table->meanSquare - generated->meanSquare) < 1e-14);

    std::vector<double> coefs(static_cast<size_t>(length));
    spectrumWindowCoefs(generated.get(), 0, length, coefs.data());
    for (int i = 0; i < length; ++i)
        QVERIFY2(std::abs(coefs[size_t(i)] - table->coefs[i]) < 1e-14,
                 qPrintable(QString::number(i)));
    // A stretch across a piece boundary.
    const int begin = std::min(1000, length / 2);
    const int count = std::min(100, length - begin);
    spectrumWindowCoefs(generated.get(), begin, count, coefs.data());
    for (int i = 0; i < count; ++i)
        QVERIFY(std::abs(coefs[size_t(i)] - table->coefs[begin + i]) < 1e-14);

    const std::vector<double> x = sine(length, 41.0, amplitude, offset);
    std::vector<double> appliedT(static_cast<size_t>(length)), appliedG(appliedT.size());
    double dcT = 0, acT = 0, dcG = 0, acG = 0;
    QCOMPARE(spectrumWindowedStatistics(x.data(), table.get(), appliedT.data(), &dcT, &acT), 0);
    QCOMPARE(spectrumWindowedStatistics(x.data(), generated.get(), appliedG.data(), &dcG, &acG), 0);
    const double scale = std::abs(offset) + amplitude;
    for (int i = 0; i < length; ++i)
        QVERIFY(std::abs(appliedT[size_t(i)] - appliedG[size_t(i)]) < 1e-12 * scale);
    QVERIFY(std::abs(dcT - offset) < 1e-12 * scale);
    QVERIFY(std::abs(dcG - dcT) < 1e-12 * scale);
    // A whole number of cycles: the windowed RMS is the sine's.
    const double ac = amplitude / std::sqrt(2.0);
    QVERIFY2(std::abs(acT - ac) < 1e-9 * (ac + 1e-300) || (ac == 0.0 && acT < 1e-12),
             qPrintable(QString::number(acT, 'g', 17)));
    QVERIFY(std::abs(acG - acT) < 1e-9 * (ac + 1e-12));
}

void TestSpectrum::lineSearch_data()
{
    QTest::addColumn<int>("bins");
    QTest::addColumn<Lines>("lines");
    QTest::addColumn<double>("df");
    QTest::addColumn<bool>("wantOutputs");
    QTest::addColumn<int>("result");
    QTest::addColumn<double>("frequency");
    QTest::addColumn<double>("power");

    QTest::newRow("single line") << 100 << Lines{{29, 1.0}, {30, 2.0}, {31, 1.0}} << 0.5 << true
                                 << 0 << 15.0 << 6.0;
    // Bins 30 and 31 lie in the lobes of centres 27 to 34 alike: centre 27 is first.
    QTest::newRow("equal energy picks the lower")
        << 100 << Lines{{30, 2.0}, {31, 2.0}} << 1.0 << true << 0 << 30.5 << 8.0;
    QTest::newRow("two lines, the stronger wins")
        << 200 << Lines{{40, 1.0}, {120, 1.5}} << 1.0 << true << 0 << 120.0 << 2.25;
    QTest::newRow("equal separate lines, the lower wins")
        << 200 << Lines{{40, 1.0}, {120, 1.0}} << 1.0 << true << 0 << 40.0 << 1.0;
    // Bins 0..3 never fall inside any lobe.
    QTest::newRow("DC region ignored")
        << 100 << Lines{{0, 100.0}, {3, 50.0}, {60, 0.1}} << 1.0 << true << 0 << 60.0 << 0.01;
    QTest::newRow("13 bins: one centre")
        << 13 << Lines{{10, 1.0}} << 1.0 << true << 0 << 10.0 << 1.0;
    QTest::newRow("12 bins") << 12 << Lines{{8, 1.0}} << 1.0 << true << ERR_SPEC_NORESULT << 0.0
                             << 0.0;
    QTest::newRow("all zero") << 100 << Lines{} << 1.0 << true << ERR_SPEC_NORESULT << 0.0 << 0.0;
    QTest::newRow("zero df") << 100 << Lines{{30, 1.0}} << 0.0 << true << ERR_SPEC_BADARG << 0.0
                             << 0.0;
    QTest::newRow("no output wanted")
        << 100 << Lines{{30, 1.0}} << 1.0 << false << ERR_SPEC_BADARG << 0.0 << 0.0;
}

void TestSpectrum::lineSearch()
{
    QFETCH(int, bins);
    QFETCH(Lines, lines);
    QFETCH(double, df);
    QFETCH(bool, wantOutputs);
    QFETCH(int, result);
    QFETCH(double, frequency);
    QFETCH(double, power);

    LineSpectrum s(bins);
    QVERIFY(s.window);
    for (const auto &line : lines)
        s.a[size_t(line.first)] = line.second;
    double outFreq = 0.0;
    double outPower = 0.0;
    const int rc =
        spectrumFindLine(s.a.data(), bins, df, s.window.get(), wantOutputs ? &outFreq : nullptr,
                         wantOutputs ? &outPower : nullptr);
    QCOMPARE(rc, result);
    QVERIFY2(std::abs(outFreq - frequency) < 1e-9, qPrintable(QString::number(outFreq)));
    QVERIFY(std::abs(outPower - power) < 1e-9);

    QCOMPARE(spectrumFindLine(s.a.data(), bins, 1.0, nullptr, &outFreq, nullptr), ERR_SPEC_BADARG);
    QCOMPARE(spectrumFindLine(nullptr, bins, 1.0, s.window.get(), &outFreq, nullptr),
             ERR_SPEC_BADARG);
}

void TestSpectrum::harmonics_data()
{
    QTest::addColumn<Lines>("lines");
    QTest::addColumn<double>("f1");
    QTest::addColumn<int>("result");
    QTest::addColumn<double>("snr");
    QTest::addColumn<double>("thd");
    QTest::addColumn<double>("sinad");
    QTest::addColumn<double>("sfdr");

    // 201 bins, fundamental at bin 20: harmonic m covers 20m +- 4 for m = 1..5;
    // bin 70 lies between harmonics 3 and 4 and is noise.
    const Lines full{{20, 1.0}, {40, 0.1}, {100, 0.01}, {70, 0.01}};
    const double ph = 0.01 + 0.0001;
    const double pn = 0.0001;
    QTest::newRow("harmonics and noise")
        << full << 20.0 << 0 << 10 * std::log10(1 / pn) << 10 * std::log10(ph)
        << 10 * std::log10(1 / (ph + pn)) << 20.0;
    QTest::newRow("sixth harmonic counts as noise")
        << Lines{{20, 1.0}, {120, 0.1}} << 20.0 << 0 << 20.0 << 0.0 << 20.0 << 20.0;
    QTest::newRow("frequency rounded to the bin")
        << Lines{{20, 1.0}, {40, 0.1}} << 19.6 << 0 << 0.0 << -20.0 << 20.0 << 20.0;
    // With no spur at all the spurious-free range is unbounded.
    QTest::newRow("noise-free") << Lines{{19, 0.5}, {20, 1.0}, {21, 0.5}} << 20.0 << 0 << 0.0 << 0.0
                                << 0.0 << qInf();
    QTest::newRow("weak fundamental") << Lines{{20, 0.1}, {70, 1.0}} << 20.0 << ERR_SPEC_NORESULT
                                      << 0.0 << 0.0 << 0.0 << 20 * std::log10(0.1);
    QTest::newRow("distortion above the fundamental")
        << Lines{{20, 0.1}, {40, 1.0}} << 20.0 << ERR_SPEC_NORESULT << 0.0 << 0.0 << 0.0
        << 20 * std::log10(0.1);
    QTest::newRow("nothing at the fundamental")
        << Lines{{70, 1.0}} << 20.0 << 0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("fundamental below bin 4")
        << full << 3.0 << ERR_SPEC_BADARG << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("fundamental beyond the spectrum")
        << full << 1e12 << 0 << 0.0 << 0.0 << 0.0 << 0.0;
}

void TestSpectrum::harmonics()
{
    QFETCH(Lines, lines);
    QFETCH(double, f1);
    QFETCH(int, result);
    QFETCH(double, snr);
    QFETCH(double, thd);
    QFETCH(double, sinad);
    QFETCH(double, sfdr);

    LineSpectrum s(201);
    QVERIFY(s.window);
    for (const auto &line : lines)
        s.a[size_t(line.first)] = line.second;
    double out[5] = {-1, -1, -1, -1, -1};
    const int rc = spectrumHarmonics(s.a.data(), 201, 1.0, f1, 6, s.window.get(), &out[0], &out[1],
                                     &out[2], &out[3], &out[4]);
    QCOMPARE(rc, result);
    const double enob = sinad != 0.0 ? (sinad - 1.76) / 6.02 : 0.0;
    const double expected[5] = {snr, thd, sinad, sfdr, enob};
    for (int i = 0; i < 5; ++i) {
        QVERIFY2(out[i] == expected[i] || std::abs(out[i] - expected[i]) < 1e-9,
                 qPrintable(QStringLiteral("output %1: %2").arg(i).arg(out[i])));
    }
}

void TestSpectrum::powerRoutinesAgreeWithAmplitudes_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<double>("cycles");

    QTest::newRow("even") << 4096 << 301.25;
    QTest::newRow("odd") << 4097 << 45.0;
    QTest::newRow("short") << 30 << 9.5;
}

// The processor works on powers; the figures must be those of the amplitudes.
void TestSpectrum::powerRoutinesAgreeWithAmplitudes()
{
    QFETCH(int, length);
    QFETCH(double, cycles);

    std::mt19937 gen(7);
    std::normal_distribution<double> noise(0.0, 0.01);
    std::vector<double> x = sine(length, cycles, 3.0, 0.2);
    for (int i = 0; i < length; ++i)
        x[size_t(i)] += 0.05 * std::sin(2 * Pi * 2 * cycles * i / length) + noise(gen);

    WindowPtr w(spectrumWindowCreate(SpectrumWindowBlackmanHarris4, length));
    FftPtr fft(spectrumFftCreate(length));
    QVERIFY(w && fft);
    const int bins = spectrumFftBinCount(fft.get());
    std::vector<double> a(static_cast<size_t>(bins)), p(static_cast<size_t>(bins));
    spectrumApplyWindow(x.data(), w.get(), spectrumFftInput(fft.get()));
    spectrumAmplitude(fft.get(), a.data());
    // The transform runs in place: its input is gone and is written again.
    spectrumApplyWindow(x.data(), w.get(), spectrumFftInput(fft.get()));
    spectrumPower(fft.get(), p.data());
    for (int k = 0; k < bins; ++k)
        QVERIFY(std::abs(p[size_t(k)] - a[size_t(k)] * a[size_t(k)]) <= 1e-12 * p[size_t(k)]);

    const double df = 0.25;
    double fa = 0, pa = 0, fp = 0, pp = 0;
    const int ra = spectrumFindLine(a.data(), bins, df, w.get(), &fa, &pa);
    QCOMPARE(spectrumFindLinePower(p.data(), bins, df, w.get(), &fp, &pp), ra);
    QVERIFY(std::abs(fa - fp) < 1e-9 && std::abs(pa - pp) < 1e-12 * pa);
    if (ra != 0)
        return;
    QVERIFY(std::abs(fa - cycles * df) < 0.05);

    double ha[5], hp[5];
    const int rh = spectrumHarmonics(a.data(), bins, df, fa, 6, w.get(), &ha[0], &ha[1], &ha[2],
                                     &ha[3], &ha[4]);
    QCOMPARE(spectrumHarmonicsPower(p.data(), bins, df, fp, 6, w.get(), &hp[0], &hp[1], &hp[2],
                                    &hp[3], &hp[4]),
             rh);
    for (int i = 0; i < 5; ++i)
        QVERIFY2(std::abs(ha[i] - hp[i]) < 1e-9, qPrintable(QString::number(ha[i] - hp[i])));
    if (2 * cycles < bins) // THD of the second harmonic, where it fits
        QVERIFY(std::abs(ha[1] - 20 * std::log10(0.05 / 3.0)) < 0.1);
}

void TestSpectrum::decibels_data()
{
    QTest::addColumn<QVector<double>>("powers");
    QTest::addColumn<double>("reference");

    QTest::newRow("unit") << QVector<double>{1.0, 1.0} << 1.0;
    QTest::newRow("odd count") << QVector<double>{4.0, 0.01, 1e-6} << 35.0;
    QTest::newRow("zero") << QVector<double>{0.0, 2.0, 2.0, 0.0} << 70.0;
    QTest::newRow("subnormal and huge") << QVector<double>{1e-310, 1e300, 5e-324, 1.5} << 35.0;
    QTest::newRow("mantissa edges") << QVector<double>{1.0,
                                                       std::nextafter(1.0, 2.0),
                                                       std::nextafter(2.0, 1.0),
                                                       2.0,
                                                       1.00390625,
                                                       std::nextafter(1.00390625, 1.0)}
                                    << 1200.0;
    QVector<double> random;
    std::mt19937 gen(99);
    std::uniform_real_distribution<double> exponent(-40.0, 10.0);
    for (int i = 0; i < 10001; ++i)
        random.append(std::pow(10.0, exponent(gen)));
    QTest::newRow("random over 50 decades") << random << 35.0;
}

void TestSpectrum::decibels()
{
    QFETCH(QVector<double>, powers);
    QFETCH(double, reference);

    QVector<double> db = powers;
    spectrumPowerToDecibels(db.data(), db.size(), reference);
    for (int k = 0; k < powers.size(); ++k) {
        const double expected = 20.0 * std::log10(std::sqrt(powers[k]) / reference);
        if (std::isinf(expected)) {
            QCOMPARE(db[k], expected);
            continue;
        }
        QVERIFY2(std::abs(db[k] - expected) <= 1e-12 * (1.0 + std::abs(expected)),
                 qPrintable(QStringLiteral("%1: %2 for %3")
                                .arg(powers[k])
                                .arg(db[k], 0, 'g', 17)
                                .arg(expected, 0, 'g', 17)));
    }
}

QTEST_APPLESS_MAIN(TestSpectrum)

#include "tst_spectrum.moc"
