// The main window against the crate-server emulator: start-up, discovery,
// acquisition control and its failures, rows and their visibility, and the
// display rules applied to hand-made blocks.

#include "channelsconfigwidget.h"
#include "condledindicator.h"
#include "deviceconfig.h"
#include "deviceconfigdialog.h"
#include "emulatorprocess.h"
#include "envelopegraph.h"
#include "grv480recvthread.h"
#include "mainwindow.h"
#include "measurementsnapshot.h"
#include "mesvalstatewidget.h"
#include "plot.h"
#include "qledindicator.h"
#include "resultrules.h"
#include "tablecopyaction.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTableWidget>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

using ResultRules::channelColor;

namespace {

// Closes every modal box as soon as it shows and keeps its text.
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        connect(&timer, &QTimer::timeout, this, [this]() {
            QWidget *w = QApplication::activeModalWidget();
            if (!w)
                return;
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                texts << box->text();
                box->done(QMessageBox::Ok);
            } else if (closeOthers) {
                texts << QStringLiteral("<%1>").arg(w->metaObject()->className());
                w->close();
            }
        });
        timer.start(10);
    }
    QStringList texts;
    bool closeOthers = true; // other modal windows than message boxes

private:
    QTimer timer;
};

// A port that nothing listens on (taken from the system, then released).
quint16 deadPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

void writeConfig(const QList<int> &channelIndexes,
                 const std::function<void(DeviceConfig &)> &tweak = {})
{
    QSettings settings;
    DeviceConfig cfg;
    cfg.loadSettings(settings);
    for (int i : channelIndexes)
        cfg.setChannelEnabled(i, true);
    if (tweak)
        tweak(cfg);
    cfg.saveSettings(settings);
    settings.sync();
}

TGRV480MeasValue mv(int state, double value)
{
    TGRV480MeasValue v{};
    v.state = quint8(state);
    v.valid = state == GRV480_MV_VALID ? 1 : 0;
    v.value = value;
    return v;
}

// A block with n channels whose statuses are all valid and unremarkable.
QSharedPointer<DataBlockProcessor::DataBlock> plainBlock(int n)
{
    auto block = QSharedPointer<DataBlockProcessor::DataBlock>::create();
    block->status.uref = mv(1, 2.5);
    block->status.urefR = mv(1, 2.5);
    block->status.vadj = mv(1, 1.6);
    block->status.uneg = mv(1, -0.05);
    for (int i = 0; i < n; ++i) {
        auto c = QSharedPointer<DataBlockProcessor::ChResult>::create();
        c->status.ux = mv(1, 2.501);
        c->status.ucm = mv(1, 1.25);
        c->status.ucmMin = 0.5;
        c->status.ucmMax = 3.0;
        c->rangeMv = 35.0;
        c->sampleInterval = 0.001;
        c->values = {1.0, 2.0, 3.0};
        c->dc = 2.0;
        c->ac = 0.5;
        block->channels.append(c);
    }
    return block;
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void firstStartWithoutSettings();
    void discoveryOpensFirstAndAcquires();
    void selectingAnotherModuleRestarts();
    void refreshStopsBeforeAskingServer();
    void serverAbsent();
    void refusedConfigurationKeepsResults();
    void closeDuringAcquisition();
    void closeWhileMinimisedKeepsGeometry();
    void serverKilledMidRun();
    void damagedWindowSettings_data();
    void damagedWindowSettings();
    void rowsFollowConfiguration();
    void visibilitySurvivesRemovalAndRestart();
    void lineLeds_data();
    void lineLeds();
    void udiffCells_data();
    void udiffCells();
    void statusPanelWithoutCurrent_data();
    void statusPanelWithoutCurrent();
    void singleChannelModeGreysBackground();
    void configureRestarts_data();
    void configureRestarts();
    void dialogOpenForLong();

private:
    // Friend access, kept in one place.
    static QList<ChannelRow *> &rows(MainWindow &w) { return w.rows; }
    static GRV480RecvThread *recvThread(MainWindow &w) { return w.recvThread; }
    static bool moduleOpen(MainWindow &w) { return GRV480_IsOpened(&w.handle) == 0; }
    static DeviceConfig &config(MainWindow &w) { return *w.config; }
    static bool processingRuns(MainWindow &w) { return w.procThread.isRunning(); }

    template <typename T> static T *child(MainWindow &w, const char *name)
    {
        T *c = w.findChild<T *>(QLatin1String(name));
        Q_ASSERT(c);
        return c;
    }
    static QString cellText(MainWindow &w, int row, int col)
    {
        QTableWidgetItem *item = child<QTableWidget>(w, "paramsTable")->item(row, col);
        return item ? item->text() : QString();
    }
    static int ledState(MainWindow &w, int row, int col)
    {
        auto *led = qobject_cast<CondLedIndicator *>(
            child<QTableWidget>(w, "paramsTable")->cellWidget(row, col));
        return led ? led->state() : -1;
    }
    bool waitForBlock(MainWindow &w, int row = 0)
    {
        return QTest::qWaitFor([&]() { return !cellText(w, row, 1).isEmpty(); }, 15000);
    }
    void useServer(quint16 port) { qputenv("GRV480_SERVER_PORT", QByteArray::number(port)); }

    std::unique_ptr<EmulatorProcess> emulator;
};

void tst_MainWindow::initTestCase()
{
    emulator.reset(new EmulatorProcess);
    if (!emulator->start())
        QSKIP("the crate-server emulator cannot be started");
}

void tst_MainWindow::init()
{
    QSettings settings;
    settings.clear();
    settings.sync();
    QLocale::setDefault(QLocale::c());
    useServer(emulator->port());
}

void tst_MainWindow::cleanupTestCase()
{
    if (emulator)
        emulator->stop();
}

void tst_MainWindow::firstStartWithoutSettings()
{
    BoxCloser boxes;
    MainWindow w;
    QVERIFY(w.windowState() & Qt::WindowMaximized);
    // The pane sizes are kept until the window is laid out; compare them as stored.
    QSplitter reference(Qt::Vertical);
    reference.addWidget(new QWidget);
    reference.addWidget(new QWidget);
    reference.setChildrenCollapsible(false);
    reference.setSizes({700, 200});
    QCOMPARE(child<QSplitter>(w, "splitter")->saveState(), reference.saveState());

    const PlotAxesConfig time = child<Plot>(w, "timePlot")->axesConfig();
    QVERIFY(time.x.autoscale && time.y.autoscale);
    QCOMPARE(time.x.min, 0.0);
    QCOMPARE(time.x.max, 1000.0);
    QCOMPARE(time.y.max, 25.0);
    const PlotAxesConfig fft = child<Plot>(w, "fftPlot")->axesConfig();
    QVERIFY(fft.x.autoscale && !fft.y.autoscale);
    QCOMPARE(fft.x.max, 50000.0);
    // Room above the channel's range for a line beyond it.
    QCOMPARE(child<Plot>(w, "fftPlot")->yAxis->range(), QCPRange(-150.0, 10.0));

    // No channel configured yet: the module is opened but nothing runs.
    QVERIFY(moduleOpen(w));
    QVERIFY(child<QLedIndicator>(w, "moduleLed")->isChecked());
    QVERIFY(!recvThread(w));
    QCOMPARE(child<QTableWidget>(w, "paramsTable")->rowCount(), 0);
    // 18 of the module's values, then "Значение" and "Ед." (shown after the unbalance)
    QCOMPARE(child<QTableWidget>(w, "paramsTable")->columnCount(), 20);
    QVERIFY(!child<QAction>(w, "actionClearSamples")->isEnabled());
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));
}

void tst_MainWindow::discoveryOpensFirstAndAcquires()
{
    writeConfig({0, 1, 2});
    BoxCloser boxes;
    MainWindow w;

    auto *list = child<QComboBox>(w, "modulesList");
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    // Slot 5 of the first crate holds another module type.
    QCOMPARE(items, QStringList({QStringLiteral("Крейт CR16-0417, Слот 3"),
                                 QStringLiteral("Крейт CR16-0417, Слот 7"),
                                 QStringLiteral("Крейт CR16-0522, Слот 2")}));
    QCOMPARE(list->currentIndex(), 0);
    QVERIFY(child<QLedIndicator>(w, "moduleLed")->isChecked());
    QCOMPARE(child<QLineEdit>(w, "serial")->text(), QStringLiteral("480-21-0103"));
    QCOMPARE(child<QLineEdit>(w, "fpgaVer")->text(), QStringLiteral("12"));
    QVERIFY(!child<QLineEdit>(w, "isrcSet")->text().isEmpty());
    QVERIFY(recvThread(w));

    QVERIFY(waitForBlock(w, 0));
    QVERIFY(waitForBlock(w, 2));
    QVERIFY(child<QAction>(w, "actionClearSamples")->isEnabled());
    QVERIFY(!child<QLineEdit>(w, "rref")->text().isEmpty());
    QVERIFY(qobject_cast<EnvelopeGraph *>(rows(w).at(0)->timeGraph)->sourceSize() > 0);
    QCOMPARE(ledState(w, 0, 3), int(CondLedIndicator::Green));
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));
}

void tst_MainWindow::selectingAnotherModuleRestarts()
{
    writeConfig({0, 1});
    BoxCloser boxes;
    MainWindow w;
    QVERIFY(waitForBlock(w));
    GRV480RecvThread *first = recvThread(w);
    QVERIFY(first);

    child<QComboBox>(w, "modulesList")->setCurrentIndex(1);
    QCOMPARE(child<QLineEdit>(w, "serial")->text(), QStringLiteral("480-21-0117"));
    QCOMPARE(child<QLineEdit>(w, "fpgaVer")->text(), QStringLiteral("13"));
    QVERIFY(moduleOpen(w));
    QVERIFY(recvThread(w));
    QVERIFY(recvThread(w) != first);
    QVERIFY(recvThread(w)->isRunning());
    // The restart cleared the results; the new module fills them again.
    QVERIFY(waitForBlock(w));
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));
}

void tst_MainWindow::refreshStopsBeforeAskingServer()
{
    writeConfig({0});
    BoxCloser boxes;
    MainWindow w;
    QVERIFY(waitForBlock(w));

    // The list is emptied right before the server is asked: by then the
    // acquisition must have ended and the module must be closed.
    bool checked = false, threadGone = false, closed = false;
    QAbstractItemModel *model = child<QComboBox>(w, "modulesList")->model();
    auto record = [&]() {
        if (checked)
            return;
        checked = true;
        threadGone = !recvThread(w);
        closed = !moduleOpen(w);
    };
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, record);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, record);

    child<QAction>(w, "actionRefreshDeviceList")->trigger();
    QVERIFY(checked);
    QVERIFY(threadGone);
    QVERIFY(closed);
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));
    QCOMPARE(child<QComboBox>(w, "modulesList")->count(), 3);
    QVERIFY(moduleOpen(w));
    QVERIFY(recvThread(w));
    QVERIFY(waitForBlock(w));
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));
}

void tst_MainWindow::serverAbsent()
{
    writeConfig({0});
    useServer(deadPort());
    BoxCloser boxes;
    MainWindow w;

    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY2(boxes.texts.at(0).startsWith(
                 QStringLiteral("Не удалось установить связь с сервером. Ошибка -")),
             qPrintable(boxes.texts.at(0)));
    QCOMPARE(child<QComboBox>(w, "modulesList")->count(), 0);
    QVERIFY(!moduleOpen(w));
    QVERIFY(!child<QLedIndicator>(w, "moduleLed")->isChecked());
    QVERIFY(child<QLineEdit>(w, "isrcSet")->text().isEmpty());
    QVERIFY(!recvThread(w));
}

void tst_MainWindow::refusedConfigurationKeepsResults()
{
    writeConfig({0, 1});
    BoxCloser boxes;
    MainWindow w;
    QVERIFY(waitForBlock(w));

    // A cable longer than the module can compensate.
    // The dialog, cancelled, already finds no frame for it.
    config(w).setCableLengt(500.0);
    w.configure();
    QCOMPARE(boxes.texts.size(), 3);
    QVERIFY2(boxes.texts.at(0).startsWith(QStringLiteral("Ошибка рассчета параметров кадра: ")),
             qPrintable(boxes.texts.at(0)));
    QCOMPARE(boxes.texts.at(1), QStringLiteral("<DeviceConfigDialog>"));
    QVERIFY2(boxes.texts.at(2).startsWith(
                 QStringLiteral("Не удалось записать конфигурацию модуля. Ошибка -")),
             qPrintable(boxes.texts.at(2)));
    const QString dc = cellText(w, 0, 1);
    QVERIFY(!dc.isEmpty());
    QVERIFY(!recvThread(w));
    QVERIFY(moduleOpen(w));
    QVERIFY(child<QLedIndicator>(w, "moduleLed")->isChecked());
    QTest::qWait(300); // blocks still on their way may land; nothing clears them
    QVERIFY(!cellText(w, 0, 1).isEmpty());
}

void tst_MainWindow::closeDuringAcquisition()
{
    writeConfig({0, 1, 2, 3});
    BoxCloser boxes;
    MainWindow w;
    w.show();
    QVERIFY(waitForBlock(w));
    QVERIFY(recvThread(w));

    // Close while a frame is on its way through the processor: its block reaches
    // the window's queue during the close sequence, and must not be shown.
    int changes = 0;
    connect(child<QTableWidget>(w, "paramsTable"), &QTableWidget::itemChanged, this,
            [&changes, &w]() {
                if (!processingRuns(w))
                    ++changes;
            });
    connect(recvThread(w), &GRV480RecvThread::dataReceived,
            [&w]() { QMetaObject::invokeMethod(&w, "close", Qt::QueuedConnection); });
    QTRY_VERIFY_WITH_TIMEOUT(!processingRuns(w), 15000);
    QVERIFY(!w.isVisible());
    // A module closed under a running thread would end it with an error box.
    QVERIFY(!recvThread(w));
    QVERIFY(!moduleOpen(w));
    QVERIFY(!processingRuns(w));
    QTest::qWait(1500);
    QCOMPARE(changes, 0);
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));

    QSettings settings;
    QVERIFY(settings.contains(QStringLiteral("MainWindow/state")));
    QVERIFY(settings.contains(QStringLiteral("MainWindow/ChSplitState")));
    QVERIFY(settings.contains(QStringLiteral("TimePlot/x/autoscale")));
    QCOMPARE(settings.value(QStringLiteral("GRV480MonitorDeviceConfig/AdcChannels/size")).toInt(),
             16);
}

void tst_MainWindow::closeWhileMinimisedKeepsGeometry()
{
    {
        QSettings settings;
        settings.setValue(QStringLiteral("MainWindow/size"), QSize(640, 480));
        settings.setValue(QStringLiteral("MainWindow/pos"), QPoint(10, 20));
        // Not a state Qt can restore: ignored, and the window is not maximised.
        settings.setValue(QStringLiteral("MainWindow/state"), QByteArray("stale"));
    }
    useServer(deadPort());
    BoxCloser boxes;
    MainWindow w;
    QVERIFY(!(w.windowState() & Qt::WindowMaximized));
    QCOMPARE(w.size(), QSize(640, 480));
    w.showMinimized();
    QVERIFY(w.isMinimized());
    w.resize(900, 700);
    QVERIFY(w.close());

    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("MainWindow/size")).toSize(), QSize(640, 480));
    QCOMPARE(settings.value(QStringLiteral("MainWindow/pos")).toPoint(), QPoint(10, 20));
    QCOMPARE(settings.value(QStringLiteral("MainWindow/state")).toByteArray(), QByteArray("stale"));
    QVERIFY(!settings.contains(QStringLiteral("MainWindow/ChSplitState")));
    // The plots and the configuration are saved all the same.
    QVERIFY(settings.contains(QStringLiteral("FftPlot/y/min")));
    QVERIFY(settings.contains(QStringLiteral("GRV480MonitorDeviceConfig/MeasTime")));
}

// Each value read back at start-up is damaged on its own; the window must come
// up with its defaults for it, without aborting or taking the memory.
void tst_MainWindow::damagedWindowSettings_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");

    QByteArray hugeSplit(8, '\0');
    hugeSplit[3] = char(0xff);
    hugeSplit += QByteArray::fromHex("7fffffff");
    QByteArray hugeToolBars = QByteArray::fromHex("000000ff00000000fc7fffffff");
    QTest::newRow("splitter counts") << "MainWindow/ChSplitState" << QVariant(hugeSplit);
    QTest::newRow("splitter noise")
        << "MainWindow/ChSplitState" << QVariant(QByteArray(40, '\xee'));
    QTest::newRow("window state counts") << "MainWindow/state" << QVariant(hugeToolBars);
    QTest::newRow("size") << "MainWindow/size" << QVariant(QSize(30000, 30000));
    QTest::newRow("position") << "MainWindow/pos" << QVariant(QPoint(-2000000, 2000000));
    QTest::newRow("plot range") << "TimePlot/x/min" << QVariant("nan");
}

void tst_MainWindow::damagedWindowSettings()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    writeConfig({0});
    {
        QSettings settings;
        settings.setValue(key, value);
    }
    BoxCloser boxes;
    MainWindow w;
    w.show();
    QVERIFY(waitForBlock(w));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(w.width() <= qMax(700, screen.width()) && w.height() <= qMax(700, screen.height()),
             qPrintable(QStringLiteral("%1x%2").arg(w.width()).arg(w.height())));
    QVERIFY(screen.intersects(w.frameGeometry()));
    const QList<int> split = child<QSplitter>(w, "splitter")->sizes();
    QCOMPARE(split.size(), 2);
    QVERIFY(split.at(0) >= 0 && split.at(0) < 100000);
    QVERIFY(std::isfinite(child<QCustomPlot>(w, "timePlot")->xAxis->range().lower));
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));
}

void tst_MainWindow::serverKilledMidRun()
{
    writeConfig({0});
    BoxCloser boxes;
    MainWindow w;
    QVERIFY(waitForBlock(w));

    emulator->kill();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, 15000);
    QVERIFY2(boxes.texts.at(0).startsWith(QStringLiteral("Ошибка приема данных. Ошибка -")),
             qPrintable(boxes.texts.at(0)));
    QTRY_VERIFY(!recvThread(w));
    // The handle still counts as open, but the lamp tells the link is gone;
    // the last values stay.
    QVERIFY(moduleOpen(w));
    QVERIFY(!child<QLedIndicator>(w, "moduleLed")->isChecked());
    QVERIFY(!cellText(w, 0, 1).isEmpty());

    // Another module cannot be opened now; the last module's data stay shown.
    child<QComboBox>(w, "modulesList")->setCurrentIndex(1);
    QCOMPARE(boxes.texts.size(), 2);
    QVERIFY2(boxes.texts.at(1).startsWith(
                 QStringLiteral("Не удалось установить связь с модулем. Ошибка -")),
             qPrintable(boxes.texts.at(1)));
    QVERIFY(!moduleOpen(w));
    QVERIFY(!child<QLedIndicator>(w, "moduleLed")->isChecked());
    QCOMPARE(child<QComboBox>(w, "modulesList")->currentIndex(), 1);
    QCOMPARE(child<QLineEdit>(w, "serial")->text(), QStringLiteral("480-21-0103"));
    QCOMPARE(child<QLineEdit>(w, "fpgaVer")->text(), QStringLiteral("12"));
    QVERIFY(child<QLineEdit>(w, "isrcSet")->text().isEmpty());

    QVERIFY(emulator->restart());
}

void tst_MainWindow::rowsFollowConfiguration()
{
    writeConfig({1, 4, 15});
    useServer(deadPort());
    BoxCloser boxes;
    MainWindow w;

    auto *table = child<QTableWidget>(w, "paramsTable");
    QCOMPARE(table->rowCount(), 3);
    const QStringList numbers = {QStringLiteral("2"), QStringLiteral("5"), QStringLiteral("16")};
    // Each channel in its own colour, also on the check box's swatch.
    const auto colorOfRow = [&](int r) {
        const QColor c = table->item(r, 0)->foreground().color();
        return c == rows(w).at(r)->timeGraph->pen().color() &&
                       c == rows(w).at(r)->fftGraph->pen().color() &&
                       c == table->item(r, 0)->data(Qt::DecorationRole).value<QColor>()
                   ? c
                   : QColor();
    };
    const QList<QColor> colors = {channelColor(1), channelColor(4), channelColor(15)};
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(table->item(r, 0)->text(), numbers.at(r));
        QCOMPARE(colorOfRow(r), colors.at(r));
        QCOMPARE(table->item(r, 0)->checkState(), Qt::Checked);
    }
    QCOMPARE(table->columnWidth(0), 60);
    QCOMPARE(table->columnWidth(3), 55);
    QCOMPARE(table->columnWidth(7), 55);
    QCOMPARE(table->columnWidth(8), 85);
    QCOMPARE(child<Plot>(w, "timePlot")->graphCount(), 3);

    // Fewer channels: surplus rows and graphs go, the survivors are renumbered.
    config(w).setChannelEnabled(1, false);
    w.updateConfigUi();
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("5"));
    QCOMPARE(table->item(1, 0)->text(), QStringLiteral("16"));
    QCOMPARE(child<Plot>(w, "fftPlot")->graphCount(), 2);
    // Channels 5 and 16 moved up a row and kept their colours.
    QCOMPARE(colorOfRow(0), colors.at(1));
    QCOMPARE(colorOfRow(1), colors.at(2));
    // Channel 1 added in front: everyone moves down, nobody changes colour.
    config(w).setChannelEnabled(0, true);
    w.updateConfigUi();
    QCOMPARE(colorOfRow(0), channelColor(0));
    QCOMPARE(colorOfRow(2), colors.at(2));
}

void tst_MainWindow::visibilitySurvivesRemovalAndRestart()
{
    writeConfig({1, 4, 15});
    useServer(deadPort());
    {
        BoxCloser boxes;
        MainWindow w;
        ChannelRow *second = rows(w).at(1);
        second->channelCell->setCheckState(Qt::Unchecked);
        QVERIFY(!second->timeGraph->visible());
        QVERIFY(!second->fftGraph->visible());
        QVERIFY(rows(w).at(0)->timeGraph->visible());

        config(w).setChannelEnabled(4, false);
        config(w).setChannelEnabled(15, false);
        w.updateConfigUi();
        QCOMPARE(rows(w).size(), 1);
        QCOMPARE(QSettings().value(QStringLiteral("MainWindow/Channels/Ch1/Visible")).toBool(),
                 false);

        config(w).setChannelEnabled(4, true);
        config(w).setChannelEnabled(15, true);
        w.updateConfigUi();
        QCOMPARE(rows(w).size(), 3);
        QCOMPARE(rows(w).at(1)->channelCell->checkState(), Qt::Unchecked);
        QVERIFY(!rows(w).at(1)->timeGraph->visible());
        QCOMPARE(rows(w).at(2)->channelCell->checkState(), Qt::Checked);
        w.close();
    }
    BoxCloser boxes;
    MainWindow again;
    QCOMPARE(rows(again).size(), 3);
    QCOMPARE(rows(again).at(1)->channelCell->checkState(), Qt::Unchecked);
    QVERIFY(!rows(again).at(1)->fftGraph->visible());
    QCOMPARE(rows(again).at(0)->channelCell->checkState(), Qt::Checked);
    QVERIFY(!(again.windowState() & Qt::WindowMaximized));
}

void tst_MainWindow::lineLeds_data()
{
    QTest::addColumn<int>("uxState");
    QTest::addColumn<bool>("checks");
    QTest::addColumn<int>("shortLed");
    QTest::addColumn<int>("openLed");

    QTest::newRow("open circuit") << 5 << true << int(CondLedIndicator::Blue)
                                  << int(CondLedIndicator::Red);
    QTest::newRow("short circuit")
        << 4 << true << int(CondLedIndicator::Red) << int(CondLedIndicator::Green);
    QTest::newRow("valid") << 1 << true << int(CondLedIndicator::Green)
                           << int(CondLedIndicator::Green);
    QTest::newRow("checks off: grey whatever the state")
        << 4 << false << int(CondLedIndicator::Grey) << int(CondLedIndicator::Grey);
}

void tst_MainWindow::lineLeds()
{
    QFETCH(int, uxState);
    QFETCH(bool, checks);
    QFETCH(int, shortLed);
    QFETCH(int, openLed);

    writeConfig({0}, [checks](DeviceConfig &cfg) {
        if (!checks) {
            cfg.setBgMeasGroup(nullptr);
            cfg.setBgMeasCheckShortUx(false);
            cfg.setBgMeasCheckOpenUx(false);
        }
    });
    useServer(deadPort());
    BoxCloser boxes;
    MainWindow w;
    w.clearData();
    auto block = plainBlock(1);
    block->channels[0]->status.ux = mv(uxState, 2.5);
    w.showBlock(block);
    QCOMPARE(ledState(w, 0, 4), shortLed);
    QCOMPARE(ledState(w, 0, 5), openLed);

    // Ctrl+C on the row: the lamps by colour, under the export's titles.
    auto *table = w.findChild<QTableWidget *>(QStringLiteral("paramsTable"));
    table->selectRow(0);
    for (QAction *a : table->actions()) {
        if (qobject_cast<TableCopyAction *>(a))
            a->trigger();
    }
    const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).split(QLatin1Char('\t')), MeasurementTable::tableColumnTitles());
    const QStringList cells = lines.at(1).split(QLatin1Char('\t'));
    QCOMPARE(cells.mid(3, 3), QStringList({MeasurementTable::lampText(ResultRules::LedGreen),
                                           MeasurementTable::lampText(shortLed),
                                           MeasurementTable::lampText(openLed)}));
}

void tst_MainWindow::udiffCells_data()
{
    QTest::addColumn<int>("urefState");
    QTest::addColumn<double>("ux");
    QTest::addColumn<QString>("udiffText");
    QTest::addColumn<bool>("red");
    QTest::addColumn<int>("udiffLed");
    QTest::addColumn<bool>("boundsShown");

    QTest::newRow("within range") << 1 << 2.51 << QStringLiteral("0.010000") << false
                                  << int(CondLedIndicator::Green) << true;
    QTest::newRow("0.2 V on 35 mV")
        << 1 << 2.7 << QStringLiteral("0.200000") << true << int(CondLedIndicator::Red) << true;
    QTest::newRow("uref faulty") << 3 << 2.51 << QString() << true << int(CondLedIndicator::Blue)
                                 << false;
}

void tst_MainWindow::udiffCells()
{
    QFETCH(int, urefState);
    QFETCH(double, ux);
    QFETCH(QString, udiffText);
    QFETCH(bool, red);
    QFETCH(int, udiffLed);
    QFETCH(bool, boundsShown);

    writeConfig({0});
    useServer(deadPort());
    BoxCloser boxes;
    MainWindow w;
    auto block = plainBlock(1);
    block->status.uref = mv(urefState, 2.5);
    block->status.uref.valid = 1;
    block->channels[0]->status.ux = mv(1, ux);
    w.showBlock(block);

    QCOMPARE(cellText(w, 0, 9), udiffText);
    const QTableWidgetItem *cell = child<QTableWidget>(w, "paramsTable")->item(0, 9);
    QCOMPARE(cell->data(Qt::ForegroundRole).value<QBrush>().color() == QColor(Qt::red), red);
    QCOMPARE(ledState(w, 0, 6), udiffLed);
    QCOMPARE(cellText(w, 0, 8), QStringLiteral("%1").arg(ux, 0, 'f', 6));
    QCOMPARE(cellText(w, 0, 11).isEmpty(), !boundsShown);
    QCOMPARE(cellText(w, 0, 12).isEmpty(), !boundsShown);
    QCOMPARE(cellText(w, 0, 1), QStringLiteral("2.000000"));
    QCOMPARE(ledState(w, 0, 3), int(CondLedIndicator::Green));
}

void tst_MainWindow::statusPanelWithoutCurrent_data()
{
    QTest::addColumn<double>("currentMa");
    QTest::addColumn<bool>("shown");

    QTest::newRow("25 mA") << 25.0 << true;
    QTest::newRow("0 mA") << 0.0 << false;
}

void tst_MainWindow::statusPanelWithoutCurrent()
{
    QFETCH(double, currentMa);
    QFETCH(bool, shown);

    writeConfig({0}, [currentMa](DeviceConfig &cfg) {
        cfg.setCh16ForUref(true);
        cfg.setISrcValue(currentMa);
    });
    useServer(deadPort());
    BoxCloser boxes;
    MainWindow w;
    w.showBlock(plainBlock(1));

    for (const char *name : {"rref", "rrefPow", "rref_r", "pref_r", "isrcRec"}) {
        const QString text = child<QLineEdit>(w, name)->text();
        QVERIFY2(text.isEmpty() != shown, qPrintable(QStringLiteral("%1: '%2'").arg(name, text)));
        QVERIFY2(!text.contains(QLatin1String("inf")) && !text.contains(QLatin1String("nan")),
                 name);
    }
    QCOMPARE(child<MesValStateWidget>(w, "uref")->text(), QStringLiteral("2.500"));
    QCOMPARE(child<MesValStateWidget>(w, "uneg")->text(), QStringLiteral("-50.000"));
    QVERIFY(child<QAction>(w, "actionClearSamples")->isEnabled());
    QCOMPARE(child<CondLedIndicator>(w, "loadPowExcLed")->state(), int(CondLedIndicator::Green));
}

void tst_MainWindow::singleChannelModeGreysBackground()
{
    writeConfig({0}, [](DeviceConfig &cfg) { cfg.setSingleChMode(true); });
    useServer(deadPort());
    BoxCloser boxes;
    MainWindow w;
    w.clearData();

    auto *table = child<QTableWidget>(w, "paramsTable");
    for (int col = 8; col <= 12; ++col)
        QCOMPARE(table->item(0, col)->background().color(), QColor(Qt::darkGray));
    for (int col = 4; col <= 7; ++col)
        QCOMPARE(ledState(w, 0, col), int(CondLedIndicator::Grey));
    QCOMPARE(ledState(w, 0, 3), int(CondLedIndicator::Off));
    QVERIFY(!child<QLineEdit>(w, "rref_r")->isEnabled());

    // A block does not bring the background measurements back.
    w.showBlock(plainBlock(1));
    QVERIFY(cellText(w, 0, 8).isEmpty());
    QCOMPARE(ledState(w, 0, 4), int(CondLedIndicator::Grey));
}

// Runs configure() and, once the dialog shows, lets `edit` work on it; `edit`
// returns whether to press OK.
struct DialogRun
{
    bool shown = false;
    bool threadWhileOpen = true;
};

static void runConfigure(MainWindow &w, GRV480RecvThread *(*thread)(MainWindow &),
                         const std::function<bool(DeviceConfigDialog *)> &edit, DialogRun *seen)
{
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        auto *dlg = qobject_cast<DeviceConfigDialog *>(QApplication::activeModalWidget());
        if (!dlg || seen->shown)
            return;
        seen->shown = true;
        seen->threadWhileOpen = thread(w) != nullptr;
        if (edit(dlg))
            dlg->accept();
        else
            dlg->reject();
    });
    poll.start(10);
    w.configure();
}

void tst_MainWindow::configureRestarts_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("accepted") << true;
    QTest::newRow("cancelled") << false;
}

void tst_MainWindow::configureRestarts()
{
    QFETCH(bool, ok);

    writeConfig({0});
    BoxCloser boxes;
    boxes.closeOthers = false;
    MainWindow w;
    QVERIFY(waitForBlock(w));
    GRV480RecvThread *before = recvThread(w);
    DialogRun seen;
    runConfigure(
        w, &tst_MainWindow::recvThread,
        [ok](DeviceConfigDialog *dlg) {
            // As an operator would: three channels on, a shorter block.
            auto *channels = dlg->findChild<ChannelsConfigWidget *>();
            for (int r : {1, 2})
                channels->channelTable()->item(r, 0)->setCheckState(Qt::Checked);
            dlg->findChild<QSpinBox *>(QStringLiteral("measTimeBox"))->setValue(300);
            return ok;
        },
        &seen);
    QVERIFY(seen.shown);
    QVERIFY(!seen.threadWhileOpen);
    QCOMPARE(config(w).enabledChannelCount(), ok ? 3 : 1);
    QCOMPARE(config(w).measTime, ok ? 300.0 : 1000.0);
    QCOMPARE(child<QTableWidget>(w, "paramsTable")->rowCount(), ok ? 3 : 1);
    QVERIFY(recvThread(w));
    QVERIFY(recvThread(w) != before);
    QVERIFY(waitForBlock(w, ok ? 2 : 0));
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));
}

void tst_MainWindow::dialogOpenForLong()
{
    // An operator may leave the dialog open for minutes while the module idles.
    const int idleS = qEnvironmentVariableIsSet("GRV480_DIALOG_IDLE_S")
                          ? qEnvironmentVariableIntValue("GRV480_DIALOG_IDLE_S")
                          : 15;
    writeConfig({0});
    BoxCloser boxes;
    boxes.closeOthers = false;
    MainWindow w;
    QVERIFY(waitForBlock(w));
    DialogRun seen;
    runConfigure(
        w, &tst_MainWindow::recvThread,
        [idleS](DeviceConfigDialog *dlg) {
            QTest::qWait(idleS * 1000);
            auto *channels = dlg->findChild<ChannelsConfigWidget *>();
            channels->channelTable()->item(3, 0)->setCheckState(Qt::Checked);
            return true;
        },
        &seen);
    QVERIFY(seen.shown);
    // Known fault of the stand-in library at the time of writing: a handle
    // left idle for a few seconds times out on its next request. Only that
    // exact failure is let pass, so the test runs in full once it is mended.
    if (boxes.texts.size() == 1 &&
        boxes.texts.at(0).startsWith(
            QStringLiteral("Не удалось записать конфигурацию модуля. Ошибка %1:")
                .arg(GRV480_ERR_TIMEOUT)))
        QSKIP("an idle module handle stops answering (stand-in library fault)");
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));
    QVERIFY(recvThread(w));
    QVERIFY(waitForBlock(w, 1));
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));
}

int main(int argc, char *argv[])
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Norvik"));
    QCoreApplication::setApplicationName(QStringLiteral("GRV480 Monitor"));
    tst_MainWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
