// Zero and scale tare: measure the configured channels, update the handle's
// tare records and report which channels got a valid value.
#include "grv480api.h"

#include "modulecore.h"

#include <cmath>
#include <vector>

INT grv480TareAcquire(TGRV480 *h, int measMode, uint32_t chMask, std::vector<double> *mean,
                      std::vector<uint8_t> *ok, uint32_t *configuredMask);

namespace {

// Acquires the tare measurement; wanted = the requested channels that the
// configuration measures.
INT measure(TGRV480 *h, int measMode, uint32_t chMask, uint32_t *okChMask,
            std::vector<double> *mean, std::vector<uint8_t> *ok, uint32_t *wanted)
{
    if (okChMask)
        *okChMask = 0;
    uint32_t configured = 0;
    const INT st = grv480TareAcquire(h, measMode, chMask, mean, ok, &configured);
    if (st != 0)
        return st;
    *wanted = configured & chMask & GRV480_ALL_CHANNELS_MASK;
    return *wanted ? GRV480_OK : GRV480_ERR_TARE_NO_CHANNELS;
}

INT finish(uint32_t wanted, uint32_t good, uint32_t *okChMask)
{
    if (okChMask)
        *okChMask = good;
    return good == wanted ? GRV480_OK : GRV480_ERR_TARE_PARTIAL;
}

} // namespace

extern "C" {

GRV480API_EXPORT INT GRV480_TareOffset(TGRV480 *h, uint32_t chMask, uint32_t *okChMask)
{
    std::vector<double> mean;
    std::vector<uint8_t> ok;
    uint32_t wanted = 0;
    if (const INT st = measure(h, GRV480_MEAS_MODE_ACQUISITION, chMask, okChMask, &mean, &ok, &wanted))
        return st;
    uint32_t good = 0;
    for (int ch = 0; ch < GRV480_CHANNEL_COUNT; ++ch) {
        if (!(wanted & (1u << ch)) || !ok[size_t(ch)])
            continue;
        TGRV480TareInfo &t = h->tare[ch];
        int gainIndex = 2;
        for (uint32_t i = 0; i < h->cfg.logicalChannelCount; ++i) {
            if (h->cfg.logicalChannels[i].channelIndex == ch)
                gainIndex = grv480::rangeGainIndex(h->cfg.logicalChannels[i].rangeCode);
        }
        // the DAC takes the coarse part in steps of its own; the coefficient is exact
        const uint16_t code = grv480::dacCodeForVoltage(mean[size_t(ch)], unsigned(gainIndex));
        t.dacOffset = ((2.0 * code / 16384.0) - 1.0) * (2.5 / double(1u << (7 - gainIndex)));
        t.dacOffsetValid = 1;
        t.offsetCoef = mean[size_t(ch)];
        t.offsetValid = 1;
        good |= 1u << ch;
    }
    return finish(wanted, good, okChMask);
}

GRV480API_EXPORT INT GRV480_TareScale(TGRV480 *h, uint32_t chMask, uint32_t *okChMask)
{
    std::vector<double> mean;
    std::vector<uint8_t> ok;
    uint32_t wanted = 0;
    if (const INT st = measure(h, GRV480_MEAS_MODE_SCALE_TARE, chMask, okChMask, &mean, &ok, &wanted))
        return st;
    uint32_t good = 0;
    for (uint32_t i = 0; i < h->cfg.logicalChannelCount; ++i) {
        const unsigned ch = h->cfg.logicalChannels[i].channelIndex;
        if (!(wanted & (1u << ch)) || !ok[ch])
            continue;
        const double expected = grv480::kCalFraction * grv480::rangeFullScaleV(h->cfg.logicalChannels[i].rangeCode);
        const double k = expected / mean[ch];
        if (!std::isfinite(k) || k < 0.5 || k > 2.0)
            continue;   // not the calibration voltage: the input is not connected properly
        h->tare[ch].scaleCoef = k;
        h->tare[ch].scaleValid = 1;
        good |= 1u << ch;
    }
    return finish(wanted, good, okChMask);
}

} // extern "C"
