#include "modulecore.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace grv480 {

namespace {

const double gainScaleMv[8] = {9, 18, 35, 70, 150, 300, 600, 1200};
const double gainFactor[8] = {128, 64, 32, 16, 8, 4, 2, 1};

const double sinc5Single[kSinc5OdrCount] = {250000, 125000, 62500, 50000, 31250, 25000, 15625,
                                            10000,  5000,   2500,  1000,  500,   397.5, 200,
                                            100.2,  59.98,  49.96, 20,    16.66, 10,    5};
// After a channel switch the SINC5 stage has to settle, so the multiplexed rates are lower.
const double sinc5Multi[kSinc5OdrCount] = {50000, 41667, 31250, 27778, 20833, 17857, 12500,
                                           10000, 5000,  2500,  1000,  500,   397.5, 200,
                                           100.2, 59.98, 49.96, 20,    16.66, 10,    5};

constexpr double kSinc3BaseHz = 250000.0;
constexpr int kSinc3MaxDiv = 32767;

bool isFiniteIn(double v, double lo, double hi)
{
    return std::isfinite(v) && v >= lo && v <= hi;
}

} // namespace

double gainFullScaleV(unsigned gainIndex)
{
    return gainIndex < 8 ? gainScaleMv[gainIndex] / 1000.0 : 0.0;
}

int rangeGainIndex(int rangeCode)
{
    switch (rangeCode) {
    case GRV480_RANGE_35MV: return 2;
    case GRV480_RANGE_70MV: return 3;
    case GRV480_RANGE_1200MV: return 7;
    default: return -1;
    }
}

double rangeFullScaleV(int rangeCode)
{
    const int g = rangeGainIndex(rangeCode);
    return g < 0 ? 0.0 : gainFullScaleV(unsigned(g));
}

double entryFullScaleV(uint32_t entry)
{
    const unsigned gain = (entry & GRV480_ENTRY_GAIN_MASK) >> GRV480_ENTRY_GAIN_SHIFT;
    double fs = gainFullScaleV(gain);
    switch (entry & GRV480_ENTRY_MODE_MASK) {
    case GRV480_MODE_UX_AGND:
    case GRV480_MODE_UREF_AGND:
    case GRV480_MODE_UNEG_AGND:
    case GRV480_MODE_UX_UNEG:
    case GRV480_MODE_UREF_UNEG:
        fs *= kAbsDivider;
        break;
    case GRV480_MODE_VADJ:
        fs *= kVadjDivider;
        break;
    default:
        break;
    }
    return fs;
}

double entryDacVoltage(uint32_t entry)
{
    const unsigned gain = (entry & GRV480_ENTRY_GAIN_MASK) >> GRV480_ENTRY_GAIN_SHIFT;
    const unsigned code = entry & GRV480_ENTRY_DAC_MASK;
    return ((2.0 * code / 16384.0) - 1.0) * (2.5 / gainFactor[gain & 7]);
}

uint16_t dacCodeForVoltage(double volts, unsigned gainIndex)
{
    const double span = 2.5 / gainFactor[gainIndex & 7];
    double code = std::round((volts / span + 1.0) * 8192.0);
    if (!std::isfinite(code))
        code = kDacMid;
    return uint16_t(std::clamp(code, 0.0, 16383.0));
}

double sinc5Odr(bool singleCh, int code)
{
    if (code < 0 || code >= kSinc5OdrCount)
        return 0.0;
    return singleCh ? sinc5Single[code] : sinc5Multi[code];
}

bool enhancedOdr(int code, double *odr, double *notchDb)
{
    switch (code) {
    case 2: *odr = 27.27; *notchDb = 47; return true;
    case 3: *odr = 25.0; *notchDb = 62; return true;
    case 5: *odr = 20.0; *notchDb = 85; return true;
    case 6: *odr = 16.67; *notchDb = 90; return true;
    default: return false;
    }
}

bool filterParams(bool singleCh, int type, int selector, TGRV480FilterParams *p, int32_t *errCode)
{
    TGRV480FilterParams r;
    std::memset(&r, 0, sizeof r);
    r.type = type;
    r.odrCode = selector;
    int32_t err = 0;
    switch (type) {
    case GRV480_FILTER_SINC5_SINC1:
        r.odr = sinc5Odr(singleCh, selector);
        if (r.odr <= 0)
            err = GRV480_ERR_CFG_FILTER_ODR;
        r.notchFreq = r.odr;
        break;
    case GRV480_FILTER_SINC3:
        if (selector < 1 || selector > kSinc3MaxDiv) {
            err = GRV480_ERR_CFG_FILTER_ODR;
            break;
        }
        r.odr = kSinc3BaseHz / selector / (singleCh ? 1.0 : 3.0);
        r.notchFreq = r.odr;
        break;
    case GRV480_FILTER_ENH_50_60:
        if (!enhancedOdr(selector, &r.odr, &r.notchDb))
            err = GRV480_ERR_CFG_FILTER_ODR;
        r.notchFreq = 50.0;
        break;
    default:
        err = GRV480_ERR_CFG_FILTER_TYPE;
        break;
    }
    if (errCode)
        *errCode = err;
    if (err)
        return false;
    r.settlingUs = 1e6 / r.odr;
    if (p)
        *p = r;
    return true;
}

double switchTimeUs(double adcFreq, double odr)
{
    if (!(adcFreq > 0) || !(odr > 0))
        return 0.0;
    return (1.0 / adcFreq - 1.0 / odr) * 1e6;
}

void autoFilter(bool singleCh, double adcFreq, double swTimeUs, TGRV480FilterParams *p,
                double *swLeftUs)
{
    double sw = 0;
    if (singleCh) {
        // The filter's output rate becomes the conversion rate: take the nearest one.
        int best = 0;
        for (int c = 1; c < kSinc5OdrCount; ++c) {
            if (std::fabs(sinc5Odr(true, c) - adcFreq) < std::fabs(sinc5Odr(true, best) - adcFreq))
                best = c;
        }
        filterParams(true, GRV480_FILTER_SINC5_SINC1, best, p, nullptr);
    } else {
        // The slowest filter (best noise) that still leaves the switching time;
        // when none can, the fastest, with whatever it leaves.
        int chosen = 0;
        for (int c = kSinc5OdrCount - 1; c >= 0; --c) {
            if (switchTimeUs(adcFreq, sinc5Odr(false, c)) >= swTimeUs) {
                chosen = c;
                break;
            }
        }
        filterParams(false, GRV480_FILTER_SINC5_SINC1, chosen, p, nullptr);
        sw = switchTimeUs(adcFreq, p->odr);
    }
    if (swLeftUs)
        *swLeftUs = sw;
}

int32_t nearestSyncDiv(double freq)
{
    if (!(freq > 0))
        return kMaxSyncDiv;
    const double exact = kRefClockHz / freq;
    if (exact <= kMinSyncDiv)
        return kMinSyncDiv;
    if (exact >= kMaxSyncDiv)
        return kMaxSyncDiv;
    const int32_t lo = int32_t(std::floor(exact));
    const int32_t hi = lo + 1;
    // nearest in frequency, not in divider
    return std::fabs(kRefClockHz / lo - freq) <= std::fabs(kRefClockHz / hi - freq) ? lo : hi;
}

double syncDivFreq(int32_t div)
{
    return div > 0 ? kRefClockHz / div : 0.0;
}

double iSrcCodeMa(int32_t code)
{
    return code * kISrcStepMa;
}

int32_t nearestISrcCode(double ma)
{
    if (!std::isfinite(ma) || ma <= 0)
        return 0;
    const double c = std::round(ma / kISrcStepMa);
    return int32_t(std::min(c, double(kISrcMaxCode)));
}

int32_t voltsToCode(double volts, double fullScaleV)
{
    if (!(fullScaleV > 0))
        return 0;
    const double c = std::round(volts / fullScaleV * 8388608.0);
    if (!(c < kCodeMax))
        return c != c ? 0 : kCodeMax;   // NaN reads as 0
    if (c <= kCodeMin)
        return kCodeMin;
    return int32_t(c);
}

int32_t validateConfig(const TGRV480Config &cfg, bool forTablesOnly)
{
    const bool single = cfg.singleChMode != 0;
    const uint32_t n = cfg.logicalChannelCount;
    // A module may be configured with no channel at all, in either mode (the
    // monitor does so before the operator has chosen any); it only refuses to
    // start then.
    if (single && n > 1 && n <= GRV480_CHANNEL_COUNT)
        return GRV480_ERR_CFG_SINGLE_CHANNEL;
    if (n > GRV480_CHANNEL_COUNT)
        return GRV480_ERR_CFG_CHANNEL_COUNT;
    for (uint32_t i = 0; i < n; ++i) {
        const TGRV480LogicalChannel &lc = cfg.logicalChannels[i];
        if (rangeGainIndex(lc.rangeCode) < 0)
            return GRV480_ERR_CFG_RANGE_CODE;
        if (lc.channelIndex >= GRV480_CHANNEL_COUNT)
            return GRV480_ERR_CFG_CHANNEL_INDEX;
        if (i > 0 && lc.channelIndex <= cfg.logicalChannels[i - 1].channelIndex)
            return GRV480_ERR_CFG_CHANNEL_ORDER;
        if (cfg.ch16ForUref && lc.channelIndex == GRV480_CHANNEL_COUNT - 1)
            return GRV480_ERR_CFG_CH16_UREF;
    }
    if (cfg.iSrcCode < 0 || cfg.iSrcCode > kISrcMaxCode)
        return GRV480_ERR_CFG_ISRC_CODE;
    if (!single && (cfg.syncFreqDiv < kMinSyncDiv || cfg.syncFreqDiv > kMaxSyncDiv))
        return GRV480_ERR_CFG_SYNC_DIV;
    int32_t err = 0;
    TGRV480FilterParams fp;
    if (!filterParams(single, cfg.filterType, cfg.filterOdrCode, &fp, &err))
        return err;
    if (cfg.bgMeasMask & ~uint32_t(GRV480_BG_ALL))
        return GRV480_ERR_CFG_BG_MASK;
    if (!single && !forTablesOnly) {
        const double left = switchTimeUs(syncDivFreq(cfg.syncFreqDiv), fp.odr);
        // a little slack: the dialog compares the same doubles computed elsewhere
        if (!std::isfinite(cfg.swTimeUs) || cfg.swTimeUs < 0 || cfg.swTimeUs > left + 1e-6)
            return GRV480_ERR_CFG_SW_TIME;
    }
    if (!isFiniteIn(cfg.cableLength, 0.0, 200.0) || !isFiniteIn(cfg.cableCapPerUnit, 0.0, 100000.0))
        return GRV480_ERR_CFG_CABLE;
    if (!isFiniteIn(cfg.shortRThresh, 0.0, 100.0))
        return GRV480_ERR_CFG_SHORT_THRESH;
    return 0;
}

int32_t buildTables(const TGRV480Config &cfg, Tables *t, bool forTablesOnly)
{
    const int32_t err = validateConfig(cfg, forTablesOnly);
    if (err)
        return err;
    Tables &r = *t;
    std::memset(&r.raw, 0, sizeof r.raw);
    r.bgRoles.clear();
    r.bgLogical.clear();
    r.zeroRowOfGain.assign(8, -1);
    r.singleCh = cfg.singleChMode != 0;
    r.logicalCount = cfg.logicalChannelCount;
    r.hasBgSlot = false;
    filterParams(r.singleCh, cfg.filterType, cfg.filterOdrCode, &r.filter, nullptr);

    std::vector<uint32_t> main;
    std::vector<uint32_t> bg;
    for (uint32_t i = 0; i < cfg.logicalChannelCount; ++i) {
        const TGRV480LogicalChannel &lc = cfg.logicalChannels[i];
        main.push_back(GRV480_MODE_UNBALANCE | (uint32_t(lc.channelIndex) << GRV480_ENTRY_CHANNEL_SHIFT)
                       | (uint32_t(rangeGainIndex(lc.rangeCode)) << GRV480_ENTRY_GAIN_SHIFT) | kDacMid);
    }
    r.raw.unbalanceChCount = uint32_t(main.size());

    if (!r.singleCh) {
        const uint32_t m = cfg.bgMeasMask;
        if (m & GRV480_BG_OFFS) {
            bool used[8] = {};
            for (uint32_t i = 0; i < cfg.logicalChannelCount; ++i)
                used[rangeGainIndex(cfg.logicalChannels[i].rangeCode)] = true;
            for (unsigned g = 0; g < 8; ++g) {
                if (!used[g])
                    continue;
                r.zeroRowOfGain[g] = int8_t(main.size());
                main.push_back(GRV480_MODE_ZERO_UREF | (g << GRV480_ENTRY_GAIN_SHIFT) | kDacMid);
            }
        }
        const uint32_t g7 = 7u << GRV480_ENTRY_GAIN_SHIFT;
        // The short check runs at the most sensitive gain that still sees the threshold.
        const double shortLimitV = cfg.shortRThresh * iSrcCodeMa(cfg.iSrcCode) / 1000.0;
        unsigned shortGain = 3;
        while (shortGain < 7 && gainFullScaleV(shortGain) * kAbsDivider < 1.5 * shortLimitV)
            ++shortGain;
        const uint32_t g3 = shortGain << GRV480_ENTRY_GAIN_SHIFT;
        auto add = [&](uint32_t entry, BgRole role, uint8_t logical) {
            bg.push_back(entry | kDacMid);
            r.bgRoles.push_back(role);
            r.bgLogical.push_back(logical);
        };
        if (m & GRV480_BG_UREF)
            add(GRV480_MODE_UREF_AGND | g7, BgRole::Uref, 0xFF);
        if (m & GRV480_BG_UREF_OFFS)
            add(GRV480_MODE_ZERO_UNEG | g7, BgRole::UrefZero, 0xFF);
        if (m & GRV480_BG_VADJ)
            add(GRV480_MODE_VADJ | g7, BgRole::Vadj, 0xFF);
        if (m & GRV480_BG_UNEG)
            add(GRV480_MODE_UNEG_AGND | g7, BgRole::Uneg, 0xFF);
        if (m & GRV480_BG_CHECK_SHORT_UREF)
            add(GRV480_MODE_UREF_UNEG | g7, BgRole::UrefShort, 0xFF);
        if (m & GRV480_BG_CHECK_OPEN_UREF)
            add(GRV480_MODE_UREF_AGND | GRV480_ENTRY_BOUT | g7, BgRole::UrefOpen, 0xFF);
        if (m & GRV480_BG_CHECK_OPEN_UNEG)
            add(GRV480_MODE_UNEG_AGND | GRV480_ENTRY_BOUT | g7, BgRole::UnegOpen, 0xFF);
        for (uint32_t i = 0; i < cfg.logicalChannelCount; ++i) {
            const uint32_t ch = uint32_t(cfg.logicalChannels[i].channelIndex) << GRV480_ENTRY_CHANNEL_SHIFT;
            if (m & GRV480_BG_UX)
                add(GRV480_MODE_UX_UNEG | ch | g7, BgRole::UxValue, uint8_t(i));
            if (m & GRV480_BG_CHECK_SHORT_UX)
                add(GRV480_MODE_UX_UNEG | ch | g3, BgRole::UxShort, uint8_t(i));
            if (m & GRV480_BG_CHECK_OPEN_UX)
                add(GRV480_MODE_UX_UNEG | GRV480_ENTRY_BOUT | ch | g7, BgRole::UxOpen, uint8_t(i));
            if (m & GRV480_BG_UCM)
                add(GRV480_MODE_UX_AGND | ch | g7, BgRole::Ucm, uint8_t(i));
        }
        if (cfg.ch16ForUref) {
            const uint32_t ch = 15u << GRV480_ENTRY_CHANNEL_SHIFT;
            if (m & GRV480_BG_UREF)
                add(GRV480_MODE_UX_UNEG | ch | g7, BgRole::UrefRValue, 0xFF);
            if (m & GRV480_BG_CHECK_SHORT_UREF)
                add(GRV480_MODE_UX_UNEG | ch | g3, BgRole::UrefRShort, 0xFF);
            if (m & GRV480_BG_CHECK_OPEN_UREF)
                add(GRV480_MODE_UX_UNEG | GRV480_ENTRY_BOUT | ch | g7, BgRole::UrefROpen, 0xFF);
        }
    }
    r.raw.secondaryRowStart = uint32_t(main.size());
    if (!bg.empty()) {
        main.push_back(GRV480_ENTRY_BG_SLOT);
        r.hasBgSlot = true;
    }
    if (main.size() > GRV480_MAX_TABLE_SIZE || bg.size() > GRV480_MAX_TABLE_SIZE)
        return GRV480_ERR_CFG_TABLE_OVERFLOW;
    std::copy(main.begin(), main.end(), r.raw.mainTable);
    std::copy(bg.begin(), bg.end(), r.raw.bgTable);
    r.raw.mainTableSize = uint32_t(main.size());
    r.raw.bgTableSize = uint32_t(bg.size());
    r.raw.bgStepClocks = r.hasBgSlot ? kBgStepClocks : 0;
    r.raw.frameClocks = r.raw.mainTableSize - (r.hasBgSlot ? 1 : 0) + r.raw.bgStepClocks;
    r.raw.frameWordCount = r.raw.frameClocks;
    if (r.singleCh) {
        r.adcFreq = r.filter.odr;
    } else {
        r.adcFreq = syncDivFreq(cfg.syncFreqDiv);
    }
    r.frameFrequency = r.raw.frameClocks ? r.adcFreq / r.raw.frameClocks : 0.0;
    return 0;
}

} // namespace grv480
