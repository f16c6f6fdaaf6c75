#include "channellimits.h"

#include "scaling.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

#include <cmath>

namespace {

const char *const Keys[ChannelLimits::Count] = {"warn-low", "warn-high", "alarm-low", "alarm-high"};

QString limitName(int which)
{
    switch (which) {
    case ChannelLimits::WarnLow:
        return ChannelLimits::tr("нижний предел предупреждения");
    case ChannelLimits::WarnHigh:
        return ChannelLimits::tr("верхний предел предупреждения");
    case ChannelLimits::AlarmLow:
        return ChannelLimits::tr("нижний предел аварии");
    default:
        return ChannelLimits::tr("верхний предел аварии");
    }
}

bool sane(double v)
{
    return std::isfinite(v) && std::fabs(v) <= Scaling::AbsurdMagnitude;
}

} // namespace

QString ChannelLimits::problem() const
{
    for (int i = 0; i < Count; ++i) {
        if (on[i] && !sane(value[i]))
            return tr("%1: нужно конечное число не больше 1e12 по модулю").arg(limitName(i));
    }
    if (!sane(hysteresis) || hysteresis < 0)
        return tr("Гистерезис должен быть неотрицательным конечным числом");
    if (holdBlocks < 1 || holdBlocks > MaxHoldBlocks)
        return tr("Число блоков должно быть от 1 до %1").arg(MaxHoldBlocks);
    // From below to above: every pair that is on must be in this order.
    const int order[] = {AlarmLow, WarnLow, WarnHigh, AlarmHigh};
    for (int a = 0; a < 4; ++a) {
        for (int b = a + 1; b < 4; ++b) {
            const int lo = order[a];
            const int hi = order[b];
            if (on[lo] && on[hi] && !(value[lo] < value[hi]))
                return tr("Пределы в неверном порядке: %1 (%2) должен быть меньше, чем %3 (%4)")
                    .arg(limitName(lo), QLocale().toString(value[lo]), limitName(hi),
                         QLocale().toString(value[hi]));
        }
    }
    return QString();
}

QString ChannelLimits::toText() const
{
    if (!isActive())
        return QString();
    QStringList parts;
    for (int i = 0; i < Count; ++i) {
        if (on[i])
            parts << QLatin1String(Keys[i]) + QLatin1Char('=') + plainNumber(value[i]);
    }
    parts << QStringLiteral("hyst=") + plainNumber(hysteresis);
    parts << QStringLiteral("hold=") + QString::number(holdBlocks);
    return parts.join(QLatin1Char(';'));
}

ChannelLimits ChannelLimits::fromText(const QString &text, QString *error)
{
    ChannelLimits l;
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return ChannelLimits();
    };
    if (text.trimmed().isEmpty())
        return l;
    for (const QString &part : text.split(QLatin1Char(';'))) {
        const int eq = part.indexOf(QLatin1Char('='));
        const QString key = part.left(eq).trimmed();
        bool ok = eq > 0;
        const double v = QLocale::c().toDouble(part.mid(eq + 1).trimmed(), &ok);
        if (eq <= 0 || !ok)
            return fail(tr("Непонятная запись пределов «%1»").arg(part.left(40)));
        bool known = false;
        for (int i = 0; i < Count; ++i) {
            if (key == QLatin1String(Keys[i])) {
                l.on[i] = true;
                l.value[i] = v;
                known = true;
            }
        }
        if (key == QLatin1String("hyst")) {
            l.hysteresis = v;
        } else if (key == QLatin1String("hold")) {
            if (v != std::trunc(v) || std::fabs(v) > MaxHoldBlocks + 1.0)
                return fail(tr("Число блоков должно быть от 1 до %1").arg(MaxHoldBlocks));
            l.holdBlocks = int(v);
        } else if (!known) {
            return fail(tr("Непонятная запись пределов «%1»").arg(part.left(40)));
        }
    }
    const QString why = l.problem();
    if (!why.isEmpty())
        return fail(why);
    return l;
}

bool ChannelLimits::operator==(const ChannelLimits &o) const
{
    for (int i = 0; i < Count; ++i) {
        if (on[i] != o.on[i] || (on[i] && value[i] != o.value[i]))
            return false;
    }
    return hysteresis == o.hysteresis && holdBlocks == o.holdBlocks;
}

void LimitMonitor::setLimits(const ChannelLimits &limits)
{
    lim = limits;
    reset();
}

void LimitMonitor::reset()
{
    st = State();
    pendingBlocks = 0;
}

LimitMonitor::State LimitMonitor::levelOf(double v) const
{
    using L = ChannelLimits;
    const double h = lim.hysteresis;
    // Once beyond a limit, the value must come back by the hysteresis to leave it.
    auto beyondHigh = [&](int which, Level level) {
        return lim.on[which] && (v > lim.value[which] || (st.level >= level && st.side == High &&
                                                          v > lim.value[which] - h));
    };
    auto beyondLow = [&](int which, Level level) {
        return lim.on[which] && (v < lim.value[which] ||
                                 (st.level >= level && st.side == Low && v < lim.value[which] + h));
    };
    if (beyondHigh(L::AlarmHigh, Alarm))
        return {Alarm, High};
    if (beyondLow(L::AlarmLow, Alarm))
        return {Alarm, Low};
    if (beyondHigh(L::WarnHigh, Warning))
        return {Warning, High};
    if (beyondLow(L::WarnLow, Warning))
        return {Warning, Low};
    return {};
}

LimitMonitor::State LimitMonitor::update(double value)
{
    if (!std::isfinite(value))
        return st;
    const State next = levelOf(value);
    if (next == st) {
        pendingBlocks = 0;
    } else if (next.level < st.level) {
        // Coming back is taken at once; only a violation has to last.
        st = next;
        pendingBlocks = 0;
    } else if (++pendingBlocks >= lim.holdBlocks) {
        st = next;
        pendingBlocks = 0;
    }
    return st;
}
