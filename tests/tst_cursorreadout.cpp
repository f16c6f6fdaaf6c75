// The cursor read-out on a known signal: the emulator's bridge 1 gives 10 mV
// at 50 Hz. Cursors one period apart read 50 Hz and the same value twice; the
// spectrum cursor on the line reads its level and the marker sits on it.
#include "cursorreadout.h"
#include "deviceconfig.h"
#include "emulatorprocess.h"
#include "mainwindow.h"
#include "plot.h"
#include "plotcursors.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QTableWidget>
#include <QtTest>

#include <cmath>

namespace {

constexpr double SineMv = 10.0;
constexpr double SineHz = 50.0;
constexpr double RangeMv = 35.0;

} // namespace

class tst_CursorReadout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void onePeriodGivesFrequency_data();
    void onePeriodGivesFrequency();

private:
    std::unique_ptr<EmulatorProcess> emulator;
};

void tst_CursorReadout::initTestCase()
{
    emulator.reset(
        new EmulatorProcess(EmulatorProcess::scenarioPath(QStringLiteral("test-signals.ini"))));
    if (!emulator->start())
        QSKIP("the crate-server emulator cannot be started");
    qputenv("GRV480_SERVER_PORT", QByteArray::number(emulator->port()));
    QLocale::setDefault(QLocale::c());
    QSettings settings;
    settings.clear();
    DeviceConfig cfg;
    cfg.loadSettings(settings);
    cfg.setChannelEnabled(0, true);
    cfg.setChannelEnabled(4, true); // 5 mV offset, no sine: a second row to skip past
    cfg.setMeasTime(200);
    cfg.saveSettings(settings);
}

void tst_CursorReadout::onePeriodGivesFrequency_data()
{
    QTest::addColumn<double>("phase"); // where t1 sits, as a fraction of the period
    QTest::newRow("at the crest") << 0.0;
    QTest::newRow("on the rising edge") << 0.75;
    QTest::newRow("a third in") << 1.0 / 3.0;
}

void tst_CursorReadout::onePeriodGivesFrequency()
{
    QFETCH(double, phase);
    MainWindow w;
    auto *closer = new QTimer(&w);
    connect(closer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->done(QMessageBox::Ok);
    });
    closer->start(20);
    auto *readout = w.findChild<CursorReadout *>();
    auto *timePlot = w.findChild<Plot *>(QStringLiteral("timePlot"));
    auto *fftPlot = w.findChild<Plot *>(QStringLiteral("fftPlot"));
    QVERIFY(readout && timePlot && fftPlot);
    QVERIFY(QTest::qWaitFor([&] { return readout->shownBlock() != nullptr; }, 20000));
    readout->toggleAction()->trigger();
    QVERIFY(timePlot->cursors()->xVisible() && fftPlot->cursors()->xVisible());
    QVERIFY(readout->isVisibleTo(&w));

    // The crest of the first whole period of the block on screen.
    const auto block = readout->shownBlock();
    const DataBlockProcessor::ChResult &c = *block->channels.at(0);
    const double stepMs = 1000.0 * c.sampleInterval;
    const int perPeriod = int(std::lround(1000.0 / SineHz / stepMs));
    int crest = 0;
    for (int i = 1; i < perPeriod; ++i) {
        if (c.values.at(i) > c.values.at(crest))
            crest = i;
    }
    const double t1 = crest * stepMs + phase * 1000.0 / SineHz;
    const double expected = SineMv * std::cos(2 * M_PI * phase);
    timePlot->cursors()->setPosition(PlotCursors::X1, t1);
    timePlot->cursors()->setPosition(PlotCursors::X2, t1 + 1000.0 / SineHz);
    fftPlot->cursors()->setPosition(PlotCursors::X1, SineHz);
    fftPlot->cursors()->setPosition(PlotCursors::X2, 3 * SineHz);

    const CursorReading::Reading r = readout->reading();
    QVERIFY(std::abs(r.inverseDeltaT() - SineHz) < 1e-9);
    QCOMPARE(r.channels.size(), 2);
    QCOMPARE(r.channels.at(0).channel, 1);
    QCOMPARE(r.channels.at(1).channel, 5);
    const CursorReading::ChannelReading &ch = r.channels.at(0);
    // Sampled at a crest the value is the amplitude; between samples the
    // straight line between them cuts the curve a little short.
    QVERIFY2(std::abs(ch.value.at1 - expected) < 0.1, qPrintable(QString::number(ch.value.at1)));
    QVERIFY2(std::abs(ch.value.difference()) < 0.01,
             qPrintable(QString::number(ch.value.difference())));
    const double lineDb = 20.0 * std::log10(SineMv / RangeMv);
    QVERIFY2(std::abs(ch.level.at1 - lineDb) < 0.5, qPrintable(QString::number(ch.level.at1)));
    QVERIFY(ch.level.difference() < -40.0);                        // nothing at 150 Hz
    QVERIFY(std::abs(r.channels.at(1).value.difference()) < 0.01); // the flat channel

    // What the read-out shows is what it computed.
    auto *table = readout->findChild<QTableWidget *>(QStringLiteral("cursorTable"));
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("1"));
    QCOMPARE(table->item(0, 1)->text(), QString::number(ch.value.at1, 'f', 6));
    bool shown = false;
    for (QLabel *l : readout->findChildren<QLabel *>())
        shown = shown || l->text().contains(QStringLiteral("1/Δt = 50.000 Гц"));
    QVERIFY(shown);

    // The marker on the dominant line.
    QVERIFY(!readout->markedLines().isEmpty());
    const CursorReading::Line line = readout->markedLines().at(0).value(0);
    QCOMPARE(line.order, 1);
    QVERIFY(std::abs(line.freq - SineHz) < 0.5);

    // The next block is read at the same times.
    QVERIFY(QTest::qWaitFor([&] { return readout->shownBlock() != block; }, 20000));
    QCOMPARE(readout->reading().t1, t1);
    QVERIFY(std::abs(readout->reading().channels.at(0).value.at1) <= SineMv + 0.1);
}

QTEST_MAIN(tst_CursorReadout)
#include "tst_cursorreadout.moc"
