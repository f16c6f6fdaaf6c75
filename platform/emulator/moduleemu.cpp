#include "moduleemu.h"

#include "faultboard.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace grv480;

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kShortOhm = 0.02;       // what is left of a shorted bridge
constexpr double kBgNoiseV = 50e-6;      // noise of the background measurements
constexpr double kZeroNoiseV = 0.3e-6;   // noise of the zero measurement
constexpr double kSaturate = 1e6;        // volts: far beyond every full scale
constexpr double kOverRangeStep = 1.5;   // of the channel's full scale
// mains pickup: the fundamental, the 3rd and the 5th harmonic, relative; the
// 5th against the others, so that the wave is a slightly flattened sine
constexpr double kMainsShare[3] = {1.0, 0.1, -0.04};
constexpr int kMainsOrder[3] = {1, 3, 5};
// A replayed sample this close to its rail, zero included, was taken on it.
constexpr int64_t kRailTolerance = 1024;

uint64_t splitmix(uint64_t &x)
{
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
} // namespace

void NoiseSource::seed(uint64_t s)
{
    state[0] = splitmix(s);
    state[1] = splitmix(s);
    if (!state[0] && !state[1])
        state[1] = 1;
    hasSpare = false;
}

uint64_t NoiseSource::next()
{
    // xorshift128+
    uint64_t s1 = state[0];
    const uint64_t s0 = state[1];
    state[0] = s0;
    s1 ^= s1 << 23;
    state[1] = s1 ^ s0 ^ (s1 >> 17) ^ (s0 >> 26);
    return state[1] + s0;
}

double NoiseSource::uniform()
{
    return double(next() >> 11) * (1.0 / 9007199254740992.0);
}

double NoiseSource::gauss()
{
    if (hasSpare) {
        hasSpare = false;
        return spare;
    }
    double u = uniform();
    while (u <= 1e-300)
        u = uniform();
    const double r = std::sqrt(-2.0 * std::log(u));
    const double a = 2.0 * kPi * uniform();
    spare = r * std::sin(a);
    hasSpare = true;
    return r * std::cos(a);
}

ModuleEmulator::ModuleEmulator(const ModuleSpec &s) : spec(s), live(s), work(s) {}

void ModuleEmulator::setLiveSpec(const ModuleSpec &l)
{
    live = l;
    rebuildWork();
}

void ModuleEmulator::rebuildWork()
{
    work = live;
    std::string ignored;   // the scenario's events were checked when it was read
    for (const Scheduled &e : schedule) {
        if (e.active)
            applyChanges(&work, e.ev->bridge, e.ev->set, &ignored);
    }
    physicsDirty = running;
}

bool ModuleEmulator::takeLinkAction(EventSpec::Link *link, int *durationMs)
{
    if (pendingLink == EventSpec::NoLink)
        return false;
    *link = pendingLink;
    *durationMs = pendingLinkMs;
    pendingLink = EventSpec::NoLink;
    return true;
}

TGRV480ModuleInfo ModuleEmulator::info() const
{
    TGRV480ModuleInfo i;
    std::memset(&i, 0, sizeof i);
    std::strncpy(i.moduleSerial, spec.serial.c_str(), sizeof i.moduleSerial - 1);
    std::strncpy(i.crateSerial, spec.crate.c_str(), sizeof i.crateSerial - 1);
    i.fpgaVersion = spec.fpgaVersion;
    i.moduleId = spec.typeId;
    i.slot = uint16_t(spec.slot);
    i.refClockHz = kRefClockHz;
    i.iSrcStepMa = kISrcStepMa;
    i.iSrcMaxMa = kISrcMaxCode * kISrcStepMa;
    i.loadPowerLimitW = spec.loadPowerLimitW;
    return i;
}

int ModuleEmulator::setAdc(const proto::SetAdcRequest &req, proto::SetAdcReply *reply)
{
    if (running)
        return GRV480_ERR_ALREADY_STARTED;
    Tables t;
    const int32_t err = buildTables(req.cfg, &t);
    if (err)
        return err;
    for (uint32_t i = 0; i < t.raw.unbalanceChCount; ++i) {
        const uint32_t ch = (t.raw.mainTable[i] & GRV480_ENTRY_CHANNEL_MASK) >> GRV480_ENTRY_CHANNEL_SHIFT;
        const uint16_t dac = req.dacCode[ch];
        if (dac > GRV480_ENTRY_DAC_MASK)
            return GRV480_ERR_INVALID_PARAM;
        if (dac)
            t.raw.mainTable[i] = (t.raw.mainTable[i] & ~GRV480_ENTRY_DAC_MASK) | dac;
    }
    if (replay) {
        // The recording holds samples and statuses of its own configuration
        // only; the client hears which setting differs.
        if (const int32_t differs = replay->compare(req.cfg, t.frameFrequency))
            return differs;
    }
    cfg = req.cfg;
    tables = t;
    configured = true;
    reply->frameWordCount = t.raw.frameWordCount;
    reply->frameFrequency = t.frameFrequency;
    return 0;
}

int ModuleEmulator::initMeas(int mode)
{
    if (running)
        return GRV480_ERR_ALREADY_STARTED;
    if (mode != GRV480_MEAS_MODE_ACQUISITION && mode != GRV480_MEAS_MODE_SCALE_TARE)
        return GRV480_ERR_MEAS_MODE;
    measMode = mode;
    return 0;
}

int ModuleEmulator::start()
{
    if (!configured)
        return GRV480_ERR_NOT_CONFIGURED;
    if (running)
        return GRV480_ERR_ALREADY_STARTED;
    if (cfg.logicalChannelCount == 0)
        return GRV480_ERR_CFG_CHANNEL_COUNT;
    prepare();
    if (cursor) {
        cursor->rewind();
        replayBlockSerial = 0;
    }
    running = true;
    return 0;
}

void ModuleEmulator::setReplay(const ReplayRecording *recording, bool loop)
{
    replay = recording;
    cursor.reset(recording ? new ReplayCursor(*recording, loop) : nullptr);
}

void ModuleEmulator::prepare()
{
    const double ff = tables.frameFrequency;
    // Events count from the start: the frame of a change is ceil(at x frame rate),
    // the same on every run.
    schedule.clear();
    for (const EventSpec &ev : spec.events)
        schedule.push_back({&ev, uint64_t(std::ceil(ev.atS * ff - 1e-9)), UINT64_MAX, false});
    nextEventFrame = 0;
    eventsRanAt = UINT64_MAX;
    occurrence.assign(schedule.size(), 0);
    pendingLink = EventSpec::NoLink;
    tauFrames = work.settleMs * 1e-3 * ff;
    frameNo = 0;
    bgIndex = 0;
    auxRng.seed(spec.seed * 7919u + 17u);
    channels.assign(tables.raw.unbalanceChCount, Channel());
    for (uint32_t i = 0; i < tables.raw.unbalanceChCount; ++i) {
        const unsigned phys = (tables.raw.mainTable[i] & GRV480_ENTRY_CHANNEL_MASK) >> GRV480_ENTRY_CHANNEL_SHIFT;
        channels[i].rng.seed(spec.bridges[phys].seed);
        // the slow drift starts somewhere in its cycle, the same one on every run
        NoiseSource ph;
        ph.seed(spec.bridges[phys].seed ^ 0x5DEECE66Dull);
        channels[i].driftPhase = 2 * kPi * ph.uniform();
    }
    bgValues.assign(tables.raw.bgTableSize, BgValue());
    rebuildWork();
    computePhysics(false);
    physicsDirty = false;
}

double ModuleEmulator::level(const Channel &c) const
{
    if (c.fault == BridgeSpec::Open)
        return kSaturate;
    if (tauFrames <= 0)
        return c.dcV;
    return c.dcV + (c.settleFromV - c.dcV) * std::exp(-double(frameNo - c.settleFrame) / tauFrames);
}

void ModuleEmulator::computePhysics(bool settle)
{
    const ModuleSpec &m = work;
    const double I = m.isrcFault ? 0.0 : iSrcCodeMa(cfg.iSrcCode) / 1000.0;
    const double scale = I / (kIsrcNominalMa / 1000.0);
    const double cableR = m.cableResOhmPerM * m.cableLengthM;
    const double cableC = m.cableCapPfPerM * m.cableLengthM * 1e-12;
    const double rref = m.rrefShort ? kShortOhm : m.rref;
    double sumR = 0;
    for (const BridgeSpec &b : m.bridges)
        sumR += b.fault == BridgeSpec::Short ? kShortOhm : b.resistance;
    const double totalR = rref + sumR + 2 * cableR;
    powerExceeded = I * I * totalR > m.loadPowerLimitW;
    zeroV = m.zeroOffsetUv * 1e-6;
    const double absZero = m.absZeroOffsetMv * 1e-3;
    const double odr = tables.filter.odr;
    const bool calMode = measMode == GRV480_MEAS_MODE_SCALE_TARE;
    auto clampTo = [](double v, double fs) { return std::clamp(v, -kOverRangeStep * fs, kOverRangeStep * fs); };

    for (uint32_t i = 0; i < tables.raw.unbalanceChCount; ++i) {
        const uint32_t e = tables.raw.mainTable[i];
        const unsigned phys = (e & GRV480_ENTRY_CHANNEL_MASK) >> GRV480_ENTRY_CHANNEL_SHIFT;
        const BridgeSpec &b = m.bridges[phys];
        Channel &c = channels[i];
        // the inputs move from where they are now, not from the new value
        const double from = settle ? level(c) : 0.0;
        c.fullScale = entryFullScaleV(e);
        c.settleFromV = clampTo(from, c.fullScale);
        c.settleFrame = frameNo;
        c.dacV = entryDacVoltage(e);
        c.gain = 1.0 + b.gainError;
        c.noiseV = b.noiseUv * 1e-6;
        c.fault = b.fault;
        c.dcV = 0;
        c.harmonics = 0;
        c.driftV = 0;
        if (calMode) {
            // the inputs see the internal calibration voltage instead of the bridge
            c.dcV = kCalFraction * c.fullScale;
            c.noiseV = 0.5e-6;
            continue;
        }
        if (b.fault == BridgeSpec::Short)
            continue;   // no bridge output left: zero plus noise
        c.dcV = b.offsetMv * 1e-3 * scale + (b.overRange ? kOverRangeStep * c.fullScale : 0.0);
        c.driftV = b.driftUv * 1e-6;
        c.driftOmega = 2 * kPi / b.driftPeriodS;
        // the cable's capacitance and the bridge form a low-pass; a settled SINC
        // conversion averages over 1/odr
        const double fc = cableC > 0 ? 1.0 / (2 * kPi * (b.resistance / 2) * cableC) : 0.0;
        auto response = [&](double f) {
            double g = fc > 0 ? 1.0 / std::sqrt(1.0 + (f / fc) * (f / fc)) : 1.0;
            if (odr > 0 && f > 0) {
                const double x = kPi * f / odr;
                g *= std::fabs(std::sin(x) / x);
            }
            return g;
        };
        if (b.sineHz > 0 && b.sineMv > 0) {
            const double ph = b.phaseDeg * kPi / 180.0;
            const int n = 1 + int(b.harmonicsMv.size());
            for (int k = 0; k < n; ++k) {
                const double f = b.sineHz * (k + 1);
                const double a = (k == 0 ? b.sineMv : b.harmonicsMv[size_t(k - 1)]) * 1e-3;
                c.amp[c.harmonics] = a * scale * response(f);
                c.omega[c.harmonics] = 2 * kPi * f;
                c.phase[c.harmonics] = ph * (k + 1);
                ++c.harmonics;
            }
        } else if (b.sineMv > 0 && b.sineHz == 0) {
            c.dcV += b.sineMv * 1e-3 * scale;
        }
        if (b.mainsUv > 0) {
            // induced in the cable: it does not follow the excitation current
            for (int k = 0; k < 3; ++k) {
                const double f = b.mainsHz * kMainsOrder[k];
                c.amp[c.harmonics] = b.mainsUv * 1e-6 * kMainsShare[k] * response(f);
                c.omega[c.harmonics] = 2 * kPi * f;
                c.phase[c.harmonics] = 0.7 * kMainsOrder[k];   // in step with the fundamental
                ++c.harmonics;
            }
        }
    }
    for (unsigned g = 0; g < 8; ++g)
        zeroFullScale[g] = gainFullScaleV(g);

    for (uint32_t k = 0; k < tables.raw.bgTableSize; ++k) {
        const uint32_t e = tables.raw.bgTable[k];
        BgValue &v = bgValues[k];
        double from = 0;
        if (settle)
            from = tauFrames > 0 ? v.volts + (v.fromV - v.volts) * std::exp(-double(frameNo - v.settleFrame) / tauFrames)
                                 : v.volts;
        v.fullScale = entryFullScaleV(e);
        v.fromV = clampTo(from, v.fullScale);
        v.settleFrame = frameNo;
        const uint8_t lc = tables.bgLogical[k];
        const BridgeSpec *b = nullptr;
        if (lc != 0xFF)
            b = &m.bridges[(tables.raw.mainTable[lc] & GRV480_ENTRY_CHANNEL_MASK) >> GRV480_ENTRY_CHANNEL_SHIFT];
        const bool bOpen = b && b->fault == BridgeSpec::Open;
        const double ux = b ? I * (b->fault == BridgeSpec::Short ? kShortOhm : b->resistance) * (1.0 + b->gainError) : 0.0;
        const double uref = I * rref;
        switch (tables.bgRoles[k]) {
        case BgRole::Uref:
        case BgRole::UrefShort:
        case BgRole::UrefOpen:
            v.volts = m.rrefOpen ? kSaturate : uref + absZero;
            break;
        case BgRole::UrefRValue:
        case BgRole::UrefRShort:
        case BgRole::UrefROpen:
            v.volts = m.rrefOpen ? kSaturate : uref * (1.0 + m.bridges[15].gainError) + absZero;
            break;
        case BgRole::UrefZero:
            v.volts = absZero;
            break;
        case BgRole::Vadj:
            v.volts = I * totalR + kVadjHeadroomV + absZero;
            break;
        case BgRole::Uneg:
            v.volts = m.unegOpen ? -kSaturate : -I * cableR + absZero;
            break;
        case BgRole::UnegOpen:
            v.volts = m.unegOpen ? kSaturate : -I * cableR + absZero;
            break;
        case BgRole::UxValue:
        case BgRole::UxShort:
        case BgRole::UxOpen:
            // an open sense line is pulled to the rail by the input bias
            v.volts = bOpen ? kSaturate : ux + absZero;
            break;
        case BgRole::Ucm:
            v.volts = bOpen ? kSaturate : ux / 2 + (b ? b->ucmOffsetV : 0.0) + absZero;
            break;
        }
        if (std::fabs(v.volts) >= kSaturate)
            v.fromV = v.volts;   // a rail is reached at once
    }
}

bool ModuleEmulator::runEvents()
{
    const double ff = tables.frameFrequency;
    bool changed = false;
    nextEventFrame = UINT64_MAX;
    for (size_t i = 0; i < schedule.size(); ++i) {
        Scheduled &e = schedule[i];
        if (e.revertAt == frameNo) {
            e.active = false;
            e.revertAt = UINT64_MAX;
            changed = true;
        }
        if (e.next == frameNo) {
            if (e.ev->link != EventSpec::NoLink) {
                pendingLink = e.ev->link;
                pendingLinkMs = int(std::lround(e.ev->durationS * 1000));
            } else {
                e.active = true;
                changed = true;
                if (e.ev->durationS > 0)
                    e.revertAt = frameNo + std::max<uint64_t>(1, uint64_t(std::llround(e.ev->durationS * ff)));
            }
            ++occurrence[i];
            e.next = e.ev->repeatS > 0
                             ? std::max(frameNo + 1, uint64_t(std::ceil((e.ev->atS + double(occurrence[i]) * e.ev->repeatS) * ff - 1e-9)))
                             : UINT64_MAX;
        }
        nextEventFrame = std::min({nextEventFrame, e.next, e.revertAt});
    }
    if (changed)
        rebuildWork();
    return pendingLink == EventSpec::NoLink;
}

void ModuleEmulator::generate(uint64_t upTo, std::vector<uint32_t> *out)
{
    if (!running || upTo <= frameNo)
        return;
    if (cursor) {
        generateReplay(upTo, out);
        return;
    }
    const uint32_t rows = tables.raw.mainTableSize;
    const double clock = 1.0 / tables.adcFreq;
    const uint32_t frameClocks = tables.raw.frameClocks;
    out->reserve(out->size() + size_t(upTo - frameNo) * rows);
    for (; frameNo < upTo; ++frameNo) {
        if (frameNo >= nextEventFrame && eventsRanAt != frameNo) {
            eventsRanAt = frameNo;
            if (!runEvents())
                return;   // the session acts on the link before this frame
        }
        if (physicsDirty) {
            computePhysics(true);
            physicsDirty = false;
        }
        const uint32_t powerTag = powerExceeded ? 0x20u : 0u;
        const double t0 = double(frameNo) * frameClocks * clock;
        for (uint32_t r = 0; r < rows; ++r) {
            const uint32_t e = tables.raw.mainTable[r];
            const bool first = r == 0;
            if (e & GRV480_ENTRY_BG_SLOT) {
                BgValue &v = bgValues[bgIndex];
                double volts = v.volts;
                if (tauFrames > 0 && v.fromV != v.volts) {
                    const double x = double(frameNo - v.settleFrame) / tauFrames;
                    if (x < 40)
                        volts += (v.fromV - v.volts) * std::exp(-x);
                    else
                        v.fromV = v.volts;
                }
                const int32_t code = voltsToCode(volts + kBgNoiseV * auxRng.gauss(), v.fullScale);
                out->push_back(encodeWord(false, true, bgIndex, code));
                if (++bgIndex >= bgValues.size())
                    bgIndex = 0;
                continue;
            }
            double volts;
            double fs;
            if (r < channels.size()) {
                Channel &c = channels[r];
                fs = c.fullScale;
                if (c.fault == BridgeSpec::Open) {
                    volts = kSaturate;
                } else {
                    const double t = t0 + r * clock;
                    double s = c.dcV;
                    if (tauFrames > 0 && c.settleFromV != c.dcV) {
                        const double x = double(frameNo - c.settleFrame) / tauFrames;
                        if (x < 40)
                            s += (c.settleFromV - c.dcV) * std::exp(-x);
                        else
                            c.settleFromV = c.dcV;
                    }
                    if (c.driftV != 0)
                        s += c.driftV * std::sin(c.driftOmega * t + c.driftPhase);
                    for (int k = 0; k < c.harmonics; ++k)
                        s += c.amp[k] * std::sin(c.omega[k] * t + c.phase[k]);
                    volts = (s + c.noiseV * c.rng.gauss()) * c.gain + zeroV - c.dacV;
                }
            } else {
                // "Ноль (Uref)": the inputs shorted at this gain
                fs = zeroFullScale[(e & GRV480_ENTRY_GAIN_MASK) >> GRV480_ENTRY_GAIN_SHIFT];
                volts = zeroV + kZeroNoiseV * auxRng.gauss();
            }
            const uint32_t tag = first ? (powerTag | uint32_t(frameNo & 31)) : r;
            out->push_back(encodeWord(first, false, tag, voltsToCode(volts, fs)));
        }
    }
}

void ModuleEmulator::takeReplayBlock(const ReplayBlock &b)
{
    const TGRV480FrameStatus &fs = b.frame;
    powerExceeded = (fs.flags & GRV480_FRAME_LOAD_POWER_EXCEEDED) != 0;
    const uint32_t n = tables.raw.unbalanceChCount;
    outOfRangeOwed.assign(n, 0);
    outOfRangeRecorded.assign(n, 0);
    std::fill(std::begin(zeroBase), std::end(zeroBase), 0);
    bool zeroSet[8] = {};
    for (uint32_t i = 0; i < n && i < b.channels.size(); ++i) {
        const TGRV480ChStatus &c = b.channels[i];
        if (c.flags & GRV480_CH_OUT_OF_RANGE)
            outOfRangeOwed[i] = outOfRangeRecorded[i] = std::max<int64_t>(1, c.outOfRangeCount);
        const unsigned g = (tables.raw.mainTable[i] & GRV480_ENTRY_GAIN_MASK) >> GRV480_ENTRY_GAIN_SHIFT;
        if (tables.zeroRowOfGain[g] >= 0 && !zeroSet[g]) {
            zeroBase[g] = voltsToCode(c.zeroOffset, gainFullScaleV(g));
            zeroSet[g] = true;
        }
    }

    // The library takes the measured zero of the absolute path off every
    // absolute value, so each one is given with that zero, quantised as the
    // library will see it, added back.
    double zero = 0;
    double zeroQ = 0;
    for (uint32_t k = 0; k < tables.raw.bgTableSize; ++k) {
        if (tables.bgRoles[k] == BgRole::UrefZero) {
            zero = fs.zeroUneg.state != GRV480_MV_NOT_MEASURED ? fs.zeroUneg.value : 0.0;
            const double full = bgValues[k].fullScale;
            zeroQ = voltsToCode(zero, full) * full / 8388608.0;
        }
    }
    // A fault is a saturated reading; the checks act through saturation
    // (open) or a reading near zero (short), whatever value they carry.
    auto value = [&](const TGRV480MeasValue &m) {
        return m.state == GRV480_MV_FAULT ? std::copysign(kSaturate, m.value) : m.value + zeroQ;
    };
    auto shortCheck = [&](const TGRV480MeasValue &m) {
        return m.state == GRV480_MV_SHORT ? zeroQ : kSaturate;
    };
    auto openCheck = [&](const TGRV480MeasValue &m) {
        return m.state == GRV480_MV_OPEN ? kSaturate : zeroQ;
    };
    static const TGRV480ChStatus none{};
    bgTarget.assign(tables.raw.bgTableSize, 0.0);
    for (uint32_t k = 0; k < tables.raw.bgTableSize; ++k) {
        const uint8_t lc = tables.bgLogical[k];
        const TGRV480ChStatus &c = lc < b.channels.size() ? b.channels[lc] : none;
        double &v = bgTarget[k];
        switch (tables.bgRoles[k]) {
        case BgRole::Uref: v = value(fs.uref); break;
        case BgRole::UrefShort: v = shortCheck(fs.uref); break;
        case BgRole::UrefOpen: v = openCheck(fs.uref); break;
        case BgRole::UrefRValue: v = value(fs.urefR); break;
        case BgRole::UrefRShort: v = shortCheck(fs.urefR); break;
        case BgRole::UrefROpen: v = openCheck(fs.urefR); break;
        case BgRole::UrefZero: v = zero; break;
        case BgRole::Vadj: v = value(fs.vadj); break;
        case BgRole::Uneg: v = value(fs.uneg); break;
        case BgRole::UnegOpen: v = openCheck(fs.uneg); break;
        case BgRole::UxValue: v = value(c.ux); break;
        case BgRole::UxShort: v = shortCheck(c.ux); break;
        case BgRole::UxOpen: v = openCheck(c.ux); break;
        case BgRole::Ucm: v = value(c.ucm); break;
        }
    }
}

void ModuleEmulator::generateReplay(uint64_t upTo, std::vector<uint32_t> *out)
{
    const uint32_t rows = tables.raw.mainTableSize;
    const uint32_t n = tables.raw.unbalanceChCount;
    relCode.resize(n);
    zeroCode.assign(8, 0);
    auto gainOf = [&](uint32_t r) {
        return (tables.raw.mainTable[r] & GRV480_ENTRY_GAIN_MASK) >> GRV480_ENTRY_GAIN_SHIFT;
    };
    auto clampCode = [](int64_t c) { return int32_t(std::clamp<int64_t>(c, kCodeMin, kCodeMax)); };
    // Would zero code zc at gain g keep every channel of that gain off its rail
    // but those that owe a saturated sample?
    auto fits = [&](unsigned g, int64_t zc) {
        if (zc < kCodeMin || zc > kCodeMax)
            return false;
        for (uint32_t j = 0; j < n; ++j) {
            const int64_t c = relCode[j] + zc;
            if (gainOf(j) == g && outOfRangeOwed[j] <= 0 && (c >= kCodeMax || c <= kCodeMin))
                return false;
        }
        return true;
    };
    out->reserve(out->size() + size_t(upTo - frameNo) * rows);
    for (; frameNo < upTo; ++frameNo) {
        const double *mv = nullptr;
        const ReplayBlock *block = nullptr;
        bool lastOfBlock = false;
        if (!cursor->next(&mv, &block, &lastOfBlock))
            return;
        if (cursor->blockSerial() != replayBlockSerial) {
            replayBlockSerial = cursor->blockSerial();
            takeReplayBlock(*block);
        }
        // Not clipped: a sample taken on its rail was recorded with the zero
        // taken off, so it lies beyond the rail.
        for (uint32_t i = 0; i < n; ++i) {
            const double c = std::round((mv[i] * 1e-3 - channels[i].dacV) / channels[i].fullScale
                                        * 8388608.0);
            relCode[i] = std::isfinite(c) ? int64_t(std::clamp(c, -1e12, 1e12)) : 0;
        }
        // The library takes each gain's zero row off its channels, so the zero
        // code is free within a frame: one that puts a channel on its rail
        // gives it the recorded out-of-range sample and keeps its value.
        bool fixed[8] = {};
        for (unsigned g = 0; g < 8; ++g)
            zeroCode[g] = zeroBase[g];
        for (uint32_t i = 0; i < n; ++i) {
            const unsigned g = gainOf(i);
            if (tables.zeroRowOfGain[g] < 0 || outOfRangeOwed[i] <= 0 || fixed[g])
                continue;
            const int64_t at = relCode[i] + zeroCode[g];
            const int64_t rail = at >= 0 ? kCodeMax : kCodeMin;
            // The block's last chance to show its flag at all.
            const bool noneYet = lastOfBlock && outOfRangeOwed[i] == outOfRangeRecorded[i];
            if ((std::llabs(at - rail) <= kRailTolerance || noneYet) && fits(g, rail - relCode[i])) {
                zeroCode[g] = int32_t(rail - relCode[i]);
                fixed[g] = true;
            }
        }
        for (unsigned g = 0; g < 8; ++g) {
            if (fixed[g] || tables.zeroRowOfGain[g] < 0 || fits(g, zeroCode[g]))
                continue;
            int64_t lo = kCodeMin + 1, hi = kCodeMax - 1;
            for (uint32_t j = 0; j < n; ++j) {
                if (gainOf(j) == g) {
                    lo = std::max<int64_t>(lo, kCodeMin + 1 - relCode[j]);
                    hi = std::min<int64_t>(hi, kCodeMax - 1 - relCode[j]);
                }
            }
            if (lo <= hi)
                zeroCode[g] = int32_t(std::clamp<int64_t>(zeroCode[g], lo, hi));
        }

        const uint32_t powerTag = powerExceeded ? 0x20u : 0u;
        for (uint32_t r = 0; r < rows; ++r) {
            const uint32_t e = tables.raw.mainTable[r];
            if (e & GRV480_ENTRY_BG_SLOT) {
                const int32_t code = voltsToCode(bgTarget[bgIndex], bgValues[bgIndex].fullScale);
                out->push_back(encodeWord(false, true, bgIndex, code));
                if (++bgIndex >= bgValues.size())
                    bgIndex = 0;
                continue;
            }
            int32_t code;
            if (r < n) {
                const unsigned g = gainOf(r);
                code = clampCode(relCode[r] + (tables.zeroRowOfGain[g] >= 0 ? zeroCode[g] : 0));
                if (codeSaturated(code) && outOfRangeOwed[r] > 0)
                    --outOfRangeOwed[r];
            } else {
                code = zeroCode[gainOf(r)];
            }
            const bool first = r == 0;
            const uint32_t tag = first ? (powerTag | uint32_t(frameNo & 31)) : r;
            out->push_back(encodeWord(first, false, tag, code));
        }
    }
}
