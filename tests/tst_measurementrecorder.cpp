// The recording of every sample: what h5py reads back against the blocks that
// were emitted, runs and parts, the faults that must not lose a recording
// (full disk, removed file, slow disk, SIGKILL), the targets refused, the
// window's runs and the headless program.
#include "datablockprocessor.h"
#include "deviceconfig.h"
#include "grv480recvthread.h"
#include "mainwindow.h"
#include "measurementrecorder.h"
#include "recordingactions.h"
#include "recordingreader.h"
#include "safefilewriter.h"

#include <QtTest>

#include <QAction>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>

#include <cmath>
#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(GRV480_EMULATOR_PATH) && __has_include("emulatorprocess.h")
#include "emulatorprocess.h"
#define HAVE_EMULATOR 1
#endif

using BlockPtr = QSharedPointer<DataBlockProcessor::DataBlock>;

namespace {

const char CrateSerial[] = "CR16-0417";
int fileSerial = 0; // a file name of its own for every data row
constexpr quint16 Slot = 3;

QString python()
{
    const QString debian = QStringLiteral("/usr/bin/python3");
    return QFileInfo::exists(debian) ? debian : QStringLiteral("python3");
}

// Everything of a recording that the tests compare, as h5py sees it.
const char Dump[] = R"PY(
import h5py, hashlib, json, sys, numpy as np
def kind(v):
    if isinstance(v, str): return "str"
    if isinstance(v, (int, np.integer)): return "int"
    if isinstance(v, (float, np.floating)): return "float"
    return "array"
def plain(v):
    return v.tolist() if hasattr(v, "tolist") else v
def nums(a): return [[repr(float(x)) for x in row] for row in a]
out = {}
with h5py.File(sys.argv[1], "r", swmr=True) as f:
    out["attrs"] = {k: plain(v) for k, v in f.attrs.items()}
    out["kinds"] = {k: kind(v) for k, v in f.attrs.items()}
    runs = []
    for name in sorted(k for k in f if k.startswith("run_")):
        g = f[name]
        r = {"name": name, "attrs": {k: plain(v) for k, v in g.attrs.items()}, "channels": {}}
        for ch in sorted(k for k in g if k.startswith("ch")):
            d = g[ch][...]
            r["channels"][ch] = {"n": int(d.size), "sha": hashlib.sha256(d.astype("<f8").tobytes()).hexdigest()}
        b = g["blocks"][...]
        r["blocks"] = {k: b[k].tolist() for k in ("receive_time_ms", "first_sample", "sample_count", "lamps")}
        for k in ("dc", "ac", "peak_frequency", "snr", "ux", "udiff", "ucm"):
            r["blocks"][k] = nums(b[k])
        r["blocks"]["uref"] = [repr(float(x)) for x in b["frame_status"]["uref"]["value"]]
        r["blocks"]["raw_ok"] = bool(b["channel_status_raw"].shape[1:] == (len(g.attrs["channels"]), 136))
        runs.append(r)
    out["runs"] = runs
print(json.dumps(out))
)PY";

bool haveH5py()
{
    QProcess probe;
    probe.start(python(), {QStringLiteral("-c"), QStringLiteral("import h5py")});
    return probe.waitForFinished(30000) && probe.exitCode() == 0;
}

QJsonObject dump(const QString &path)
{
    QProcess py;
    py.start(python(), {QStringLiteral("-c"), QString::fromUtf8(Dump), path});
    if (!py.waitForFinished(60000) || py.exitCode() != 0) {
        qWarning() << "h5py:" << py.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(py.readAllStandardOutput()).object();
}

QString sha(const QVector<double> &v)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(
            QByteArray::fromRawData(reinterpret_cast<const char *>(v.constData()),
                                    int(v.size() * sizeof(double))),
            QCryptographicHash::Sha256)
            .toHex());
}

bool sameNumber(const QJsonValue &text, double v)
{
    const double r = text.toString().toDouble();
    return (std::isnan(r) && std::isnan(v)) || r == v;
}

// A block of n channels of len samples, numbered within its run.
BlockPtr makeBlock(quint64 run, qint64 firstSample, int n, int len, qint64 timeMs = 0)
{
    auto b = BlockPtr::create();
    b->runId = run;
    b->firstSample = firstSample;
    b->receivedMs = timeMs ? timeMs : 1700000000000 + firstSample;
    b->status.uref = {1, 1, {}, 2.5};
    for (int c = 0; c < n; ++c) {
        auto r = QSharedPointer<DataBlockProcessor::ChResult>::create();
        r->sampleInterval = 1e-3;
        r->rangeMv = 35.0;
        r->status.channelIndex = quint8(c);
        r->values.resize(len);
        for (int i = 0; i < len; ++i)
            r->values[i] = std::sin(0.001 * double(firstSample + i)) + c;
        r->dc = c + 0.5;
        b->channels.append(r);
    }
    return b;
}

RecordingRun describedRun(int n)
{
    RecordingRun r;
    r.moduleSerial = QStringLiteral("480-21-0103");
    r.crateSerial = QString::fromLatin1(CrateSerial);
    r.slot = Slot;
    r.configText = QStringLiteral("[GRV480MonitorDeviceConfig]\nMeasTime=1000\n");
    for (int c = 1; c <= n; ++c)
        r.channelNumbers.append(c);
    return r;
}

// Pushes a block and waits until the recorder has written it or stopped.
bool pushAndWait(MeasurementRecorder &rec, const BlockPtr &b)
{
    const qint64 before = rec.stats().blocks;
    rec.push(b);
    return QTest::qWaitFor([&] { return rec.stats().blocks > before || !rec.isActive(); }, 10000) &&
           rec.isActive();
}

MeasurementRecorder::Options options(const QString &path)
{
    MeasurementRecorder::Options o;
    o.path = path;
    o.minFreeBytes = 0;
    o.programVersion = QStringLiteral("test");
    return o;
}

// Closes every message box that a window opens.
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        timer.start(10);
    }
    QStringList texts;
    QTimer timer;
};

} // namespace

class tst_MeasurementRecorder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void runsAndParts_data();
    void runsAndParts();
    void refusedTargets_data();
    void refusedTargets();
    void faultsStopAtABlockBoundary_data();
    void faultsStopAtABlockBoundary();
    void slowDiskStopsWithoutDroppingABlock();
    void windowRecordsEachRunWithItsEnd_data();
    void windowRecordsEachRunWithItsEnd();
    void headless_data();
    void headless();
    void documentedExampleRuns();
    void cleanupTestCase();

private:
    QTemporaryDir dir;
#ifdef HAVE_EMULATOR
    std::unique_ptr<EmulatorProcess> emulator;
#endif
    bool emulatorUp = false;
};

void tst_MeasurementRecorder::initTestCase()
{
    QVERIFY(dir.isValid());
    if (!haveH5py())
        QSKIP("python3 with h5py is not installed (scripts/install-deps.sh installs it)");
#ifdef HAVE_EMULATOR
    emulator = std::make_unique<EmulatorProcess>();
    emulatorUp = emulator->start();
    qputenv("GRV480_SERVER_PORT", QByteArray::number(emulator->port()));
#endif
}

void tst_MeasurementRecorder::cleanupTestCase()
{
#ifdef HAVE_EMULATOR
    if (emulator)
        emulator->stop();
#endif
}

// Blocks from the module through the acquisition thread and the processor,
// recorded, and read back by h5py: every value, time, status and lamp.
void tst_MeasurementRecorder::roundTrip_data()
{
    QTest::addColumn<QList<int>>("channels");
    QTest::addColumn<bool>("singleChannel");
    QTest::addColumn<quint32>("bgMask");
    QTest::newRow("one channel, every check") << QList<int>{0} << false << quint32(0xFFF);
    QTest::newRow("2, 5, 16") << QList<int>{1, 4, 15} << false << quint32(0xFFF);
    QTest::newRow("all sixteen, no checks")
        << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15} << false << quint32(0);
    QTest::newRow("single-channel mode") << QList<int>{2} << true << quint32(0xFFF);
}

void tst_MeasurementRecorder::roundTrip()
{
    QFETCH(QList<int>, channels);
    QFETCH(bool, singleChannel);
    QFETCH(quint32, bgMask);
    if (!emulatorUp)
        QSKIP("the crate-server emulator cannot be started");

    DeviceConfig cfg;
    QSettings none(dir.filePath(QStringLiteral("none.ini")), QSettings::IniFormat);
    cfg.loadSettings(none);
    cfg.setBgMeasGroup(nullptr);
    cfg.bgMeasMask = bgMask;
    cfg.setSingleChMode(singleChannel);
    for (int c : channels)
        cfg.setChannelEnabled(c, true);
    cfg.setMeasTime(200);

    TGRV480 h{};
    GRV480_Init(&h);
    QCOMPARE(GRV480_Open(&h, 0x7F000001, emulator->port(), CrateSerial, Slot), 0);
    cfg.fillDeviceConfig(&h);
    QCOMPARE(GRV480_SetADC(&h), 0);

    const QString path = dir.filePath(QStringLiteral("rt_%1.h5").arg(QTest::currentDataTag()));
    QFile::remove(path);
    MeasurementRecorder rec;
    QString error;
    QVERIFY2(rec.start(options(path), &error), qPrintable(error));

    DataBlockProcessor processor;
    QThread procThread;
    processor.moveToThread(&procThread);
    procThread.start();
    QList<BlockPtr> emitted;
    QMutex mutex;
    connect(
        &processor, &DataBlockProcessor::newBlock, &processor,
        [&](const BlockPtr &b) {
            QMutexLocker lock(&mutex);
            if (emitted.size() < 4) {
                emitted.append(b);
                rec.push(b);
            }
        },
        Qt::DirectConnection);
    auto *thread = new GRV480RecvThread(&h, 200);
    RecordingRun run = RecordingRun::fromConfig(cfg);
    run.moduleSerial = QStringLiteral("480-21-0103");
    rec.beginRun(thread->runId(), run);
    connect(thread, &GRV480RecvThread::dataReceived, &processor, &DataBlockProcessor::processFrame);
    thread->start();
    QVERIFY(QTest::qWaitFor([&] { return rec.stats().blocks >= 4; }, 20000));
    thread->requestStop();
    thread->wait();
    delete thread;
    procThread.quit();
    procThread.wait();
    GRV480_Close(&h);
    QVERIFY(rec.stop(RunEnd{0, QStringLiteral("конец")}, &error));

    const QJsonObject f = dump(path);
    QVERIFY(!f.isEmpty());
    QCOMPARE(f["kinds"].toObject()["slot"].toString(), QStringLiteral("int"));
    QCOMPARE(f["kinds"].toObject()["format_version"].toString(), QStringLiteral("int"));
    QCOMPARE(f["kinds"].toObject()["configuration"].toString(), QStringLiteral("str"));
    QCOMPARE(f["attrs"].toObject()["configuration"].toString(), RecordingRun::configFileText(cfg));
    const QJsonArray runs = f["runs"].toArray();
    QCOMPARE(runs.size(), 1);
    const QJsonObject r = runs.at(0).toObject();
    QCOMPARE(r["attrs"].toObject()["end_reason"].toString(), QStringLiteral("конец"));
    QCOMPARE(r["attrs"].toObject()["module_serial"].toString(), QStringLiteral("480-21-0103"));
    QJsonArray numbers;
    for (int c : channels)
        numbers.append(c + 1);
    QCOMPARE(r["attrs"].toObject()["channels"].toArray(), numbers);

    const QJsonObject b = r["blocks"].toObject();
    QCOMPARE(b["receive_time_ms"].toArray().size(), emitted.size());
    QVERIFY(b["raw_ok"].toBool());
    for (int c = 0; c < channels.size(); ++c) {
        QVector<double> all;
        for (const BlockPtr &e : emitted)
            all += e->channels.at(c)->values;
        const QString name =
            QStringLiteral("ch%1").arg(channels.at(c) + 1, 2, 10, QLatin1Char('0'));
        const QJsonObject ch = r["channels"].toObject()[name].toObject();
        QCOMPARE(ch["n"].toInt(), all.size());
        QCOMPARE(ch["sha"].toString(), sha(all));
    }
    for (int k = 0; k < emitted.size(); ++k) {
        const DataBlockProcessor::DataBlock &e = *emitted.at(k);
        QCOMPARE(qint64(b["receive_time_ms"].toArray().at(k).toDouble()), e.receivedMs);
        QCOMPARE(qint64(b["first_sample"].toArray().at(k).toDouble()), e.firstSample);
        QVERIFY(sameNumber(b["uref"].toArray().at(k), e.status.uref.value));
        for (int c = 0; c < channels.size(); ++c) {
            const DataBlockProcessor::ChResult &res = *e.channels.at(c);
            QVERIFY(sameNumber(b["dc"].toArray().at(k).toArray().at(c), res.dc));
            QVERIFY(sameNumber(b["ac"].toArray().at(k).toArray().at(c), res.ac));
            QVERIFY(sameNumber(b["peak_frequency"].toArray().at(k).toArray().at(c),
                               res.peakValid ? res.peakFreq : qQNaN()));
            QVERIFY(sameNumber(b["snr"].toArray().at(k).toArray().at(c),
                               res.harmValid ? res.snr : qQNaN()));
            const QJsonArray lamps = b["lamps"].toArray().at(k).toArray().at(c).toArray();
            QCOMPARE(lamps.at(0).toInt(), (res.status.flags & GRV480_CH_OUT_OF_RANGE) ? 1 : 0);
            if (!run.uxOrUcm) {
                // Nothing measured: grey lamps and no figures, as on screen.
                QCOMPARE(lamps.at(3).toInt(), 3);
                QVERIFY(sameNumber(b["ux"].toArray().at(k).toArray().at(c), qQNaN()));
            } else {
                QVERIFY(sameNumber(b["ux"].toArray().at(k).toArray().at(c),
                                   res.status.ux.valid ? res.status.ux.value : qQNaN()));
            }
        }
    }

    // The program's own reader agrees.
    RecordingReader reader;
    QVERIFY2(reader.open(path, &error), qPrintable(error));
    QCOMPARE(reader.runs().size(), 1);
    QCOMPARE(reader.runs().first().blocks, qint64(emitted.size()));
    QVector<double> first;
    QVERIFY(reader.readSamples(0, 0, 0, 1 << 30, &first, &error));
    QVector<double> expected;
    for (const BlockPtr &e : emitted)
        expected += e->channels.first()->values;
    QCOMPARE(first, expected);
    QList<RecordingReader::Block> rows;
    QVERIFY(reader.readBlocks(0, 1, 2, &rows, &error));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).firstSample, emitted.at(1)->firstSample);
    QCOMPARE(rows.at(1).dc.first(), emitted.at(2)->channels.first()->dc);
}

// Runs, gaps and parts with blocks made here: what ends a run, and that no
// block is lost or doubled at a switch of files.
void tst_MeasurementRecorder::runsAndParts_data()
{
    QTest::addColumn<QString>("plan"); // one letter a block: a run id, "+" a gap before it
    QTest::addColumn<qint64>("splitBytes");
    QTest::addColumn<qint64>("splitMs");
    QTest::addColumn<QStringList>("ends"); // end reason of each run group, file by file
    QTest::addColumn<int>("parts");
    QTest::newRow("one run") << "aaa" << qint64(0) << qint64(0) << QStringList{"стоп"} << 0;
    QTest::newRow("restart makes a second run")
        << "aabbb" << qint64(0) << qint64(0) << QStringList{"Настройка модуля: OK", "стоп"} << 0;
    QTest::newRow("a gap is never joined")
        << "aa+a" << qint64(0) << qint64(0)
        << QStringList{"Пропуск данных: ожидался отсчёт 2000, получен 4000", "стоп"} << 0;
    QTest::newRow("parts by size")
        << "aaaa" << qint64(1) << qint64(0)
        << QStringList{"Продолжение в следующем файле", "Продолжение в следующем файле",
                       "Продолжение в следующем файле", "стоп"}
        << 4;
    QTest::newRow("parts by time, a run across them")
        << "aaabb" << qint64(0) << qint64(2500)
        << QStringList{"Настройка модуля: OK", "Продолжение в следующем файле", "стоп"} << 2;
}

void tst_MeasurementRecorder::runsAndParts()
{
    QFETCH(QString, plan);
    QFETCH(qint64, splitBytes);
    QFETCH(qint64, splitMs);
    QFETCH(QStringList, ends);
    QFETCH(int, parts);

    const QString path = dir.filePath(QStringLiteral("runs_%1.h5").arg(++fileSerial));
    MeasurementRecorder::Options o = options(path);
    o.splitBytes = splitBytes;
    o.splitMs = splitMs;
    MeasurementRecorder rec;
    QString error;
    QVERIFY2(rec.start(o, &error), qPrintable(error));

    constexpr int Len = 1000;
    QChar run;
    qint64 next = 0, time = 1700000000000;
    bool gap = false;
    qint64 total = 0;
    for (QChar c : plan) {
        if (c == QLatin1Char('+')) {
            gap = true;
            continue;
        }
        if (c != run) {
            if (!run.isNull())
                rec.endRun(RunEnd{0, QStringLiteral("Настройка модуля: OK")});
            run = c;
            next = 0;
            rec.beginRun(c.unicode(), describedRun(2));
        }
        if (gap)
            next += 2 * Len;
        gap = false;
        QVERIFY(pushAndWait(rec, makeBlock(c.unicode(), next, 2, Len, time)));
        next += Len;
        time += 1000;
        total += Len;
    }
    QVERIFY(rec.stop(RunEnd{0, QStringLiteral("стоп")}, &error));

    QStringList files;
    if (parts == 0)
        files << path;
    for (int p = 1; p <= parts; ++p)
        files << MeasurementRecorder::partPath(path, p);
    QVERIFY(!QFileInfo::exists(MeasurementRecorder::partPath(path, parts + 1)));
    QStringList seenEnds;
    qint64 seen = 0;
    QMap<QString, qint64> nextInRun; // run number -> next sample, across files
    for (const QString &file : files) {
        const QJsonObject f = dump(file);
        QVERIFY2(!f.isEmpty(), qPrintable(file));
        for (const QJsonValue &v : f["runs"].toArray()) {
            const QJsonObject r = v.toObject();
            const QJsonObject a = r["attrs"].toObject();
            seenEnds << a["end_reason"].toString();
            const QString number = QString::number(a["run"].toInt());
            // Each file's part of a run starts where the previous file's ended.
            QCOMPARE(qint64(a["first_sample"].toDouble()),
                     nextInRun.value(number, a["first_sample"].toDouble()));
            const QJsonArray firsts = r["blocks"].toObject()["first_sample"].toArray();
            qint64 expect = qint64(a["first_sample"].toDouble());
            for (const QJsonValue &fs : firsts) {
                QCOMPARE(qint64(fs.toDouble()), expect);
                expect += Len;
            }
            nextInRun[number] = expect;
            const int n = r["channels"].toObject()["ch01"].toObject()["n"].toInt();
            QCOMPARE(n, firsts.size() * Len);
            seen += n;
        }
    }
    QCOMPARE(seenEnds, ends);
    QCOMPARE(seen, total);
}

void tst_MeasurementRecorder::refusedTargets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("existing file") << "exists.h5"
                                   << "уже существует";
    QTest::newRow("dangling link") << "link.h5"
                                   << "уже существует";
    QTest::newRow("directory") << "folder"
                               << "Это каталог";
    QTest::newRow("fifo") << "fifo.h5"
                          << "FIFO";
    QTest::newRow("device") << "/dev/null"
                            << "устройство";
    QTest::newRow("missing folder") << "no/such/x.h5"
                                    << "Нет такого файла или каталога";
    QTest::newRow("read-only file system") << "ro.h5"
                                           << "только для чтения";
    QTest::newRow("empty") << ""
                           << "Нет такого файла";
}

void tst_MeasurementRecorder::refusedTargets()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    QTemporaryDir d;
    QFile existing(d.filePath(QStringLiteral("exists.h5")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("keep");
    existing.close();
    QVERIFY(
        QFile::link(d.filePath(QStringLiteral("nowhere")), d.filePath(QStringLiteral("link.h5"))));
    QVERIFY(QDir(d.path()).mkdir(QStringLiteral("folder")));
    QCOMPARE(::mkfifo(QFile::encodeName(d.filePath(QStringLiteral("fifo.h5"))).constData(), 0600),
             0);
    const QStringList before =
        QDir(d.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);

    const QString path =
        name.isEmpty() || name.startsWith(QLatin1Char('/')) ? name : d.filePath(name);
    if (name == QLatin1String("ro.h5")) {
        SafeFileWriter::FaultInjection readOnly;
        readOnly.kind = SafeFileWriter::FaultInjection::ReadOnlyFileSystem;
        SafeFileWriter::setFaultInjection(readOnly);
    }
    MeasurementRecorder rec;
    QString error;
    const bool started = rec.start(options(path), &error);
    SafeFileWriter::setFaultInjection(SafeFileWriter::FaultInjection());
    QVERIFY(!started);
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(!rec.isActive());
    QCOMPARE(QDir(d.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             before);
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("keep"));
}

// A full disk (a small tmpfs, with and without the margin) and a removed file
// stop the recording at a block boundary; every block written before stays.
void tst_MeasurementRecorder::faultsStopAtABlockBoundary_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<qint64>("margin");
    QTest::addColumn<QString>("message");
    QTest::newRow("disk fills, no margin") << "full" << qint64(-1) << "Нет места на устройстве";
    QTest::newRow("margin stops first") << "full" << qint64(3 << 20) << "мало места";
    QTest::newRow("file removed") << "removed" << qint64(0) << "удалён или заменён";
    QTest::newRow("file replaced") << "replaced" << qint64(0) << "удалён или заменён";
}

void tst_MeasurementRecorder::faultsStopAtABlockBoundary()
{
    QFETCH(QString, fault);
    QFETCH(qint64, margin);
    QFETCH(QString, message);
    QTemporaryDir d;
    const QByteArray mountPoint = QFile::encodeName(d.path());
    bool mounted = false;
    if (fault == QLatin1String("full")) {
        if (::geteuid() != 0)
            QSKIP("a small tmpfs needs root");
        mounted = ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=6m") == 0;
        if (!mounted)
            QSKIP("tmpfs cannot be mounted here");
    }
    const QString path = d.filePath(QStringLiteral("r.h5"));
    MeasurementRecorder::Options o = options(path);
    o.minFreeBytes = margin;
    MeasurementRecorder rec;
    QSignalSpy stopped(&rec, &MeasurementRecorder::stopped);
    QString error;
    QVERIFY2(rec.start(o, &error), qPrintable(error));
    rec.beginRun(1, describedRun(2));

    int pushed = 0;
    constexpr int Len = 32768; // half a MiB a block
    for (; pushed < 40; ++pushed) {
        if (pushed == 3 && fault == QLatin1String("removed"))
            QVERIFY(QFile::remove(path));
        if (pushed == 3 && fault == QLatin1String("replaced")) {
            QVERIFY(QFile::rename(path, path + QStringLiteral(".old")));
            QFile other(path);
            QVERIFY(other.open(QIODevice::WriteOnly));
        }
        if (!pushAndWait(rec, makeBlock(1, qint64(pushed) * Len, 2, Len)))
            break;
    }
    QVERIFY2(pushed < 40, "the recording did not stop");
    QTRY_COMPARE(stopped.count(), 1);
    QVERIFY2(stopped.first().first().toString().contains(message),
             qPrintable(stopped.first().first().toString()));
    const qint64 written = rec.stats().blocks;
    rec.stop(RunEnd{});

    const QString kept = fault == QLatin1String("replaced") ? path + QStringLiteral(".old") : path;
    if (fault != QLatin1String("removed")) {
        const QJsonObject f = dump(kept);
        QVERIFY2(!f.isEmpty(), "what was written is not readable");
        const QJsonObject r = f["runs"].toArray().at(0).toObject();
        const int blocks = r["blocks"].toObject()["first_sample"].toArray().size();
        QVERIFY(blocks >= 1);
        QVERIFY(blocks >= written - 1 && blocks <= written + 1);
        QVERIFY(r["channels"].toObject()["ch02"].toObject()["n"].toInt() >= blocks * Len);
    }
    if (mounted)
        QCOMPARE(::umount2(mountPoint.constData(), MNT_DETACH), 0);
}

// Blocks faster than any disk: the recording stops with "диск не успевает"
// after writing what was queued, gapless.
void tst_MeasurementRecorder::slowDiskStopsWithoutDroppingABlock()
{
    const QString path = dir.filePath(QStringLiteral("slow.h5"));
    MeasurementRecorder::Options o = options(path);
    o.queueBlocks = 2;
    o.queueMs = 0;
    MeasurementRecorder rec;
    QSignalSpy stopped(&rec, &MeasurementRecorder::stopped);
    // The blocks are made beforehand, so that they arrive faster than any
    // disk writes them whatever the build's speed of making them.
    constexpr int Len = 16384;
    QVector<BlockPtr> blocks;
    for (int i = 0; i < 60; ++i)
        blocks.append(makeBlock(1, qint64(i) * Len, 4, Len));
    QString error;
    QVERIFY(rec.start(o, &error));
    rec.beginRun(1, describedRun(4));
    for (const BlockPtr &b : blocks)
        rec.push(b);
    QVERIFY(stopped.wait(10000));
    QVERIFY(stopped.first().first().toString().contains(QStringLiteral("диск не успевает")));
    const qint64 written = rec.stats().blocks;
    QVERIFY(written < 60);
    const QJsonObject r = dump(path)["runs"].toArray().at(0).toObject();
    const QJsonArray firsts = r["blocks"].toObject()["first_sample"].toArray();
    QCOMPARE(firsts.size(), int(written));
    for (int i = 0; i < firsts.size(); ++i)
        QCOMPARE(qint64(firsts.at(i).toDouble()), qint64(i) * Len);
    QVERIFY(r["attrs"].toObject()["end_reason"].toString().contains(QStringLiteral("не успевает")));
}

// The window: a restart of acquisition (refresh, a lost link) ends the run
// with its reason and the recording goes on in a second run.
void tst_MeasurementRecorder::windowRecordsEachRunWithItsEnd_data()
{
    QTest::addColumn<QString>("restart");
    QTest::addColumn<QString>("firstEnd");
    QTest::newRow("refresh") << "refresh"
                             << "Обновление списка модулей";
    QTest::newRow("link lost") << "link"
                               << "Ошибка приема данных";
}

void tst_MeasurementRecorder::windowRecordsEachRunWithItsEnd()
{
    QFETCH(QString, restart);
    QFETCH(QString, firstEnd);
    if (!emulatorUp)
        QSKIP("the crate-server emulator cannot be started");
    {
        QSettings settings;
        settings.clear();
        DeviceConfig cfg;
        cfg.loadSettings(settings);
        cfg.setChannelEnabled(0, true);
        cfg.setChannelEnabled(3, true);
        cfg.setMeasTime(200);
        cfg.saveSettings(settings);
    }
    const QString path = dir.filePath(QStringLiteral("window_%1.h5").arg(restart));
    BoxCloser boxes;
    {
        MainWindow w;
        auto *rec = w.findChild<RecordingActions *>();
        QVERIFY(rec);
        QVERIFY(rec->action()->isCheckable());
        QCOMPARE(rec->action()->shortcut(), QKeySequence(Qt::Key_F9));
        QVERIFY(rec->startRecording(path));
        QVERIFY(rec->action()->isChecked());
        QVERIFY(QTest::qWaitFor([&] { return rec->recorder().stats().blocks >= 2; }, 20000));
        auto *label = w.findChild<QLabel *>(QStringLiteral("recordingLabel"));
        QTRY_VERIFY(!label->isHidden() && label->text().contains(QStringLiteral("window_")));
        if (restart == QLatin1String("refresh")) {
            w.refreshDevList();
        } else {
            emulator->kill();
            QTRY_VERIFY_WITH_TIMEOUT(!boxes.texts.isEmpty(), 20000);
            QVERIFY(emulator->restart());
            w.refreshDevList();
        }
        QVERIFY(QTest::qWaitFor([&] { return rec->recorder().stats().runs >= 2; }, 20000));
        QVERIFY(rec->action()->isChecked());
        w.close();
    }
    const QJsonArray runs = dump(path)["runs"].toArray();
    QCOMPARE(runs.size(), 2);
    const QJsonObject first = runs.at(0).toObject()["attrs"].toObject();
    QVERIFY2(first["end_reason"].toString().startsWith(firstEnd),
             qPrintable(first["end_reason"].toString()));
    QCOMPARE(first["end_code"].toInt() != 0, restart == QLatin1String("link"));
    QCOMPARE(runs.at(1).toObject()["attrs"].toObject()["end_reason"].toString(),
             QStringLiteral("Окно закрыто"));
    for (const QJsonValue &v : runs) {
        const QJsonArray firsts = v.toObject()["blocks"].toObject()["first_sample"].toArray();
        QCOMPARE(firsts.first().toInt(), 0);
    }
}

// grv480-record: its exit codes, and a valid file after SIGINT and SIGKILL.
void tst_MeasurementRecorder::headless_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("signal"); // sent once two blocks are on disk; 0 none
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("endReason"); // of the file's run; "-" no file
    const QStringList base{"--crate", CrateSerial, "--slot", "3", "--channels", "1,2"};
    QTest::newRow("whole duration")
        << base + QStringList{"--duration", "2s"} << 0 << 0 << "Записано заданное время";
    QTest::newRow("SIGINT") << base + QStringList{"--duration", "1h"} << int(SIGINT) << 1
                            << "Запись прервана сигналом SIGINT";
    QTest::newRow("SIGTERM") << base + QStringList{"--duration", "1h"} << int(SIGTERM) << 1
                             << "Запись прервана сигналом SIGTERM";
    QTest::newRow("SIGKILL keeps the blocks")
        << base + QStringList{"--duration", "1h"} << int(SIGKILL) << -1 << "";
    QTest::newRow("no such module")
        << QStringList{"--crate", "NOPE", "--slot", "3", "--channels", "1", "--duration", "1s"} << 0
        << 1 << "-";
    QTest::newRow("usage: no duration")
        << QStringList{"--crate", "X", "--slot", "3"} << 0 << 2 << "-";
    QTest::newRow("usage: bad channels")
        << base.mid(0, 4) + QStringList{"--channels", "0,17", "--duration", "1s"} << 0 << 2 << "-";
}

void tst_MeasurementRecorder::headless()
{
    QFETCH(QStringList, args);
    QFETCH(int, signal);
    QFETCH(int, exitCode);
    QFETCH(QString, endReason);
    if (!emulatorUp)
        QSKIP("the crate-server emulator cannot be started");
    const QString path = dir.filePath(QStringLiteral("headless_%1.h5").arg(++fileSerial));
    QProcess p;
    p.start(QStringLiteral(GRV480_BIN_DIR "/grv480-record"),
            args + QStringList{QStringLiteral("--out"), path});
    QVERIFY(p.waitForStarted());
    if (signal) {
        RecordingReader reader;
        QString error;
        QVERIFY(QTest::qWaitFor(
            [&] {
                return reader.open(path, &error) && !reader.runs().isEmpty() &&
                       reader.runs().first().blocks >= 2;
            },
            20000));
        reader.close();
        ::kill(pid_t(p.processId()), signal);
    }
    QVERIFY(p.waitForFinished(30000));
    if (exitCode >= 0) {
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exitCode);
    }
    if (endReason == QLatin1String("-")) {
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(!p.readAllStandardError().isEmpty());
        return;
    }
    const QJsonObject f = dump(path);
    QVERIFY(!f.isEmpty());
    const QJsonObject r = f["runs"].toArray().at(0).toObject();
    QCOMPARE(r["attrs"].toObject()["end_reason"].toString(), endReason);
    const QJsonArray counts = r["blocks"].toObject()["sample_count"].toArray();
    qint64 samples = 0;
    for (const QJsonValue &c : counts)
        samples += qint64(c.toDouble());
    const qint64 stored = r["channels"].toObject()["ch02"].toObject()["n"].toInt();
    // Every block in the table is whole; after SIGKILL at most one more may be half there.
    QVERIFY(stored >= samples);
    QVERIFY(signal == SIGKILL || stored == samples);
    QVERIFY(counts.size() >= 2);
    if (exitCode == 0)
        QVERIFY(samples >= 2 * r["attrs"].toObject()["frame_frequency"].toDouble());
}

// The example of docs/recording-format.md runs as written; matplotlib is
// replaced by a stand-in that notes what it was asked to plot.
void tst_MeasurementRecorder::documentedExampleRuns()
{
    QFile doc(QStringLiteral(GRV480_SOURCE_DIR "/docs/recording-format.md"));
    QVERIFY(doc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(doc.readAll());
    const int start = text.indexOf(QStringLiteral("```python\n"));
    QVERIFY(start >= 0);
    const int end = text.indexOf(QStringLiteral("```"), start + 10);
    const QString example = text.mid(start + 10, end - start - 10);
    QVERIFY(example.count(QLatin1Char('\n')) <= 10);

    QTemporaryDir work;
    MeasurementRecorder rec;
    QString error;
    QVERIFY(rec.start(options(work.filePath(QStringLiteral("recording.h5"))), &error));
    rec.beginRun(7, describedRun(1));
    for (int i = 0; i < 3; ++i)
        QVERIFY(pushAndWait(rec, makeBlock(7, i * 500, 1, 500)));
    QVERIFY(rec.stop(RunEnd{0, QStringLiteral("стоп")}, &error));

    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("stub/matplotlib")));
    QFile init(work.filePath(QStringLiteral("stub/matplotlib/__init__.py")));
    QVERIFY(init.open(QIODevice::WriteOnly));
    init.close();
    QFile pyplot(work.filePath(QStringLiteral("stub/matplotlib/pyplot.py")));
    QVERIFY(pyplot.open(QIODevice::WriteOnly));
    pyplot.write("import json\n_c = []\n"
                 "def plot(x, y, *a, **k): _c.append([len(x), len(y), float(x[-1]), float(y[1])])\n"
                 "def xlabel(*a, **k): pass\ndef ylabel(*a, **k): pass\n"
                 "def show(*a, **k): json.dump(_c, open('plot.json', 'w'))\n");
    pyplot.close();

    QProcess py;
    py.setWorkingDirectory(work.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONPATH"), work.filePath(QStringLiteral("stub")));
    py.setProcessEnvironment(env);
    py.start(python(), {QStringLiteral("-c"), example});
    QVERIFY(py.waitForFinished(60000));
    QVERIFY2(py.exitCode() == 0, py.readAllStandardError().constData());
    QVERIFY(py.readAllStandardOutput().startsWith("стоп"));
    QFile plotted(work.filePath(QStringLiteral("plot.json")));
    QVERIFY(plotted.open(QIODevice::ReadOnly));
    const QJsonArray call = QJsonDocument::fromJson(plotted.readAll()).array().at(0).toArray();
    QCOMPARE(call.at(0).toInt(), 1500);
    QCOMPARE(call.at(1).toInt(), 1500);
    QCOMPARE(call.at(2).toDouble(), 1.499); // seconds of the last sample at 1 kHz
    QCOMPARE(call.at(3).toDouble(), std::sin(0.001));
}

int main(int argc, char *argv[])
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Norvik"));
    QCoreApplication::setApplicationName(QStringLiteral("GRV480 Monitor"));
    tst_MeasurementRecorder test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_measurementrecorder.moc"
