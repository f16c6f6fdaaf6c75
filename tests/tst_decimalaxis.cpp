// Axes written from their decimal definition: index × step in decimal, the
// step taken at 15 significant digits, and the double nearest to that decimal.
#include "decimalaxis.h"

#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <limits>

class tst_DecimalAxis : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
};

void tst_DecimalAxis::values_data()
{
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("shift10");
    QTest::addColumn<qint64>("index");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("0.1 ms from 1e-4 s") << 1e-4 << 3 << qint64(33) << QByteArray("3.3");
    QTest::newRow("first point") << 1e-4 << 3 << qint64(0) << QByteArray("0");
    QTest::newRow("whole number") << 1e-4 << 3 << qint64(15000000) << QByteArray("1500000");
    QTest::newRow("leading zeros") << 1e-4 << 0 << qint64(7) << QByteArray("0.0007");
    QTest::newRow("trailing zeros dropped") << 0.25 << 0 << qint64(4) << QByteArray("1");
    QTest::newRow("noise in the step") << 0.1 + 0.2 << 0 << qint64(3) << QByteArray("0.9");
    QTest::newRow("step of 15 digits")
        << 10000.0 / 257 << 0 << qint64(257) << QByteArray("10000.0000000000063");
    QTest::newRow("beyond 2^53") << 0.123456789012345 << 0 << qint64(1000000000)
                                 << QByteArray("123456789.012345");
    QTest::newRow("step beyond 64 bits: binary") << 2e20 << 0 << qint64(3) << QByteArray("6e+20");
    QTest::newRow("negative step") << -0.25 << 0 << qint64(3) << QByteArray("-0.75");
    QTest::newRow("Hz from a fraction")
        << 20000.0 / 3 << 0 << qint64(3) << QByteArray("20000.00000000001");
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 0 << qint64(2)
                                  << QByteArray("nan");
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 0 << qint64(2)
                              << QByteArray("inf");
}

void tst_DecimalAxis::values()
{
    QFETCH(double, step);
    QFETCH(int, shift10);
    QFETCH(qint64, index);
    QFETCH(QByteArray, text);
    const DecimalAxis axis(step, shift10);
    QCOMPARE(axis.text(index), text);
    const double expected = std::strtod(text.constData(), nullptr);
    if (std::isnan(expected))
        QVERIFY(std::isnan(axis.value(index)));
    else
        QVERIFY2(axis.value(index) == expected, text.constData()); // the nearest double
}

QTEST_APPLESS_MAIN(tst_DecimalAxis)
#include "tst_decimalaxis.moc"
