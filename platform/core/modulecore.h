// Module-side knowledge shared by the module library and the emulator: the
// ADC clock and filters, the excitation-current DAC, configuration checks,
// the logical tables and the coding of the data words.
#ifndef MODULECORE_H
#define MODULECORE_H

#include "grv480api.h"

#include <cstdint>
#include <vector>

namespace grv480 {

constexpr double kRefClockHz = 16e6;          // 16 MHz: 20, 25 and 250 kHz are exact
constexpr double kMaxAdcFreqHz = 250000.0;
constexpr int32_t kMinSyncDiv = 64;           // 16 MHz / 64 = 250 kHz
constexpr int32_t kMaxSyncDiv = 1600000000;   // 0.01 Hz
constexpr double kISrcStepMa = 0.015;
constexpr int32_t kISrcMaxCode = 4000;        // 60 mA
constexpr uint32_t kBgStepClocks = 1;         // one ADC clock per background step
constexpr uint16_t kDacMid = 8192;            // DAC code of 0 V
constexpr int32_t kCodeMax = 0x7FFFFF;        // 24-bit ADC code limits (saturation)
constexpr int32_t kCodeMin = -0x800000;
constexpr double kIsrcNominalMa = 25.0;       // bridge signals of a scenario are given at this current
constexpr double kAbsDivider = 8.0;           // input divider of the absolute-voltage modes
constexpr double kVadjDivider = 64.0;         // input divider of the Vadj mode
constexpr double kVadjHeadroomV = 1.5;        // current-source headroom contained in Vadj
constexpr double kCalFraction = 0.8;          // calibration voltage of the scale tare, share of full scale

// Full scale in volts of a gain index 0..7 (9 mV .. 1200 mV).
double gainFullScaleV(unsigned gainIndex);
// Gain index of a range code (0 -> 2, 1 -> 3, 2 -> 7); -1 for an invalid code.
int rangeGainIndex(int rangeCode);
double rangeFullScaleV(int rangeCode);
// Full scale in volts of an entry: the gain's scale times the mode's input divider.
double entryFullScaleV(uint32_t entry);
// DAC voltage of an entry at its gain: ((2 code / 16384) - 1) * 2.5 V / gain.
double entryDacVoltage(uint32_t entry);
uint16_t dacCodeForVoltage(double volts, unsigned gainIndex);

// --- filters ---------------------------------------------------------------
constexpr int kSinc5OdrCount = 21;
double sinc5Odr(bool singleCh, int code);     // 0 for an invalid code
bool enhancedOdr(int code, double *odr, double *notchDb);
// Fills the record of a filter; false (record untouched) for an invalid choice.
// errCode receives GRV480_ERR_CFG_FILTER_TYPE or GRV480_ERR_CFG_FILTER_ODR.
bool filterParams(bool singleCh, int type, int selector, TGRV480FilterParams *p, int32_t *errCode);
double switchTimeUs(double adcFreq, double odr);
// The filter the configuration chooses by itself: in single-channel mode the
// output rate nearest adcFreq, otherwise the slowest one that leaves swTimeUs
// (the fastest when none does); *swLeftUs gets the switching time it leaves.
void autoFilter(bool singleCh, double adcFreq, double swTimeUs, TGRV480FilterParams *p,
                double *swLeftUs);

int32_t nearestSyncDiv(double freq);
double syncDivFreq(int32_t div);
double iSrcCodeMa(int32_t code);
int32_t nearestISrcCode(double ma);

// --- configuration and tables ----------------------------------------------

// What a background-table entry measures; the emulator and the library agree on it.
enum class BgRole : uint8_t {
    Uref,            // Uref (AGND): value of Uref
    UrefZero,        // Ноль (U-): zero of the absolute-voltage path
    Vadj,
    Uneg,            // U- (AGND)
    UrefShort,       // Uref (U-): short check of the reference resistor
    UrefOpen,        // Uref (AGND) with Bout: open check
    UnegOpen,        // U- (AGND) with Bout
    UxValue,         // Ux (U-) of a channel
    UxShort,         // Ux (U-) at the 70 mV gain: short check
    UxOpen,          // Ux (U-) with Bout
    Ucm,             // Ux (AGND) of a channel
    UrefRValue,      // Ux (U-) of channel 16 wired to the reference resistor
    UrefRShort,
    UrefROpen,
};

struct Tables
{
    TGRV480RawTables raw;                 // counts and entries as the module holds them
    std::vector<BgRole> bgRoles;          // one per background entry
    std::vector<uint8_t> bgLogical;       // logical channel of a per-channel entry, else 0xFF
    std::vector<int8_t> zeroRowOfGain;    // per gain index: main row of its zero, or -1
    uint32_t logicalCount = 0;
    bool singleCh = false;
    bool hasBgSlot = false;
    double adcFreq = 0;                   // conversions per second
    double frameFrequency = 0;
    TGRV480FilterParams filter{};
};

// Checks a configuration as the module does; 0 or a GRV480_ERR_CFG_* code.
// forTablesOnly: the check made before showing the tables of a configuration
// still being edited, which may have no channel yet and whose switching time
// is judged elsewhere.
int32_t validateConfig(const TGRV480Config &cfg, bool forTablesOnly = false);
// Validates and builds the tables; 0 or an error code.
int32_t buildTables(const TGRV480Config &cfg, Tables *t, bool forTablesOnly = false);

// --- data words --------------------------------------------------------------
// bit 31      first word of a frame
// bit 30      background-slot word
// first word: bit 29 load power exceeded, bits 28..24 frame counter mod 32
// other words: bits 29..24 main-table row (background word: background index) mod 64
// bits 23..0  ADC code, two's complement
constexpr uint32_t kWordFrameStart = 0x80000000u;
constexpr uint32_t kWordBg = 0x40000000u;
constexpr uint32_t kWordPowerFlag = 0x20000000u;
constexpr uint32_t kWordCodeMask = 0x00FFFFFFu;

inline uint32_t encodeWord(bool frameStart, bool bg, uint32_t tag, int32_t code)
{
    uint32_t w = static_cast<uint32_t>(code) & kWordCodeMask;
    if (frameStart)
        w |= kWordFrameStart | ((tag & 0x3Fu) << 24);
    else
        w |= (bg ? kWordBg : 0u) | ((tag & 0x3Fu) << 24);
    return w;
}

inline int32_t wordCode(uint32_t w)
{
    int32_t c = static_cast<int32_t>(w & kWordCodeMask);
    return (c & 0x800000) ? c - 0x1000000 : c;
}

inline uint32_t wordTag(uint32_t w) { return (w >> 24) & 0x3Fu; }

int32_t voltsToCode(double volts, double fullScaleV);
inline bool codeSaturated(int32_t code) { return code >= kCodeMax || code <= kCodeMin; }

} // namespace grv480

#endif // MODULECORE_H
