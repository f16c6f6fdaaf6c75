#include "spectrum.h"

#include <climits>
#include <cmath>
#include <mutex>
#include <new>

namespace {

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

bool hasWindowFunction(int type)
{
    switch (type) {
    case SpectrumWindowRectangular:
    case SpectrumWindowHann:
    case SpectrumWindowHamming:
    case SpectrumWindowBlackmanHarris4:
    case SpectrumWindowBlackmanHarris7:
        return true;
    default:
        return false;
    }
}

double windowValue(int type, double x)
{
    switch (type) {
    case SpectrumWindowHann:
        return 0.5 * (1.0 - std::cos(x));
    case SpectrumWindowHamming:
        return 0.54 - 0.46 * std::cos(x);
    case SpectrumWindowBlackmanHarris4:
        return 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2.0 * x)
               - 0.01168 * std::cos(3.0 * x);
    case SpectrumWindowBlackmanHarris7:
        return 0.27105140069342415 - 0.43329793923448606 * std::cos(x)
               + 0.21812299954311062 * std::cos(2.0 * x) - 0.0659254463880309 * std::cos(3.0 * x)
               + 0.010811742098372268 * std::cos(4.0 * x)
               - 0.0007765848252250934 * std::cos(5.0 * x)
               + 0.000013887217350903198 * std::cos(6.0 * x);
    default:
        return 1.0;
    }
}

} // namespace

SpectrumWindow *spectrumWindowCreate(int type, int length)
{
    if (!hasWindowFunction(type) || length < 1)
        return nullptr;
    auto *window = new (std::nothrow) SpectrumWindow;
    if (!window)
        return nullptr;
    window->coefs = new (std::nothrow) double[static_cast<size_t>(length)];
    if (!window->coefs) {
        delete window;
        return nullptr;
    }
    window->length = length;

    double sum = 0.0;
    double sumSquares = 0.0;
    for (int i = 0; i < length; ++i) {
        const double w = windowValue(type, TwoPi * i / length);
        window->coefs[i] = w;
        sum += w;
        sumSquares += w * w;
    }
    window->meanSquare = sumSquares / length;
    window->coherentGain = sum / length;
    window->enbw = window->meanSquare / (window->coherentGain * window->coherentGain);
    window->mainLobeBins = MainLobeBins;
    return window;
}

void spectrumWindowDestroy(SpectrumWindow *window)
{
    if (!window)
        return;
    delete[] window->coefs;
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
    fft->output = static_cast<fftw_complex *>(
        fftw_malloc(sizeof(fftw_complex) * static_cast<size_t>(fft->binCount)));
    fft->input = static_cast<double *>(fftw_malloc(sizeof(double) * static_cast<size_t>(length)));
    if (fft->input && fft->output) {
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
    fftw_free(fft->input);
    fftw_free(fft->output);
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

int spectrumStatistics(const double *values, const SpectrumWindow *window, double *scratch,
                       double *dc, double *ac)
{
    if (!values || !window || !scratch || scratch == values)
        return ERR_SPEC_BADARG;
    const int n = window->length;
    const double *w = window->coefs;

    double weighted = 0.0;
    for (int i = 0; i < n; ++i)
        weighted += w[i] * values[i];
    const double mean = weighted / (n * window->coherentGain);

    double sumSquares = 0.0;
    for (int i = 0; i < n; ++i) {
        scratch[i] = w[i] * (values[i] - mean);
        sumSquares += scratch[i] * scratch[i];
    }
    if (dc)
        *dc = mean;
    if (ac)
        *ac = std::sqrt(sumSquares / (n * window->meanSquare));
    return 0;
}

void spectrumApplyWindow(const double *values, const SpectrumWindow *window, double *destination)
{
    const int n = window->length;
    const double *w = window->coefs;
    const double gain = window->coherentGain;
    for (int i = 0; i < n; ++i)
        destination[i] = w[i] * values[i] / gain;
}

void spectrumAmplitude(SpectrumFft *fft, double *destination)
{
    fftw_execute(fft->plan);
    const int bins = fft->binCount;
    const double n = fft->size;
    const fftw_complex *x = fft->output;
    // Single-sided: every bin but the first and the last carries its mirror too.
    // The last bin keeps gain 1 even for odd N, where it is not the Nyquist bin:
    // the instrument's spectra have always been scaled so.
    for (int k = 0; k < bins; ++k) {
        const double magnitude = std::sqrt(x[k][0] * x[k][0] + x[k][1] * x[k][1]);
        const double g = (k == 0 || k == bins - 1) ? 1.0 : 2.0;
        destination[k] = magnitude * g / n;
    }
}

int spectrumFindLine(const double *amplitudes, int binCount, double df,
                     const SpectrumWindow *window, double *frequency, double *power)
{
    if (!amplitudes || !window || (!frequency && !power) || !(df > 0.0)
        || window->mainLobeBins < 1)
        return ERR_SPEC_BADARG;
    const int h = window->mainLobeBins / 2;
    const int n = binCount;
    if (2 * h >= n - h)
        return ERR_SPEC_NORESULT;

    int best = -1;
    double bestEnergy = 0.0;
    for (int k = 2 * h; k <= n - h - 1; ++k) {
        double energy = 0.0;
        for (int j = k - h; j <= k + h; ++j)
            energy += amplitudes[j] * amplitudes[j];
        if (energy > bestEnergy) {
            bestEnergy = energy;
            best = k;
        }
    }
    if (best < 0)
        return ERR_SPEC_NORESULT;

    double moment = 0.0;
    for (int j = best - h; j <= best + h; ++j)
        moment += amplitudes[j] * amplitudes[j] * j * df;
    if (frequency)
        *frequency = moment / bestEnergy;
    if (power)
        *power = bestEnergy / window->enbw;
    return 0;
}

int spectrumHarmonics(const double *amplitudes, int binCount, double df, double f1,
                      int harmonicLimit, const SpectrumWindow *window, double *snr, double *thd,
                      double *sinad, double *sfdr, double *enob)
{
    for (double *out : {snr, thd, sinad, sfdr, enob}) {
        if (out)
            *out = 0.0;
    }
    if (!amplitudes || !window || !(df > 0.0) || !std::isfinite(f1))
        return ERR_SPEC_BADARG;

    const int n = binCount;
    const int h = window->mainLobeBins / 2;
    // Beyond the last bin (plus a lobe) no bin can belong to a harmonic; clamping
    // keeps the conversion to int defined.
    const double bin = f1 / df + 0.5;
    const int k1 = bin >= double(n + h + 1) ? n + h + 1 : static_cast<int>(bin);
    if (k1 < h || k1 < 1)
        return ERR_SPEC_BADARG;

    double p1 = 0.0;
    double ph = 0.0;
    double pn = 0.0;
    double fundMax = -1e8;
    double spurMax = -1e8;
    // m = (i + h) / k1 and the remainder are kept incrementally: one division
    // per bin would cost more than the rest of the loop.
    int m = (2 * h) / k1;
    int r = (2 * h) % k1;
    for (int i = h; i < n; ++i) {
        const double a = amplitudes[i];
        const double p = a * a;
        // m * k1 - h <= i always holds; i <= m * k1 + h is r <= 2h.
        if (r <= 2 * h && m >= 1 && m < harmonicLimit) {
            if (m == 1) {
                p1 += p;
                if (a > fundMax)
                    fundMax = a;
            } else {
                ph += p;
                if (a > spurMax)
                    spurMax = a;
            }
        } else {
            pn += p;
            if (a > spurMax)
                spurMax = a;
        }
        if (++r == k1) {
            r = 0;
            ++m;
        }
    }

    p1 /= window->enbw;
    ph /= window->enbw;
    pn /= window->enbw;
    if (p1 == 0.0)
        return 0;

    int result = 0;
    if (fundMax / spurMax > 0.0 && sfdr)
        *sfdr = 20.0 * std::log10(fundMax / spurMax);

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
