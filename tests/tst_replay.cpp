// grv480-emulator --replay: a recording made from the emulator, replayed and
// recorded again through the same chain (library, acquisition thread,
// processor, recorder), gives the same per-block results; a configuration
// other than the recorded one is refused naming the setting; files that
// cannot be replayed stop the emulator at once with one line.
#include "apierror.h"
#include "boxcloser.h"
#include "deviceconfig.h"
#include "grv480api.h"
#include "mainwindow.h"
#include "recordingreader.h"
#include "recordingrun.h"

#include <QtTest>

#include <QElapsedTimer>
#include <QFile>
#include <QSettings>

#include <cmath>
#include <hdf5.h>
#include <sys/stat.h>

#if defined(GRV480_EMULATOR_PATH) && __has_include("emulatorprocess.h")
#include "emulatorprocess.h"
#define HAVE_EMULATOR 1
#endif

namespace {

const char Crate[] = "TEST-1";
constexpr int Slot = 1;
constexpr int BlockMs = 200;

// Sine, open line, short, over-range, DC, Ucm out of bounds and a gain error
// (platform/scenarios/test-signals.ini): every lamp has something to show.
DeviceConfig recordedConfig()
{
    DeviceConfig c;
    QSettings none(QStringLiteral("/dev/null"), QSettings::IniFormat);
    c.loadSettings(none);
    for (int ch = 0; ch < 7; ++ch)
        c.setChannelEnabled(ch, true);
    c.setMeasTime(BlockMs);
    return c;
}

int recordFrom(quint16 port, const QString &config, const QString &out, QString *stderrText)
{
    QProcess p;
    p.start(QStringLiteral(GRV480_BIN_DIR "/grv480-record"),
            {"--crate", Crate, "--slot", QString::number(Slot), "--config", config, "--duration",
             "2s", "--out", out, "--port", QString::number(port)});
    if (!p.waitForStarted() || !p.waitForFinished(30000))
        return -1;
    *stderrText = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool close(double a, double b, double absTol)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return std::fabs(a - b) <= absTol + 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

} // namespace

class tst_Replay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip();
    void onceEndsWithHeartbeats();
    void configurationMismatch_data();
    void configurationMismatch();
    void windowNamesTheSetting();
    void unplayableFile_data();
    void unplayableFile();

private:
    QTemporaryDir dir;
    QString configPath;
    QString recording;
#ifdef HAVE_EMULATOR
    std::unique_ptr<EmulatorProcess> replay;
#endif
};

void tst_Replay::initTestCase()
{
#ifndef HAVE_EMULATOR
    QSKIP("the crate-server emulator is not built");
#else
    qputenv("GRV480_STALL_LIMIT_MS", "1500");
    configPath = dir.filePath(QStringLiteral("recorded.gm480cfg"));
    QFile cfg(configPath);
    QVERIFY(cfg.open(QIODevice::WriteOnly));
    cfg.write(RecordingRun::configFileText(recordedConfig()).toUtf8());
    cfg.close();

    EmulatorProcess source(EmulatorProcess::scenarioPath(QStringLiteral("test-signals.ini")));
    QVERIFY(source.start());
    recording = dir.filePath(QStringLiteral("recorded.h5"));
    QString err;
    QCOMPARE(recordFrom(source.port(), configPath, recording, &err), 0);

    replay.reset(new EmulatorProcess);
    replay->setExtraArguments({QStringLiteral("--replay"), recording, QStringLiteral("--once")});
    QVERIFY(replay->start());
#endif
}

// The replayed blocks give the recorded results, block for block.
void tst_Replay::roundTrip()
{
#ifdef HAVE_EMULATOR
    // The configuration to replay with, as the emulator prints it from the file.
    QProcess print;
    print.start(QStringLiteral(GRV480_EMULATOR_PATH),
                {QStringLiteral("--replay"), recording, QStringLiteral("--print-configuration")});
    QVERIFY(print.waitForFinished(10000));
    QCOMPARE(print.exitCode(), 0);
    const QString printed = dir.filePath(QStringLiteral("printed.gm480cfg"));
    QFile cfg(printed);
    QVERIFY(cfg.open(QIODevice::WriteOnly));
    cfg.write(print.readAllStandardOutput());
    cfg.close();

    const QString again = dir.filePath(QStringLiteral("replayed.h5"));
    QString err;
    QCOMPARE(recordFrom(replay->port(), printed, again, &err), 0);

    RecordingReader a, b;
    QVERIFY2(a.open(recording, &err), qPrintable(err));
    QVERIFY2(b.open(again, &err), qPrintable(err));
    QCOMPARE(a.runs().size(), 1);
    QCOMPARE(b.runs().size(), 1);
    QCOMPARE(b.runs().first().channels, a.runs().first().channels);
    QList<RecordingReader::Block> ra, rb;
    QVERIFY(a.readBlocks(0, 0, a.runs().first().blocks, &ra, &err));
    QVERIFY(b.readBlocks(0, 0, b.runs().first().blocks, &rb, &err));
    QVERIFY(ra.size() >= 8);
    QCOMPARE(rb.size(), ra.size());

    bool someRed = false;
    for (int i = 0; i < ra.size(); ++i) {
        const RecordingReader::Block &x = ra.at(i), &y = rb.at(i);
        QCOMPARE(y.firstSample, x.firstSample);
        QCOMPARE(y.sampleCount, x.sampleCount);
        QCOMPARE(y.lamps, x.lamps);
        someRed = someRed || x.lamps.contains(1);
        // mV figures come back within rounding; the intermediate voltages within
        // a step of the background words' code (9.6 V / 2^23).
        const struct
        {
            const char *name;
            const QVector<double> &want, &got;
            double tol;
        } figures[] = {{"dc", x.dc, y.dc, 1e-9},
                       {"ac", x.ac, y.ac, 1e-9},
                       {"peak frequency", x.peakFrequency, y.peakFrequency, 1e-9},
                       {"peak amplitude", x.peakAmplitude, y.peakAmplitude, 1e-9},
                       {"snr", x.snr, y.snr, 1e-6},
                       {"sinad", x.sinad, y.sinad, 1e-6},
                       {"enob", x.enob, y.enob, 1e-6},
                       {"ux", x.ux, y.ux, 3e-6},
                       {"udiff", x.udiff, y.udiff, 3e-6},
                       {"ucm", x.ucm, y.ucm, 3e-6}};
        for (const auto &f : figures) {
            QCOMPARE(f.got.size(), f.want.size());
            for (int k = 0; k < f.want.size(); ++k)
                QVERIFY2(
                    close(f.want.at(k), f.got.at(k), f.tol),
                    qPrintable(QStringLiteral("block %1, channel %2, %3: recorded %4, replayed %5")
                                   .arg(i)
                                   .arg(k + 1)
                                   .arg(QLatin1String(f.name))
                                   .arg(f.want.at(k), 0, 'g', 17)
                                   .arg(f.got.at(k), 0, 'g', 17)));
        }
    }
    QVERIFY2(someRed, "the recording shows no red lamp to reproduce");
#endif
}

// --once: every recorded frame once, then heartbeats only: the run neither
// gets more words nor fails.
void tst_Replay::onceEndsWithHeartbeats()
{
#ifdef HAVE_EMULATOR
    RecordingReader a;
    QString err;
    QVERIFY(a.open(recording, &err));
    const qint64 frames = a.runs().first().samples;

    DeviceConfig c = recordedConfig();
    TGRV480 h;
    GRV480_Init(&h);
    QCOMPARE(GRV480_Open(&h, 0x7F000001u, replay->port(), Crate, Slot), 0);
    c.fillDeviceConfig(&h);
    QCOMPARE(GRV480_SetADC(&h), 0);
    QCOMPARE(GRV480_InitMeasParams(&h, 3, 0, 0), 0);
    QCOMPARE(GRV480_Start(&h), 0);
    std::vector<uint32_t> words(1 << 16);
    qint64 received = 0;
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 1800) {
        const INT n = GRV480_Recv(&h, words.data(), nullptr, uint32_t(words.size()), 200);
        QVERIFY2(n >= 0, qPrintable(apiErrorText(n)));
        if (n > 0)
            quiet.restart();
        received += n;
    }
    QCOMPARE(received, frames * qint64(h.frameWordCount));
    QCOMPARE(GRV480_Stop(&h), 0);
    GRV480_Close(&h);
#endif
}

void tst_Replay::configurationMismatch_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("named");
    QTest::newRow("the recorded one") << "" << 0 << "";
    QTest::newRow("ADC frequency") << "adc" << GRV480_ERR_REPLAY_ADC_FREQ << "частота АЦП";
    QTest::newRow("excitation current") << "current" << GRV480_ERR_REPLAY_ISRC << "ток возбуждения";
    QTest::newRow("range of channel 1") << "range" << GRV480_ERR_REPLAY_RANGE << "диапазон канала";
    QTest::newRow("one channel more") << "channel" << GRV480_ERR_REPLAY_CHANNELS << "набор каналов";
    QTest::newRow("background measurements")
        << "background" << GRV480_ERR_REPLAY_BG_MASK << "фоновые измерения";
    QTest::newRow("tare coefficients on")
        << "tare" << GRV480_ERR_REPLAY_TARE << "тарировочных коэффициентов";
    QTest::newRow("short threshold")
        << "short" << GRV480_ERR_REPLAY_SHORT_THRESH << "короткого замыкания";
    QTest::newRow("cable length") << "cable" << GRV480_ERR_REPLAY_CABLE << "параметры кабеля";
}

void tst_Replay::configurationMismatch()
{
#ifdef HAVE_EMULATOR
    QFETCH(QString, change);
    QFETCH(int, error);
    QFETCH(QString, named);
    DeviceConfig c = recordedConfig();
    if (change == QLatin1String("adc"))
        c.setAdcFreq(25000);
    else if (change == QLatin1String("current"))
        c.setISrcValue(20);
    else if (change == QLatin1String("range"))
        c.setChannelRange(0, GRV480_RANGE_70MV);
    else if (change == QLatin1String("channel"))
        c.setChannelEnabled(9, true);
    else if (change == QLatin1String("background"))
        c.setBgMeasGroup(DeviceConfig::bgMeasGroups().at(2));
    else if (change == QLatin1String("tare"))
        c.setTareCoefEn(true);
    else if (change == QLatin1String("short"))
        c.setShortCheckRTresh(c.shortRThresh + 1);
    else if (change == QLatin1String("cable"))
        c.setCableLengt(c.cableLength + 10);

    TGRV480 h;
    GRV480_Init(&h);
    QCOMPARE(GRV480_Open(&h, 0x7F000001u, replay->port(), Crate, Slot), 0);
    c.fillDeviceConfig(&h);
    const INT err = GRV480_SetADC(&h);
    GRV480_Close(&h);
    QCOMPARE(err, error);
    if (error) {
        // The window's box: "Не удалось записать конфигурацию модуля. Ошибка N: <this>".
        const QString text = apiErrorText(err);
        QVERIFY2(text.startsWith(QStringLiteral("Конфигурация не совпадает с записью: ")) &&
                     text.contains(named),
                 qPrintable(text));
    }
#endif
}

// The main window, opened on the replaying module with another ADC
// frequency, says so in its box.
void tst_Replay::windowNamesTheSetting()
{
#ifdef HAVE_EMULATOR
    DeviceConfig c = recordedConfig();
    c.setAdcFreq(25000);
    QSettings settings;
    settings.clear();
    c.saveSettings(settings);
    settings.sync();
    qputenv("GRV480_SERVER_PORT", QByteArray::number(replay->port()));
    BoxCloser boxes;
    MainWindow w;
    QVERIFY(QTest::qWaitFor([&] { return !boxes.texts.isEmpty(); }, 10000));
    QCOMPARE(boxes.texts.first(),
             QStringLiteral("Не удалось записать конфигурацию модуля. Ошибка -10233: "
                            "Конфигурация не совпадает с записью: частота АЦП"));
#endif
}

void tst_Replay::unplayableFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::newRow("missing") << "missing" << 6 << "No such file";
    QTest::newRow("directory") << "directory" << 6 << "not a regular file";
    QTest::newRow("FIFO") << "fifo" << 6 << "not a regular file";
    QTest::newRow("empty") << "empty" << 6 << "HDF5";
    QTest::newRow("text") << "text" << 6 << "HDF5";
    QTest::newRow("HDF5, not a recording") << "plain-hdf5" << 6 << "не запись";
    QTest::newRow("newer format version") << "newer" << 6 << "newer";
    QTest::newRow("truncated") << "truncated" << 6 << "";
    QTest::newRow("--once alone") << "once-alone" << 2 << "--once needs --replay";
}

void tst_Replay::unplayableFile()
{
#ifdef HAVE_EMULATOR
    QFETCH(QString, kind);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    const QString path = dir.filePath(QStringLiteral("bad-%1.h5").arg(kind));
    auto copyOf = [&](qint64 bytes) {
        QFile in(recording), out(path);
        return in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly) &&
               out.write(in.read(bytes < 0 ? in.size() : bytes)) >= 0;
    };
    QStringList args{QStringLiteral("--port"),      QStringLiteral("0"),
                     QStringLiteral("--replay"),    path,
                     QStringLiteral("--state-dir"), dir.path()};
    if (kind == QLatin1String("directory")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("empty") || kind == QLatin1String("text")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (kind == QLatin1String("text"))
            f.write("run_0001,ch01\n1.0,2.0\n");
    } else if (kind == QLatin1String("plain-hdf5")) {
        const hid_t f =
            H5Fcreate(QFile::encodeName(path).constData(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
        QVERIFY(f >= 0);
        H5Fclose(f);
    } else if (kind == QLatin1String("newer")) {
        QVERIFY(copyOf(-1));
        const hid_t f = H5Fopen(QFile::encodeName(path).constData(), H5F_ACC_RDWR, H5P_DEFAULT);
        QVERIFY(f >= 0);
        const hid_t a = H5Aopen(f, "format_version", H5P_DEFAULT);
        const qint64 two = 2;
        QVERIFY(a >= 0 && H5Awrite(a, H5T_NATIVE_INT64, &two) >= 0);
        H5Aclose(a);
        H5Fclose(f);
    } else if (kind == QLatin1String("truncated")) {
        QVERIFY(copyOf(QFileInfo(recording).size() / 2));
    } else if (kind == QLatin1String("once-alone")) {
        args = QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--once")};
    }

    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(GRV480_EMULATOR_PATH), args);
    QVERIFY(p.waitForStarted());
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished();
        QFAIL("the emulator did not give up on the file");
    }
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), exitCode);
    const QString out = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(out.startsWith(QStringLiteral("grv480-emulator: ")) &&
                 out.count(QLatin1Char('\n')) == 1,
             qPrintable(out));
    QVERIFY2(out.contains(says), qPrintable(out));
    QVERIFY(p.readAllStandardOutput().isEmpty());
#endif
}

QTEST_MAIN(tst_Replay)
#include "tst_replay.moc"
