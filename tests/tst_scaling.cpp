// Scaling of a channel's mV into a sensor's unit: the three kinds, the
// extension beyond a table, the refusal of scalings that cannot be applied,
// and the text form that configuration files carry.
#include "scaling.h"

#include <QtTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(Scaling)

namespace {
const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

class tst_Scaling : public QObject
{
    Q_OBJECT

private slots:
    void apply_data();
    void apply();
    void invalid_data();
    void invalid();
    void text_data();
    void text();
};

void tst_Scaling::apply_data()
{
    QTest::addColumn<Scaling>("scaling");
    QTest::addColumn<double>("mv");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("outOfRange");
    QTest::addColumn<double>("slope");

    const Scaling lin = Scaling::linear(2.5, -1);
    QTest::newRow("linear") << lin << 2.0 << 4.0 << false << 2.5;
    QTest::newRow("linear, far out") << lin << -1e6 << -2500001.0 << false << 2.5;
    const Scaling two = Scaling::twoPoint({1, 10}, {3, 30});
    QTest::newRow("two points, between") << two << 2.0 << 20.0 << false << 10.0;
    QTest::newRow("two points, beyond") << two << 5.0 << 50.0 << false << 10.0;
    const Scaling twoDown = Scaling::twoPoint({3, 0}, {1, 100});
    QTest::newRow("two points, given downwards") << twoDown << 2.0 << 50.0 << false << -50.0;
    const Scaling table = Scaling::table({{0, 0}, {1, 10}, {3, 50}});
    QTest::newRow("table, first point") << table << 0.0 << 0.0 << false << 10.0;
    QTest::newRow("table, first segment") << table << 0.5 << 5.0 << false << 10.0;
    QTest::newRow("table, inner point") << table << 1.0 << 10.0 << false << 10.0;
    QTest::newRow("table, second segment") << table << 2.0 << 30.0 << false << 20.0;
    QTest::newRow("table, last point") << table << 3.0 << 50.0 << false << 20.0;
    QTest::newRow("table, below: first segment extended") << table << -1.0 << -10.0 << true << 10.0;
    QTest::newRow("table, above: last segment extended") << table << 4.0 << 70.0 << true << 20.0;
    QTest::newRow("mv not a number") << lin << NaN << NaN << false << 2.5;
    QTest::newRow("invalid scaling gives no value")
        << Scaling::linear(0, 1) << 1.0 << NaN << false << NaN;
}

void tst_Scaling::apply()
{
    QFETCH(Scaling, scaling);
    QFETCH(double, mv);
    QFETCH(double, value);
    QFETCH(bool, outOfRange);
    QFETCH(double, slope);
    bool out = !outOfRange;
    const double v = scaling.apply(mv, &out);
    if (std::isnan(value))
        QVERIFY2(std::isnan(v), qPrintable(QString::number(v)));
    else
        QCOMPARE(v, value);
    QCOMPARE(out, outOfRange);
    if (std::isnan(slope))
        QVERIFY(std::isnan(scaling.slope(mv)));
    else
        QCOMPARE(scaling.slope(mv), slope);
}

void tst_Scaling::invalid_data()
{
    QTest::addColumn<Scaling>("scaling");
    QTest::addColumn<QString>("problem"); // a piece of the message

    QTest::newRow("nothing") << Scaling() << "не задана";
    QTest::newRow("zero factor") << Scaling::linear(0, 5) << "нулю";
    QTest::newRow("infinite factor") << Scaling::linear(Inf, 0) << "конечными";
    QTest::newRow("NaN offset") << Scaling::linear(1, NaN) << "конечными";
    QTest::newRow("absurd factor") << Scaling::linear(1e13, 0) << "1e12";
    QTest::newRow("two points, equal mV")
        << Scaling::twoPoint({1.5, 0}, {1.5, 10}) << "одинаковые значения в мВ";
    QTest::newRow("two points, equal values")
        << Scaling::twoPoint({1, 7}, {2, 7}) << "одинаковые значения в единицах";
    QTest::newRow("two points, NaN") << Scaling::twoPoint({NaN, 0}, {1, 1}) << "конечными";
    QTest::newRow("two points, slope too steep")
        << Scaling::twoPoint({0, -1e12}, {1e-12, 1e12}) << "коэффициент";
    QTest::newRow("table, one point") << Scaling::table({{0, 0}}) << "двух точек";
    QTest::newRow("table, mV falls") << Scaling::table({{0, 0}, {2, 1}, {1, 2}})
                                     << "Точка 3: значения в мВ должны строго возрастать";
    QTest::newRow("table, mV repeats")
        << Scaling::table({{0, 0}, {0, 1}}) << "Точка 2: значения в мВ должны строго возрастать";
    QTest::newRow("table, infinite value") << Scaling::table({{0, 0}, {1, -Inf}}) << "Точка 2";
    QTest::newRow("table, too many points")
        << Scaling::table(QVector<Scaling::Point>(Scaling::MaxTablePoints + 1)) << "больше";
}

void tst_Scaling::invalid()
{
    QFETCH(Scaling, scaling);
    QFETCH(QString, problem);
    QVERIFY(!scaling.isValid());
    QVERIFY2(scaling.problem().contains(problem), qPrintable(scaling.problem()));
    // The same refusal when the scaling comes as text, e.g. from a file.
    QString why;
    const Scaling back = Scaling::fromText(scaling.toText(), &why);
    QCOMPARE(back.kind(), Scaling::None);
    QVERIFY(!why.isEmpty());
}

void tst_Scaling::text_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("linear") << "linear;2.5;-0.1" << true;
    QTest::newRow("linear, shortest digits") << "linear;0.1;3.0000000000000004" << true;
    QTest::newRow("two points") << "two-point;0:0;1.5:100" << true;
    QTest::newRow("table") << "table;-1:-10;0:0;2.25:31.5" << true;
    QTest::newRow("unknown kind") << "cubic;1;2" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("linear, missing offset") << "linear;2.5" << false;
    QTest::newRow("linear, comma decimal") << "linear;2,5;0" << false;
    QTest::newRow("two points, three given") << "two-point;0:0;1:1;2:2" << false;
    QTest::newRow("table, pair without colon") << "table;0:0;1" << false;
    QTest::newRow("table, words") << "table;a:b;c:d" << false;
    QTest::newRow("linear, inf") << "linear;inf;0" << false;
}

void tst_Scaling::text()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QString why;
    const Scaling s = Scaling::fromText(text, &why);
    QCOMPARE(s.isValid(), valid);
    QCOMPARE(why.isEmpty(), valid);
    if (!valid)
        return;
    QCOMPARE(s.toText(), text);
    QCOMPARE(Scaling::fromText(s.toText()), s);
    QCOMPARE(Scaling::fromJson(s.toJson()), s);
}

QTEST_GUILESS_MAIN(tst_Scaling)
#include "tst_scaling.moc"
