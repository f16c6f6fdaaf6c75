#include "blockdecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace grv480;

void BlockDecoder::configure(const TGRV480Config &c, const Tables &t,
                             const TGRV480TareInfo tr[GRV480_CHANNEL_COUNT])
{
    cfg = c;
    tables = t;
    std::memcpy(tare, tr, sizeof tare);
    currentA = iSrcCodeMa(cfg.iSrcCode) / 1000.0;
    shortLimitV = cfg.shortRThresh * currentA;
    const uint32_t rows = t.raw.mainTableSize;
    rowScale.assign(rows, 0.0);
    rowDac.assign(rows, 0.0);
    rowZero.assign(rows, -1);
    for (uint32_t r = 0; r < rows; ++r) {
        const uint32_t e = t.raw.mainTable[r];
        if (e & GRV480_ENTRY_BG_SLOT)
            continue;
        rowScale[r] = entryFullScaleV(e) / 8388608.0;
        if (r < t.raw.unbalanceChCount) {
            rowDac[r] = entryDacVoltage(e);
            rowZero[r] = t.zeroRowOfGain[(e & GRV480_ENTRY_GAIN_MASK) >> GRV480_ENTRY_GAIN_SHIFT];
        }
    }
    const uint32_t n = t.raw.unbalanceChCount;
    uxValue.assign(n, -1);
    uxShort.assign(n, -1);
    uxOpen.assign(n, -1);
    ucm.assign(n, -1);
    uref = urefZero = vadj = uneg = urefShort = urefOpen = unegOpen = -1;
    urefRValue = urefRShort = urefROpen = -1;
    bgScale.assign(t.raw.bgTableSize, 0.0);
    for (uint32_t k = 0; k < t.raw.bgTableSize; ++k) {
        bgScale[k] = entryFullScaleV(t.raw.bgTable[k]) / 8388608.0;
        const int i = int(k);
        const uint8_t lc = t.bgLogical[k];
        switch (t.bgRoles[k]) {
        case BgRole::Uref: uref = i; break;
        case BgRole::UrefZero: urefZero = i; break;
        case BgRole::Vadj: vadj = i; break;
        case BgRole::Uneg: uneg = i; break;
        case BgRole::UrefShort: urefShort = i; break;
        case BgRole::UrefOpen: urefOpen = i; break;
        case BgRole::UnegOpen: unegOpen = i; break;
        case BgRole::UrefRValue: urefRValue = i; break;
        case BgRole::UrefRShort: urefRShort = i; break;
        case BgRole::UrefROpen: urefROpen = i; break;
        case BgRole::UxValue: uxValue[lc] = i; break;
        case BgRole::UxShort: uxShort[lc] = i; break;
        case BgRole::UxOpen: uxOpen[lc] = i; break;
        case BgRole::Ucm: ucm[lc] = i; break;
        }
    }
    configured = true;
    reset();
}

void BlockDecoder::reset()
{
    bg.assign(tables.raw.bgTableSize, BgState());
    sequenceKnown = false;
    nextCounter = 0;
    nextBg = 0;
    framesDone = 0;
    bgCycles = 0;
    lastZero.assign(tables.raw.unbalanceChCount, 0.0);
}

int32_t BlockDecoder::check(const uint32_t *words, uint32_t frames) const
{
    const uint32_t rows = tables.raw.mainTableSize;
    bool known = sequenceKnown;
    uint32_t counter = nextCounter;
    uint32_t bgi = nextBg;
    const uint32_t bgSize = tables.raw.bgTableSize;
    for (uint32_t f = 0; f < frames; ++f) {
        const uint32_t *w = words + size_t(f) * rows;
        if (!(w[0] & kWordFrameStart) || (w[0] & kWordBg))
            return GRV480_ERR_DATA_CORRUPTED;
        const uint32_t c = (w[0] >> 24) & 0x1Fu;
        if (known && c != counter)
            return GRV480_ERR_DATA_CORRUPTED;
        known = true;
        counter = (c + 1) & 0x1Fu;
        for (uint32_t r = 1; r < rows; ++r) {
            if (w[r] & kWordFrameStart)
                return GRV480_ERR_DATA_CORRUPTED;
            const bool isBg = (tables.raw.mainTable[r] & GRV480_ENTRY_BG_SLOT) != 0;
            if (bool(w[r] & kWordBg) != isBg)
                return GRV480_ERR_DATA_CORRUPTED;
            if (isBg) {
                if (wordTag(w[r]) != (bgi & 0x3Fu))
                    return GRV480_ERR_DATA_CORRUPTED;
                if (++bgi >= bgSize)
                    bgi = 0;
            } else if (wordTag(w[r]) != (r & 0x3Fu)) {
                return GRV480_ERR_DATA_CORRUPTED;
            }
        }
    }
    return 0;
}

bool BlockDecoder::isAbsolute(BgRole role) const
{
    return role != BgRole::UrefZero;
}

double BlockDecoder::bgValue(int idx) const
{
    double v = bg[size_t(idx)].value;
    // the zero of the absolute path, when it is measured, is taken off every absolute value
    if (urefZero >= 0 && idx != urefZero && bg[size_t(urefZero)].measured
        && isAbsolute(tables.bgRoles[size_t(idx)]))
        v -= bg[size_t(urefZero)].value;
    return v;
}

TGRV480MeasValue BlockDecoder::plain(int idx, bool needsCurrent) const
{
    TGRV480MeasValue m;
    std::memset(&m, 0, sizeof m);
    if (idx < 0)
        return m;   // not measured in this configuration
    const BgState &s = bg[size_t(idx)];
    if (!s.measured) {
        m.state = GRV480_MV_NO_VALUE;
        return m;
    }
    m.value = bgValue(idx);
    m.valid = 1;
    if (s.saturated)
        m.state = GRV480_MV_FAULT;
    else if (needsCurrent && currentA <= 0)
        m.state = GRV480_MV_UNDETERMINED;
    else
        m.state = GRV480_MV_VALID;
    return m;
}

TGRV480MeasValue BlockDecoder::composite(int valueIdx, int shortIdx, int openIdx,
                                         bool needsCurrent) const
{
    TGRV480MeasValue m;
    std::memset(&m, 0, sizeof m);
    if (valueIdx < 0 && shortIdx < 0 && openIdx < 0)
        return m;
    for (int idx : {valueIdx, shortIdx, openIdx}) {
        if (idx >= 0 && !bg[size_t(idx)].measured) {
            m.state = GRV480_MV_NO_VALUE;
            return m;
        }
    }
    if (valueIdx >= 0) {
        m.value = bgValue(valueIdx);
        m.valid = 1;
    }
    // An open line is seen through the bias current even without excitation;
    // a short needs the current.
    if (openIdx >= 0 && bg[size_t(openIdx)].saturated) {
        m.state = GRV480_MV_OPEN;
        m.valid = 0;
    } else if (needsCurrent && currentA <= 0) {
        m.state = GRV480_MV_UNDETERMINED;
        m.valid = 0;
    } else if (shortIdx >= 0 && !bg[size_t(shortIdx)].saturated
               && std::fabs(bgValue(shortIdx)) < shortLimitV) {
        m.state = GRV480_MV_SHORT;
    } else if (valueIdx >= 0 && bg[size_t(valueIdx)].saturated) {
        m.state = GRV480_MV_FAULT;
    } else {
        m.state = GRV480_MV_VALID;
    }
    return m;
}

int32_t BlockDecoder::process(const uint32_t *words, uint32_t wordCount, double *values,
                              TGRV480FrameStatus *fs, TGRV480ChStatus *cs, bool applyTare)
{
    if (!configured)
        return GRV480_ERR_NOT_CONFIGURED;
    const uint32_t rows = tables.raw.mainTableSize;
    if (rows == 0 || wordCount % rows != 0)
        return GRV480_ERR_DATA_MISALIGNED;
    const uint32_t frames = wordCount / rows;
    if (frames > 0 && (!words || !values))
        return GRV480_ERR_INVALID_PARAM;
    if (const int32_t err = check(words, frames))
        return err;

    const uint32_t n = tables.raw.unbalanceChCount;
    const uint32_t bgSize = tables.raw.bgTableSize;
    for (BgState &s : bg) {
        s.sum = 0;
        s.count = 0;
        s.blockSaturated = false;
    }
    std::vector<uint32_t> satCount(n, 0);
    zeroSum.assign(n, 0.0);
    uint32_t powerFrames = 0;
    const bool tareOn = applyTare && cfg.tareCoefEn;
    double offs[GRV480_CHANNEL_COUNT];
    double scale[GRV480_CHANNEL_COUNT];
    for (uint32_t i = 0; i < n; ++i) {
        const unsigned ch = cfg.logicalChannels[i].channelIndex;
        offs[i] = tareOn && tare[ch].offsetValid ? tare[ch].offsetCoef : 0.0;
        scale[i] = tareOn && tare[ch].scaleValid ? tare[ch].scaleCoef : 1.0;
    }

    for (uint32_t f = 0; f < frames; ++f) {
        const uint32_t *w = words + size_t(f) * rows;
        if (w[0] & kWordPowerFlag)
            ++powerFrames;
        double *out = values + size_t(f) * n;
        for (uint32_t i = 0; i < n; ++i) {
            const int32_t code = wordCode(w[i]);
            if (codeSaturated(code))
                ++satCount[i];
            double v = code * rowScale[i] + rowDac[i];
            if (rowZero[i] >= 0) {
                const double z = wordCode(w[rowZero[i]]) * rowScale[size_t(rowZero[i])];
                zeroSum[i] += z;
                v -= z;
            }
            out[i] = (v - offs[i]) * scale[i];
        }
        if (tables.hasBgSlot) {
            const uint32_t bw = w[rows - 1];
            BgState &s = bg[nextBg];
            const int32_t code = wordCode(bw);
            s.sum += code * bgScale[nextBg];
            ++s.count;
            s.blockSaturated = s.blockSaturated || codeSaturated(code);
            if (++nextBg >= bgSize) {
                nextBg = 0;
                ++bgCycles;
            }
        }
        nextCounter = ((w[0] >> 24) + 1) & 0x1Fu;
        sequenceKnown = true;
    }
    for (BgState &s : bg) {
        if (s.count) {
            s.value = s.sum / s.count;
            s.saturated = s.blockSaturated;
            s.measured = true;
        }
    }
    const uint32_t firstFrame = framesDone;
    framesDone += frames;

    if (fs) {
        std::memset(fs, 0, sizeof *fs);
        fs->frameCount = frames;
        if (powerFrames)
            fs->flags |= GRV480_FRAME_LOAD_POWER_EXCEEDED;
        fs->uref = composite(uref, urefShort, urefOpen, true);
        fs->urefR = composite(urefRValue, urefRShort, urefROpen, true);
        fs->vadj = plain(vadj, false);
        fs->uneg = composite(uneg, -1, unegOpen, false);
        if (n > 0 && rowZero[0] >= 0) {
            fs->zeroUref.state = GRV480_MV_VALID;
            fs->zeroUref.valid = 1;
            fs->zeroUref.value = frames ? zeroSum[0] / frames : lastZero[0];
        }
        fs->zeroUneg = plain(urefZero, false);
        fs->iSrcValue = currentA * 1000.0;
        if (fs->vadj.valid && fs->vadj.state == GRV480_MV_VALID)
            fs->loadPower = currentA * std::max(0.0, fs->vadj.value - kVadjHeadroomV);
        fs->firstFrameNumber = firstFrame;
        fs->bgCycleCount = bgCycles;
    }
    for (uint32_t i = 0; i < n; ++i) {
        if (frames)
            lastZero[i] = zeroSum[i] / frames;
        if (!cs)
            continue;
        TGRV480ChStatus &c = cs[i];
        std::memset(&c, 0, sizeof c);
        c.channelIndex = cfg.logicalChannels[i].channelIndex;
        c.rangeCode = cfg.logicalChannels[i].rangeCode;
        c.outOfRangeCount = satCount[i];
        if (satCount[i])
            c.flags |= GRV480_CH_OUT_OF_RANGE;
        c.zeroOffset = rowZero[i] >= 0 ? lastZero[i] : 0.0;
        c.ux = composite(uxValue[i], uxShort[i], uxOpen[i], true);
        // the in-amp's inputs must stay inside its supply window, less the range
        const double fsr = rangeFullScaleV(cfg.logicalChannels[i].rangeCode);
        c.ucmMin = 0.5 + fsr;
        c.ucmMax = 4.5 - fsr;
        c.ucm = plain(ucm[i], true);
        if (c.ucm.state == GRV480_MV_VALID && (c.ucm.value < c.ucmMin || c.ucm.value > c.ucmMax))
            c.ucm.state = GRV480_MV_COND_VIOLATED;
    }
    return 0;
}
