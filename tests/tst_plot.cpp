#include <QtTest>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QSettings>

#include "plot.h"
#include "plotconfigdialog.h"

Q_DECLARE_METATYPE(PlotAxesConfig)

static QString settingsFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
        .filePath("tst_plot.ini");
}

static PlotAxesConfig axesOf(bool xAuto, double xMin, double xMax, bool yAuto, double yMin,
                             double yMax)
{
    PlotAxesConfig c;
    c.x = {xAuto, xMin, xMax};
    c.y = {yAuto, yMin, yMax};
    return c;
}

static bool sameAxes(const PlotAxesConfig &a, const PlotAxesConfig &b)
{
    return a.x.autoscale == b.x.autoscale && a.x.min == b.x.min && a.x.max == b.x.max &&
           a.y.autoscale == b.y.autoscale && a.y.min == b.y.min && a.y.max == b.y.max;
}

// Runs f on the modal dialog as soon as it is up, then closes it.
static void onModalDialog(std::function<void(PlotConfigDialog *)> f)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, f] {
        if (auto *dialog = qobject_cast<PlotConfigDialog *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            f(dialog);
        }
    });
    timer->start();
}

class TestPlot : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void loadSettings_data();
    void loadSettings();
    void saveAndLoadRoundTrip();
    void fixedRangeIgnoresData();
    void autoscaleFitsVisibleGraphs();
    void burstOfRequestsGivesOneReplot();
    void cancelledDialogChangesNothing();
    void acceptedDialogAppliesAxes();
    void dialogReturnsValuesAsEntered();
    void wheelZoomFixesRangeUntilDialogAutoscale();
    void autoscaleMargin_data();
    void autoscaleMargin();
    void dialogShowsAutoscaledRange();
};

void TestPlot::init()
{
    QFile::remove(settingsFile());
}

void TestPlot::loadSettings_data()
{
    QTest::addColumn<QVariantMap>("stored"); // keys below the plot's group
    QTest::addColumn<PlotAxesConfig>("expected");

    const PlotAxesConfig defaults = axesOf(true, 0, 50000, false, -150, 0);
    QTest::newRow("nothing stored") << QVariantMap() << defaults;
    QTest::newRow("all stored") << QVariantMap{{"x/min", 10.0},        {"x/max", 20.0},
                                               {"x/autoscale", false}, {"y/min", -5.0},
                                               {"y/max", 5.0},         {"y/autoscale", true}}
                                << axesOf(false, 10, 20, true, -5, 5);
    QTest::newRow("non-numeric min keeps default")
        << QVariantMap{{"y/min", "low"}, {"y/max", "-20"}}
        << axesOf(true, 0, 50000, false, -150, -20);
    QTest::newRow("non-numeric max keeps default") << QVariantMap{{"x/max", "lots"}} << defaults;
    QTest::newRow("empty min keeps default") << QVariantMap{{"x/min", ""}} << defaults;
    QTest::newRow("missing autoscale keeps the flag")
        << QVariantMap{{"x/min", 1.0}, {"y/min", -100.0}} << axesOf(true, 1, 50000, false, -100, 0);
    QTest::newRow("non-finite min keeps default") << QVariantMap{{"x/min", "nan"}} << defaults;
    QTest::newRow("reversed range keeps both defaults")
        << QVariantMap{{"y/min", 5.0}, {"y/max", -5.0}} << defaults;
    QTest::newRow("autoscale text false")
        << QVariantMap{{"x/autoscale", "false"}} << axesOf(false, 0, 50000, false, -150, 0);
}

void TestPlot::loadSettings()
{
    QFETCH(QVariantMap, stored);
    QFETCH(PlotAxesConfig, expected);
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        settings.beginGroup("FftPlot");
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            settings.setValue(it.key(), it.value());
    }
    QSettings settings(settingsFile(), QSettings::IniFormat);
    const PlotAxesConfig defaults = axesOf(true, 0, 50000, false, -150, 0);
    Plot plot;
    plot.loadSettings(&settings, "FftPlot", &defaults);
    QVERIFY(sameAxes(plot.axesConfig(), expected));
    QVERIFY(settings.group().isEmpty()); // left as found
    if (!expected.y.autoscale) {
        QCOMPARE(plot.yAxis->range().lower, expected.y.min);
        QCOMPARE(plot.yAxis->range().upper, expected.y.max);
    }
}

void TestPlot::saveAndLoadRoundTrip()
{
    const PlotAxesConfig axes = axesOf(false, -1.5, 2.25, true, 0, 25);
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        Plot plot;
        plot.loadSettings(&settings, "TimePlot", &axes);
        plot.saveSettings(&settings);
        QCOMPARE(settings.value("TimePlot/x/min").toDouble(), -1.5);
        QCOMPARE(settings.value("TimePlot/y/autoscale").toBool(), true);
    }
    QSettings settings(settingsFile(), QSettings::IniFormat);
    Plot plot;
    plot.loadSettings(&settings, "TimePlot", nullptr);
    QVERIFY(sameAxes(plot.axesConfig(), axes));
}

static QCPGraph *addLine(Plot &plot, double x0, double x1, double y0, double y1)
{
    QCPGraph *g = plot.addGraph();
    g->setData(QVector<double>{x0, x1}, QVector<double>{y0, y1}, true);
    return g;
}

void TestPlot::fixedRangeIgnoresData()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    const PlotAxesConfig axes = axesOf(false, 0, 1000, false, 0, 25);
    Plot plot;
    plot.loadSettings(&settings, "TimePlot", &axes);
    addLine(plot, -500, 5000, -100, 100);
    plot.updateAxisAutoScale();
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 1000));
    QCOMPARE(plot.yAxis->range(), QCPRange(0, 25));
}

void TestPlot::autoscaleFitsVisibleGraphs()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    const PlotAxesConfig axes = axesOf(true, 0, 1000, true, 0, 25);
    Plot plot;
    plot.loadSettings(&settings, "TimePlot", &axes);
    addLine(plot, 0, 10, -1, 1);
    QCPGraph *hidden = addLine(plot, -100, 100, -50, 50);
    hidden->setVisible(false);
    plot.updateAxisAutoScale();
    // Keys fit exactly; values get the margin.
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 10));
    QCOMPARE(plot.yAxis->range(), QCPRange(-1.1, 1.1));
    QVERIFY(!plot.isReplotPending()); // fitting alone does not replot
}

void TestPlot::burstOfRequestsGivesOneReplot()
{
    Plot plot;
    plot.resize(300, 200);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    QTest::qWait(50);
    QSignalSpy replots(&plot, &QCustomPlot::afterReplot);
    QVERIFY(replots.isValid());

    // Sixteen channels' worth of updates in one go.
    for (int i = 0; i < 16; ++i)
        plot.requestRelpot();
    QVERIFY(plot.isReplotPending());
    QCOMPARE(replots.count(), 0);
    QTRY_COMPARE(replots.count(), 1);
    QTest::qWait(3 * Plot::ReplotDelayMs);
    QCOMPARE(replots.count(), 1);

    // A later request is served again.
    plot.requestRelpot();
    QTRY_COMPARE(replots.count(), 2);
}

void TestPlot::cancelledDialogChangesNothing()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    const PlotAxesConfig axes = axesOf(false, 0, 1000, true, 0, 25);
    Plot plot;
    plot.loadSettings(&settings, "TimePlot", &axes);
    plot.saveSettings(&settings);
    settings.sync();
    const QByteArray storedBefore = [] {
        QFile f(settingsFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    plot.resize(300, 200);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));

    bool seen = false;
    onModalDialog([&](PlotConfigDialog *dialog) {
        seen = true;
        dialog->findChild<QDoubleSpinBox *>("XMin")->setValue(-7);
        dialog->findChild<QCheckBox *>("YScaleAuto")->setChecked(false);
        dialog->reject();
    });
    QTest::mouseDClick(&plot, Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
    QVERIFY(seen);
    QVERIFY(sameAxes(plot.axesConfig(), axes));
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 1000));
    settings.sync();
    QFile f(settingsFile());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), storedBefore);
}

void TestPlot::acceptedDialogAppliesAxes()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    const PlotAxesConfig axes = axesOf(true, 0, 1000, true, 0, 25);
    Plot plot;
    plot.loadSettings(&settings, "TimePlot", &axes);
    plot.resize(300, 200);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));

    onModalDialog([](PlotConfigDialog *dialog) {
        dialog->findChild<QCheckBox *>("XScaleAuto")->setChecked(false);
        dialog->findChild<QDoubleSpinBox *>("XMin")->setValue(100);
        dialog->findChild<QDoubleSpinBox *>("XMax")->setValue(200);
        dialog->accept();
    });
    QTest::mouseDClick(&plot, Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
    QCOMPARE(plot.axesConfig().x.autoscale, false);
    QCOMPARE(plot.xAxis->range(), QCPRange(100, 200));
    QCOMPARE(plot.axesConfig().y.autoscale, true);

    plot.saveSettings(&settings);
    QCOMPARE(settings.value("TimePlot/x/max").toDouble(), 200.0);
}

void TestPlot::dialogReturnsValuesAsEntered()
{
    // Minimum above maximum, five decimals each way.
    const PlotAxesConfig axes = axesOf(false, 5.123456789, -3, true, 1e8, -1e8);
    PlotConfigDialog dialog(nullptr, axes, 5, 3);
    QCOMPARE(dialog.windowTitle(), QString("Настройки графика"));
    auto *xMin = dialog.findChild<QDoubleSpinBox *>("XMin");
    auto *yMin = dialog.findChild<QDoubleSpinBox *>("YMin");
    QCOMPARE(xMin->decimals(), 5);
    QCOMPARE(yMin->decimals(), 3);
    QCOMPARE(xMin->value(), 5.12346);
    QCOMPARE(xMin->minimum(), -1e9);
    QCOMPARE(xMin->maximum(), 1e9);
    QVERIFY(!dialog.findChild<QCheckBox *>("XScaleAuto")->isChecked());

    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(sameAxes(dialog.axes, axesOf(false, 5.12346, -3, true, 1e8, -1e8)));
}

void TestPlot::wheelZoomFixesRangeUntilDialogAutoscale()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    Plot plot;
    plot.resize(600, 400);
    const PlotAxesConfig defaults = axesOf(true, 0, 1000, true, 0, 25);
    plot.loadSettings(&settings, "TimePlot", &defaults);
    QCPGraph *graph = plot.addGraph();
    graph->setData({0, 1, 2, 3}, {5, 7, 6, 8});
    plot.updateAxisAutoScale();
    plot.replot();

    const QPoint centre = plot.axisRect()->rect().center();
    QWheelEvent wheel(centre, plot.mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&plot, &wheel);
    const QCPRange x = plot.xAxis->range();
    const QCPRange y = plot.yAxis->range();
    QVERIFY(x.size() < 3.0);
    QVERIFY(sameAxes(plot.axesConfig(), axesOf(false, x.lower, x.upper, false, y.lower, y.upper)));
    plot.updateAxisAutoScale(); // the next block leaves the zoom alone
    QCOMPARE(plot.xAxis->range(), x);
    plot.saveSettings(&settings);
    QCOMPARE(settings.value("TimePlot/x/autoscale").toBool(), false);

    onModalDialog([](PlotConfigDialog *dialog) {
        QVERIFY(!dialog->findChild<QCheckBox *>("XScaleAuto")->isChecked());
        dialog->findChild<QCheckBox *>("XScaleAuto")->setChecked(true);
        dialog->findChild<QCheckBox *>("YScaleAuto")->setChecked(true);
        dialog->accept();
    });
    QTest::mouseDClick(&plot, Qt::LeftButton, Qt::NoModifier, centre);
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 3));
    QCOMPARE(plot.yAxis->range(), QCPRange(4.85, 8.15));
}

void TestPlot::autoscaleMargin_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::newRow("five per cent each side") << -10.0 << 30.0 << -12.0 << 32.0;
    QTest::newRow("clipped channel off the frame") << -35.0 << 35.0 << -38.5 << 38.5;
    QTest::newRow("flat line") << 5.0 << 5.0 << 4.75 << 5.25;
    QTest::newRow("flat zero") << 0.0 << 0.0 << -1.0 << 1.0;
}

void TestPlot::autoscaleMargin()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, lower);
    QFETCH(double, upper);
    QSettings settings(settingsFile(), QSettings::IniFormat);
    const PlotAxesConfig axes = axesOf(true, 0, 1000, true, 0, 25);
    Plot plot;
    plot.loadSettings(&settings, "TimePlot", &axes);
    addLine(plot, 0, 10, low, high);
    // Block after block: the margin is added once, not once a block.
    for (int i = 0; i < 20; ++i)
        plot.updateAxisAutoScale();
    QVERIFY(qAbs(plot.yAxis->range().lower - lower) < 1e-12);
    QVERIFY(qAbs(plot.yAxis->range().upper - upper) < 1e-12);
}

void TestPlot::dialogShowsAutoscaledRange()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    const PlotAxesConfig axes = axesOf(true, 0, 1000, true, 0, 25);
    Plot plot;
    plot.loadSettings(&settings, "TimePlot", &axes);
    addLine(plot, 2, 12, -3, 7);
    plot.updateAxisAutoScale();
    plot.resize(300, 200);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));

    QList<double> offered;
    onModalDialog([&](PlotConfigDialog *dialog) {
        for (const char *name : {"XMin", "XMax", "YMin", "YMax"})
            offered << dialog->findChild<QDoubleSpinBox *>(name)->value();
        dialog->findChild<QCheckBox *>("YScaleAuto")->setChecked(false);
        dialog->accept();
    });
    QTest::mouseDClick(&plot, Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
    QCOMPARE(offered, QList<double>({2, 12, -3.5, 7.5}));
    // Unticked, the axis keeps what was seen and stays there with new data.
    QCOMPARE(plot.yAxis->range(), QCPRange(-3.5, 7.5));
    addLine(plot, 0, 1, 100, 200);
    plot.updateAxisAutoScale();
    QCOMPARE(plot.yAxis->range(), QCPRange(-3.5, 7.5));
    QVERIFY(plot.axesConfig().x.autoscale);
}

QTEST_MAIN(TestPlot)
#include "tst_plot.moc"
