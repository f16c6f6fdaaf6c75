#ifndef CHANNELLIMITS_H
#define CHANNELLIMITS_H

#include <QCoreApplication>
#include <QString>

// Warning and alarm limits of one channel, low and high, each optional, in
// the channel's unit (mV without a sensor). A value must come back inside a
// limit by the hysteresis before the limit counts as left, and a violation
// must last holdBlocks blocks before it counts.
struct ChannelLimits
{
    enum Which { WarnLow, WarnHigh, AlarmLow, AlarmHigh, Count };

    bool on[Count] = {};
    double value[Count] = {};
    double hysteresis = 0;
    int holdBlocks = 1;

    static constexpr int MaxHoldBlocks = 10000;

    bool isActive() const { return on[WarnLow] || on[WarnHigh] || on[AlarmLow] || on[AlarmHigh]; }
    // Empty when the limits can be used, otherwise what is wrong with them.
    QString problem() const;

    // "warn-low=1;alarm-high=5;hyst=0.1;hold=3" in the C locale; empty when
    // no limit is on.
    QString toText() const;
    static ChannelLimits fromText(const QString &text, QString *error);

    bool operator==(const ChannelLimits &o) const;
    bool operator!=(const ChannelLimits &o) const { return !(*this == o); }

    Q_DECLARE_TR_FUNCTIONS(ChannelLimits)
};

// The state of a channel against its limits, block by block.
class LimitMonitor
{
public:
    enum Level { Normal, Warning, Alarm };
    enum Side { None, Low, High };

    struct State
    {
        Level level = Normal;
        Side side = None;
        bool operator==(const State &o) const { return level == o.level && side == o.side; }
        bool operator!=(const State &o) const { return !(*this == o); }
    };

    void setLimits(const ChannelLimits &limits);
    const ChannelLimits &limits() const { return lim; }
    void reset();

    // One block's value; returns the state after it. A value that is not a
    // number leaves the state as it is.
    State update(double value);
    State state() const { return st; }

private:
    State levelOf(double value) const;

    ChannelLimits lim;
    State st;
    int pendingBlocks = 0;
};

#endif // CHANNELLIMITS_H
