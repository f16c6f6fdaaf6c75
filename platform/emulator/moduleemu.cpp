#include "moduleemu.h"

#include <cmath>
#include <cstring>

using namespace grv480;

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kShortOhm = 0.02;       // what is left of a shorted bridge
constexpr double kBgNoiseV = 50e-6;      // noise of the background measurements
constexpr double kZeroNoiseV = 0.3e-6;   // noise of the zero measurement
constexpr double kSaturate = 1e6;        // volts: far beyond every full scale

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

ModuleEmulator::ModuleEmulator(const ModuleSpec &s) : spec(s) {}

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
    running = true;
    return 0;
}

void ModuleEmulator::prepare()
{
    const double I = iSrcCodeMa(cfg.iSrcCode) / 1000.0;
    const double scale = I / (kIsrcNominalMa / 1000.0);
    const double cableR = spec.cableResOhmPerM * spec.cableLengthM;
    const double cableC = spec.cableCapPfPerM * spec.cableLengthM * 1e-12;
    const double rref = spec.rrefShort ? kShortOhm : spec.rref;
    double sumR = 0;
    for (const BridgeSpec &b : spec.bridges)
        sumR += b.fault == BridgeSpec::Short ? kShortOhm : b.resistance;
    const double totalR = rref + sumR + 2 * cableR;
    powerExceeded = I * I * totalR > spec.loadPowerLimitW;
    zeroV = spec.zeroOffsetUv * 1e-6;
    const double absZero = spec.absZeroOffsetMv * 1e-3;
    const double odr = tables.filter.odr;
    const bool calMode = measMode == GRV480_MEAS_MODE_SCALE_TARE;

    channels.assign(tables.raw.unbalanceChCount, Channel());
    for (uint32_t i = 0; i < tables.raw.unbalanceChCount; ++i) {
        const uint32_t e = tables.raw.mainTable[i];
        const unsigned phys = (e & GRV480_ENTRY_CHANNEL_MASK) >> GRV480_ENTRY_CHANNEL_SHIFT;
        const BridgeSpec &b = spec.bridges[phys];
        Channel &c = channels[i];
        c.fullScale = entryFullScaleV(e);
        c.dacV = entryDacVoltage(e);
        c.gain = 1.0 + b.gainError;
        c.noiseV = b.noiseUv * 1e-6;
        c.fault = b.fault;
        c.rng.seed(b.seed);
        if (calMode) {
            // the inputs see the internal calibration voltage instead of the bridge
            c.dcV = kCalFraction * c.fullScale;
            c.noiseV = 0.5e-6;
            continue;
        }
        if (b.fault == BridgeSpec::Short)
            continue;   // no bridge output left: zero plus noise
        c.dcV = b.offsetMv * 1e-3 * scale;
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
            c.harmonics = 1 + int(b.harmonicsMv.size());
            const double ph = b.phaseDeg * kPi / 180.0;
            for (int k = 0; k < c.harmonics; ++k) {
                const double f = b.sineHz * (k + 1);
                const double a = (k == 0 ? b.sineMv : b.harmonicsMv[size_t(k - 1)]) * 1e-3;
                c.amp[k] = a * scale * response(f);
                c.omega[k] = 2 * kPi * f;
                c.phase[k] = ph * (k + 1);
            }
        } else if (b.sineMv > 0 && b.sineHz == 0) {
            c.dcV += b.sineMv * 1e-3 * scale;
        }
    }
    for (unsigned g = 0; g < 8; ++g)
        zeroFullScale[g] = gainFullScaleV(g);

    bgValues.assign(tables.raw.bgTableSize, BgValue());
    for (uint32_t k = 0; k < tables.raw.bgTableSize; ++k) {
        const uint32_t e = tables.raw.bgTable[k];
        BgValue &v = bgValues[k];
        v.fullScale = entryFullScaleV(e);
        const uint8_t lc = tables.bgLogical[k];
        const BridgeSpec *b = nullptr;
        if (lc != 0xFF)
            b = &spec.bridges[(tables.raw.mainTable[lc] & GRV480_ENTRY_CHANNEL_MASK) >> GRV480_ENTRY_CHANNEL_SHIFT];
        const bool bOpen = b && b->fault == BridgeSpec::Open;
        const double ux = b ? I * (b->fault == BridgeSpec::Short ? kShortOhm : b->resistance) * (1.0 + b->gainError) : 0.0;
        const double uref = I * rref;
        switch (tables.bgRoles[k]) {
        case BgRole::Uref:
        case BgRole::UrefShort:
        case BgRole::UrefOpen:
            v.volts = spec.rrefOpen ? kSaturate : uref + absZero;
            break;
        case BgRole::UrefRValue:
        case BgRole::UrefRShort:
        case BgRole::UrefROpen:
            v.volts = spec.rrefOpen ? kSaturate : uref * (1.0 + spec.bridges[15].gainError) + absZero;
            break;
        case BgRole::UrefZero:
            v.volts = absZero;
            break;
        case BgRole::Vadj:
            v.volts = I * totalR + kVadjHeadroomV + absZero;
            break;
        case BgRole::Uneg:
            v.volts = spec.unegOpen ? -kSaturate : -I * cableR + absZero;
            break;
        case BgRole::UnegOpen:
            v.volts = spec.unegOpen ? kSaturate : -I * cableR + absZero;
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
    }
    auxRng.seed(spec.seed * 7919u + 17u);
    frameNo = 0;
    bgIndex = 0;
}

void ModuleEmulator::generate(uint64_t upTo, std::vector<uint32_t> *out)
{
    if (!running || upTo <= frameNo)
        return;
    const uint32_t rows = tables.raw.mainTableSize;
    const double clock = 1.0 / tables.adcFreq;
    const uint32_t frameClocks = tables.raw.frameClocks;
    const uint32_t powerTag = powerExceeded ? 0x20u : 0u;
    out->reserve(out->size() + size_t(upTo - frameNo) * rows);
    for (; frameNo < upTo; ++frameNo) {
        const double t0 = double(frameNo) * frameClocks * clock;
        for (uint32_t r = 0; r < rows; ++r) {
            const uint32_t e = tables.raw.mainTable[r];
            const bool first = r == 0;
            if (e & GRV480_ENTRY_BG_SLOT) {
                const BgValue &v = bgValues[bgIndex];
                const int32_t code = voltsToCode(v.volts + kBgNoiseV * auxRng.gauss(), v.fullScale);
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
