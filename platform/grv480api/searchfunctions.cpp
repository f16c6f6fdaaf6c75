// Operations that need no module: frequency, filter and current searches and
// the logical tables of a configuration.
#include "grv480api.h"
#include "modulecore.h"

#include <cmath>
#include <cstring>

using namespace grv480;

extern "C" {

GRV480API_EXPORT INT GRV480_FindSyncFreqDiv(double freq, int32_t *div, double *resultFreq)
{
    if (std::isnan(freq))
        return GRV480_ERR_INVALID_PARAM;
    const int32_t d = nearestSyncDiv(freq);
    if (div)
        *div = d;
    if (resultFreq)
        *resultFreq = syncDivFreq(d);
    return freq > 0 ? GRV480_OK : GRV480_ERR_INVALID_PARAM;
}

GRV480API_EXPORT INT GRV480_FindFilterParams(INT singleCh, double adcFreq, double swTimeUs,
                                             TGRV480FilterParams *params, double *swTimeResultUs)
{
    if (!(adcFreq > 0) || !std::isfinite(adcFreq))
        return GRV480_ERR_INVALID_PARAM;
    TGRV480FilterParams p;
    double sw = 0;
    autoFilter(singleCh != 0, adcFreq, swTimeUs, &p, &sw);
    if (params)
        *params = p;
    if (swTimeResultUs)
        *swTimeResultUs = sw;
    return GRV480_OK;
}

GRV480API_EXPORT INT GRV480_GetFilterOutParams(INT singleCh, INT type, INT odrSelector,
                                               TGRV480FilterParams *params)
{
    int32_t err = 0;
    TGRV480FilterParams p;
    if (!filterParams(singleCh != 0, type, odrSelector, &p, &err))
        return err;
    if (params)
        *params = p;
    return GRV480_OK;
}

GRV480API_EXPORT INT GRV480_FindISrcCode(TGRV480 *, double valueMa, int32_t *code, double *resultMa)
{
    if (std::isnan(valueMa))
        return GRV480_ERR_INVALID_PARAM;
    const int32_t c = nearestISrcCode(valueMa);
    if (code)
        *code = c;
    if (resultMa)
        *resultMa = iSrcCodeMa(c);
    return (valueMa >= 0 && valueMa <= kISrcMaxCode * kISrcStepMa + kISrcStepMa / 2)
               ? GRV480_OK : GRV480_ERR_INVALID_PARAM;
}

GRV480API_EXPORT INT GRV480_CalcISrcValue(TGRV480 *, int32_t code, double *valueMa)
{
    if (code < 0 || code > kISrcMaxCode)
        return GRV480_ERR_CFG_ISRC_CODE;
    if (valueMa)
        *valueMa = iSrcCodeMa(code);
    return GRV480_OK;
}

GRV480API_EXPORT INT GRV480_FillRawTables(const TGRV480ModuleInfo *, const TGRV480Config *cfg,
                                          TGRV480RawTables *raw)
{
    if (!cfg || !raw)
        return GRV480_ERR_INVALID_PARAM;
    Tables t;
    const int32_t err = buildTables(*cfg, &t, true);
    if (err)
        return err;
    std::memcpy(raw, &t.raw, sizeof *raw);
    return GRV480_OK;
}

} // extern "C"
