#ifndef SPECTRUM_H
#define SPECTRUM_H

#include <fftw3.h>

// Spectrum routines of the block processor: analysis windows, a real FFT with
// amplitude normalisation, window-weighted statistics, the search for the
// dominant line and the sine-wave figures (SNR, THD, SINAD, SFDR, ENOB).
// Plain functions over two plain records; every length is the window's.

constexpr int ERR_SPEC_BADARG = -20002;   // missing or unusable argument
constexpr int ERR_SPEC_NORESULT = -20003; // the data give no result

// Window type indices; 3 to 6 and anything above 8 have no window function.
enum SpectrumWindowType {
    SpectrumWindowRectangular = 0,
    SpectrumWindowHann = 1,
    SpectrumWindowHamming = 2,
    SpectrumWindowBlackmanHarris4 = 7,
    SpectrumWindowBlackmanHarris7 = 8
};

// How a window holds its coefficients. A table costs 8 bytes per sample, as
// much as the block itself; long windows therefore rebuild their coefficients
// piece by piece from a few kilobytes while they are applied. The two agree
// within 1e-14; the table is what the short blocks use, which are read often.
enum SpectrumWindowStorage {
    SpectrumWindowAuto = 0, // a table up to SpectrumWindowTableMaxLength, generated above
    SpectrumWindowTable = 1,
    SpectrumWindowGenerated = 2
};
constexpr int SpectrumWindowTableMaxLength = 1 << 20;

struct SpectrumWindowGenerator;

struct SpectrumWindow
{
    double *coefs = nullptr;                      // w(i), i = 0 .. length - 1; null if generated
    SpectrumWindowGenerator *generator = nullptr; // null if a table
    int length = 0;
    double meanSquare = 0.0;   // sum w(i)^2 / N
    double coherentGain = 0.0; // sum w(i) / N
    double enbw = 0.0;         // meanSquare / coherentGain^2, in bins
    int mainLobeBins = 0;      // width in bins counted as one spectral line
};

struct SpectrumFft
{
    int size = 0;
    int binCount = 0;        // size / 2 + 1
    double *input = nullptr; // the first N doubles of output: the transform is in place
    fftw_complex *output = nullptr;
    fftw_plan plan = nullptr;
};

// Returns null for a type without a window function, a length below 1 or an
// allocation failure (then nothing stays allocated).
SpectrumWindow *spectrumWindowCreate(int type, int length,
                                     SpectrumWindowStorage storage = SpectrumWindowAuto);
void spectrumWindowDestroy(SpectrumWindow *window);

// Real-to-complex transform of the given length, or null (nothing left allocated).
// Safe to call from several threads: planning is serialised internally.
SpectrumFft *spectrumFftCreate(int length);
void spectrumFftDestroy(SpectrumFft *fft);
int spectrumFftBinCount(const SpectrumFft *fft);
double *spectrumFftInput(SpectrumFft *fft);
// Frequency step 1 / (N * dt) of the transform for a sample interval dt in seconds.
double spectrumFftFreqStep(const SpectrumFft *fft, double sampleInterval);

// Writes w(begin) .. w(begin + count - 1) to destination, whatever the storage.
void spectrumWindowCoefs(const SpectrumWindow *window, int begin, int count, double *destination);

// dc = window-weighted mean, ac = window-weighted RMS of the deviation from dc.
// scratch (N values, not the input) receives w(i) * (values(i) - dc).
int spectrumStatistics(const double *values, const SpectrumWindow *window, double *scratch,
                       double *dc, double *ac);

// The statistics above and, if destination is given, the window application
// below in one go, without a scratch buffer: what the block processor needs
// per channel, for one pass over the values fewer.
int spectrumWindowedStatistics(const double *values, const SpectrumWindow *window,
                               double *destination, double *dc, double *ac);

// destination(i) = w(i) * values(i) / coherentGain, so that a sine centred on a
// bin shows its own amplitude in the spectrum.
void spectrumApplyWindow(const double *values, const SpectrumWindow *window, double *destination);

// Runs the transform over fft->input (which it overwrites: write the input anew
// before every run) and writes binCount single-sided amplitudes.
void spectrumAmplitude(SpectrumFft *fft, double *destination);
// The same as powers (amplitudes squared), which spares a square root per bin.
void spectrumPower(SpectrumFft *fft, double *destination);

// Finds the main-lobe-wide group of bins with the greatest energy (never centred
// in the lowest 2h bins, so the DC region is not taken for the line).
int spectrumFindLine(const double *amplitudes, int binCount, double df,
                     const SpectrumWindow *window, double *frequency, double *power);
int spectrumFindLinePower(const double *powers, int binCount, double df,
                          const SpectrumWindow *window, double *frequency, double *power);

// Sine-wave figures around the fundamental f1; harmonics 2 .. harmonicLimit - 1
// count as distortion, everything else as noise. Any output may be null.
int spectrumHarmonics(const double *amplitudes, int binCount, double df, double f1,
                      int harmonicLimit, const SpectrumWindow *window, double *snr, double *thd,
                      double *sinad, double *sfdr, double *enob);
int spectrumHarmonicsPower(const double *powers, int binCount, double df, double f1,
                           int harmonicLimit, const SpectrumWindow *window, double *snr,
                           double *thd, double *sinad, double *sfdr, double *enob);

// Replaces every power P by 20 log10(sqrt(P) / referenceAmplitude), the amplitude
// in dB relative to the reference; 0 becomes -infinity.
void spectrumPowerToDecibels(double *values, int count, double referenceAmplitude);

#endif // SPECTRUM_H
