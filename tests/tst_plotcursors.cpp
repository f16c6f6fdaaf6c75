// Cursors of a plot: dragged and moved by keys without panning the plot, kept
// at their coordinates whatever the data, remembered with the plot's settings,
// and out of the way of the axis dialog.
#include "plot.h"
#include "plotconfigdialog.h"
#include "plotcursors.h"

#include <QSettings>
#include <QtTest>

namespace {

QString settingsFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
        .filePath(QStringLiteral("tst_plotcursors.ini"));
}

// A plot laid out on screen with fixed axes 0..100 both ways.
struct Fixture
{
    Plot plot;
    PlotCursors *cursors;
    Fixture()
    {
        cursors = plot.enableCursors(QStringLiteral("t"), QStringLiteral("U"));
        QSettings settings(settingsFile(), QSettings::IniFormat);
        PlotAxesConfig axes;
        axes.x = {false, 0.0, 100.0};
        axes.y = {false, 0.0, 100.0};
        plot.loadSettings(&settings, QStringLiteral("TimePlot"), &axes);
        plot.resize(420, 320);
        plot.show();
        QTest::qWaitForWindowExposed(&plot);
        plot.replot();
        cursors->setXVisible(true);
        cursors->setYVisible(true);
        cursors->setPosition(PlotCursors::X1, 20.0);
        cursors->setPosition(PlotCursors::X2, 60.0);
        cursors->setPosition(PlotCursors::Y1, 30.0);
        cursors->setPosition(PlotCursors::Y2, 70.0);
    }
    QPoint at(double x, double y) const
    {
        return QPoint(qRound(plot.xAxis->coordToPixel(x)), qRound(plot.yAxis->coordToPixel(y)));
    }
};

} // namespace

class tst_PlotCursors : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(settingsFile()); }
    void dragMovesCursorNotPlot_data();
    void dragMovesCursorNotPlot();
    void keysMoveCurrentCursor_data();
    void keysMoveCurrentCursor();
    void cursorsStayWithNewData();
    void rememberedWithPlotSettings_data();
    void rememberedWithPlotSettings();
    void doubleClickOnCursorOpensDialog();
};

void tst_PlotCursors::dragMovesCursorNotPlot_data()
{
    QTest::addColumn<double>("grabX");
    QTest::addColumn<double>("grabY");
    QTest::addColumn<int>("moved"); // -1: none, the plot pans
    QTest::newRow("t1") << 20.0 << 50.0 << int(PlotCursors::X1);
    QTest::newRow("t2") << 60.0 << 50.0 << int(PlotCursors::X2);
    QTest::newRow("U2") << 90.0 << 70.0 << int(PlotCursors::Y2);
    QTest::newRow("beside every cursor pans") << 40.0 << 50.0 << -1;
}

void tst_PlotCursors::dragMovesCursorNotPlot()
{
    QFETCH(double, grabX);
    QFETCH(double, grabY);
    QFETCH(int, moved);
    Fixture f;
    QSignalSpy spy(f.cursors, &PlotCursors::moved);
    QVERIFY(spy.isValid());
    const QPoint from = f.at(grabX, grabY);
    const QPoint to = from + QPoint(40, -40);
    const double before[4] = {20, 60, 30, 70};
    QTest::mousePress(&f.plot, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, to, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f.plot, &move);
    QTest::mouseRelease(&f.plot, Qt::LeftButton, Qt::NoModifier, to);

    if (moved < 0) {
        QCOMPARE(spy.count(), 0);
        QVERIFY(f.plot.xAxis->range() != QCPRange(0, 100)); // panned
        return;
    }
    QCOMPARE(f.plot.xAxis->range(), QCPRange(0, 100));
    QCOMPARE(f.plot.yAxis->range(), QCPRange(0, 100));
    const bool vertical = moved == PlotCursors::X1 || moved == PlotCursors::X2;
    const double expected =
        vertical ? f.plot.xAxis->pixelToCoord(to.x()) : f.plot.yAxis->pixelToCoord(to.y());
    for (int c = 0; c < 4; ++c) {
        const double p = f.cursors->position(PlotCursors::Cursor(c));
        QCOMPARE(p, c == moved ? expected : before[c]);
    }
}

void tst_PlotCursors::keysMoveCurrentCursor_data()
{
    QTest::addColumn<int>("choose"); // key 1 or 2 first, 0 for none
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("pixels"); // along the axis' pixels
    QTest::newRow("right moves t1") << 0 << int(Qt::Key_Right) << 0 << int(PlotCursors::X1) << 1;
    QTest::newRow("shift ten") << 0 << int(Qt::Key_Left) << int(Qt::ShiftModifier)
                               << int(PlotCursors::X1) << -10;
    QTest::newRow("2 then right moves t2")
        << int(Qt::Key_2) << int(Qt::Key_Right) << 0 << int(PlotCursors::X2) << 1;
    QTest::newRow("up moves U1 up") << 0 << int(Qt::Key_Up) << 0 << int(PlotCursors::Y1) << -1;
    QTest::newRow("other keys move nothing") << 0 << int(Qt::Key_A) << 0 << -1 << 0;
}

void tst_PlotCursors::keysMoveCurrentCursor()
{
    QFETCH(int, choose);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, cursor);
    QFETCH(int, pixels);
    Fixture f;
    f.plot.setFocus();
    if (choose)
        QTest::keyClick(&f.plot, Qt::Key(choose));
    QSignalSpy spy(f.cursors, &PlotCursors::moved);
    QTest::keyClick(&f.plot, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    const double before[4] = {20, 60, 30, 70};
    for (int c = 0; c < 4; ++c) {
        const bool vertical = c < 2;
        QCPAxis *axis = vertical ? f.plot.xAxis : f.plot.yAxis;
        const double expected =
            c == cursor ? axis->pixelToCoord(axis->coordToPixel(before[c]) + pixels) : before[c];
        QVERIFY(qAbs(f.cursors->position(PlotCursors::Cursor(c)) - expected) < 1e-9);
    }
    QCOMPARE(spy.count(), cursor < 0 ? 0 : 1);
}

void tst_PlotCursors::cursorsStayWithNewData()
{
    Fixture f;
    PlotAxesConfig axes;
    axes.x = {true, 0.0, 0.0};
    axes.y = {true, 0.0, 0.0};
    f.plot.setAxesConfig(axes);
    QCPGraph *g = f.plot.addGraph();
    for (double end : {50.0, 500.0, 5.0}) {
        g->setData(QVector<double>{0, end}, QVector<double>{-end, end}, true);
        f.plot.updateAxisAutoScale();
        QCOMPARE(f.cursors->position(PlotCursors::X1), 20.0);
        QCOMPARE(f.cursors->position(PlotCursors::Y2), 70.0);
    }
    // Out of view after the last block; shown again, a pair comes into it.
    f.cursors->bringIntoView();
    QVERIFY(f.plot.xAxis->range().contains(f.cursors->position(PlotCursors::X1)));
    QVERIFY(f.plot.xAxis->range().contains(f.cursors->position(PlotCursors::X2)));
    QVERIFY(f.plot.yAxis->range().contains(f.cursors->position(PlotCursors::Y1)));
}

void tst_PlotCursors::rememberedWithPlotSettings_data()
{
    QTest::addColumn<QVariant>("storedX1");
    QTest::addColumn<double>("x1");
    QTest::newRow("number") << QVariant(12.5) << 12.5;
    QTest::newRow("text keeps the position") << QVariant(QStringLiteral("left")) << 0.0;
    QTest::newRow("infinity keeps the position") << QVariant(QStringLiteral("inf")) << 0.0;
}

void tst_PlotCursors::rememberedWithPlotSettings()
{
    QFETCH(QVariant, storedX1);
    QFETCH(double, x1);
    {
        Fixture f;
        QSettings settings(settingsFile(), QSettings::IniFormat);
        f.plot.saveSettings(&settings);
        QCOMPARE(settings.value(QStringLiteral("TimePlot/Cursors/x2")).toDouble(), 60.0);
        settings.setValue(QStringLiteral("TimePlot/Cursors/x1"), storedX1);
        settings.setValue(QStringLiteral("TimePlot/Cursors/yVisible"), false);
    }
    QSettings settings(settingsFile(), QSettings::IniFormat);
    Plot plot;
    PlotCursors *cursors = plot.enableCursors(QStringLiteral("t"), QStringLiteral("U"));
    plot.loadSettings(&settings, QStringLiteral("TimePlot"), nullptr);
    QCOMPARE(cursors->position(PlotCursors::X1), x1);
    QCOMPARE(cursors->position(PlotCursors::X2), 60.0);
    QVERIFY(cursors->xVisible());
    QVERIFY(!cursors->yVisible());
}

void tst_PlotCursors::doubleClickOnCursorOpensDialog()
{
    Fixture f;
    bool opened = false;
    auto *timer = new QTimer(&f.plot);
    QObject::connect(timer, &QTimer::timeout, [&] {
        if (auto *d = qobject_cast<PlotConfigDialog *>(QApplication::activeModalWidget())) {
            opened = true;
            d->reject();
        }
    });
    timer->start(10);
    QTest::mouseDClick(&f.plot, Qt::LeftButton, Qt::NoModifier, f.at(20.0, 50.0));
    QVERIFY(opened);
    QCOMPARE(f.cursors->position(PlotCursors::X1), 20.0);
}

QTEST_MAIN(tst_PlotCursors)
#include "tst_plotcursors.moc"
