// Cursor arithmetic: values between samples, levels at the nearest line, the
// read-out of a block and the dominant line with its harmonics.
#include "cursorreading.h"

#include <QtTest>

#include <cmath>

using ChResult = DataBlockProcessor::ChResult;
using namespace CursorReading;

namespace {

// 1 ms between samples: values 0, 10, 20, ... with a gap where asked.
ChResult ramp(int n, int gapAt = -1)
{
    ChResult c;
    c.sampleInterval = 0.001;
    for (int i = 0; i < n; ++i)
        c.values.append(i == gapAt ? qQNaN() : 10.0 * i);
    return c;
}

// Bins 10 Hz apart at -120 dB with lines of the given levels at given bins.
ChResult spectrum(int bins, const QVector<QPair<int, double>> &lines)
{
    ChResult c;
    c.freqStep = 10.0;
    c.freqBins = bins;
    c.spectrum.fill(-120.0, bins);
    for (const auto &l : lines)
        c.spectrum[l.first] = l.second;
    return c;
}

bool same(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || std::abs(a - b) < 1e-9;
}

} // namespace

class tst_CursorReading : public QObject
{
    Q_OBJECT

private slots:
    void valueAt_data();
    void valueAt();
    void levelAt_data();
    void levelAt();
    void readsShownRows();
    void harmonicLines_data();
    void harmonicLines();
};

void tst_CursorReading::valueAt_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("gapAt");
    QTest::addColumn<double>("interval");
    QTest::addColumn<double>("timeMs");
    QTest::addColumn<double>("expected");
    const double nan = qQNaN();
    QTest::newRow("on a sample") << 5 << -1 << 0.001 << 2.0 << 20.0;
    QTest::newRow("between samples") << 5 << -1 << 0.001 << 2.25 << 22.5;
    QTest::newRow("first sample") << 5 << -1 << 0.001 << 0.0 << 0.0;
    QTest::newRow("last sample") << 5 << -1 << 0.001 << 4.0 << 40.0;
    QTest::newRow("before the block") << 5 << -1 << 0.001 << -0.01 << nan;
    QTest::newRow("after the block") << 5 << -1 << 0.001 << 4.01 << nan;
    QTest::newRow("next to a gap") << 5 << 3 << 0.001 << 2.5 << nan;
    QTest::newRow("on the gap") << 5 << 3 << 0.001 << 3.0 << nan;
    QTest::newRow("beside the gap") << 5 << 3 << 0.001 << 1.5 << 15.0;
    QTest::newRow("no samples") << 0 << -1 << 0.001 << 0.0 << nan;
    QTest::newRow("no interval") << 5 << -1 << 0.0 << 1.0 << nan;
    QTest::newRow("cursor not a number") << 5 << -1 << 0.001 << nan << nan;
}

void tst_CursorReading::valueAt()
{
    QFETCH(int, samples);
    QFETCH(int, gapAt);
    QFETCH(double, interval);
    QFETCH(double, timeMs);
    QFETCH(double, expected);
    ChResult c = ramp(samples, gapAt);
    c.sampleInterval = interval;
    QVERIFY2(same(CursorReading::valueAt(c, timeMs), expected),
             qPrintable(QString::number(CursorReading::valueAt(c, timeMs))));
}

void tst_CursorReading::levelAt_data()
{
    QTest::addColumn<double>("freq");
    QTest::addColumn<double>("expected");
    QTest::newRow("on the line") << 50.0 << -6.0;
    QTest::newRow("nearest line") << 54.9 << -6.0;
    QTest::newRow("nearest is the next bin") << 55.1 << -120.0;
    QTest::newRow("zero line of minus infinity") << 0.0 << qQNaN();
    QTest::newRow("half a bin past the end") << 96.0 << qQNaN();
    QTest::newRow("last bin") << 94.0 << -120.0;
    QTest::newRow("negative") << -6.0 << qQNaN();
}

void tst_CursorReading::levelAt()
{
    QFETCH(double, freq);
    QFETCH(double, expected);
    ChResult c = spectrum(10, {{5, -6.0}});
    c.spectrum[0] = -std::numeric_limits<double>::infinity();
    QVERIFY(same(CursorReading::levelAt(c, freq), expected));
}

void tst_CursorReading::readsShownRows()
{
    DataBlockProcessor::DataBlock block;
    for (int r = 0; r < 3; ++r) {
        auto c = QSharedPointer<ChResult>::create(ramp(100));
        for (double &v : c->values)
            v += r;
        *c = [&] {
            ChResult s = spectrum(10, {{2, -3.0 * r}, {7, -40.0}});
            s.values = c->values;
            s.sampleInterval = c->sampleInterval;
            return s;
        }();
        block.channels.append(c);
    }
    block.channels.append(nullptr);
    // Row 1 hidden; row 3 has no result; row 9 is beyond the block.
    const Reading r = read(block, {0, 2, 3, 9}, {2, 5, 16}, 10.0, 30.0, 20.0, 70.0);
    QCOMPARE(r.channels.size(), 2);
    QCOMPARE(r.channels.at(1).row, 2);
    QCOMPARE(r.channels.at(1).channel, 16);
    QCOMPARE(r.channels.at(1).value.at1, 102.0);
    QCOMPARE(r.channels.at(1).value.difference(), 200.0);
    QCOMPARE(r.channels.at(1).level.at1, -6.0);
    QCOMPARE(r.channels.at(1).level.difference(), -34.0);
    QCOMPARE(r.deltaT(), 20.0);
    QCOMPARE(r.inverseDeltaT(), 50.0); // Hz for 20 ms
    QCOMPARE(r.deltaF(), 50.0);

    // Cursors crossed over: the period is still a period.
    QCOMPARE(read(block, {}, {}, 30.0, 10.0, 0, 0).inverseDeltaT(), 50.0);
    QVERIFY(std::isnan(read(block, {}, {}, 10.0, 10.0, 0, 0).inverseDeltaT()));
}

void tst_CursorReading::harmonicLines_data()
{
    QTest::addColumn<bool>("peakValid");
    QTest::addColumn<double>("peakFreq");
    QTest::addColumn<int>("bins");
    QTest::addColumn<QVector<double>>("freqs");
    QTest::addColumn<QVector<double>>("levels");
    // Lines at 100 Hz (bin 10) and harmonics at bins 20, 31 (off by one), 40, 50.
    QTest::newRow("line and four harmonics")
        << true << 100.2 << 200 << QVector<double>{100.2, 200, 310, 400, 500}
        << QVector<double>{-3, -40, -50, -60, -70};
    QTest::newRow("harmonics past the spectrum are left out")
        << true << 100.2 << 35 << QVector<double>{100.2, 200, 310} << QVector<double>{-3, -40, -50};
    QTest::newRow("no valid line")
        << false << 100.2 << 200 << QVector<double>{} << QVector<double>{};
    QTest::newRow("line at zero") << true << 0.0 << 200 << QVector<double>{} << QVector<double>{};
}

void tst_CursorReading::harmonicLines()
{
    QFETCH(bool, peakValid);
    QFETCH(double, peakFreq);
    QFETCH(int, bins);
    QFETCH(QVector<double>, freqs);
    QFETCH(QVector<double>, levels);
    QVector<QPair<int, double>> at = {{10, -3}, {20, -40}, {31, -50}, {40, -60}, {50, -70}};
    while (!at.isEmpty() && at.last().first >= bins)
        at.removeLast();
    ChResult c = spectrum(bins, at);
    c.peakValid = peakValid;
    c.peakFreq = peakFreq;
    const QVector<Line> lines = CursorReading::harmonicLines(c);
    QCOMPARE(lines.size(), freqs.size());
    for (int i = 0; i < lines.size(); ++i) {
        QCOMPARE(lines.at(i).order, i + 1);
        QCOMPARE(lines.at(i).freq, freqs.at(i));
        QCOMPARE(lines.at(i).level, levels.at(i));
    }
}

QTEST_MAIN(tst_CursorReading)
#include "tst_cursorreading.moc"
