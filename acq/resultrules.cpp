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

Qt::GlobalColor channelColor(int row)
{
    static const Qt::GlobalColor colors[] = {Qt::blue,     Qt::red,        Qt::darkGreen,
                                             Qt::magenta,  Qt::darkCyan,   Qt::darkYellow,
                                             Qt::darkGray, Qt::black};
    const int n = int(sizeof(colors) / sizeof(colors[0]));
    return colors[((row % n) + n) % n];
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
    const bool keepState = ux.state == GRV480_MV_NOT_MEASURED || ux.state == GRV480_MV_NO_VALUE
            || (ux.state == GRV480_MV_VALID && uref.state == GRV480_MV_VALID);
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
