#include "spectrum.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>

namespace {

// The loops over every value and every bin run four lanes at a time: one AVX2
// register where the processor has it (the hot functions are built twice and
// the better one is picked at load time), two SSE2 registers otherwise. Both
// builds do the same operations in the same order, with no fused multiply-add,
// so they give the same results.
// GRV480_NO_TARGET_CLONES is for ThreadSanitizer, whose runtime is not ready
// yet when the clone resolvers run.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) &&                             \
    !defined(GRV480_NO_TARGET_CLONES)
#define SPECTRUM_HOT __attribute__((target_clones("avx2", "default")))
#else
#define SPECTRUM_HOT
#endif
#define SPECTRUM_INLINE inline __attribute__((always_inline))

constexpr int LaneCount = 4;
typedef double Lanes __attribute__((vector_size(LaneCount * sizeof(double))));
typedef int64_t Index __attribute__((vector_size(LaneCount * sizeof(int64_t))));

// Vectors travel by reference: passed by value they would change the calling
// convention between the two builds.
SPECTRUM_INLINE void loadLanes(Lanes &v, const double *p)
{
    std::memcpy(&v, p, sizeof v);
}

SPECTRUM_INLINE void storeLanes(double *p, const Lanes &v)
{
    std::memcpy(p, &v, sizeof v);
}

SPECTRUM_INLINE double laneSum(const Lanes &v)
{
    return (v[0] + v[1]) + (v[2] + v[3]);
}

SPECTRUM_INLINE double laneMax(const Lanes &v)
{
    return std::max(std::max(v[0], v[1]), std::max(v[2], v[3]));
}

// 2*pi to ten significant digits: the window tables of the instrument were
// computed with it, and the coefficients must match them.
constexpr double TwoPi = 6.283185307;
constexpr int MainLobeBins = 9;

// FFTW's planner keeps global state; only fftw_execute is thread-safe.
std::mutex &fftwPlannerMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Every window is a short cosine series, w(x) = sum a(k) cos(k x).
struct WindowSeries
{
    int type;
    int terms;
    double a[7];
};

constexpr WindowSeries WindowSeriesTable[] = {
    {SpectrumWindowRectangular, 1, {1.0}},
    {SpectrumWindowHann, 2, {0.5, -0.5}},
    {SpectrumWindowHamming, 2, {0.54, -0.46}},
    {SpectrumWindowBlackmanHarris4, 4, {0.35875, -0.48829, 0.14128, -0.01168}},
    {SpectrumWindowBlackmanHarris7,
     7,
     {0.27105140069342415, -0.43329793923448606, 0.21812299954311062, -0.0659254463880309,
      0.010811742098372268, -0.0007765848252250934, 0.000013887217350903198}},
};

const WindowSeries *windowSeries(int type)
{
    for (const WindowSeries &series : WindowSeriesTable) {
        if (series.type == type)
            return &series;
    }
    return nullptr;
}

// The table's coefficients, term by term from the left as the formulas are written.
double windowValue(const WindowSeries &series, double x)
{
    double w = series.a[0];
    for (int k = 1; k < series.terms; ++k)
        w += series.a[k] * std::cos(k * x);
    return w;
}

// Coefficients are rebuilt in pieces of this many, which start at multiples of it.
constexpr int GeneratorPiece = 1024;

} // namespace

// cos x(i) for i = q P + r comes from cos and sin of q P (two library calls per
// piece) and of r (the tables) by angle addition; cos k x(i) from cos x(i) by
// Clenshaw's recurrence. Both stay within a few ulps.
struct SpectrumWindowGenerator
{
    const WindowSeries *series = nullptr;
    double cosR[GeneratorPiece];
    double sinR[GeneratorPiece];
};

namespace {

SPECTRUM_INLINE void generatePiece(const SpectrumWindow *window, int begin, int count,
                                   double *destination)
{
    const SpectrumWindowGenerator &g = *window->generator;
    const WindowSeries &series = *g.series;
    const double angle = TwoPi * begin / window->length;
    const double cq = std::cos(angle);
    const double sq = std::sin(angle);
    const double *cr = g.cosR;
    const double *sr = g.sinR;
    const int terms = series.terms;
    int r = 0;
    Lanes cv, sv;
    for (; r + LaneCount <= count; r += LaneCount) {
        loadLanes(cv, cr + r);
        loadLanes(sv, sr + r);
        const Lanes c = cq * cv - sq * sv;
        const Lanes twoC = c + c;
        Lanes b1 = {}, b2 = {};
        for (int k = terms - 1; k >= 1; --k) {
            const Lanes b = series.a[k] + twoC * b1 - b2;
            b2 = b1;
            b1 = b;
        }
        storeLanes(destination + r, series.a[0] + c * b1 - b2);
    }
    for (; r < count; ++r) {
        const double c = cq * cr[r] - sq * sr[r];
        double b1 = 0.0, b2 = 0.0;
        for (int k = terms - 1; k >= 1; --k) {
            const double b = series.a[k] + 2.0 * c * b1 - b2;
            b2 = b1;
            b1 = b;
        }
        destination[r] = series.a[0] + c * b1 - b2;
    }
}

// The coefficients w(begin) .. w(begin + count - 1), begin a multiple of the
// piece and count at most one piece: the table itself, or scratch filled.
SPECTRUM_INLINE const double *windowPiece(const SpectrumWindow *window, int begin, int count,
                                          double *scratch)
{
    if (window->coefs)
        return window->coefs + begin;
    generatePiece(window, begin, count, scratch);
    return scratch;
}

} // namespace

SpectrumWindow *spectrumWindowCreate(int type, int length, SpectrumWindowStorage storage)
{
    const WindowSeries *series = windowSeries(type);
    if (!series || length < 1)
        return nullptr;
    auto *window = new (std::nothrow) SpectrumWindow;
    if (!window)
        return nullptr;
    window->length = length;
    const bool generated = storage == SpectrumWindowGenerated ||
                           (storage == SpectrumWindowAuto && length > SpectrumWindowTableMaxLength);
    if (generated) {
        window->generator = new (std::nothrow) SpectrumWindowGenerator;
        if (window->generator) {
            window->generator->series = series;
            for (int r = 0; r < GeneratorPiece; ++r) {
                const double angle = TwoPi * r / length;
                window->generator->cosR[r] = std::cos(angle);
                window->generator->sinR[r] = std::sin(angle);
            }
        }
    } else {
        window->coefs = new (std::nothrow) double[static_cast<size_t>(length)];
        if (window->coefs) {
            for (int i = 0; i < length; ++i)
                window->coefs[i] = windowValue(*series, TwoPi * i / length);
        }
    }
    if (!window->coefs && !window->generator) {
        delete window;
        return nullptr;
    }

    double sum = 0.0;
    double sumSquares = 0.0;
    double scratch[GeneratorPiece];
    for (int begin = 0; begin < length; begin += GeneratorPiece) {
        const int count = std::min(GeneratorPiece, length - begin);
        const double *w = windowPiece(window, begin, count, scratch);
        for (int i = 0; i < count; ++i) {
            sum += w[i];
            sumSquares += w[i] * w[i];
        }
    }
    window->meanSquare = sumSquares / length;
    window->coherentGain = sum / length;
    window->enbw = window->meanSquare / (window->coherentGain * window->coherentGain);
    window->mainLobeBins = MainLobeBins;
    return window;
}

void spectrumWindowCoefs(const SpectrumWindow *window, int begin, int count, double *destination)
{
    if (!window || begin < 0 || count < 0 || count > window->length - begin)
        return;
    if (window->coefs) {
        std::copy(window->coefs + begin, window->coefs + begin + count, destination);
        return;
    }
    // Pieces start at multiples of the piece length.
    double scratch[GeneratorPiece];
    const int end = begin + count;
    for (int piece = begin / GeneratorPiece * GeneratorPiece; piece < end;
         piece += GeneratorPiece) {
        const int pieceCount = std::min(GeneratorPiece, window->length - piece);
        generatePiece(window, piece, pieceCount, scratch);
        const int from = std::max(begin, piece);
        const int to = std::min(end, piece + pieceCount);
        std::copy(scratch + (from - piece), scratch + (to - piece), destination + (from - begin));
    }
}

void spectrumWindowDestroy(SpectrumWindow *window)
{
    if (!window)
        return;
    delete[] window->coefs;
    delete window->generator;
    delete window;
}

SpectrumFft *spectrumFftCreate(int length)
{
    if (length < 1)
        return nullptr;
    auto *fft = new (std::nothrow) SpectrumFft;
    if (!fft)
        return nullptr;
    fft->size = length;
    fft->binCount = length / 2 + 1;
    // In place: the transform's output overwrites its input, which nobody needs
    // afterwards. One buffer of binCount complex values holds the N inputs (with
    // the padding FFTW asks for) and saves N doubles per length.
    fft->output = static_cast<fftw_complex *>(
        fftw_malloc(sizeof(fftw_complex) * static_cast<size_t>(fft->binCount)));
    fft->input = reinterpret_cast<double *>(fft->output);
    if (fft->output) {
        std::lock_guard<std::mutex> lock(fftwPlannerMutex());
        fft->plan = fftw_plan_dft_r2c_1d(length, fft->input, fft->output, FFTW_ESTIMATE);
    }
    if (!fft->plan) {
        spectrumFftDestroy(fft);
        return nullptr;
    }
    return fft;
}

void spectrumFftDestroy(SpectrumFft *fft)
{
    if (!fft)
        return;
    if (fft->plan) {
        std::lock_guard<std::mutex> lock(fftwPlannerMutex());
        fftw_destroy_plan(fft->plan);
    }
    fftw_free(fft->output); // input lives in the same buffer
    delete fft;
}

int spectrumFftBinCount(const SpectrumFft *fft)
{
    return fft ? fft->binCount : 0;
}

double *spectrumFftInput(SpectrumFft *fft)
{
    return fft ? fft->input : nullptr;
}

double spectrumFftFreqStep(const SpectrumFft *fft, double sampleInterval)
{
    return 1.0 / (fft->size * sampleInterval);
}

namespace {

// The statistics and, with Apply, the window application, in one pass over the
// values. The sums run on y = x - x(0): around a value of the block itself the
// weighted variance S3 - 2 d S2 + d^2 sum w^2 (d = mean - x(0)) loses no more
// digits than the spread of the block to its RMS would suggest, whatever the DC.
template <bool Apply>
SPECTRUM_INLINE void windowedStatistics(const double *values, const SpectrumWindow *window,
                                        double *destination, double *dc, double *ac)
{
    const int n = window->length;
    const double origin = values[0];
    const double scale = 1.0 / window->coherentGain;
    constexpr int Step = 2 * LaneCount;

    // Partial sums in two vectors each: one running sum would be bound by the
    // latency of an add per value.
    Lanes s1a = {}, s1b = {}, s2a = {}, s2b = {}, s3a = {}, s3b = {};
    double s1 = 0.0, s2 = 0.0, s3 = 0.0;
    double scratch[GeneratorPiece];
    for (int begin = 0; begin < n; begin += GeneratorPiece) {
        const int count = std::min(GeneratorPiece, n - begin);
        const double *w = windowPiece(window, begin, count, scratch);
        const double *x = values + begin;
        double *out = Apply ? destination + begin : nullptr;
        Lanes w0, w1, x0, x1;
        int i = 0;
        for (; i + Step <= count; i += Step) {
            loadLanes(w0, w + i);
            loadLanes(w1, w + i + LaneCount);
            loadLanes(x0, x + i);
            loadLanes(x1, x + i + LaneCount);
            const Lanes wy0 = w0 * (x0 - origin);
            const Lanes wy1 = w1 * (x1 - origin);
            s1a += wy0;
            s1b += wy1;
            s2a += w0 * wy0;
            s2b += w1 * wy1;
            s3a += wy0 * wy0;
            s3b += wy1 * wy1;
            if (Apply) {
                storeLanes(out + i, w0 * x0 * scale);
                storeLanes(out + i + LaneCount, w1 * x1 * scale);
            }
        }
        for (; i < count; ++i) {
            const double wy = w[i] * (x[i] - origin);
            s1 += wy;
            s2 += w[i] * wy;
            s3 += wy * wy;
            if (Apply)
                out[i] = w[i] * x[i] * scale;
        }
    }
    s1 += laneSum(s1a + s1b);
    s2 += laneSum(s2a + s2b);
    s3 += laneSum(s3a + s3b);

    const double sumSquaredWeights = n * window->meanSquare;
    const double d = s1 / (n * window->coherentGain);
    const double squares = std::max(0.0, s3 - 2.0 * d * s2 + d * d * sumSquaredWeights);
    if (dc)
        *dc = origin + d;
    if (ac)
        *ac = std::sqrt(squares / sumSquaredWeights);
}

} // namespace

SPECTRUM_HOT
int spectrumStatistics(const double *values, const SpectrumWindow *window, double *scratch,
                       double *dc, double *ac)
{
    if (!values || !window || !scratch || scratch == values)
        return ERR_SPEC_BADARG;
    double mean = 0.0;
    windowedStatistics<false>(values, window, nullptr, &mean, ac);
    spectrumWindowCoefs(window, 0, window->length, scratch);
    for (int i = 0; i < window->length; ++i)
        scratch[i] *= values[i] - mean;
    if (dc)
        *dc = mean;
    return 0;
}

SPECTRUM_HOT
int spectrumWindowedStatistics(const double *values, const SpectrumWindow *window,
                               double *destination, double *dc, double *ac)
{
    if (!values || !window || destination == values)
        return ERR_SPEC_BADARG;
    if (destination)
        windowedStatistics<true>(values, window, destination, dc, ac);
    else
        windowedStatistics<false>(values, window, nullptr, dc, ac);
    return 0;
}

SPECTRUM_HOT
void spectrumApplyWindow(const double *values, const SpectrumWindow *window, double *destination)
{
    const int n = window->length;
    const double scale = 1.0 / window->coherentGain;
    double scratch[GeneratorPiece];
    for (int begin = 0; begin < n; begin += GeneratorPiece) {
        const int count = std::min(GeneratorPiece, n - begin);
        const double *w = windowPiece(window, begin, count, scratch);
        const double *x = values + begin;
        double *out = destination + begin;
        Lanes wv, xv;
        int i = 0;
        for (; i + LaneCount <= count; i += LaneCount) {
            loadLanes(wv, w + i);
            loadLanes(xv, x + i);
            storeLanes(out + i, wv * xv * scale);
        }
        for (; i < count; ++i)
            out[i] = w[i] * x[i] * scale;
    }
}

namespace {

// Single-sided spectrum of the transform just executed. Every bin but the first
// and the last carries its mirror too. The last bin keeps gain 1 even for odd N,
// where it is not the Nyquist bin: the instrument's spectra have always been
// scaled so.
template <bool Power> SPECTRUM_INLINE void singleSided(const SpectrumFft *fft, double *destination)
{
    const int bins = fft->binCount;
    const double n = fft->size;
    const fftw_complex *x = fft->output;
    const double inner = Power ? 4.0 / (n * n) : 2.0 / n;
    const double outer = Power ? 1.0 / (n * n) : 1.0 / n;
    int k = 0;
    if (Power) {
        // Four bins (eight doubles) per step, regrouped into real and imaginary parts.
        const Index reals = {0, 2, 4, 6};
        const Index imaginaries = {1, 3, 5, 7};
        Lanes lo, hi;
        for (; k + LaneCount <= bins; k += LaneCount) {
            loadLanes(lo, x[k]);
            loadLanes(hi, x[k + 2]);
            lo *= lo;
            hi *= hi;
            const Lanes squared =
                __builtin_shuffle(lo, hi, reals) + __builtin_shuffle(lo, hi, imaginaries);
            storeLanes(destination + k, squared * inner);
        }
    }
    for (; k < bins; ++k) {
        const double squared = x[k][0] * x[k][0] + x[k][1] * x[k][1];
        destination[k] = (Power ? squared : std::sqrt(squared)) * inner;
    }
    destination[0] *= outer / inner;
    if (bins > 1)
        destination[bins - 1] *= outer / inner;
}

// Energy of the 9 bins from a[0], summed as a tree: a chain of eight adds would
// bound the search by their latency. Lanes and single values alike, so that
// the vector search and the plain one give the same sums.
template <bool Power, typename T> SPECTRUM_INLINE void binEnergy(T &v, const double *a)
{
    std::memcpy(&v, a, sizeof v);
    if (!Power)
        v *= v;
}

template <bool Power, typename T> SPECTRUM_INLINE void lobeEnergy(T &e, const double *a)
{
    T v0, v1, v2, v3, v4, v5, v6, v7, v8;
    binEnergy<Power>(v0, a);
    binEnergy<Power>(v1, a + 1);
    binEnergy<Power>(v2, a + 2);
    binEnergy<Power>(v3, a + 3);
    binEnergy<Power>(v4, a + 4);
    binEnergy<Power>(v5, a + 5);
    binEnergy<Power>(v6, a + 6);
    binEnergy<Power>(v7, a + 7);
    binEnergy<Power>(v8, a + 8);
    e = (((v0 + v1) + (v2 + v3)) + ((v4 + v5) + (v6 + v7))) + v8;
}

SPECTRUM_INLINE double squareOf(double a, std::true_type /*power*/)
{
    return a;
}
SPECTRUM_INLINE double squareOf(double a, std::false_type /*amplitude*/)
{
    return a * a;
}

template <bool Power>
SPECTRUM_INLINE int findLine(const double *spectrum, int binCount, double df,
                             const SpectrumWindow *window, double *frequency, double *power)
{
    if (!spectrum || !window || (!frequency && !power) || !(df > 0.0) || window->mainLobeBins < 1)
        return ERR_SPEC_BADARG;
    const std::integral_constant<bool, Power> kind;
    const int h = window->mainLobeBins / 2;
    const int n = binCount;
    if (2 * h >= n - h)
        return ERR_SPEC_NORESULT;

    int best = -1;
    double bestEnergy = 0.0;
    // The plain search over centres first..last: a later centre wins only with
    // strictly more energy.
    const auto scanCentres = [&](int first, int last) {
        for (int k = first; k <= last; ++k) {
            double energy = 0.0;
            if (h == MainLobeBins / 2) {
                lobeEnergy<Power>(energy, spectrum + k - h);
            } else {
                for (int j = k - h; j <= k + h; ++j)
                    energy += squareOf(spectrum[j], kind);
            }
            if (energy > bestEnergy) {
                bestEnergy = energy;
                best = k;
            }
        }
    };
    if (h == MainLobeBins / 2) {
        // The usual lobe: four neighbouring centres per step, each lane summing its
        // own bins in the same order as the plain loop below.
        const int last = n - h - 1;
        int k = 2 * h;
        if (k + LaneCount - 1 <= last) {
            // Each lane keeps the first greatest of its own centres; the lanes are
            // merged below. No branch, and no chain across lanes.
            Lanes bestLanes = {};
            Index bestIndex = {-1, -1, -1, -1};
            Index centre = {k, k + 1, k + 2, k + 3};
            Lanes energy;
            for (; k + LaneCount - 1 <= last; k += LaneCount) {
                lobeEnergy<Power>(energy, spectrum + k - h);
                const Index greater = energy > bestLanes;
                bestLanes = greater ? energy : bestLanes;
                bestIndex = greater ? centre : bestIndex;
                centre += LaneCount;
            }
            for (int c = 0; c < LaneCount; ++c) {
                if (bestIndex[c] < 0)
                    continue;
                if (bestLanes[c] > bestEnergy ||
                    (bestLanes[c] == bestEnergy && bestIndex[c] < best)) {
                    bestEnergy = bestLanes[c];
                    best = int(bestIndex[c]);
                }
            }
        }
        scanCentres(k, last);
    } else {
        scanCentres(2 * h, n - h - 1);
    }
    if (best < 0)
        return ERR_SPEC_NORESULT;

    double moment = 0.0;
    for (int j = best - h; j <= best + h; ++j)
        moment += squareOf(spectrum[j], kind) * j * df;
    if (frequency)
        *frequency = moment / bestEnergy;
    if (power)
        *power = bestEnergy / window->enbw;
    return 0;
}

struct BinGroup
{
    double sum = 0.0;
    double max = -1e8;
};

// Adds the bins [begin, end) to a group.
template <bool Power>
SPECTRUM_INLINE void accumulate(const double *spectrum, int begin, int end, BinGroup &group)
{
    const std::integral_constant<bool, Power> kind;
    Lanes sums = {};
    Lanes maxima = {group.max, group.max, group.max, group.max};
    Lanes v;
    int i = begin;
    for (; i + LaneCount <= end; i += LaneCount) {
        loadLanes(v, spectrum + i);
        sums += Power ? v : v * v;
        maxima = v > maxima ? v : maxima;
    }
    double sum = group.sum + laneSum(sums);
    double max = laneMax(maxima);
    for (; i < end; ++i) {
        sum += squareOf(spectrum[i], kind);
        max = spectrum[i] > max ? spectrum[i] : max;
    }
    group.sum = sum;
    group.max = max;
}

template <bool Power>
SPECTRUM_INLINE int harmonics(const double *spectrum, int binCount, double df, double f1,
                              int harmonicLimit, const SpectrumWindow *window, double *snr,
                              double *thd, double *sinad, double *sfdr, double *enob)
{
    for (double *out : {snr, thd, sinad, sfdr, enob}) {
        if (out)
            *out = 0.0;
    }
    if (!spectrum || !window || !(df > 0.0) || !std::isfinite(f1))
        return ERR_SPEC_BADARG;

    const int n = binCount;
    const int h = window->mainLobeBins / 2;
    // Beyond the last bin (plus a lobe) no bin can belong to a harmonic; clamping
    // keeps the conversion to int defined.
    const double bin = f1 / df + 0.5;
    const int k1 = bin >= double(n + h + 1) ? n + h + 1 : static_cast<int>(bin);
    if (k1 < h || k1 < 1)
        return ERR_SPEC_BADARG;

    // Bin i belongs to harmonic m = (i + h) / k1 when its remainder r = (i + h) % k1
    // is at most 2h (that is, i <= m k1 + h) and 1 <= m < harmonicLimit; every
    // other bin is noise. The classes are constant over runs of bins, which are
    // summed run by run.
    BinGroup fundamental, distortion, noise;
    int i = h;
    while (i < n) {
        const int m = (i + h) / k1;
        if (m >= harmonicLimit) {
            // Past the last harmonic every bin is noise: one run, not two per k1.
            accumulate<Power>(spectrum, i, n, noise);
            break;
        }
        const int r = (i + h) % k1;
        int end;
        BinGroup *group;
        if (r <= 2 * h) {
            end = i + std::min(2 * h - r, k1 - 1 - r) + 1;
            group = (m >= 1 && m < harmonicLimit) ? (m == 1 ? &fundamental : &distortion) : &noise;
        } else {
            end = i + (k1 - r);
            group = &noise;
        }
        end = std::min(end, n);
        accumulate<Power>(spectrum, i, end, *group);
        i = end;
    }
    // Spurs are the harmonics and the noise alike.
    const double fundMax = fundamental.max;
    const double spurMax = std::max(distortion.max, noise.max);

    const double p1 = fundamental.sum / window->enbw;
    const double ph = distortion.sum / window->enbw;
    const double pn = noise.sum / window->enbw;
    if (p1 == 0.0)
        return 0;

    int result = 0;
    if (fundMax / spurMax > 0.0 && sfdr)
        *sfdr = (Power ? 10.0 : 20.0) * std::log10(fundMax / spurMax);

    if (pn != 0.0 && p1 / pn > 0.0) {
        double value = 10.0 * std::log10(p1 / pn);
        if (value < 0.0) {
            value = 0.0;
            result = ERR_SPEC_NORESULT;
        }
        if (snr)
            *snr = value;
    }

    if (ph != 0.0 && ph / p1 > 0.0) {
        double value = 10.0 * std::log10(ph / p1);
        if (value > 0.0) {
            value = 0.0;
            result = ERR_SPEC_NORESULT;
        }
        if (thd)
            *thd = value;
    }

    if (ph + pn != 0.0 && p1 / (ph + pn) > 0.0) {
        const double s = 10.0 * std::log10(p1 / (ph + pn));
        if (s < 0.0)
            return ERR_SPEC_NORESULT;
        if (sinad)
            *sinad = s;
        if (enob)
            *enob = (s - 1.76) / 6.02;
    }
    return result;
}

// Decibels of powers from a table of 1024 mantissa intervals and a cubic for
// the rest (|r| < 1/2048): within 1e-13 dB of 10 log10(P), and several times
// faster than a library call per bin.
class PowerDecibels
{
public:
    PowerDecibels()
    {
        for (int j = 0; j < int(TableSize); ++j) {
            const double c = 1.0 + (j + 0.5) / TableSize;
            table[j] = {1.0 / c, DbPerNeper * std::log(c)};
        }
    }

    // 10 log10(p) - offset for every value.
    SPECTRUM_INLINE void convert(double *values, int count, double offset) const
    {
        // Exponent bits or'ed into the mantissa of 2^52 give 2^52 + e exactly.
        const double bias = 4503599627370496.0 + 1023.0;
        const Wide exponentBias = {bias, bias, bias, bias};
        const uint64_t tag = 0x4330000000000000ull;
        const WideBits exponentTag = {tag, tag, tag, tag};
        const WideBits mantissaMask = {MantissaMask, MantissaMask, MantissaMask, MantissaMask};
        const WideBits oneBits = {OneBits, OneBits, OneBits, OneBits};
        const uint64_t im = TableSize - 1;
        const WideBits indexMask = {im, im, im, im};
        int k = 0;
        for (; k + 4 <= count; k += 4) {
            Wide p;
            std::memcpy(&p, values + k, sizeof p);
            WideBits bits;
            std::memcpy(&bits, &p, sizeof bits);
            const WideBits biased = bits >> 52; // the sign bit makes negatives too large
            // Zero, subnormal, negative, infinite or NaN: the library handles them.
            const WideBits special = (biased - 1) > 2045;
            // Folded in the register: four extractions would cost as much as the rest.
            const WideBits folded = special | __builtin_shuffle(special, WideBits{2, 3, 0, 1});
            if ((folded | __builtin_shuffle(folded, WideBits{1, 0, 3, 2}))[0]) {
                slowFour(values + k, offset);
                continue;
            }
            const WideBits j = (bits >> (52 - TableBits)) & indexMask;
            const WideBits mantissaBits = (bits & mantissaMask) | oneBits;
            const WideBits exponentBits = biased | exponentTag;
            Wide m, e;
            std::memcpy(&m, &mantissaBits, sizeof m);
            std::memcpy(&e, &exponentBits, sizeof e);
            e -= exponentBias;
            const Entry &t0 = table[j[0]];
            const Entry &t1 = table[j[1]];
            const Entry &t2 = table[j[2]];
            const Entry &t3 = table[j[3]];
            const Wide inv = {t0.inv, t1.inv, t2.inv, t3.inv};
            const Wide db = {t0.db, t1.db, t2.db, t3.db};
            const Wide r = m * inv - 1.0;
            // ln(1 + r) = r (1 - r/2 + r^2/3) within r^4/4.
            const Wide series = r * (1.0 - r * (0.5 - r * (1.0 / 3)));
            const Wide result = (db - offset) + (e * DbPerOctave + DbPerNeper * series);
            std::memcpy(values + k, &result, sizeof result);
        }
        for (; k < count; ++k)
            values[k] = slow(values[k], offset);
    }

private:
    typedef Lanes Wide;
    typedef uint64_t WideBits __attribute__((vector_size(LaneCount * sizeof(uint64_t))));
    struct Entry
    {
        double inv; // 1 / c, c the centre of the mantissa interval
        double db;  // 10 log10(c)
    };
    static constexpr int TableBits = 10;
    static constexpr uint64_t TableSize = 1u << TableBits;
    static constexpr uint64_t MantissaMask = 0x000FFFFFFFFFFFFFull;
    static constexpr uint64_t OneBits = 0x3FF0000000000000ull;
    static constexpr double DbPerNeper = 4.3429448190325182765;  // 10 / ln 10
    static constexpr double DbPerOctave = 3.0102999566398119521; // 10 log10(2)

    static double slow(double p, double offset) { return 10.0 * std::log10(p) - offset; }
    // Out of line, so that the library call does not make the loop keep its
    // constants in memory.
    __attribute__((noinline, cold)) static void slowFour(double *values, double offset)
    {
        for (int i = 0; i < 4; ++i)
            values[i] = slow(values[i], offset);
    }

    Entry table[TableSize];
};

} // namespace

SPECTRUM_HOT
void spectrumAmplitude(SpectrumFft *fft, double *destination)
{
    fftw_execute(fft->plan);
    singleSided<false>(fft, destination);
}

SPECTRUM_HOT
void spectrumPower(SpectrumFft *fft, double *destination)
{
    fftw_execute(fft->plan);
    singleSided<true>(fft, destination);
}

SPECTRUM_HOT
int spectrumFindLine(const double *amplitudes, int binCount, double df,
                     const SpectrumWindow *window, double *frequency, double *power)
{
    return findLine<false>(amplitudes, binCount, df, window, frequency, power);
}

SPECTRUM_HOT
int spectrumFindLinePower(const double *powers, int binCount, double df,
                          const SpectrumWindow *window, double *frequency, double *power)
{
    return findLine<true>(powers, binCount, df, window, frequency, power);
}

SPECTRUM_HOT
int spectrumHarmonics(const double *amplitudes, int binCount, double df, double f1,
                      int harmonicLimit, const SpectrumWindow *window, double *snr, double *thd,
                      double *sinad, double *sfdr, double *enob)
{
    return harmonics<false>(amplitudes, binCount, df, f1, harmonicLimit, window, snr, thd, sinad,
                            sfdr, enob);
}

SPECTRUM_HOT
int spectrumHarmonicsPower(const double *powers, int binCount, double df, double f1,
                           int harmonicLimit, const SpectrumWindow *window, double *snr,
                           double *thd, double *sinad, double *sfdr, double *enob)
{
    return harmonics<true>(powers, binCount, df, f1, harmonicLimit, window, snr, thd, sinad, sfdr,
                           enob);
}

SPECTRUM_HOT
void spectrumPowerToDecibels(double *values, int count, double referenceAmplitude)
{
    // 10 log10(P) - 20 log10(ref) = 20 log10(sqrt(P) / ref), with no division per bin.
    static const PowerDecibels converter;
    converter.convert(values, count, 20.0 * std::log10(referenceAmplitude));
}
