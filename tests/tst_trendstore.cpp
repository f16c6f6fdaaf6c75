#include <QtTest>

#include <cmath>
#include <limits>

#include "deviceconfig.h"
#include "emulatorprocess.h"
#include "mainwindow.h"
#include "trendplot.h"
#include "trendstore.h"

#include <QAction>
#include <QMessageBox>
#include <QTableWidget>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

TrendStore::BlockValues dcOf(int channel, double dc)
{
    TrendStore::BlockValues b;
    b.v[channel][TrendStore::Dc] = dc;
    return b;
}

QVector<double> seriesValues(const TrendStore &store, int channel,
                             TrendStore::Quantity q = TrendStore::Dc,
                             QVector<double> *keysOut = nullptr)
{
    QVector<double> keys, values;
    store.series(channel, q, keys, values);
    if (keysOut)
        *keysOut = keys;
    return values;
}

int gaps(const QVector<double> &values)
{
    int n = 0;
    for (double v : values)
        n += std::isnan(v) ? 1 : 0;
    return n;
}

} // namespace

class tst_TrendStore : public QObject
{
    Q_OBJECT

private slots:
    void restartIsABreak_data();
    void restartIsABreak();
    void boundedOverManyBlocks_data();
    void boundedOverManyBlocks();
    void valuesOfBlock_data();
    void valuesOfBlock();
    void badTimes();
    void plotFollowsStore();
    void timeAxisDialog_data();
    void timeAxisDialog();
    void windowKeepsRunsApart();
};

void tst_TrendStore::restartIsABreak_data()
{
    // Blocks per run, then how many gaps the line must show.
    QTest::addColumn<QVector<int>>("runs");
    QTest::addColumn<int>("expectedGaps");
    QTest::newRow("one run") << QVector<int>{5} << 0;
    QTest::newRow("two runs") << QVector<int>{5, 3} << 1;
    QTest::newRow("a run without blocks is one gap") << QVector<int>{5, 0, 3} << 1;
    QTest::newRow("break before any block") << QVector<int>{0, 4} << 0;
    QTest::newRow("three runs") << QVector<int>{2, 2, 2} << 2;
}

void tst_TrendStore::restartIsABreak()
{
    QFETCH(QVector<int>, runs);
    QFETCH(int, expectedGaps);
    TrendStore store;
    double t = 1.8e9;
    for (int blocks : runs) {
        store.addBreak();
        for (int i = 0; i < blocks; ++i)
            store.append(t += 1.0, dcOf(3, i));
    }
    QVector<double> keys;
    const QVector<double> values = seriesValues(store, 3, TrendStore::Dc, &keys);
    QCOMPARE(gaps(values), expectedGaps);
    QVERIFY(std::is_sorted(keys.begin(), keys.end()));
    // A channel never measured draws nothing, not a line of gaps.
    QVERIFY(seriesValues(store, 4).isEmpty());
}

void tst_TrendStore::boundedOverManyBlocks_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("restartEvery"); // 0: never
    QTest::newRow("below the limit") << 1000 << 900 << 0;
    QTest::newRow("a day of seconds") << 4096 << 86400 << 0;
    QTest::newRow("limit below the smallest") << 1 << 1000 << 0;
    QTest::newRow("many blocks, small limit") << 256 << 200000 << 0;
    QTest::newRow("occasional restarts") << 256 << 50000 << 5000;
    QTest::newRow("restart at every block") << 256 << 20000 << 1;
}

void tst_TrendStore::boundedOverManyBlocks()
{
    QFETCH(int, limit);
    QFETCH(int, blocks);
    QFETCH(int, restartEvery);
    TrendStore store(limit);
    double low = 1e300, high = -1e300;
    double t = 1.8e9;
    for (int i = 0; i < blocks; ++i) {
        if (restartEvery && i % restartEvery == 0)
            store.addBreak();
        // A slow sine with a rare spike: the spike must survive every merge.
        const double v = std::sin(i * 0.001) + (i == blocks / 3 ? 50.0 : 0.0);
        low = std::min(low, v);
        high = std::max(high, v);
        TrendStore::BlockValues b;
        for (int ch = 0; ch < TrendStore::ChannelCount; ++ch)
            for (int q = 0; q < TrendStore::QuantityCount; ++q)
                b.v[ch][q] = v + ch;
        store.append(t += 1.0, b);
    }
    const int slotLimit = std::max(4, limit);
    QVERIFY2(store.slotCount() <= slotLimit, qPrintable(QString::number(store.slotCount())));
    QCOMPARE(store.blockCount(), qint64(blocks));
    // Every slot: two times and a count, and per channel and quantity two floats.
    const qint64 perSlot = 2 * 8 + 4 + TrendStore::ChannelCount * TrendStore::QuantityCount * 8;
    QVERIFY2(store.memoryBytes() <= (slotLimit + 1) * perSlot,
             qPrintable(QString::number(store.memoryBytes())));

    QVector<double> keys;
    const QVector<double> values = seriesValues(store, 15, TrendStore::Ucm, &keys);
    QVERIFY(std::is_sorted(keys.begin(), keys.end()));
    double seenLow = 1e300, seenHigh = -1e300;
    for (double v : values) {
        if (!std::isnan(v)) {
            seenLow = std::min(seenLow, v);
            seenHigh = std::max(seenHigh, v);
        }
    }
    // float storage
    QVERIFY(std::abs(seenLow - (low + 15)) < 1e-5);
    QVERIFY(std::abs(seenHigh - (high + 15)) < 1e-4);
    if (restartEvery > 1)
        QCOMPARE(gaps(values), blocks / restartEvery - 1);
    // A merged slot stands at its middle, within the acquisition.
    QVERIFY(keys.first() >= 1.8e9 + 1.0 && keys.last() <= t);
}

void tst_TrendStore::valuesOfBlock_data()
{
    QTest::addColumn<bool>("harmValid");
    QTest::addColumn<int>("uxValid");
    QTest::addColumn<int>("urefState");
    QTest::addColumn<bool>("expectSnr");
    QTest::addColumn<bool>("expectUx");
    QTest::addColumn<bool>("expectUdiff");
    QTest::newRow("all valid") << true << 1 << 1 << true << true << true;
    QTest::newRow("no sine figures") << false << 1 << 1 << false << true << true;
    QTest::newRow("Ux not valid") << true << 0 << 1 << true << false << false;
    QTest::newRow("Uref faulty: no Udiff") << true << 1 << 3 << true << true << false;
}

void tst_TrendStore::valuesOfBlock()
{
    QFETCH(bool, harmValid);
    QFETCH(int, uxValid);
    QFETCH(int, urefState);
    QFETCH(bool, expectSnr);
    QFETCH(bool, expectUx);
    QFETCH(bool, expectUdiff);
    DataBlockProcessor::DataBlock block;
    block.status.uref = {GRV480_MV_VALID, 1, {}, 3.0};
    block.status.uref.state = quint8(urefState);
    for (int r = 0; r < 3; ++r) {
        auto c = QSharedPointer<DataBlockProcessor::ChResult>::create();
        c->dc = 1.5 + r;
        c->ac = 0.25;
        c->rangeMv = 35;
        c->harmValid = harmValid;
        c->snr = 90;
        c->status.ux = {GRV480_MV_VALID, quint8(uxValid), {}, 3.01};
        c->status.ucm = {GRV480_MV_VALID, 1, {}, std::numeric_limits<double>::infinity()};
        block.channels.append(c);
    }
    block.channels.append(nullptr);
    // Rows 0..2 are physical channels 4, (skipped), 15; a row beyond the list is ignored.
    const TrendStore::BlockValues b = TrendStore::valuesOf(block, {4, -1, 15, 99});
    QCOMPARE(b.v[4][TrendStore::Dc], 1.5);
    QCOMPARE(b.v[15][TrendStore::Dc], 3.5);
    QCOMPARE(b.v[15][TrendStore::Ac], 0.25);
    QVERIFY(std::isnan(b.v[0][TrendStore::Dc]));
    QCOMPARE(!std::isnan(b.v[4][TrendStore::Snr]), expectSnr);
    QCOMPARE(!std::isnan(b.v[4][TrendStore::Ux]), expectUx);
    QCOMPARE(!std::isnan(b.v[4][TrendStore::Udiff]), expectUdiff);
    if (expectUdiff)
        QVERIFY(std::abs(b.v[4][TrendStore::Udiff] - 0.01) < 1e-12);
    QVERIFY(std::isnan(b.v[4][TrendStore::Ucm])); // not a finite number
}

void tst_TrendStore::badTimes()
{
    TrendStore store(8);
    store.append(100.0, dcOf(0, 1));
    store.append(NaN, dcOf(0, 2));  // ignored
    store.append(50.0, dcOf(0, 3)); // the clock went back: kept at 100
    store.append(101.0, dcOf(0, 4));
    QVector<double> keys;
    const QVector<double> values = seriesValues(store, 0, TrendStore::Dc, &keys);
    QCOMPARE(values, (QVector<double>{1, 3, 4}));
    QCOMPARE(keys, (QVector<double>{100, 100, 101}));
    store.clear();
    QVERIFY(store.isEmpty());
    QVERIFY(seriesValues(store, 0).isEmpty());
}

void tst_TrendStore::plotFollowsStore()
{
    TrendPlot plot;
    plot.resize(600, 300);
    QCPGraph *shown = plot.addTrendGraph(2);
    QCPGraph *hidden = plot.addTrendGraph(3);
    hidden->setVisible(false);
    for (int i = 0; i < 100; ++i) {
        TrendStore::BlockValues b;
        b.v[2][TrendStore::Dc] = i;
        b.v[2][TrendStore::Enob] = 20 - i * 0.01;
        b.v[3][TrendStore::Dc] = -i;
        plot.store().append(1.8e9 + i, b);
    }
    plot.markDirty();
    QVERIFY(plot.isReplotPending());
    plot.replot();
    QVERIFY(shown->dataCount() > 0);
    QCOMPARE(hidden->dataCount(), 0);
    QCOMPARE(plot.xAxis->range().lower, 1.8e9);
    // The value axis fits the data with the plots' margin.
    QVERIFY(plot.yAxis->range().contains(99.0) && plot.yAxis->range().contains(0.0));
    QVERIFY(plot.yAxis->range().upper < 110.0);
    plot.setQuantity(TrendStore::Enob);
    QVERIFY(plot.yAxis->range().contains(20.0) && plot.yAxis->range().contains(19.02));
    QVERIFY(plot.yAxis->range().upper < 21.0);
    QCOMPARE(plot.yAxis->label(), QStringLiteral("ENOB, бит"));

    // The quantity is remembered with the axes.
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    plot.loadSettings(&settings, QStringLiteral("TrendPlot"));
    plot.setQuantity(TrendStore::Udiff);
    plot.saveSettings(&settings);
    TrendPlot again;
    again.loadSettings(&settings, QStringLiteral("TrendPlot"));
    QCOMPARE(again.quantity(), TrendStore::Udiff);
    settings.setValue(QStringLiteral("TrendPlot/quantity"), QStringLiteral("nonsense"));
    TrendPlot fallback;
    fallback.loadSettings(&settings, QStringLiteral("TrendPlot"));
    QCOMPARE(fallback.quantity(), TrendStore::Dc);
}

void tst_TrendStore::timeAxisDialog_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("expectedMin");
    QTest::newRow("clock times, milliseconds kept")
        << 1.8e9 + 0.25 << 1.8e9 + 7200.5 << 1.8e9 + 0.25;
    // A range that is no time at all (a first start: 0 to 1) opens as some
    // date and comes back as a valid time.
    QTest::newRow("not a time") << -1e300 << 1.0 << qQNaN();
}

void tst_TrendStore::timeAxisDialog()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, expectedMin);
    PlotAxesConfig axes;
    axes.x = {false, min, max};
    axes.y = {true, 0, 1};
    PlotConfigDialog dialog(nullptr, axes, 5, 5);
    dialog.setXAsTime();
    dialog.setXAsTime(); // once is enough
    dialog.accept();
    QVERIFY(std::isfinite(dialog.axes.x.min) && std::isfinite(dialog.axes.x.max));
    if (!std::isnan(expectedMin)) {
        QCOMPARE(dialog.axes.x.min, expectedMin);
        QCOMPARE(dialog.axes.x.max, max);
    }
    QCOMPARE(dialog.axes.x.autoscale, false);
}

// The window's trend over two runs of the emulator's first module: a gap
// between them, lines only for shown channels, emptied by the clear action,
// and the plot's visibility remembered.
void tst_TrendStore::windowKeepsRunsApart()
{
    EmulatorProcess emulator;
    if (!emulator.start())
        QSKIP("the crate-server emulator cannot be started");
    qputenv("GRV480_SERVER_PORT", QByteArray::number(emulator.port()));
    {
        QSettings settings;
        settings.clear();
        DeviceConfig cfg;
        cfg.loadSettings(settings);
        cfg.setChannelEnabled(0, true);
        cfg.setChannelEnabled(2, true);
        cfg.setMeasTime(200);
        cfg.saveSettings(settings);
        // The second row's graphs hidden.
        settings.setValue(QStringLiteral("MainWindow/Channels/Ch1/Visible"), false);
    }
    QTimer boxes; // no modal box may hold the test
    connect(&boxes, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->done(QMessageBox::Ok);
    });
    boxes.start(10);

    auto w = std::make_unique<MainWindow>();
    auto *trend = w->findChild<TrendPlot *>(QStringLiteral("trendPlot"));
    QVERIFY(trend);
    TrendStore &store = trend->store();
    QVERIFY(QTest::qWaitFor([&] { return store.blockCount() >= 2; }, 15000));
    w->findChild<QAction *>(QStringLiteral("actionRefreshDeviceList"))->trigger();
    const qint64 before = store.blockCount();
    QVERIFY(QTest::qWaitFor([&] { return store.blockCount() >= before + 2; }, 15000));

    for (int channel : {0, 2}) {
        const QVector<double> values = seriesValues(store, channel);
        QCOMPARE(gaps(values), 1);
        QVERIFY(!std::isnan(values.first()) && !std::isnan(values.last()));
    }
    QVERIFY(seriesValues(store, 1).isEmpty());
    trend->replot();
    QCOMPARE(trend->graphCount(), 2);
    QVERIFY(trend->graph(0)->dataCount() > 0);
    QCOMPARE(trend->graph(1)->dataCount(), 0); // hidden row

    w->findChild<QAction *>(QStringLiteral("actionClearSamples"))->trigger();
    QVERIFY(store.slotCount() <= 1); // a block may have arrived since

    QAction *show = nullptr;
    for (QAction *a : w->findChildren<QAction *>())
        if (a->text() == QStringLiteral("Тренд"))
            show = a;
    QVERIFY(show && show->isChecked());
    show->trigger();
    QVERIFY(trend->isHidden());
    w->close();
    w = std::make_unique<MainWindow>();
    QVERIFY(w->findChild<TrendPlot *>(QStringLiteral("trendPlot"))->isHidden());
    w->close();
}

QTEST_MAIN(tst_TrendStore)
#include "tst_trendstore.moc"
