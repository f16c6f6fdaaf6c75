// Review of a recording: the window records from the emulator while a review
// window follows the growing file; every block reviewed shows the same table
// and status panel the live window showed; damaged files give a message or
// their complete blocks; the keys, the slider and the trend choose blocks.
#include "boxcloser.h"
#include "condledindicator.h"
#include "deviceconfig.h"
#include "emulatorprocess.h"
#include "mainwindow.h"
#include "measurementactions.h"
#include "mesvalstatewidget.h"
#include "recordingactions.h"
#include "recordingreview.h"
#include "recordingrun.h"
#include "reviewwindow.h"
#include "statuspanel.h"
#include "trendplot.h"
#include "windowsetup.h"

#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QTreeWidget>
#include <QtTest>

#include <hdf5.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/types.h>

namespace {

const char CrateSerial[] = "CR16-0417";

// Every cell of the first 18 columns as the operator reads it, lamps by colour.
QStringList tableView(QTableWidget *table)
{
    QStringList out;
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < 18; ++c) {
            if (auto *lamp = qobject_cast<CondLedIndicator *>(table->cellWidget(r, c)))
                out << QStringLiteral("lamp %1").arg(lamp->state());
            else
                out << (table->item(r, c) ? table->item(r, c)->text() : QString());
        }
    }
    return out;
}

QStringList panelView(StatusPanel *panel)
{
    QStringList out;
    for (const QLineEdit *e : panel->findChildren<QLineEdit *>())
        out << e->objectName() + QLatin1Char('=') + e->text();
    for (const MesValStateWidget *m : panel->findChildren<MesValStateWidget *>())
        out << m->objectName() + QLatin1Char('=') + m->text();
    out << QStringLiteral("power %1").arg(panel->loadPowerLed()->state());
    return out;
}

struct LiveView
{
    qint64 receivedMs = 0;
    qint64 firstSample = 0;
    QStringList table;
    QStringList panel;
};

} // namespace

class tst_RecordingReview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void liveRecordingReviewed();
    void navigation_data();
    void navigation();
    void damagedFiles_data();
    void damagedFiles();
    void languageSwitch_data();
    void languageSwitch();
    void readerElsewhere_data();
    void readerElsewhere();
    void trendFromBlockTable_data();
    void trendFromBlockTable();

private:
    QString recordingPath() const { return dir.filePath(QStringLiteral("live.h5")); }

    std::unique_ptr<EmulatorProcess> emulator;
    QTemporaryDir dir;
    bool recorded = false;
};

void tst_RecordingReview::initTestCase()
{
    QVERIFY(dir.isValid());
    emulator.reset(new EmulatorProcess);
    if (!startWindowTest(*emulator, {0, 1, 4}, 100))
        QSKIP("the crate-server emulator cannot be started");
}

// Records from the emulator with the window's own recording while a review
// window follows the file; then every block the live window showed is chosen
// in the review and must look the same.
void tst_RecordingReview::liveRecordingReviewed()
{
    BoxCloser boxes;
    MainWindow w;
    auto *recording = w.findChild<RecordingActions *>();
    auto *shown = w.findChild<MeasurementActions *>();
    auto *livePanel = w.findChild<StatusPanel *>(QStringLiteral("statusPanel"));
    auto *liveTable = w.findChild<QTableWidget *>(QStringLiteral("paramsTable"));
    QVERIFY(recording && shown && livePanel && liveTable);
    QVERIFY(recording->startRecording(recordingPath()));

    QList<LiveView> live;
    const void *last = nullptr;
    auto capture = [&] {
        const auto block = shown->choose().snapshot.block;
        if (!block || block.data() == last)
            return;
        last = block.data();
        live.append(
            {block->receivedMs, block->firstSample, tableView(liveTable), panelView(livePanel)});
    };
    QVERIFY(QTest::qWaitFor(
        [&] {
            capture();
            return recording->recorder().stats().blocks >= 3;
        },
        20000));

    // Opened while it is written: the newest block, "в реальном времени".
    auto *review = new ReviewWindow;
    QString error;
    QVERIFY2(review->openFile(recordingPath(), &error), qPrintable(error));
    QVERIFY(review->review().isGrowing());
    QVERIFY(review->liveIndicator()->isVisibleTo(review));
    QCOMPARE(review->currentBlock(), review->review().blockCount() - 1);
    const int firstCount = review->review().blockCount();
    QVERIFY(QTest::qWaitFor(
        [&] {
            capture();
            return review->review().blockCount() >= firstCount + 5;
        },
        20000));
    // At the last block it stays at the last block, and the slider reaches it.
    QVERIFY(QTest::qWaitFor([&] { return review->currentBlock() >= firstCount + 4; }, 5000));
    QCOMPARE(review->positionSlider()->maximum(), review->review().blockCount() - 1);
    // Elsewhere it stays where it is.
    QVERIFY(review->showBlockAt(0));
    const int grownTo = review->review().blockCount();
    QVERIFY(QTest::qWaitFor([&] { return review->review().blockCount() > grownTo + 2; }, 20000));
    QCOMPARE(review->currentBlock(), 0);

    // Acquisition restarts: a second run, seen once the file is opened again.
    w.refreshDevList();
    QVERIFY(QTest::qWaitFor(
        [&] {
            capture();
            return review->review().runs().size() == 2 &&
                   review->review().runOfBlock(review->review().blockCount() - 1) == 1;
        },
        20000));
    QVERIFY(QTest::qWaitFor(
        [&] {
            capture();
            return live.size() >= 8;
        },
        20000));
    recording->stopRecording(RunEnd{0, QStringLiteral("Запись остановлена оператором")});
    // The end of the last run arrives in the review too.
    QVERIFY(QTest::qWaitFor(
        [&] {
            const auto &runs = review->review().runs();
            return runs.size() == 2 && runs.at(0).ended && runs.at(1).ended;
        },
        10000));
    QCOMPARE(review->runList()->topLevelItemCount(), 2);
    QCOMPARE(review->runList()->topLevelItem(1)->text(3),
             QStringLiteral("Запись остановлена оператором"));
    QCOMPARE(review->runList()->topLevelItem(0)->text(3),
             QStringLiteral("Обновление списка модулей"));
    QVERIFY(boxes.texts.isEmpty());

    // Every block the window showed, the same in review.
    auto *reviewPanel = review->findChild<StatusPanel *>(QStringLiteral("reviewStatusPanel"));
    QVERIFY(reviewPanel);
    int compared = 0;
    const RecordingReview &model = review->review();
    for (const LiveView &v : qAsConst(live)) {
        for (int i = 0; i < model.blockCount(); ++i) {
            if (model.blockTimeMs(i) != v.receivedMs)
                continue;
            QVERIFY(review->showBlockAt(i));
            const auto block = review->measurementActions()->choose().snapshot.block;
            if (block->firstSample != v.firstSample)
                continue;
            QCOMPARE(tableView(review->resultsView()), v.table);
            QCOMPARE(panelView(reviewPanel), v.panel);
            ++compared;
        }
    }
    QVERIFY2(compared >= 5, qPrintable(QString::number(compared)));
    recorded = true;
    delete review;
}

void tst_RecordingReview::navigation_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key");      // 0: a click on the trend at block `expected`
    QTest::addColumn<int>("expected"); // -1: the last block; -2: one before it
    QTest::newRow("Right") << 0 << int(Qt::Key_Right) << 1;
    QTest::newRow("Left at the first block stays") << 0 << int(Qt::Key_Left) << 0;
    QTest::newRow("PgDown") << 0 << int(Qt::Key_PageDown) << 10;
    QTest::newRow("PgUp near the start stops at 0") << 3 << int(Qt::Key_PageUp) << 0;
    QTest::newRow("End") << 0 << int(Qt::Key_End) << -1;
    QTest::newRow("Right at the last block stays") << -1 << int(Qt::Key_Right) << -1;
    QTest::newRow("Home") << 5 << int(Qt::Key_Home) << 0;
    QTest::newRow("click on the trend") << 0 << 0 << 7;
    QTest::newRow("click on the trend's last block") << 0 << 0 << -2;
}

void tst_RecordingReview::navigation()
{
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, expected);
    if (!recorded)
        QSKIP("no recording from the emulator");
    BoxCloser boxes;
    ReviewWindow review;
    QString error;
    QVERIFY2(review.openFile(recordingPath(), &error), qPrintable(error));
    const int n = review.review().blockCount();
    QVERIFY(n > 12);
    QVERIFY(!review.review().isGrowing());
    QVERIFY(!review.liveIndicator()->isVisibleTo(&review));
    if (from < 0)
        from += n;
    if (expected < 0)
        expected += n;
    QVERIFY(review.showBlockAt(from));
    review.show();
    QVERIFY(QTest::qWaitForWindowExposed(&review));
    if (key) {
        QTest::keyClick(&review, Qt::Key(key));
    } else {
        TrendPlot *trend = review.trend();
        trend->replot();
        const int x =
            int(trend->xAxis->coordToPixel(review.review().blockTimeMs(expected) / 1000.0));
        const QPoint at(x, trend->axisRect()->center().y());
        QTest::mouseClick(trend, Qt::LeftButton, Qt::NoModifier, at);
    }
    QVERIFY(QTest::qWaitFor([&] { return review.currentBlock() == expected; }, 2000));
    QCOMPARE(review.positionSlider()->value(), expected);
    // Export as from the live window, with the block's own time.
    if (key == Qt::Key_End) {
        const QString csv = dir.filePath(QStringLiteral("export.csv"));
        QSignalSpy done(review.measurementActions(), &MeasurementActions::exportFinished);
        review.measurementActions()->exportTo(csv, MeasurementActions::Kind::ResultsCsv);
        QVERIFY(done.count() == 1 || done.wait(10000));
        QVERIFY(done.first().at(0).toBool());
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        const QString time = QDateTime::fromMSecsSinceEpoch(review.review().blockTimeMs(expected))
                                 .toString(QStringLiteral("HH:mm:ss"));
        QVERIFY2(text.contains(time), qPrintable(time + QLatin1Char('\n') + text.left(600)));
        QVERIFY(text.contains(review.resultsView()->item(0, 1)->text().left(6)));
    }
}

// Files that are no recording, or are damaged: a message, or the blocks that
// are whole; never a crash or a wait.
void tst_RecordingReview::damagedFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error"); // part of the message; empty: opens
    QTest::newRow("text file") << "text"
                               << "не файл HDF5";
    QTest::newRow("empty file") << "empty"
                                << "не файл HDF5";
    QTest::newRow("HDF5 but no recording") << "hdf5"
                                           << "это не запись измерения";
    QTest::newRow("newer format version") << "version"
                                          << "версии 99";
    QTest::newRow("truncated") << "truncated"
                               << "повреждён или обрезан";
    QTest::newRow("FIFO") << "fifo"
                          << "FIFO";
    QTest::newRow("directory") << "directory"
                               << "Это каталог";
    QTest::newRow("missing") << "missing"
                             << "";
    QTest::newRow("writer killed") << "killed"
                                   << "";
}

void tst_RecordingReview::damagedFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    const QString path = dir.filePath(QStringLiteral("damaged_%1.h5").arg(kind));
    const QString good = recordingPath();
    if ((kind == "version" || kind == "truncated") && !recorded)
        QSKIP("no recording from the emulator");
    bool opens = false;
    if (kind == "text") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("run_0001,1,2,3\n");
    } else if (kind == "empty") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (kind == "hdf5") {
        const hid_t f =
            H5Fcreate(QFile::encodeName(path).constData(), H5F_ACC_EXCL, H5P_DEFAULT, H5P_DEFAULT);
        QVERIFY(f >= 0);
        H5Fclose(f);
    } else if (kind == "version") {
        QVERIFY(QFile::copy(good, path));
        const hid_t f = H5Fopen(QFile::encodeName(path).constData(), H5F_ACC_RDWR, H5P_DEFAULT);
        QVERIFY(f >= 0);
        const hid_t a = H5Aopen(f, "format_version", H5P_DEFAULT);
        const qint64 v = 99;
        QVERIFY(H5Awrite(a, H5T_NATIVE_INT64, &v) >= 0);
        H5Aclose(a);
        H5Fclose(f);
    } else if (kind == "truncated") {
        QVERIFY(QFile::copy(good, path));
        QFile f(path);
        QVERIFY(f.resize(f.size() / 2));
    } else if (kind == "fifo") {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (kind == "directory") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == "missing") {
        error = QStringLiteral(":");
    } else if (kind == "killed") {
        if (!emulator || !emulator->isRunning())
            QSKIP("the crate-server emulator is not running");
        DeviceConfig cfg;
        QSettings settings;
        cfg.loadSettings(settings);
        const QString config = dir.filePath(QStringLiteral("fast.gm480cfg"));
        QFile c(config);
        QVERIFY(c.open(QIODevice::WriteOnly));
        c.write(RecordingRun::configFileText(cfg).toUtf8());
        c.close();
        QProcess p;
        p.start(QStringLiteral(GRV480_BIN_DIR "/grv480-record"),
                {"--crate", CrateSerial, "--slot", "3", "--config", config, "--duration", "1h",
                 "--port", QString::number(emulator->port()), "--out", path});
        QVERIFY(p.waitForStarted());
        RecordingReader reader;
        QString e;
        QVERIFY(QTest::qWaitFor(
            [&] {
                return reader.open(path, &e) && !reader.runs().isEmpty() &&
                       reader.runs().first().blocks >= 3;
            },
            20000));
        reader.close();
        ::kill(pid_t(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(10000));
        opens = true;
    }

    QElapsedTimer clock;
    clock.start();
    ReviewWindow review;
    QString message;
    const bool ok = review.openFile(path, &message);
    QVERIFY2(clock.elapsed() < 5000, "no wait on a file");
    if (!opens) {
        QVERIFY(!ok);
        QVERIFY2(message.contains(error) && message.contains(path), qPrintable(message));
        return;
    }
    QVERIFY2(ok, qPrintable(message));
    // Every complete block shows; the run says it was cut off.
    const int n = review.review().blockCount();
    QVERIFY(n >= 3);
    for (int i = 0; i < n; ++i)
        QVERIFY(review.showBlockAt(i));
    QCOMPARE(review.runList()->topLevelItemCount(), 1);
    QVERIFY(!review.review().runs().first().ended);
    // Just killed, it cannot be told from a writer at work until no block comes.
    QTRY_VERIFY_WITH_TIMEOUT(!review.review().isGrowing(), 2 * RecordingReview::QuietMs);
    QCOMPARE(review.runList()->topLevelItem(0)->text(3),
             QStringLiteral("оборван: окончание не записано"));
    QCOMPARE(review.resultsView()->rowCount(), 3);
}

// The window follows the language like the others: its own texts, the table's
// header, the panel and the numbers of the block shown.
void tst_RecordingReview::languageSwitch_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("live");
    QTest::addColumn<QString>("runColumn");
    QTest::addColumn<QString>("panelTitle");
    QTest::newRow("English") << true << "live"
                             << "Run"
                             << "Status";
    QTest::newRow("back to Russian") << false << "в реальном времени"
                                     << "Прогон"
                                     << "Состояние";
}

void tst_RecordingReview::languageSwitch()
{
    QFETCH(bool, english);
    QFETCH(QString, live);
    QFETCH(QString, runColumn);
    QFETCH(QString, panelTitle);
    if (!recorded)
        QSKIP("no recording from the emulator");
    ReviewWindow review;
    QString error;
    QVERIFY2(review.openFile(recordingPath(), &error), qPrintable(error));
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral("grv480monitor_en"),
                            QStringLiteral(GRV480_BIN_DIR "/translations")));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    if (!english)
        QCoreApplication::removeTranslator(&translator);
    QCoreApplication::processEvents();
    QCOMPARE(review.liveIndicator()->text(), live);
    QCOMPARE(review.runList()->headerItem()->text(0), runColumn);
    QCOMPARE(review.findChild<StatusPanel *>()->title(), panelTitle);
    QVERIFY(!review.resultsView()->item(0, 1)->text().isEmpty());
    QCoreApplication::removeTranslator(&translator);
}

// Another process keeps the recording open (h5py, a review in another
// instance) while acquisition restarts: the recording goes on in a new run
// instead of stopping when the file is opened again for the run's group.
void tst_RecordingReview::readerElsewhere_data()
{
    QTest::addColumn<bool>("locking"); // the reader takes the library's file lock
    QTest::newRow("reader with the library's lock") << true;
    QTest::newRow("reader without locks") << false;
}

void tst_RecordingReview::readerElsewhere()
{
    QFETCH(bool, locking);
    if (!emulator || !emulator->isRunning())
        QSKIP("the crate-server emulator is not running");
    const QString path =
        dir.filePath(QStringLiteral("elsewhere_%1.h5").arg(locking ? "locked" : "free"));
    BoxCloser boxes;
    MainWindow w;
    auto *recording = w.findChild<RecordingActions *>();
    QVERIFY(recording && recording->startRecording(path));
    QVERIFY(QTest::qWaitFor([&] { return recording->recorder().stats().blocks >= 2; }, 20000));

    // The library itself, as any HDF5 program opens a file for concurrent reading.
    const QString script = QStringLiteral(
        "import ctypes, ctypes.util, sys, time\n"
        "name = ctypes.util.find_library('hdf5_serial') or ctypes.util.find_library('hdf5')\n"
        "if not name:\n"
        "    print('nolib', flush=True)\n"
        "    sys.exit(0)\n"
        "h = ctypes.CDLL(name)\n"
        "h.H5open()\n"
        "h.H5Fopen.restype = ctypes.c_int64\n"
        "h.H5Pcreate.restype = ctypes.c_int64\n"
        "fapl = 0\n"
        "if sys.argv[2] == 'free':\n"
        "    fapl = h.H5Pcreate(ctypes.c_int64.in_dll(h, 'H5P_CLS_FILE_ACCESS_ID_g'))\n"
        "    h.H5Pset_file_locking(ctypes.c_int64(fapl), 0, 1)\n"
        "f = h.H5Fopen(sys.argv[1].encode(), 0x40, ctypes.c_int64(fapl))\n"
        "print('open' if f >= 0 else 'failed', flush=True)\n"
        "time.sleep(60)\n");
    QProcess reader;
    reader.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), script, path,
                  locking ? QStringLiteral("locked") : QStringLiteral("free")});
    if (!reader.waitForStarted())
        QSKIP("python3 is not available");
    QVERIFY(reader.waitForReadyRead(10000));
    const QByteArray said = reader.readAll().trimmed();
    if (said == "nolib")
        QSKIP("python3 finds no HDF5 library");
    QCOMPARE(said, QByteArray("open"));

    w.refreshDevList();
    const qint64 before = recording->recorder().stats().blocks;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     const MeasurementRecorder::Stats s = recording->recorder().stats();
                     return !s.active || (s.runs == 2 && s.blocks >= before + 3);
                 },
                 20000),
             qPrintable(boxes.texts.join('\n')));
    QVERIFY2(recording->recorder().stats().active, qPrintable(boxes.texts.join('\n')));
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join('\n')));
    reader.kill();
    reader.waitForFinished();
    recording->stopRecording(RunEnd{0, QStringLiteral("Запись остановлена оператором")});
    RecordingReview review;
    QString error;
    QVERIFY2(review.open(path, &error), qPrintable(error));
    QCOMPARE(review.runs().size(), 2);
}

// The trend of the whole file is the block table's figures, whichever the
// quantity chosen; the first run's first block is the line's first point.
void tst_RecordingReview::trendFromBlockTable_data()
{
    QTest::addColumn<int>("quantity");
    QTest::newRow("DC") << int(TrendStore::Dc);
    QTest::newRow("AC") << int(TrendStore::Ac);
    QTest::newRow("SINAD") << int(TrendStore::Sinad);
    QTest::newRow("Ucm") << int(TrendStore::Ucm);
}

void tst_RecordingReview::trendFromBlockTable()
{
    QFETCH(int, quantity);
    if (!recorded)
        QSKIP("no recording from the emulator");
    RecordingReader reader;
    QString error;
    QList<RecordingReader::Block> rows;
    QVERIFY2(reader.open(recordingPath(), &error) && reader.readBlocks(0, 0, 1, &rows, &error),
             qPrintable(error));
    const RecordingReader::Block &b = rows.constFirst();
    const QVector<double> *figures[] = {&b.dc,   &b.ac, &b.snr,   &b.sinad,
                                        &b.enob, &b.ux, &b.udiff, &b.ucm};
    const double recordedValue = figures[quantity]->at(0);
    reader.close();

    ReviewWindow review;
    QVERIFY2(review.openFile(recordingPath(), &error), qPrintable(error));
    TrendPlot *trend = review.trend();
    trend->setQuantity(TrendStore::Quantity(quantity));
    trend->rebuild();
    QCPGraph *line = nullptr;
    for (int g = 0; g < trend->graphCount(); ++g) {
        if (TrendPlot::graphChannel(trend->graph(g)) == 0)
            line = trend->graph(g);
    }
    QVERIFY(line);
    QVERIFY(!line->data()->isEmpty());
    const double drawn = line->data()->constBegin()->value;
    if (std::isnan(recordedValue))
        QVERIFY(std::isnan(drawn));
    else
        QCOMPARE(float(drawn), float(recordedValue)); // the store keeps floats
}

QTEST_MAIN(tst_RecordingReview)
#include "tst_recordingreview.moc"
