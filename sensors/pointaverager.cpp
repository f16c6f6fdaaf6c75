#include "pointaverager.h"

#include <QtGlobal>

#include <cmath>

void PointAverager::start(int blocks)
{
    want = qMax(0, blocks);
    values.clear();
    values.reserve(want);
}

bool PointAverager::add(double dcMv)
{
    if (!isRunning())
        return isDone();
    if (std::isfinite(dcMv))
        values.append(dcMv);
    return isDone();
}

double PointAverager::mean() const
{
    if (values.isEmpty())
        return qQNaN();
    double sum = 0;
    for (double v : values)
        sum += v;
    return sum / values.size();
}

double PointAverager::spread() const
{
    if (values.size() < 2)
        return values.isEmpty() ? qQNaN() : 0.0;
    const double m = mean();
    double sum = 0;
    for (double v : values)
        sum += (v - m) * (v - m);
    return std::sqrt(sum / (values.size() - 1));
}
