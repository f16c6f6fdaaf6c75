#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "envelopegraph.h"

// The envelope must draw what the library draws with every point: both are
// rendered offscreen and compared pixel by pixel, allowing a pixel to differ
// only where the other picture has a like pixel right beside it (anti-aliasing
// of a line that moved by less than a pixel). A missing spike has no such
// neighbour over its whole height.

namespace {

constexpr int Width = 900;
constexpr int Height = 500;
// A one-sample spike drawn on the column's centre line instead of a fraction of
// a pixel beside it shares its anti-aliasing differently over part of its
// height; the spikes below are about 280 pixels tall, so a missing one fails.
constexpr int MaxUnmatchedInColumn = 60;

QCustomPlot *makePlot()
{
    auto *plot = new QCustomPlot;
    plot->resize(Width, Height);
    return plot;
}

// How much a pixel is drawn on, 0 (white) to 255 (full colour or black).
int ink(const QImage &image, int x, int y)
{
    if (x < 0 || x >= image.width())
        return 0;
    const QRgb p = image.pixel(x, y);
    return 255 - std::min({qRed(p), qGreen(p), qBlue(p)});
}

// Ink of three pixels of a row around x.
int inkAround(const QImage &image, int x, int y)
{
    return ink(image, x - 1, y) + ink(image, x, y) + ink(image, x + 1, y);
}

// The most pixels of one pixel column where the two pictures carry different
// ink over three pixels of a row by more than half a pixel's worth, however
// those three are placed within a pixel of the column. A line moved by less
// than a pixel, with its anti-aliasing shared differently (Qt 6 spreads a line
// over two columns where Qt 5 fills one), leaves some such pixels in a column;
// a missing or extra spike leaves a whole run of them.
int worstColumn(const QImage &a, const QImage &b)
{
    int worst = 0;
    for (int x = 0; x < a.width(); ++x) {
        int unmatched = 0;
        for (int y = 0; y < a.height(); ++y) {
            int least = std::numeric_limits<int>::max();
            for (int dx = -1; dx <= 1; ++dx)
                least =
                    std::min(least, std::abs(inkAround(a, x + dx, y) - inkAround(b, x + dx, y)));
            if (least > 128)
                ++unmatched;
        }
        worst = std::max(worst, unmatched);
    }
    return worst;
}

// Autoscales both plots; the ranges must come out the same.
void rescaleAndCompare(QCustomPlot *expected, QCustomPlot *actual)
{
    for (QCustomPlot *p : {expected, actual}) {
        p->xAxis->rescale(false);
        p->yAxis->rescale(false);
    }
    QCOMPARE(actual->xAxis->range().lower, expected->xAxis->range().lower);
    QCOMPARE(actual->xAxis->range().upper, expected->xAxis->range().upper);
    QCOMPARE(actual->yAxis->range().lower, expected->yAxis->range().lower);
    QCOMPARE(actual->yAxis->range().upper, expected->yAxis->range().upper);
}

} // namespace

class TestEnvelopeGraph : public QObject
{
    Q_OBJECT

private slots:
    void samePictureAndRanges_data();
    void samePictureAndRanges();
    void evenKeysAsStored_data();
    void evenKeysAsStored();
};

void TestEnvelopeGraph::samePictureAndRanges_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("withGaps");
    QTest::addColumn<double>("zoomFrom"); // share of the key range; <0: autoscale only
    QTest::addColumn<double>("zoomTo");

    QTest::newRow("noise and spikes, whole block") << 400000 << false << -1.0 << 0.0;
    QTest::newRow("zoomed into a spike") << 400000 << false << 0.3 << 0.3002;
    QTest::newRow("zoomed, tens of points a column") << 400000 << false << 0.2 << 0.25;
    QTest::newRow("gaps and -inf lines") << 200000 << true << -1.0 << 0.0;
    QTest::newRow("fewer points than columns") << 500 << true << -1.0 << 0.0;
}

void TestEnvelopeGraph::samePictureAndRanges()
{
    QFETCH(int, points);
    QFETCH(bool, withGaps);
    QFETCH(double, zoomFrom);
    QFETCH(double, zoomTo);

    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 0.3);
    QVector<double> keys(points), values(points);
    for (int i = 0; i < points; ++i) {
        keys[i] = i * 0.004;
        values[i] = std::sin(i * 0.0003) + noise(rng);
    }
    // Single-sample spikes, one inside the zoomed range, two near the ends.
    values[points * 3 / 10 + 7] = 25.0;
    values[points / 7] = -18.0;
    values[points / 100] = 9.0;
    values[points - points / 100] = -9.5;
    if (withGaps) {
        for (int i = points / 2; i < points / 2 + points / 50; ++i)
            values[i] = std::numeric_limits<double>::quiet_NaN();
        values[points / 3] = -std::numeric_limits<double>::infinity();
        values[points / 3 + 1] = -std::numeric_limits<double>::infinity();
    }

    QScopedPointer<QCustomPlot> full(makePlot());
    QScopedPointer<QCustomPlot> reduced(makePlot());
    QCPGraph *plain = full->addGraph();
    plain->setAdaptiveSampling(false);
    QVector<QCPGraphData> data(points);
    for (int i = 0; i < points; ++i)
        data[i] = QCPGraphData(keys[i], std::isfinite(values[i]) ? values[i] : qQNaN());
    plain->data()->set(data, true);
    auto *envelope = new EnvelopeGraph(reduced->xAxis, reduced->yAxis);
    envelope->setSource(keys, values);

    rescaleAndCompare(full.data(), reduced.data());
    if (QTest::currentTestFailed())
        return;

    if (zoomFrom >= 0) {
        const double span = keys.last();
        for (QCustomPlot *p : {full.data(), reduced.data()})
            p->xAxis->setRange(span * zoomFrom, span * zoomTo);
    }
    const QImage a = full->toPixmap(Width, Height).toImage();
    const QImage b = reduced->toPixmap(Width, Height).toImage();
    QVERIFY(envelope->data()->size() <= 4 * Width + 2 || points <= 4 * Width);
    const int unmatched = worstColumn(a, b);
    if (unmatched > MaxUnmatchedInColumn) {
        const QString dir = QDir::temp().filePath(QStringLiteral("tst_envelopegraph"));
        QDir().mkpath(dir);
        a.save(dir + QStringLiteral("/every-point.png"));
        b.save(dir + QStringLiteral("/envelope.png"));
    }
    QVERIFY2(unmatched <= MaxUnmatchedInColumn,
             qPrintable(QStringLiteral("%1 pixels of one column differ").arg(unmatched)));
}

void TestEnvelopeGraph::evenKeysAsStored_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("step");

    QTest::newRow("one point") << 1 << 1000.0 << 4e-6;
    QTest::newRow("time, 250000/s") << 1000003 << 1000.0 << 4e-6;
    QTest::newRow("time, 1/3 s") << 4097 << 1000.0 << 1.0 / 3.0;
    QTest::newRow("frequency bins") << 125001 << 1.0 << 250000.0 / 249989;
}

// Keys computed from their spacing must draw and scale exactly as the same keys
// stored would: the envelope's points compared bit for bit, whole and zoomed.
void TestEnvelopeGraph::evenKeysAsStored()
{
    QFETCH(int, points);
    QFETCH(double, scale);
    QFETCH(double, step);

    QVector<double> keys(points), values(points);
    for (int i = 0; i < points; ++i) {
        keys[i] = i * scale * step;
        values[i] = std::sin(i * 0.01) + (i % 1013 == 0 ? 5.0 : 0.0);
    }
    QScopedPointer<QCustomPlot> a(makePlot());
    QScopedPointer<QCustomPlot> b(makePlot());
    auto *stored = new EnvelopeGraph(a->xAxis, a->yAxis);
    auto *even = new EnvelopeGraph(b->xAxis, b->yAxis);
    stored->setSource(keys, values);
    even->setSource(scale, step, values);

    const auto same = [&] {
        stored->updateEnvelope();
        even->updateEnvelope();
        if (stored->data()->size() != even->data()->size())
            return false;
        auto i = stored->data()->constBegin();
        auto j = even->data()->constBegin();
        for (; i != stored->data()->constEnd(); ++i, ++j) {
            if (std::memcmp(&i->key, &j->key, sizeof(double)) != 0 ||
                std::memcmp(&i->value, &j->value, sizeof(double)) != 0)
                return false;
        }
        return true;
    };
    rescaleAndCompare(a.data(), b.data());
    if (QTest::currentTestFailed())
        return;
    QVERIFY(same());
    // Zoom bounds that fall exactly on keys and between them.
    const double span = keys.last();
    for (QCustomPlot *p : {a.data(), b.data()})
        p->xAxis->setRange(keys.at(points / 3), span * 0.3337 + 1e-9);
    QVERIFY(same());
}

QTEST_MAIN(TestEnvelopeGraph)
#include "tst_envelopegraph.moc"
