#include "resultrules.h"

#include "crbapi.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ResultRules {

namespace {
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
}

QColor channelColor(int channelIndex)
{
    // Mid-light colours, readable on white and on a dark background alike
    // (contrast at least 2.5:1 and 3.5:1), that stay apart also as seen with
    // the common colour-vision deficiencies (simulated protanopia, deuteranopia
    // and tritanopia): the first four are Okabe and Ito's, the others were
    // added one by one, each as far from those before it as could be found.
    // The channels used most, the first ones, differ most.
    static const QRgb colors[ChannelColorCount] = {
        0x0072b2, 0xd55e00, 0x009e73, 0xcc79a7, 0x9999ff, 0x995577, 0xaa4422, 0x8866ff,
        0x99aa55, 0x447744, 0xcc1199, 0x888844, 0x8811ff, 0x7788cc, 0xff6688, 0xdd8800,
    };
    const int n = ChannelColorCount;
    return QColor(colors[((channelIndex % n) + n) % n]);
}

int shortLedState(int uxState)
{
    switch (uxState) {
    case GRV480_MV_NOT_MEASURED:
        return LedGrey;
    case GRV480_MV_NO_VALUE:
        return LedOff;
    case GRV480_MV_OPEN:
    case GRV480_MV_UNDETERMINED:
        return LedBlue;
    case GRV480_MV_SHORT:
        return LedRed;
    default:
        return LedGreen;
    }
}

int openLedState(int uxState)
{
    switch (uxState) {
    case GRV480_MV_NOT_MEASURED:
        return LedGrey;
    case GRV480_MV_NO_VALUE:
        return LedOff;
    case GRV480_MV_UNDETERMINED:
        return LedBlue;
    case GRV480_MV_OPEN:
        return LedRed;
    default:
        return LedGreen;
    }
}

int conditionLedState(int state, bool pass)
{
    switch (state) {
    case GRV480_MV_NOT_MEASURED:
        return LedGrey;
    case GRV480_MV_NO_VALUE:
        return LedOff;
    case GRV480_MV_UNDETERMINED:
        return LedBlue;
    default:
        return pass ? LedGreen : LedRed;
    }
}

CellLook valueCellLook(int state, bool pass)
{
    if (state == GRV480_MV_NO_VALUE || (state == GRV480_MV_VALID && pass))
        return CellLook::Normal;
    if (state == GRV480_MV_NOT_MEASURED)
        return CellLook::NotMeasured;
    return CellLook::Alarm;
}

Udiff udiff(const TGRV480MeasValue &ux, const TGRV480MeasValue &uref, double rangeMv)
{
    Udiff d;
    d.value = ux;
    d.value.value = ux.value - uref.value;
    // A NaN difference fails the comparison and so never passes.
    d.pass = 3.0 * rangeMv > std::fabs(d.value.value * 1000.0);
    const bool keepState = ux.state == GRV480_MV_NOT_MEASURED || ux.state == GRV480_MV_NO_VALUE ||
                           (ux.state == GRV480_MV_VALID && uref.state == GRV480_MV_VALID);
    if (!keepState) {
        d.value.state = GRV480_MV_UNDETERMINED;
        d.value.valid = 0;
    }
    return d;
}

TGRV480MeasValue withValue(const TGRV480MeasValue &v, double value)
{
    TGRV480MeasValue r = v;
    r.value = value;
    return r;
}

double recommendedCurrent(double resistanceOhm, bool ch16ForUref)
{
    const double r = resistanceOhm;
    if (!std::isfinite(r) || r <= 0.0)
        return NaN;
    if (r >= 250.0)
        return 3.5 / r;
    if (r >= 100.0)
        return 2.5 / r;
    // Low resistances are limited by the power the channels may dissipate.
    const double n = ch16ForUref ? 16.0 : 17.0;
    return std::min({0.03, 2.5 / r, std::sqrt(1.1 / (n * r))});
}

RefFigures refFigures(double voltage, double currentA)
{
    if (!(currentA > 0.0) || !std::isfinite(currentA))
        return {NaN, NaN};
    return {voltage / currentA, voltage * currentA};
}

double bridgeResistance(double unegV, double urefV, double currentA)
{
    if (!(currentA > 0.0) || !std::isfinite(currentA))
        return NaN;
    return (unegV + urefV) / currentA;
}

QString formatFixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return QString();
    return QLocale().toString(value, 'f', decimals);
}

bool isLinkError(int err)
{
    switch (err) {
    case GRV480_ERR_CONNECT:
    case GRV480_ERR_TIMEOUT:
    case GRV480_ERR_CONNECTION_LOST:
    case GRV480_ERR_PROTOCOL:
    case GRV480_ERR_CRATE_NOT_FOUND:
    case GRV480_ERR_NO_MODULE:
    case CRB_ERR_CONNECT:
    case CRB_ERR_TIMEOUT:
    case CRB_ERR_CONNECTION_LOST:
    case CRB_ERR_PROTOCOL:
        return true;
    default:
        return false;
    }
}

} // namespace ResultRules
