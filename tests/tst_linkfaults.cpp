// The main window while faults are switched on in a running emulator: link
// faults end the run with the acquisition's error box and a refresh acquires
// again; a channel fault shows in that channel's lamps within two blocks.

#include "condledindicator.h"
#include "deviceconfig.h"
#include "emulatorprocess.h"
#include "grv480api.h"
#include "mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QSettings>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

constexpr int StallLimitMs = 1000;
constexpr int BlockMs = 200;
// the acquisition thread asks with this timeout: block time + 1 s
constexpr int ReceiveTimeoutMs = BlockMs + 1000;

// Closes every modal box as soon as it shows; keeps its text and when it came.
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        connect(&timer, &QTimer::timeout, this, [this]() {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->text();
                times << clock.elapsed();
                box->done(QMessageBox::Ok);
            }
        });
        clock.start();
        timer.start(5);
    }
    QStringList texts;
    QList<qint64> times;   // ms since the closer was made
    QElapsedTimer clock;

private:
    QTimer timer;
};

QString cell(MainWindow &w, int row, int col)
{
    QTableWidgetItem *item = w.findChild<QTableWidget *>(QStringLiteral("paramsTable"))->item(row, col);
    return item ? item->text() : QString();
}

int led(MainWindow &w, int row, int col)
{
    auto *l = qobject_cast<CondLedIndicator *>(
            w.findChild<QTableWidget *>(QStringLiteral("paramsTable"))->cellWidget(row, col));
    return l ? l->state() : -1;
}

QAction *refreshAction(MainWindow &w)
{
    return w.findChild<QAction *>(QStringLiteral("actionRefreshDeviceList"));
}

// Counts the blocks the window shows: the DC cell of the first row is
// rewritten by every block.
class BlockCounter : public QObject
{
public:
    explicit BlockCounter(MainWindow &w)
    {
        auto *table = w.findChild<QTableWidget *>(QStringLiteral("paramsTable"));
        connect(table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
            if (item->row() == 0 && item->column() == 1)
                ++count;
        });
    }
    int count = 0;
};

} // namespace

class tst_LinkFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void linkFault_data();
    void linkFault();
    void channelFault_data();
    void channelFault();
    void controlRefusedWithoutOption();

private:
    bool waitForBlocks(MainWindow &w, int blocks = 2);

    std::unique_ptr<EmulatorProcess> emulator;
};

void tst_LinkFaults::initTestCase()
{
    // read when the window opens the module: stalls are found after 1 s
    qputenv("GRV480_STALL_LIMIT_MS", QByteArray::number(StallLimitMs));
    emulator.reset(new EmulatorProcess);
    emulator->setExtraArguments({QStringLiteral("--allow-faults")});
    if (!emulator->start())
        QSKIP("the crate-server emulator cannot be started");
    qputenv("GRV480_SERVER_PORT", QByteArray::number(emulator->port()));
}

void tst_LinkFaults::init()
{
    QSettings settings;
    settings.clear();
    DeviceConfig cfg;
    cfg.loadSettings(settings);
    // channels 1, 2 and 4 of the first module: healthy bridges
    for (int ch : {0, 1, 3})
        cfg.setChannelEnabled(ch, true);
    cfg.setMeasTime(BlockMs);
    cfg.saveSettings(settings);
    settings.sync();
    QLocale::setDefault(QLocale::c());
    QCOMPARE(emulator->fault({QStringLiteral("--clear-all")}), 0);
}

void tst_LinkFaults::cleanupTestCase()
{
    if (emulator)
        emulator->stop();
}

bool tst_LinkFaults::waitForBlocks(MainWindow &w, int blocks)
{
    BlockCounter counter(w);
    return QTest::qWaitFor([&]() { return counter.count >= blocks; }, 15000);
}

void tst_LinkFaults::linkFault_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<int>("error");        // 0: the run goes on
    QTest::addColumn<int>("boundMs");      // from the command to the box, at most
    QTest::addColumn<int>("clearAfterMs"); // the fault is over by then

    const QStringList onModule = {QStringLiteral("--crate"), QStringLiteral("CR16-0417"),
                                  QStringLiteral("--slot"), QStringLiteral("3"),
                                  QStringLiteral("--link")};
    QTest::newRow("stall shorter than the limit")
            << (onModule + QStringList{"stall", "--ms", QString::number(StallLimitMs / 2)}) << 0
            << 0 << StallLimitMs;
    QTest::newRow("stall longer than the limit")
            << (onModule + QStringList{"stall", "--ms", QString::number(3 * StallLimitMs)})
            << int(GRV480_ERR_TIMEOUT) << StallLimitMs + 500 << 3 * StallLimitMs;
    QTest::newRow("connection dropped") << (onModule + QStringList{"drop"})
                                        << int(GRV480_ERR_CONNECTION_LOST) << ReceiveTimeoutMs << 0;
    QTest::newRow("corrupted stream") << (onModule + QStringList{"corrupt"})
                                      << int(GRV480_ERR_PROTOCOL) << ReceiveTimeoutMs << 0;
    QTest::newRow("truncated stream") << (onModule + QStringList{"truncate"})
                                      << int(GRV480_ERR_DATA_CORRUPTED) << ReceiveTimeoutMs << 0;
    QTest::newRow("backlog overflow of a slow reader") << (onModule + QStringList{"overflow"})
                                                       << int(GRV480_ERR_OVERFLOW)
                                                       << ReceiveTimeoutMs << 0;
    QTest::newRow("crate vanishes")
            << QStringList{"--crate", "CR16-0417", "--vanish", "--ms", "1500"}
            << int(GRV480_ERR_CONNECTION_LOST) << ReceiveTimeoutMs << 1500;
}

void tst_LinkFaults::linkFault()
{
    QFETCH(QStringList, command);
    QFETCH(int, error);
    QFETCH(int, boundMs);
    QFETCH(int, clearAfterMs);

    BoxCloser boxes;
    MainWindow w;
    QVERIFY(waitForBlocks(w));
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));

    const qint64 faultAt = boxes.clock.elapsed();
    QString out;
    QCOMPARE(emulator->fault(command, &out), 0);
    if (error == 0) {
        // the run survives and catches up: no block is dropped in silence,
        // since the library checks the frame count across blocks
        QTest::qWait(clearAfterMs);
        QVERIFY(waitForBlocks(w, 3));
        QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));
        return;
    }
    QVERIFY(QTest::qWaitFor([&]() { return !boxes.texts.isEmpty(); }, boundMs + 5000));
    const qint64 tookMs = boxes.times.first() - faultAt;
    qInfo("%s: error box after %lld ms", QTest::currentDataTag(), tookMs);
    QVERIFY2(tookMs <= boundMs, qPrintable(QString::number(tookMs)));
    const QString expected = QStringLiteral("Ошибка приема данных. Ошибка %1: %2")
                                     .arg(error)
                                     .arg(QString::fromLocal8Bit(GRV480_GetErrorString(error)));
    QCOMPARE(boxes.texts.first(), expected);

    // responsive: the window handles events; no further box, no more blocks
    BlockCounter after(w);
    QTest::qWait(std::max(clearAfterMs - int(boxes.clock.elapsed() - faultAt), 0) + 300);
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(after.count, 0);

    refreshAction(w)->trigger();
    QCOMPARE(w.findChild<QComboBox *>(QStringLiteral("modulesList"))->count(), 3);
    QVERIFY(waitForBlocks(w));
    QVERIFY2(boxes.texts.size() == 1, qPrintable(boxes.texts.join(QLatin1String(" | "))));
}

void tst_LinkFaults::channelFault_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("column");   // the lamp that shows it
    QTest::addColumn<int>("lamp");

    QTest::newRow("line opens") << "fault=open" << 5 << int(CondLedIndicator::Red);
    QTest::newRow("bridge shorted") << "fault=short" << 4 << int(CondLedIndicator::Red);
    QTest::newRow("over range") << "over_range=yes" << 3 << int(CondLedIndicator::Red);
    QTest::newRow("bridge resistance off by 6 ohm") << "resistance=126.0" << 6
                                                    << int(CondLedIndicator::Red);
    QTest::newRow("common mode out of bounds") << "ucm_offset_v=3.5" << 7
                                               << int(CondLedIndicator::Red);
}

void tst_LinkFaults::channelFault()
{
    QFETCH(QString, change);
    QFETCH(int, column);
    QFETCH(int, lamp);

    BoxCloser boxes;
    MainWindow w;
    QVERIFY(waitForBlocks(w, 3));
    QVERIFY(led(w, 1, column) != lamp);
    // the neighbours, before
    QList<int> lamps;
    for (int row : {0, 2})
        for (int c = 3; c <= 7; ++c)
            lamps << led(w, row, c);
    const double dc0 = cell(w, 0, 1).toDouble();
    const double dc2 = cell(w, 2, 1).toDouble();

    BlockCounter counter(w);
    QCOMPARE(emulator->fault({"--crate", "CR16-0417", "--slot", "3", "--channel", "2", change}), 0);
    QVERIFY(QTest::qWaitFor([&]() { return led(w, 1, column) == lamp; }, 10000));
    // the block on its way when the fault came, and the next one
    QVERIFY2(counter.count <= 2, qPrintable(QString::number(counter.count)));

    QVERIFY(waitForBlocks(w, 1));
    QList<int> lampsAfter;
    for (int row : {0, 2})
        for (int c = 3; c <= 7; ++c)
            lampsAfter << led(w, row, c);
    QCOMPARE(lampsAfter, lamps);
    QVERIFY(qAbs(cell(w, 0, 1).toDouble() - dc0) < 0.05);
    QVERIFY(qAbs(cell(w, 2, 1).toDouble() - dc2) < 0.05);
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join(QLatin1String(" | "))));

    // cleared: the channel is back within two blocks as well
    QCOMPARE(emulator->fault({"--crate", "CR16-0417", "--slot", "3", "--channel", "2", "--clear"}), 0);
    QVERIFY(QTest::qWaitFor([&]() { return led(w, 1, column) != lamp; }, 10000));
}

void tst_LinkFaults::controlRefusedWithoutOption()
{
    EmulatorProcess plain;
    QVERIFY(plain.start());
    QString out;
    QCOMPARE(plain.fault({"--list"}, &out), 1);
    QVERIFY2(out.contains(QLatin1String("--allow-faults")), qPrintable(out));
    QCOMPARE(emulator->fault({"--crate", "CR16-0417", "--slot", "3", "--channel", "2", "fault=melted"}, &out), 1);
    QCOMPARE(emulator->fault({"--crate", "CR16-0417", "--slot", "3", "--channel", "2", "fault=open"}), 0);
    QCOMPARE(emulator->fault({"--list"}, &out), 0);
    QVERIFY2(out.contains(QLatin1String("channel 2: fault=open")), qPrintable(out));
}

QTEST_MAIN(tst_LinkFaults)
#include "tst_linkfaults.moc"
