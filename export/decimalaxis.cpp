#include "decimalaxis.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr int StepDigits = 15;
constexpr int MaxDecimals = 30; // no axis of this program has a finer step
// Powers of ten that a double holds exactly: a quotient by one of them is
// rounded once, to the double nearest to the exact decimal.
constexpr int MaxExactPower = 22;
constexpr __int128 MaxExactInteger = __int128(1) << 53;

double powerOfTen(int n)
{
    double p = 1.0;
    for (int i = 0; i < n; ++i)
        p *= 10.0;
    return p;
}

} // namespace

DecimalAxis::DecimalAxis(double step, int shift10)
    : binaryStep(step * std::pow(10.0, shift10))
{
    if (!std::isfinite(step))
        return;
    // d.dddddddddddddde±x: fifteen significant digits and the exponent
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(step),
                                   std::chars_format::scientific, StepDigits - 1);
    if (res.ec != std::errc())
        return;
    qint64 m = 0;
    const char *p = buf;
    for (; p < res.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            m = m * 10 + (*p - '0');
    }
    if (p == res.ptr)
        return;
    // The buffer is not terminated: the exponent is read within what to_chars wrote.
    const char *e = p + 1;
    if (e < res.ptr && *e == '+')
        ++e;
    int written = 0;
    if (std::from_chars(e, res.ptr, written).ptr != res.ptr)
        return;
    int exponent = written - (StepDigits - 1) + shift10; // of the last digit
    while (m != 0 && m % 10 == 0) {
        m /= 10;
        ++exponent;
    }
    for (; exponent > 0; --exponent) {
        if (m > std::numeric_limits<qint64>::max() / 10)
            return;
        m *= 10;
    }
    if (exponent < -MaxDecimals)
        return;
    mantissa = step < 0 ? -m : m;
    decimals = -exponent;
    exact = true;
}

void DecimalAxis::appendText(QByteArray &out, qint64 i) const
{
    if (!exact) {
        char buf[32];
        const auto res = std::to_chars(buf, buf + sizeof buf, double(i) * binaryStep);
        out.append(buf, int(res.ptr - buf));
        return;
    }
    __int128 v = __int128(i) * mantissa;
    if (v < 0) {
        out += '-';
        v = -v;
    }
    // digits, last first
    char digits[48];
    int n = 0;
    do {
        digits[n++] = char('0' + int(v % 10));
        v /= 10;
    } while (v != 0);
    int frac = decimals;
    int skip = 0; // trailing zeros of the fraction
    while (skip < frac && skip < n && digits[skip] == '0')
        ++skip;
    if (skip == n) // zero
        skip = frac;
    while (n <= frac)
        digits[n++] = '0';
    for (int d = n - 1; d >= frac; --d)
        out += digits[d];
    if (skip < frac) {
        out += '.';
        for (int d = frac - 1; d >= skip; --d)
            out += digits[d];
    }
}

QByteArray DecimalAxis::text(qint64 i) const
{
    QByteArray out;
    appendText(out, i);
    return out;
}

double DecimalAxis::value(qint64 i) const
{
    if (!exact)
        return double(i) * binaryStep;
    const __int128 v = __int128(i) * mantissa;
    if (decimals <= MaxExactPower && v < MaxExactInteger && v > -MaxExactInteger)
        return double(v) / powerOfTen(decimals);
    return std::strtod(text(i).constData(), nullptr);
}
