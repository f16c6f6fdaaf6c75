// Limits of a channel on a sequence of block values: hysteresis on the way
// back, the number of blocks a violation must last, and limits refused for
// their order or their numbers.
#include "channellimits.h"

#include <QtTest>

#include <limits>

Q_DECLARE_METATYPE(ChannelLimits)

namespace {

ChannelLimits limits(double warnLow, double warnHigh, double alarmLow, double alarmHigh,
                     double hysteresis, int hold)
{
    ChannelLimits l;
    const double v[] = {warnLow, warnHigh, alarmLow, alarmHigh};
    for (int i = 0; i < ChannelLimits::Count; ++i) {
        l.on[i] = !std::isnan(v[i]);
        l.value[i] = l.on[i] ? v[i] : 0.0;
    }
    l.hysteresis = hysteresis;
    l.holdBlocks = hold;
    return l;
}

const double Off = std::numeric_limits<double>::quiet_NaN();

// "N" normal, "W+"/"W-" warning high/low, "A+"/"A-" alarm high/low.
QString code(LimitMonitor::State s)
{
    if (s.level == LimitMonitor::Normal)
        return QStringLiteral("N");
    return QString(s.level == LimitMonitor::Warning ? QLatin1Char('W') : QLatin1Char('A')) +
           (s.side == LimitMonitor::High ? QLatin1Char('+') : QLatin1Char('-'));
}

} // namespace

class tst_ChannelLimits : public QObject
{
    Q_OBJECT

private slots:
    void sequence_data();
    void sequence();
    void refused_data();
    void refused();
    void text();
};

void tst_ChannelLimits::sequence_data()
{
    QTest::addColumn<ChannelLimits>("lim");
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<QString>("states");

    const ChannelLimits all = limits(-10, 10, -20, 20, 1, 1);
    QTest::newRow("no hysteresis needed to enter")
        << all << QVector<double>{0, 10, 10.01, 20.5, 0} << "N N W+ A+ N";
    QTest::newRow("hysteresis on the way back")
        << all << QVector<double>{11, 9.5, 9.01, 9.0} << "W+ W+ W+ N";
    QTest::newRow("alarm falls back to warning inside its hysteresis")
        << all << QVector<double>{21, 19.5, 19.01, 19, 9.2, 8.99} << "A+ A+ A+ W+ W+ N";
    QTest::newRow("low side mirrors the high one")
        << all << QVector<double>{-10.5, -9.5, -8.5, -25, -19.5, -18} << "W- W- N A- A- W-";
    QTest::newRow("a not-a-number block keeps the state")
        << all << QVector<double>{15, Off, 0} << "W+ W+ N";
    QTest::newRow("jump from high alarm to low alarm")
        << all << QVector<double>{30, -30} << "A+ A-";

    const ChannelLimits held = limits(-10, 10, -20, 20, 0, 3);
    QTest::newRow("violation must last three blocks")
        << held << QVector<double>{11, 11, 11, 11} << "N N W+ W+";
    QTest::newRow("a short violation is forgotten")
        << held << QVector<double>{11, 11, 0, 11, 11, 0} << "N N N N N N";
    QTest::newRow("warning, then alarm: the run counts, its last level is taken")
        << held << QVector<double>{11, 25, 25, 25} << "N N A+ A+";
    QTest::newRow("coming back needs no hold")
        << held << QVector<double>{25, 25, 25, 0} << "N N A+ N";
    QTest::newRow("escalation from warning is held as well")
        << held << QVector<double>{11, 11, 11, 25, 25, 25} << "N N W+ W+ W+ A+";

    QTest::newRow("only a high alarm") << limits(Off, Off, Off, 5, 0.5, 1)
                                       << QVector<double>{-1e9, 5, 5.1, 4.6, 4.4} << "N N A+ A+ N";
    QTest::newRow("no limit at all") << ChannelLimits() << QVector<double>{1e300, -1e300} << "N N";
}

void tst_ChannelLimits::sequence()
{
    QFETCH(ChannelLimits, lim);
    QFETCH(QVector<double>, values);
    QFETCH(QString, states);
    QVERIFY2(lim.problem().isEmpty(), qPrintable(lim.problem()));
    LimitMonitor m;
    m.setLimits(lim);
    QStringList got;
    for (double v : values)
        got << code(m.update(v));
    QCOMPARE(got.join(QLatin1Char(' ')), states);
}

void tst_ChannelLimits::refused_data()
{
    QTest::addColumn<ChannelLimits>("lim");
    QTest::addColumn<QString>("problem");

    QTest::newRow("warning above alarm")
        << limits(Off, 30, Off, 20, 0, 1)
        << "верхний предел предупреждения (30) должен быть меньше, чем верхний предел аварии";
    QTest::newRow("low above high") << limits(5, 5, Off, Off, 0, 1) << "неверном порядке";
    QTest::newRow("alarm low above warning high")
        << limits(Off, 1, 2, Off, 0, 1) << "нижний предел аварии";
    QTest::newRow("infinite limit")
        << limits(Off, std::numeric_limits<double>::infinity(), Off, Off, 0, 1) << "конечное";
    QTest::newRow("absurd limit") << limits(Off, 1e13, Off, Off, 0, 1) << "1e12";
    QTest::newRow("negative hysteresis") << limits(0, 1, Off, Off, -0.1, 1) << "Гистерезис";
    QTest::newRow("NaN hysteresis") << limits(0, 1, Off, Off, Off, 1) << "Гистерезис";
    QTest::newRow("hold of zero blocks") << limits(0, 1, Off, Off, 0, 0) << "Число блоков";
    QTest::newRow("hold beyond the bound")
        << limits(0, 1, Off, Off, 0, ChannelLimits::MaxHoldBlocks + 1) << "Число блоков";
}

void tst_ChannelLimits::refused()
{
    QFETCH(ChannelLimits, lim);
    QFETCH(QString, problem);
    QVERIFY2(lim.problem().contains(problem), qPrintable(lim.problem()));
    QString why;
    ChannelLimits::fromText(lim.toText(), &why);
    QVERIFY(!why.isEmpty());
}

void tst_ChannelLimits::text()
{
    const ChannelLimits l = limits(-1.5, 2.25, Off, 1e6, 0.125, 7);
    QString why;
    QCOMPARE(ChannelLimits::fromText(l.toText(), &why), l);
    QVERIFY(why.isEmpty());
    QCOMPARE(ChannelLimits().toText(), QString());
    for (const char *bad : {"warn-high", "warn-high=x", "loud=3", "hold=2.5;warn-high=1"}) {
        ChannelLimits::fromText(QLatin1String(bad), &why);
        QVERIFY2(!why.isEmpty(), bad);
    }
}

QTEST_GUILESS_MAIN(tst_ChannelLimits)
#include "tst_channellimits.moc"
