// A channel calibrated from live readings against the emulator: two known
// offsets of the channel's signal become "Точка 1" and "Точка 2", the scaling
// goes into the sensor of the library, and the window then shows the values
// in the unit, takes a software zero and lights the limits.
#include "channelsensordialog.h"
#include "condledindicator.h"
#include "deviceconfig.h"
#include "emulatorprocess.h"
#include "mainwindow.h"
#include "numberedit.h"
#include "sensorcolumns.h"
#include "sensorlibrary.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include "boxcloser.h"

#include <QtTest>

#include <memory>

namespace {

constexpr int BlockMs = 200;
const QString SensorName = QStringLiteral("Сила 200 кН");

class BlockCounter : public QObject
{
public:
    explicit BlockCounter(QTableWidget *table)
    {
        connect(table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
            if (item->row() == 0 && item->column() == 1)
                ++count;
        });
    }
    int count = 0;
};

// The DC in the unit that the "Значение" cell shows ("DC / AC").
double shownValue(QTableWidget *table)
{
    const QTableWidgetItem *item = table->item(0, SensorColumns::ValueColumn);
    return item ? QLocale().toDouble(item->text().section(QLatin1Char('/'), 0, 0).trimmed())
                : qQNaN();
}

void type(NumberEdit *edit, const QString &text)
{
    edit->setText(text);
    emit edit->editingFinished();
}

} // namespace

class tst_Calibration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void twoPointsFromTwoOffsets();

private:
    bool setOffset(double mv);
    double shownDcMv() const;
    bool waitBlocks(int n);

    std::unique_ptr<EmulatorProcess> emulator;
    std::unique_ptr<MainWindow> window;
    QTableWidget *table = nullptr;
    double offsetMv = 0.5; // channel 1 of the built-in scenario's first module
};

void tst_Calibration::initTestCase()
{
    emulator.reset(new EmulatorProcess);
    emulator->setExtraArguments({QStringLiteral("--allow-faults")});
    if (!emulator->start())
        QSKIP("the crate-server emulator cannot be started");
    qputenv("GRV480_SERVER_PORT", QByteArray::number(emulator->port()));
    QLocale::setDefault(QLocale::c());

    // The sensor as the library knows it before calibration: a guess.
    SensorLibrary lib;
    Sensor s;
    s.name = SensorName;
    s.unit = QStringLiteral("кН");
    s.scaling = Scaling::linear(1, 0);
    QVERIFY(lib.add(s).isEmpty());
    QString error;
    QFile::remove(SensorLibrary::defaultPath());
    QVERIFY2(lib.save(SensorLibrary::defaultPath(), &error), qPrintable(error));

    QSettings settings;
    settings.clear();
    DeviceConfig cfg;
    cfg.loadSettings(settings);
    cfg.setChannelEnabled(0, true);
    cfg.setChannelEnabled(1, true);
    cfg.setMeasTime(BlockMs);
    cfg.sensors[0].sensorName = s.name;
    cfg.sensors[0].unit = s.unit;
    cfg.sensors[0].scaling = s.scaling;
    cfg.saveSettings(settings);
    settings.sync();
    QCOMPARE(emulator->fault({QStringLiteral("--clear-all")}), 0);

    window.reset(new MainWindow);
    window->resize(1500, 800);
    window->show();
    table = window->findChild<QTableWidget *>(QStringLiteral("paramsTable"));
    QVERIFY(table);
    QVERIFY(waitBlocks(1));
}

void tst_Calibration::cleanupTestCase()
{
    window.reset();
    if (emulator)
        emulator->stop();
}

bool tst_Calibration::waitBlocks(int n)
{
    BlockCounter counter(table);
    return QTest::qWaitFor([&] { return counter.count >= n; }, 10000);
}

double tst_Calibration::shownDcMv() const
{
    const QTableWidgetItem *item = table->item(0, 1);
    return item ? QLocale().toDouble(item->text()) : qQNaN();
}

// Returns once the window shows the new signal: blocks already on their way,
// or queued on a busy machine, still carry the old one.
bool tst_Calibration::setOffset(double mv)
{
    const double before = shownDcMv();
    const double delta = mv - offsetMv;
    const QStringList args{"--crate",
                           "CR16-0417",
                           "--slot",
                           "3",
                           "--channel",
                           "1",
                           QStringLiteral("offset_mv=%1").arg(mv)};
    if (emulator->fault(args) != 0)
        return false;
    offsetMv = mv;
    return QTest::qWaitFor([&] { return qAbs(shownDcMv() - before - delta) < 0.1; }, 15000) &&
           waitBlocks(1);
}

void tst_Calibration::twoPointsFromTwoOffsets()
{
    auto *columns = window->findChild<SensorColumns *>();
    QVERIFY(columns);
    BoxCloser boxes;
    ChannelSensorDialog *dlg = columns->openChannelDialog(0);
    QVERIFY(dlg);
    QCOMPARE(dlg->channel(), 0);
    dlg->blocksBox()->setValue(3);

    // Point 1: 2 mV is no load.
    QVERIFY(setOffset(2.0));
    dlg->pointButton(0)->click();
    QVERIFY(QTest::qWaitFor([&] { return dlg->pointReading(0).isDone(); }, 10000));
    type(dlg->pointValue(0), QStringLiteral("0"));
    // Point 2: 7 mV is 100 kN.
    QVERIFY(setOffset(7.0));
    dlg->pointButton(1)->click();
    QVERIFY(QTest::qWaitFor([&] { return dlg->pointReading(1).isDone(); }, 10000));
    type(dlg->pointValue(1), QStringLiteral("100"));

    const PointAverager p1 = dlg->pointReading(0);
    const PointAverager p2 = dlg->pointReading(1);
    QCOMPARE(p1.taken(), 3);
    QVERIFY2(qAbs(p2.mean() - p1.mean() - 5.0) < 0.05,
             qPrintable(QStringLiteral("%1 %2").arg(p1.mean()).arg(p2.mean())));
    QVERIFY(p1.spread() < 0.05 && p2.spread() < 0.05);

    QSignalSpy applied(dlg, &ChannelSensorDialog::applied);
    dlg->calibrateButton()->click();
    QCOMPARE(applied.count(), 1);
    // The library's sensor now has the scaling, with today's date, on disk too.
    SensorLibrary lib;
    QVERIFY(lib.load(SensorLibrary::defaultPath()).ok);
    const Sensor *s = lib.find(SensorName);
    QVERIFY(s);
    QCOMPARE(s->scaling.kind(), Scaling::TwoPoint);
    QCOMPARE(s->scaling.points().at(0).mv, p1.mean());
    QCOMPARE(s->scaling.points().at(1).value, 100.0);
    QCOMPARE(s->calibrationDate, QDate::currentDate());

    // Halfway between the two loads reads half the second one.
    QVERIFY(setOffset(4.5));
    QVERIFY2(qAbs(shownValue(table) - 50.0) < 1.0, qPrintable(QString::number(shownValue(table))));
    QCOMPARE(table->item(0, SensorColumns::UnitColumn)->text(), QStringLiteral("кН"));

    // Software zero, and back.
    columns->zeroRow(0);
    QVERIFY(waitBlocks(1));
    QVERIFY2(qAbs(shownValue(table)) < 1.0, qPrintable(QString::number(shownValue(table))));
    columns->resetZeroRow(0);
    QVERIFY(waitBlocks(1));
    QVERIFY(qAbs(shownValue(table) - 50.0) < 1.0);

    // Limits in kN: a warning at 50, an alarm beyond 80.
    dlg->limitBox(ChannelLimits::WarnHigh)->setChecked(true);
    type(dlg->limitEdit(ChannelLimits::WarnHigh), QStringLiteral("40"));
    dlg->limitBox(ChannelLimits::AlarmHigh)->setChecked(true);
    // Refused where typed: below the warning limit.
    type(dlg->limitEdit(ChannelLimits::AlarmHigh), QStringLiteral("30"));
    QTRY_VERIFY(!boxes.texts.isEmpty());
    QVERIFY2(boxes.texts.last().contains(QStringLiteral("неверном порядке")),
             qPrintable(boxes.texts.last()));
    type(dlg->limitEdit(ChannelLimits::AlarmHigh), QStringLiteral("80"));
    type(dlg->hysteresisEdit(), QStringLiteral("2"));
    QVERIFY(dlg->applyChanges());
    QVERIFY(waitBlocks(2));
    QCOMPARE(columns->limitState(0).level, LimitMonitor::Warning);
    QCOMPARE(columns->limitsLamp()->state(), int(CondLedIndicator::Yellow));
    QCOMPARE(table->item(0, SensorColumns::ValueColumn)->background().color(),
             QColor(255, 235, 60));
    QVERIFY(setOffset(9.5)); // 150 kN
    QCOMPARE(columns->limitState(0).level, LimitMonitor::Alarm);
    QCOMPARE(columns->limitsLamp()->state(), int(CondLedIndicator::Red));
    bool logged = false;
    for (const EventLog::Event &e : columns->eventLog()->events())
        logged = logged || (e.kind == EventLog::Limit &&
                            e.text.startsWith(QStringLiteral("Канал 1: авария")));
    QVERIFY(logged);

    // For a person to look at: <build>/gallery/sensors.png.
    dlg->close();
    columns->unitsAction()->setChecked(true);
    columns->eventDock()->show();
    window->setWindowState(Qt::WindowNoState);
    window->resize(1280, 860);
    QVERIFY(waitBlocks(1));
    QTest::qWait(300);
    QDir gallery(QStringLiteral(GRV480_BIN_DIR "/../gallery"));
    gallery.mkpath(QStringLiteral("."));
    QVERIFY(window->grab().save(gallery.filePath(QStringLiteral("sensors.png"))));
}

QTEST_MAIN(tst_Calibration)
#include "tst_calibration.moc"
