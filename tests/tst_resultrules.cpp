#include "resultrules.h"

#include <QLocale>
#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace ResultRules;

namespace {

TGRV480MeasValue mv(int state, double value, bool valid = true)
{
    TGRV480MeasValue v{};
    v.state = quint8(state);
    v.valid = valid ? 1 : 0;
    v.value = value;
    return v;
}

} // namespace

class tst_ResultRules : public QObject
{
    Q_OBJECT

private slots:
    void recommendedCurrent_data();
    void recommendedCurrent();
    void recommendedCurrentFromMeasurements();
    void refFiguresWithoutCurrent_data();
    void refFiguresWithoutCurrent();
    void udiff_data();
    void udiff();
    void lineLeds_data();
    void lineLeds();
    void conditionLed_data();
    void conditionLed();
    void cellLook_data();
    void cellLook();
    void channelColors_data();
    void channelColors();
    void formatFixed_data();
    void formatFixed();
};

void tst_ResultRules::recommendedCurrent_data()
{
    QTest::addColumn<double>("ohms");
    QTest::addColumn<bool>("ch16ForUref");
    QTest::addColumn<double>("expectedMa"); // NaN: no recommendation

    QTest::newRow("1 kOhm") << 1000.0 << false << 3.5;
    QTest::newRow("250 Ohm, upper rule") << 250.0 << false << 14.0;
    QTest::newRow("just below 250 Ohm") << 249.999 << false << 2.5 / 249.999 * 1000.0;
    QTest::newRow("100 Ohm, middle rule") << 100.0 << false << 25.0;
    QTest::newRow("90 Ohm, 17 channels") << 90.0 << false << 26.813;
    QTest::newRow("90 Ohm, 16 channels") << 90.0 << true << 27.639;
    QTest::newRow("10 Ohm, limit") << 10.0 << false << 30.0;
    QTest::newRow("zero") << 0.0 << false << qQNaN();
    QTest::newRow("negative") << -50.0 << false << qQNaN();
    QTest::newRow("infinite") << qInf() << false << qQNaN();
    QTest::newRow("NaN") << qQNaN() << false << qQNaN();
}

void tst_ResultRules::recommendedCurrent()
{
    QFETCH(double, ohms);
    QFETCH(bool, ch16ForUref);
    QFETCH(double, expectedMa);

    const double ma = ResultRules::recommendedCurrent(ohms, ch16ForUref) * 1000.0;
    if (std::isnan(expectedMa)) {
        QVERIFY2(std::isnan(ma), qPrintable(QString::number(ma)));
        QCOMPARE(ResultRules::formatFixed(ma, 3), QString());
    } else {
        QVERIFY2(std::fabs(ma - expectedMa) < 5e-4, qPrintable(QString::number(ma, 'f', 6)));
    }
}

void tst_ResultRules::recommendedCurrentFromMeasurements()
{
    // U- 0.78125 V and Uref 3.125 V at 15.625 mA: R = 250 Ohm exactly (binary
    // fractions), shown as 14 mA with the locale's decimal separator.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const double current = 0.015625;
    const double r = bridgeResistance(0.78125, 3.125, current);
    QCOMPARE(r, 250.0);
    QCOMPARE(ResultRules::formatFixed(ResultRules::recommendedCurrent(r, false) * 1000.0, 3),
             QStringLiteral("14,000"));
    QLocale::setDefault(QLocale::c());
}

void tst_ResultRules::refFiguresWithoutCurrent_data()
{
    QTest::addColumn<double>("currentA");
    QTest::addColumn<bool>("defined");

    QTest::newRow("25 mA") << 0.025 << true;
    QTest::newRow("0 mA") << 0.0 << false;
    QTest::newRow("negative") << -0.01 << false;
    QTest::newRow("NaN") << qQNaN() << false;
    QTest::newRow("infinite") << qInf() << false;
}

void tst_ResultRules::refFiguresWithoutCurrent()
{
    QFETCH(double, currentA);
    QFETCH(bool, defined);

    const RefFigures ref = refFigures(2.5, currentA);
    const double r = bridgeResistance(0.1, 2.5, currentA);
    if (defined) {
        QCOMPARE(ref.resistance, 100.0);
        QCOMPARE(ref.power, 2.5 * 0.025);
        QCOMPARE(r, 104.0);
    } else {
        // None of these may reach a cell as inf or nan.
        QVERIFY(std::isnan(ref.resistance));
        QVERIFY(std::isnan(ref.power));
        QVERIFY(std::isnan(r));
        QVERIFY(std::isnan(ResultRules::recommendedCurrent(r, false)));
    }
}

void tst_ResultRules::udiff_data()
{
    QTest::addColumn<int>("uxState");
    QTest::addColumn<double>("ux");
    QTest::addColumn<int>("urefState");
    QTest::addColumn<double>("uref");
    QTest::addColumn<double>("rangeMv");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("pass");
    QTest::addColumn<int>("led");

    QTest::newRow("both valid, small")
        << 1 << 2.51 << 1 << 2.5 << 35.0 << 1 << true << true << int(LedGreen);
    QTest::newRow("0.2 V on 35 mV")
        << 1 << 2.7 << 1 << 2.5 << 35.0 << 1 << true << false << int(LedRed);
    QTest::newRow("-0.2 V on 70 mV")
        << 1 << 2.3 << 1 << 2.5 << 70.0 << 1 << true << true << int(LedGreen);
    QTest::newRow("just above 105 mV")
        << 1 << 0.106 << 1 << 0.0 << 35.0 << 1 << true << false << int(LedRed);
    QTest::newRow("just below 105 mV")
        << 1 << 0.104 << 1 << 0.0 << 35.0 << 1 << true << true << int(LedGreen);
    QTest::newRow("uref faulty") << 1 << 2.51 << 3 << 2.5 << 35.0 << 7 << false << true
                                 << int(LedBlue);
    QTest::newRow("uref no value yet")
        << 1 << 2.51 << 2 << 2.5 << 35.0 << 7 << false << true << int(LedBlue);
    QTest::newRow("ux not measured")
        << 0 << 0.0 << 1 << 2.5 << 35.0 << 0 << true << false << int(LedGrey);
    QTest::newRow("ux no value yet")
        << 2 << 0.0 << 3 << 2.5 << 35.0 << 2 << true << false << int(LedOff);
    QTest::newRow("ux open") << 5 << 2.51 << 1 << 2.5 << 35.0 << 7 << false << true << int(LedBlue);
    QTest::newRow("ux short") << 4 << 2.51 << 1 << 2.5 << 35.0 << 7 << false << true
                              << int(LedBlue);
    QTest::newRow("ux NaN never passes")
        << 1 << qQNaN() << 1 << 2.5 << 35.0 << 1 << true << false << int(LedRed);
}

void tst_ResultRules::udiff()
{
    QFETCH(int, uxState);
    QFETCH(double, ux);
    QFETCH(int, urefState);
    QFETCH(double, uref);
    QFETCH(double, rangeMv);
    QFETCH(int, state);
    QFETCH(bool, valid);
    QFETCH(bool, pass);
    QFETCH(int, led);

    const Udiff d = ResultRules::udiff(mv(uxState, ux), mv(urefState, uref), rangeMv);
    QCOMPARE(int(d.value.state), state);
    QCOMPARE(d.value.valid != 0, valid);
    QCOMPARE(d.pass, pass);
    QCOMPARE(conditionLedState(d.value.state, d.pass), led);
    if (valid && !std::isnan(ux))
        QCOMPARE(d.value.value, ux - uref);

    // The working bounds share Udiff's state and validity.
    const TGRV480MeasValue bound = withValue(d.value, -1.25);
    QCOMPARE(bound.state, d.value.state);
    QCOMPARE(bound.valid, d.value.valid);
    QCOMPARE(bound.value, -1.25);
}

void tst_ResultRules::lineLeds_data()
{
    QTest::addColumn<int>("uxState");
    QTest::addColumn<int>("shortLed");
    QTest::addColumn<int>("openLed");

    QTest::newRow("0 not measured") << 0 << int(LedGrey) << int(LedGrey);
    QTest::newRow("1 valid") << 1 << int(LedGreen) << int(LedGreen);
    QTest::newRow("2 no value") << 2 << int(LedOff) << int(LedOff);
    QTest::newRow("3 fault") << 3 << int(LedGreen) << int(LedGreen);
    QTest::newRow("4 short") << 4 << int(LedRed) << int(LedGreen);
    QTest::newRow("5 open") << 5 << int(LedBlue) << int(LedRed);
    QTest::newRow("6 violated") << 6 << int(LedGreen) << int(LedGreen);
    QTest::newRow("7 undetermined") << 7 << int(LedBlue) << int(LedBlue);
}

void tst_ResultRules::lineLeds()
{
    QFETCH(int, uxState);
    QFETCH(int, shortLed);
    QFETCH(int, openLed);

    QCOMPARE(shortLedState(uxState), shortLed);
    QCOMPARE(openLedState(uxState), openLed);
}

void tst_ResultRules::conditionLed_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("pass");
    QTest::addColumn<int>("led");

    QTest::newRow("0") << 0 << true << int(LedGrey);
    QTest::newRow("1 pass") << 1 << true << int(LedGreen);
    QTest::newRow("1 fail") << 1 << false << int(LedRed);
    QTest::newRow("2") << 2 << false << int(LedOff);
    QTest::newRow("3 pass") << 3 << true << int(LedGreen);
    QTest::newRow("6 ucm violated") << 6 << false << int(LedRed);
    QTest::newRow("7") << 7 << true << int(LedBlue);
}

void tst_ResultRules::conditionLed()
{
    QFETCH(int, state);
    QFETCH(bool, pass);
    QFETCH(int, led);
    QCOMPARE(conditionLedState(state, pass), led);
}

void tst_ResultRules::cellLook_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("pass");
    QTest::addColumn<int>("look");

    QTest::newRow("valid, pass") << 1 << true << int(CellLook::Normal);
    QTest::newRow("valid, fail") << 1 << false << int(CellLook::Alarm);
    QTest::newRow("no value yet") << 2 << false << int(CellLook::Normal);
    QTest::newRow("not measured") << 0 << true << int(CellLook::NotMeasured);
    QTest::newRow("fault") << 3 << true << int(CellLook::Alarm);
    QTest::newRow("short") << 4 << true << int(CellLook::Alarm);
    QTest::newRow("undetermined") << 7 << true << int(CellLook::Alarm);
}

void tst_ResultRules::cellLook()
{
    QFETCH(int, state);
    QFETCH(bool, pass);
    QFETCH(int, look);
    QCOMPARE(int(valueCellLook(state, pass)), look);
}

namespace {

double linear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// CIELAB (D65) of linear RGB.
QVector<double> lab(double r, double g, double b)
{
    const double x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883;
    const auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; };
    return {116.0 * f(y) - 16.0, 500.0 * (f(x) - f(y)), 200.0 * (f(y) - f(z))};
}

// A colour as seen with a full colour-vision deficiency, after Machado,
// Oliveira and Fernandes (2009); the identity for normal vision.
QVector<double> seen(const QColor &c, const double m[3][3])
{
    const double in[3] = {linear(c.redF()), linear(c.greenF()), linear(c.blueF())};
    double out[3];
    for (int i = 0; i < 3; ++i)
        out[i] = qBound(0.0, m[i][0] * in[0] + m[i][1] * in[1] + m[i][2] * in[2], 1.0);
    return lab(out[0], out[1], out[2]);
}

double contrast(const QColor &a, const QColor &b)
{
    const auto lum = [](const QColor &c) {
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = lum(a), lb = lum(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

void tst_ResultRules::channelColors_data()
{
    QTest::addColumn<QVector<double>>("matrix");
    QTest::newRow("normal vision") << QVector<double>{1, 0, 0, 0, 1, 0, 0, 0, 1};
    QTest::newRow("protanopia") << QVector<double>{0.152286,  1.052583,  -0.204868,
                                                   0.114503,  0.786281,  0.099216,
                                                   -0.003882, -0.048116, 1.051998};
    QTest::newRow("deuteranopia") << QVector<double>{
        0.367322, 0.860646, -0.227968, 0.280085, 0.672501, 0.047413, -0.011820, 0.042940, 0.968881};
    QTest::newRow("tritanopia") << QVector<double>{1.255528,  -0.076749, -0.178779,
                                                   -0.078411, 0.930809,  0.147602,
                                                   0.004733,  0.691367,  0.303900};
}

// Sixteen colours that stay apart as seen (CIELAB distance at least 10, where
// 2 is about the least a viewer notices side by side) and read on a white and
// on a black background.
void tst_ResultRules::channelColors()
{
    QFETCH(QVector<double>, matrix);
    double m[3][3];
    for (int i = 0; i < 9; ++i)
        m[i / 3][i % 3] = matrix.at(i);
    for (int a = 0; a < ChannelColorCount; ++a) {
        const QColor ca = channelColor(a);
        QVERIFY2(contrast(ca, Qt::white) >= 2.5, qPrintable(ca.name()));
        QVERIFY2(contrast(ca, Qt::black) >= 3.5, qPrintable(ca.name()));
        for (int b = a + 1; b < ChannelColorCount; ++b) {
            const QVector<double> la = seen(ca, m);
            const QVector<double> lb = seen(channelColor(b), m);
            const double d = std::hypot(la[0] - lb[0], la[1] - lb[1], la[2] - lb[2]);
            QVERIFY2(
                d >= 10.0,
                qPrintable(QStringLiteral("channels %1 and %2: %3").arg(a + 1).arg(b + 1).arg(d)));
        }
    }
    // Indexes beyond the sixteen wrap around rather than fail.
    QCOMPARE(channelColor(16), channelColor(0));
    QCOMPARE(channelColor(-1), channelColor(15));
}

void tst_ResultRules::formatFixed_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");

    QTest::newRow("six decimals") << -1.5 << 6 << QStringLiteral("-1.500000");
    QTest::newRow("rounding") << 26.81293 << 3 << QStringLiteral("26.813");
    QTest::newRow("inf") << qInf() << 3 << QString();
    QTest::newRow("-inf") << -qInf() << 3 << QString();
    QTest::newRow("nan") << qQNaN() << 2 << QString();
}

void tst_ResultRules::formatFixed()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(ResultRules::formatFixed(value, decimals), text);
}

QTEST_APPLESS_MAIN(tst_ResultRules)
#include "tst_resultrules.moc"
