// Export of the shown block: the files read back by Python's csv module and
// h5py give the block's numbers; a failed or cancelled export leaves the old
// file (or none) under the chosen name; the action path writes every kind.
#include "deviceconfig.h"
#include "emulatorprocess.h"
#include "lastlocations.h"
#include "mainwindow.h"
#include "measurementactions.h"
#include "measurementexport.h"
#include "resultrules.h"
#include "windowsetup.h"

#include <QApplication>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <qcustomplot.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <limits>
#include <thread>

#include <sys/resource.h>

using Block = DataBlockProcessor::DataBlock;
using ChResult = DataBlockProcessor::ChResult;
using MeasurementExport::Format;

namespace {

// Prints what a common tool reads from the file, one key and its values a line,
// numbers as float.hex() so that nothing is lost on the way back.
const char ReadBack[] = R"PY(
import csv, sys
kind, path = sys.argv[1], sys.argv[2]
def h(x):
    try:
        return float(x).hex()
    except ValueError:
        return x if x else '-'
if kind == 'hdf5':
    import h5py, numbers
    def kind_of(v):
        return 'int' if isinstance(v, numbers.Integral) else type(v).__name__
    f = h5py.File(path, 'r')
    a = f.attrs['module_serial']
    print('meta', a.decode() if isinstance(a, bytes) else a)
    print('config', f.attrs['configuration'])
    print('types', *[n + '=' + kind_of(f.attrs[n]) for n in sorted(f.attrs)],
          'unit=' + kind_of(f['time'].attrs['unit']))
    for name in [n for n in f if n.startswith('channel_')]:
        g = f[name]
        ch = int(g.attrs['channel'])
        print('types:' + str(ch), *[n + '=' + kind_of(g.attrs[n]) for n in sorted(g.attrs)])
        for ds in ('time', 'values', 'frequency', 'spectrum'):
            print(ds + ':' + str(ch), *[float(v).hex() for v in g[ds][()]])
        if 'unit' in g.attrs:
            u = g.attrs['unit']
            print('unit:' + str(ch), u.decode() if isinstance(u, bytes) else u,
                  float(g.attrs['value_dc']).hex())
else:
    rows = list(csv.reader(open(path, encoding='utf-8', newline='')))
    i = 0
    meta = {}
    while rows[i]:
        meta[rows[i][0]] = rows[i][1]
        i += 1
    print('meta', meta['Модуль'])
    for k in meta:
        if k.startswith('Датчик'):
            print(k.replace(' ', '_'), meta[k])
    head, data = rows[i + 1], rows[i + 2:]
    if kind == 'samples':
        for j, t in enumerate(head):
            vals = [r[j] for r in data if j < len(r) and r[j] != '']
            print(t.replace(' ', '_'), *[float(v).hex() for v in vals])
    else:
        for r in data:
            if not r:
                break
            print('row:' + r[0], *[h(x) for x in r[1:]])
)PY";

QSharedPointer<Block> makeBlock(int channels, int samples)
{
    auto block = QSharedPointer<Block>::create();
    block->status.uref = {GRV480_MV_VALID, 1, {}, 2.5 / 3.0};
    block->status.flags = GRV480_FRAME_LOAD_POWER_EXCEEDED;
    QVector<double> freq(samples / 2 + 1);
    for (int c = 0; c < channels; ++c) {
        auto r = QSharedPointer<ChResult>::create();
        r->sampleInterval = 1e-4;
        r->freqStep = 10000.0 / samples;
        r->freqBins = freq.size();
        r->values.resize(samples);
        for (int i = 0; i < samples; ++i)
            r->values[i] = std::sin(i * 0.37 + c) / 3.0 + 1e-17 * i;
        r->spectrum.resize(freq.size());
        for (int i = 0; i < freq.size(); ++i)
            r->spectrum[i] = -20.0 * std::log10(1.0 + i) / 7.0;
        r->spectrum[0] = -std::numeric_limits<double>::infinity(); // a line of exactly zero
        r->dc = 1.0 / 3.0 + c;
        r->ac = 2.0 / 7.0;
        r->rangeMv = 35.0;
        r->status.flags = c == 1 ? GRV480_CH_OUT_OF_RANGE : 0;
        r->status.ux = {GRV480_MV_VALID, 1, {}, 0.1 + 1.0 / 3.0 * 1e-3};
        r->peakValid = true;
        r->peakFreq = 1234.5678901234;
        r->harmValid = true;
        r->snr = 97.123456789;
        block->channels.append(r);
    }
    return block;
}

MeasurementSnapshot makeSnapshot(int channels, int samples)
{
    MeasurementSnapshot s;
    s.moduleSerial = QStringLiteral("GM-0042, \"test\"");
    s.crateSerial = QStringLiteral("CR16-0417");
    s.slot = 3;
    s.configSummary = QStringLiteral("Частота АЦП 50000 Гц; каналы 2, 5");
    s.blockTime = QDateTime::fromMSecsSinceEpoch(1765206202123, Qt::UTC);
    s.uxOrUcm = true;
    s.iSrcMa = 10.0;
    for (int c = 0; c < channels; ++c)
        s.channelNumbers.append(2 + 3 * c);
    s.block = makeBlock(channels, samples);
    return s;
}

// Python's float.hex() and printf's %a spell a number differently; strtod
// reads both.
QVector<double> numbers(const QStringList &texts)
{
    QVector<double> out;
    for (const QString &t : texts)
        out.append(std::strtod(t.toLatin1().constData(), nullptr));
    return out;
}

// The double nearest to units × 10^-decimals.
double decimal(qint64 units, int decimals)
{
    QByteArray t = QByteArray::number(units).rightJustified(decimals + 1, '0');
    t.insert(t.size() - decimals, '.');
    return std::strtod(t.constData(), nullptr);
}

bool sameDoubles(const QVector<double> &a, const QVector<double> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))))
            return false;
    }
    return true;
}

// Closes every message box as it appears.
void closeBoxes(QObject *owner)
{
    auto *t = new QTimer(owner);
    QObject::connect(t, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->done(QMessageBox::Ok);
    });
    t->start(20);
}

// Debian's interpreter, whose h5py install-deps.sh installs, before any other on PATH.
QString python()
{
    const QString debian = QStringLiteral("/usr/bin/python3");
    return QFileInfo::exists(debian) ? debian : QStringLiteral("python3");
}

} // namespace

class tst_MeasurementExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void definedNumbers_data();
    void definedNumbers();
    void readBack_data();
    void readBack();
    void noHalfWrittenFile_data();
    void noHalfWrittenFile();
    void actionWritesEveryKind_data();
    void actionWritesEveryKind();
    void windowExportsAndRecordsLiveBlocks();
    void savesBlockOnScreenWhenChosen_data();
    void savesBlockOnScreenWhenChosen();
    void pictureStandsOnItsOwn_data();
    void pictureStandsOnItsOwn();
};

// Working bounds and settings without the noise of the sum that made them.
void tst_MeasurementExport::definedNumbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("Ucm min at 70 mV") << 0.5 + 0.07 << QByteArray("0.57");
    QTest::newRow("Ucm max at 35 mV") << 4.5 - 0.035 << QByteArray("4.465");
    QTest::newRow("current") << 25.005 << QByteArray("25.005");
    QTest::newRow("a third") << 1.0 / 3 << QByteArray("0.333333333333333");
    QTest::newRow("large") << 1e20 << QByteArray("1e+20");
    QTest::newRow("negative") << -0.1 - 0.2 << QByteArray("-0.3");
}

void tst_MeasurementExport::definedNumbers()
{
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    QCOMPARE(MeasurementTable::definedText(value), text);
}

void tst_MeasurementExport::readBack_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("reader");
    QTest::newRow("results as CSV") << int(Format::ResultsCsv) << "results";
    QTest::newRow("samples as CSV") << int(Format::SamplesCsv) << "samples";
    QTest::newRow("samples as HDF5") << int(Format::SamplesHdf5) << "hdf5";
}

void tst_MeasurementExport::readBack()
{
    QFETCH(int, format);
    QFETCH(QString, reader);
    QProcess probe;
    probe.start(python(), {QStringLiteral("-c"), QStringLiteral("import h5py")});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
        QSKIP("python3 with h5py is not installed (scripts/install-deps.sh installs it)");

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.out"));
    MeasurementSnapshot s = makeSnapshot(3, 257);
    // The first channel in a unit: the physical values come beside the mV.
    s.channelSensors.resize(3);
    s.channelSensors[0].sensorName = QStringLiteral("F");
    s.channelSensors[0].unit = QStringLiteral("кН");
    s.channelSensors[0].scaling = Scaling::linear(2, 1);
    const MeasurementExport::Result r = MeasurementExport::write(s, Format(format), path);
    QVERIFY2(r.ok, qPrintable(r.error));

    QProcess py;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("utf-8"));
    py.setProcessEnvironment(env);
    py.start(python(), {QStringLiteral("-c"), QString::fromUtf8(ReadBack), reader, path});
    QVERIFY(py.waitForFinished(60000));
    QVERIFY2(py.exitCode() == 0, py.readAllStandardError().constData());
    QMap<QString, QStringList> got;
    for (const QString &line :
         QString::fromUtf8(py.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        QStringList parts = line.split(QLatin1Char(' '));
        const QString key = parts.takeFirst();
        if (key == QLatin1String("meta") || key == QLatin1String("config"))
            got[key] = QStringList{parts.join(QLatin1Char(' '))};
        else if (!key.isEmpty())
            got[key] = parts;
    }
    QCOMPARE(got.value(QStringLiteral("meta")).value(0), s.moduleSerial);
    if (reader == QLatin1String("hdf5")) {
        // Text comes back as text, numbers that count as integers.
        QCOMPARE(got.value(QStringLiteral("config")).value(0), s.configSummary);
        QCOMPARE(got.value(QStringLiteral("types")),
                 QStringList({"block_time=str", "configuration=str", "crate_serial=str",
                              "module_serial=str", "slot=int", "unit=str"}));
        QCOMPARE(
            got.value(QStringLiteral("types:5")),
            QStringList({"ac_mV=float64", "channel=int", "dc_mV=float64", "range_mV=float64"}));
    }

    for (int r = 0; r < s.block->channels.size(); ++r) {
        const ChResult &c = *s.block->channels.at(r);
        const QString ch = QString::number(s.channelNumbers.at(r));
        if (reader == QLatin1String("results")) {
            const QStringList row = got.value(QStringLiteral("row:") + ch);
            QCOMPARE(row.size(), 20);
            if (r == 0) {
                QCOMPARE(numbers(row.mid(17, 2)), (QVector<double>{2 * c.dc + 1, 2 * c.ac}));
                QCOMPARE(row.at(19), QStringLiteral("кН"));
                QCOMPARE(got.value(QStringLiteral("Датчик,_канал_") + ch), QStringList{"F"});
            } else {
                QCOMPARE(row.mid(17), (QStringList{"-", "-", "-"}));
            }
            QCOMPARE(numbers(row.mid(0, 2)), (QVector<double>{c.dc, c.ac}));
            QCOMPARE(row.at(2), r == 1 ? QStringLiteral("красный") : QStringLiteral("зелёный"));
            QCOMPARE(row.at(3), QStringLiteral("серый")); // no short check configured
            QCOMPARE(numbers({row.at(7)}).value(0), c.status.ux.value);
            QCOMPARE(numbers({row.at(8)}).value(0), c.status.ux.value - s.block->status.uref.value);
            QCOMPARE(row.at(9), QStringLiteral("-")); // Ucm not measured: empty
            QCOMPARE(numbers({row.at(12), row.at(14)}), (QVector<double>{c.peakFreq, c.snr}));
            continue;
        }
        const bool csv = reader == QLatin1String("samples");
        const QString values = csv ? QStringLiteral("Канал_%1,_мВ").arg(ch) : "values:" + ch;
        const QString spectrum = csv ? QStringLiteral("Канал_%1,_дБ").arg(ch) : "spectrum:" + ch;
        QVERIFY(sameDoubles(numbers(got.value(values)), c.values));
        QVERIFY(sameDoubles(numbers(got.value(spectrum)), c.spectrum));
        // The axes from their decimal definition: i × 0.1 ms, i × (10000 / 257 Hz
        // at 15 digits), not 3.3000000000000003 for the 33rd point.
        const QString time = csv ? QStringLiteral("Время,_мс") : "time:" + ch;
        const QString freq = csv ? QStringLiteral("Частота,_Гц") : "frequency:" + ch;
        QVector<double> times(c.values.size()), freqs(c.freqBins);
        for (int i = 0; i < times.size(); ++i)
            times[i] = i / 10.0;
        for (int i = 0; i < freqs.size(); ++i)
            freqs[i] = decimal(i * 389105058365759LL, 13);
        QVERIFY(sameDoubles(numbers(got.value(time)), times));
        QVERIFY(sameDoubles(numbers(got.value(freq)), freqs));
        if (!csv) {
            const QStringList unit = got.value("unit:" + ch);
            QCOMPARE(unit.value(0), r == 0 ? QStringLiteral("кН") : QString());
            if (r == 0)
                QCOMPARE(numbers(unit.mid(1)), QVector<double>{2 * c.dc + 1});
        }
    }
}

void tst_MeasurementExport::noHalfWrittenFile_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("oldFile");
    QTest::addColumn<bool>("cancel"); // else the file-size limit stops the write
    for (int f : {int(Format::SamplesCsv), int(Format::SamplesHdf5)}) {
        const char *name = f == int(Format::SamplesCsv) ? "CSV" : "HDF5";
        QTest::addRow("%s, cancelled, old file kept", name) << f << true << true;
        QTest::addRow("%s, cancelled, no file", name) << f << false << true;
        QTest::addRow("%s, write fails, old file kept", name) << f << true << false;
        QTest::addRow("%s, write fails, no file", name) << f << false << false;
    }
}

void tst_MeasurementExport::noHalfWrittenFile()
{
    QFETCH(int, format);
    QFETCH(bool, oldFile);
    QFETCH(bool, cancel);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("block.dat"));
    const QByteArray old = "the previous export\n";
    if (oldFile) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    // Large enough that the writer reports progress and checks for a cancel
    // many times before it is done.
    const MeasurementSnapshot s = makeSnapshot(4, 400000);

    MeasurementExport::Progress progress;
    MeasurementExport::Result r;
    if (cancel) {
        std::thread watcher([&progress] {
            while (progress.done == 0)
                std::this_thread::yield();
            progress.cancel = true;
        });
        r = MeasurementExport::write(s, Format(format), path, &progress);
        progress.done = 1; // releases the watcher even if nothing was reported
        watcher.join();
        QVERIFY(r.cancelled);
    } else {
        // A disk that fills up half-way: no file may grow beyond 1 MB.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved;
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 1 << 20;
        setrlimit(RLIMIT_FSIZE, &small);
        r = MeasurementExport::write(s, Format(format), path, &progress);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!r.cancelled);
        QVERIFY(r.error.contains(path));
    }
    QVERIFY(!r.ok);

    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, oldFile ? QStringList{QStringLiteral("block.dat")} : QStringList());
    if (oldFile) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
    }
}

void tst_MeasurementExport::actionWritesEveryKind_data()
{
    using K = MeasurementActions::Kind;
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("results CSV") << int(K::ResultsCsv) << QByteArray("Модуль,");
    QTest::newRow("samples CSV") << int(K::SamplesCsv) << QByteArray("Модуль,");
    QTest::newRow("samples HDF5") << int(K::SamplesHdf5) << QByteArray("\x89HDF");
    QTest::newRow("time plot PNG") << int(K::TimePlotPng) << QByteArray("\x89PNG");
    QTest::newRow("spectrum plot PDF") << int(K::FftPlotPdf) << QByteArray("%PDF");
}

void tst_MeasurementExport::actionWritesEveryKind()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, magic);
    QMainWindow window;
    auto *timePlot = new QCustomPlot(&window);
    auto *fftPlot = new QCustomPlot(&window);
    timePlot->addGraph();
    timePlot->resize(400, 300);
    fftPlot->resize(400, 300);
    const MeasurementSnapshot s = makeSnapshot(2, 1000);
    MeasurementActions actions(&window, timePlot, fftPlot, [&s](MeasurementSnapshot &d) {
        d = s;
        d.block.reset();
    });
    QVERIFY(!actions.saveAction()->isEnabled());
    actions.blockShown(s.block.constCast<Block>());
    QVERIFY(actions.saveAction()->isEnabled());

    QTemporaryDir dir;
    const QString path = dir.filePath(
        QStringLiteral("out.") + MeasurementActions::defaultSuffix(MeasurementActions::Kind(kind)));
    QSignalSpy finished(&actions, &MeasurementActions::exportFinished);
    QVERIFY(finished.isValid());
    closeBoxes(&actions);
    actions.exportTo(path, MeasurementActions::Kind(kind));
    QVERIFY(finished.count() == 1 || finished.wait(30000));
    QVERIFY2(finished.at(0).at(0).toBool(), qPrintable(finished.at(0).at(1).toString()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.read(magic.size()), magic);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// The window's hooks: the block on screen is the one exported, with the
// module's place, and the recorder gets every block.
void tst_MeasurementExport::windowExportsAndRecordsLiveBlocks()
{
    EmulatorProcess emulator;
    if (!startWindowTest(emulator, {0, 1, 4}))
        QSKIP("the crate-server emulator cannot be started");
    MainWindow w;
    closeBoxes(&w);
    auto *table = w.findChild<QTableWidget *>(QStringLiteral("paramsTable"));
    auto *actions = w.findChild<MeasurementActions *>();
    QVERIFY(table && actions);
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("log.csv"));
    QVERIFY(actions->startRecording(log));
    QVERIFY(QTest::qWaitFor([&] { return actions->recorder().blockCount() >= 2; }, 20000));

    // Table and export in one turn of the event loop: the same block.
    QStringList dcShown;
    for (int r = 0; r < 3; ++r)
        dcShown << table->item(r, 1)->text();
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    QSignalSpy finished(actions, &MeasurementActions::exportFinished);
    actions->exportTo(path, MeasurementActions::Kind::ResultsCsv);
    QVERIFY(finished.count() == 1 || finished.wait(10000));
    QVERIFY(finished.at(0).at(0).toBool());
    actions->recordAction()->setChecked(false);
    QVERIFY(!actions->recorder().isActive());

    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.at(0), QStringLiteral("Модуль,480-21-0103"));
    QCOMPARE(lines.at(1), QStringLiteral("Крейт,CR16-0417"));
    QCOMPARE(lines.at(2), QStringLiteral("Слот,3"));
    QVERIFY(lines.at(6).startsWith(QStringLiteral("№ канала,\"Разбаланс / DC, мВ\",")));
    for (int r = 0; r < 3; ++r) {
        const QStringList cells = lines.at(7 + r).split(QLatin1Char(','));
        QCOMPARE(cells.at(0), QString::number(QList<int>{1, 2, 5}.at(r)));
        QCOMPARE(QString::number(cells.at(1).toDouble(), 'f', 6), dcShown.at(r));
    }

    // The recording starts with the export's header rows, then a blank line
    // and the titles; the configuration did not change on the way.
    QFile rec(log);
    QVERIFY(rec.open(QIODevice::ReadOnly));
    const qint64 blocks = actions->recorder().blockCount();
    const QStringList recorded = QString::fromUtf8(rec.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(recorded.mid(0, 4), lines.mid(0, 4));
    QVERIFY(recorded.at(3).contains(QStringLiteral("каналы 1 (±35 мВ), 2 (±35 мВ), 5 (±35 мВ)")));
    QCOMPARE(recorded.at(4), QString());
    QVERIFY(recorded.at(5).startsWith(QStringLiteral("Время блока,№ канала,")));
    QCOMPARE(recorded.size() - 1, 6 + 3 * int(blocks));
}

void tst_MeasurementExport::savesBlockOnScreenWhenChosen_data()
{
    QTest::addColumn<bool>("held");
    QTest::newRow("acquisition goes on under the file dialog") << false;
    QTest::newRow("view held") << true;
}

// The file dialog stays open while three more blocks arrive; the file holds
// the block that was on screen when "Сохранить измерение..." was chosen.
void tst_MeasurementExport::savesBlockOnScreenWhenChosen()
{
    QFETCH(bool, held);
    EmulatorProcess emulator;
    if (!emulator.start())
        QSKIP("the crate-server emulator cannot be started");
    qputenv("GRV480_SERVER_PORT", QByteArray::number(emulator.port()));
    QLocale::setDefault(QLocale::c());
    {
        QSettings settings;
        settings.clear();
        DeviceConfig cfg;
        cfg.loadSettings(settings);
        for (int ch : {0, 3})
            cfg.setChannelEnabled(ch, true);
        cfg.setMeasTime(100);
        cfg.saveSettings(settings);
    }
    MainWindow w;
    closeBoxes(&w);
    auto *table = w.findChild<QTableWidget *>(QStringLiteral("paramsTable"));
    auto *actions = w.findChild<MeasurementActions *>();
    QTemporaryDir dir;
    QVERIFY(actions->startRecording(dir.filePath(QStringLiteral("log.csv"))));
    QVERIFY(QTest::qWaitFor([&] { return actions->recorder().blockCount() >= 2; }, 20000));
    if (held)
        w.findChild<QAction *>(QStringLiteral("actionHoldView"))->trigger();

    const auto dcShown = [&] {
        QStringList dc;
        for (int r = 0; r < table->rowCount(); ++r)
            dc << table->item(r, 1)->text() << table->item(r, 2)->text();
        return dc;
    };
    QStringList chosen;
    // The dialog offers the folder of the last measurement saved.
    LastLocations::remember(LastLocations::Kind::Measurement,
                            dir.filePath(QStringLiteral("x.csv")));
    qint64 atChoice = -1;
    auto *dialogDriver = new QTimer(&w);
    connect(dialogDriver, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (atChoice < 0)
            atChoice = actions->recorder().blockCount();
        if (actions->recorder().blockCount() < atChoice + 3)
            return;
        dialogDriver->stop();
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog's own accept is protected
    });
    dialogDriver->start(20);
    QSignalSpy finished(actions, &MeasurementActions::exportFinished);
    chosen = dcShown();
    actions->saveAction()->trigger();
    QVERIFY(finished.count() == 1 || finished.wait(20000));
    QVERIFY2(finished.at(0).at(0).toBool(), qPrintable(finished.at(0).at(1).toString()));
    actions->recordAction()->setChecked(false);
    if (held)
        QCOMPARE(dcShown(), chosen);
    else
        QVERIFY(dcShown() != chosen); // the screen went on, so the check means something

    // Saved under the name the dialog proposed, beside the recording.
    QStringList saves = QDir(dir.path()).entryList({QStringLiteral("*.csv")}, QDir::Files);
    saves.removeAll(QStringLiteral("log.csv"));
    QCOMPARE(saves.size(), 1);
    QFile f(dir.filePath(saves.constFirst()));
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(finished.at(0).at(1).toString()));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    QStringList saved;
    for (int r = 0; r < 2; ++r) {
        const QStringList cells = lines.at(7 + r).split(QLatin1Char(','));
        saved << QString::number(cells.at(1).toDouble(), 'f', 6)
              << QString::number(cells.at(2).toDouble(), 'f', 6);
    }
    QCOMPARE(saved, chosen);
}

void tst_MeasurementExport::pictureStandsOnItsOwn_data()
{
    QTest::addColumn<bool>("spectrum");
    QTest::addColumn<QSize>("size");
    QTest::newRow("signal at the size on screen") << false << QSize(640, 400);
    QTest::newRow("spectrum at a chosen size") << true << QSize(1600, 900);
}

// Title with the module and the block time, a legend of the plotted channels
// only, in their colours, and the axis titles; the PNG at the asked size.
void tst_MeasurementExport::pictureStandsOnItsOwn()
{
    QFETCH(bool, spectrum);
    QFETCH(QSize, size);
    MeasurementSnapshot s = makeSnapshot(3, 1000);
    s.plottedRows = {0, 2, 7}; // row 1 hidden; row 7 is not in the block
    MeasurementExport::PlotView view;
    view.spectrum = spectrum;
    view.xMin = 0;
    view.xMax = spectrum ? 5000 : 100;
    view.yMin = spectrum ? -150 : -1;
    view.yMax = spectrum ? 10 : 1;
    view.xLabel = spectrum ? QStringLiteral("Частота, Гц") : QStringLiteral("Время, мс");
    view.yLabel = QStringLiteral("Y, unit");
    view.size = size;
    std::unique_ptr<QCustomPlot> plot(MeasurementExport::buildPlot(s, view));
    auto *title = qobject_cast<QCPTextElement *>(plot->plotLayout()->element(0, 0));
    QVERIFY(title);
    QVERIFY(title->text().contains(s.moduleSerial));
    QVERIFY(
        title->text().contains(s.blockTime.toLocalTime().toString(QStringLiteral("HH:mm:ss.zzz"))));
    QCOMPARE(plot->xAxis->label(), view.xLabel);
    QCOMPARE(plot->yAxis->label(), view.yLabel);
    QCOMPARE(plot->xAxis->range(), QCPRange(view.xMin, view.xMax));
    QVERIFY(plot->legend->visible());
    QCOMPARE(plot->legend->itemCount(), 2);
    QCOMPARE(plot->graph(0)->name(), QStringLiteral("Канал 2"));
    QCOMPARE(plot->graph(1)->name(), QStringLiteral("Канал 8"));
    QCOMPARE(plot->graph(1)->pen().color(), ResultRules::channelColor(7));

    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("p.png"));
    QVERIFY(MeasurementExport::savePlot(s, view, png, false).ok);
    QCOMPARE(QImage(png).size(), size);
    const QString pdf = dir.filePath(QStringLiteral("p.pdf"));
    QVERIFY(MeasurementExport::savePlot(s, view, pdf, true).ok);
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    // Vectors: the page carries no picture of the plot.
    QVERIFY(!bytes.contains("/Subtype /Image"));
}

QTEST_MAIN(tst_MeasurementExport)
#include "tst_measurementexport.moc"
