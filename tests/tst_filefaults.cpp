// One fault table for every file the program writes or reads. Each writer
// meets a full disk (at the first byte and midway), a read-only file system,
// a target that is a FIFO, a folder or a symlink, its folder removed midway
// and a kill midway; each reader a FIFO, /dev/zero, an oversized file, a
// crafted @Variant and a file swapped while it is read. Every cell checks the
// promise: the old file byte for byte or a complete new one, a message with
// the reason, no hang (a watchdog ends a cell that blocks), no stray
// temporary file. The disk-full and read-only columns run through the write
// class's seam; as root they run again on a real small tmpfs.
#include "deviceconfig.h"
#include "deviceconfigdialog.h"
#include "filereader.h"
#include "measurementexport.h"
#include "resultsrecorder.h"
#include "safefilewriter.h"
#include "settingsfilecheck.h"
#include "tarebackup.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const char Serial[] = "T480-0042";
const QDateTime BackupTime = QDateTime::fromMSecsSinceEpoch(1765206202123, Qt::UTC);
const QByteArray Hostile = "@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)"; // a list of 2^31 entries
const QByteArray OldBytes = "old,contents\nkept,whole\n";

// Ends the process when a cell blocks, so that the test fails instead of hanging.
class Watchdog
{
public:
    explicit Watchdog(int seconds)
        : thread([this, seconds]() {
            for (int i = 0; i < seconds * 10 && !done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!done) {
                std::fprintf(stderr, "watchdog: the cell blocked for %d s\n", seconds);
                std::_Exit(3);
            }
        })
    {
    }
    ~Watchdog()
    {
        done = true;
        thread.join();
    }

private:
    std::atomic<bool> done{false};
    std::thread thread;
};

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

bool put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

int strays(const QString &folder)
{
    int n = 0;
    for (const QString &name :
         QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System))
        n += SafeFileWriter::isTemporaryName(name);
    return n;
}

MeasurementSnapshot snapshot()
{
    auto block = QSharedPointer<DataBlockProcessor::DataBlock>::create();
    for (int c = 0; c < 2; ++c) {
        auto r = QSharedPointer<DataBlockProcessor::ChResult>::create();
        r->sampleInterval = 1e-4;
        r->values.resize(2000);
        for (int i = 0; i < r->values.size(); ++i)
            r->values[i] = std::sin(i * 0.1 + c);
        r->freqBins = 1001;
        r->freqStep = 5;
        r->spectrum.fill(-40, r->freqBins);
        r->rangeMv = 35;
        block->channels.append(r);
    }
    MeasurementSnapshot s;
    s.moduleSerial = QLatin1String(Serial);
    s.channelNumbers = {1, 2};
    s.blockTime = BackupTime;
    s.block = block;
    return s;
}

// --- writers ---------------------------------------------------------------------

struct Writer
{
    const char *name;
    // false with the message shown for the failure
    std::function<bool(const QString &target, QString *message)> write;
    // a complete file of this writer
    std::function<bool(const QByteArray &bytes)> complete;
    bool appends = false;   // keeps the old bytes in front instead of replacing them
    bool freshName = false; // never writes over anything: the target is only where it would go
};

QString boxText(const std::function<void()> &act)
{
    QString text;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&text]() {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            text = box->text();
            box->done(QMessageBox::Ok);
        }
    });
    timer.start(5);
    act();
    return text;
}

MeasurementExport::PlotView view()
{
    MeasurementExport::PlotView v;
    v.xMax = 200;
    v.yMin = -1;
    v.size = QSize(400, 300);
    return v;
}

bool exportResult(const MeasurementExport::Result &r, QString *message)
{
    *message = r.error;
    return r.ok;
}

QList<Writer> allWriters()
{
    using MeasurementExport::Format;
    auto export_ = [](Format f) {
        return [f](const QString &t, QString *m) {
            return exportResult(MeasurementExport::write(snapshot(), f, t), m);
        };
    };
    auto csv = [](const QByteArray &b) { return b.size() > 100 && b.endsWith('\n'); };
    return {
        {"settings mend",
         [](const QString &t, QString *m) {
             const SettingsFileCheck::Outcome o = SettingsFileCheck::mendFile(t);
             *m = o.error;
             return o.ok;
         },
         [](const QByteArray &b) {
             return b.contains("size=@Size") && SettingsFileCheck::hostileEntries(b).isEmpty();
         }},
        {"configuration file",
         [](const QString &t, QString *m) {
             TGRV480 handle;
             GRV480_Init(&handle);
             DeviceConfig cfg;
             DeviceConfigDialog dlg(nullptr, &handle, &cfg);
             bool ok = false;
             const QString text = boxText([&]() { ok = dlg.saveConfigFile(t); });
             *m = ok ? QString() : text;
             return ok;
         },
         [](const QByteArray &b) { return b.startsWith("[GRV480MonitorDeviceConfig]"); }},
        {"tare backup",
         [](const QString &, QString *m) {
             TGRV480TareInfo records[GRV480_CHANNEL_COUNT] = {};
             return TareBackup::write(QLatin1String(Serial), records, BackupTime, nullptr, m);
         },
         [](const QByteArray &b) { return b.contains("[Channel16]"); }, false, true},
        {"results CSV", export_(Format::ResultsCsv), csv},
        {"samples CSV", export_(Format::SamplesCsv), csv},
        {"samples HDF5", export_(Format::SamplesHdf5),
         [](const QByteArray &b) { return b.startsWith("\x89HDF"); }},
        {"plot PNG",
         [](const QString &t, QString *m) {
             return exportResult(MeasurementExport::savePlot(snapshot(), view(), t, false), m);
         },
         [](const QByteArray &b) { return b.startsWith("\x89PNG") && b.contains("IEND"); }},
        {"plot PDF",
         [](const QString &t, QString *m) {
             return exportResult(MeasurementExport::savePlot(snapshot(), view(), t, true), m);
         },
         [](const QByteArray &b) { return b.startsWith("%PDF") && b.trimmed().endsWith("%%EOF"); }},
        {"results recording",
         [](const QString &t, QString *m) {
             ResultsRecorder rec;
             if (!rec.start(t, m))
                 return false;
             for (int i = 0; i < 4; ++i) {
                 if (!rec.append(snapshot(), m))
                     return false;
             }
             return true;
         },
         [](const QByteArray &b) { return b.startsWith(OldBytes) && b.endsWith('\n'); }, true},
    };
}

// Where a writer's file goes: the tare backups have a folder and a name of their own.
QString targetIn(const Writer &w, const QString &folder)
{
    if (w.freshName)
        return folder + QLatin1Char('/') + QLatin1String(Serial) + QLatin1Char('_') +
               BackupTime.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + QStringLiteral(".ini");
    const QString suffix = QString::fromLatin1(w.name).contains(QLatin1String("configuration"))
                               ? QStringLiteral(".gm480cfg")
                               : QStringLiteral(".out");
    return folder + QStringLiteral("/target") + suffix;
}

QByteArray oldContents(const Writer &w)
{
    if (QByteArray(w.name) == "settings mend")
        return "[MainWindow]\nsize=@Size(640 480)\nChSplitState=" + Hostile + "\n" +
               QByteArray(400, ';') + "\n";
    // a whole page: on a full tmpfs, appends find no room left in the last one
    if (w.appends)
        return OldBytes + QByteArray(4096 - OldBytes.size() - 1, '#') + "\n";
    return OldBytes;
}

bool isRoot()
{
    return ::geteuid() == 0;
}

} // namespace

class TestFileFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void writers_data();
    void writers();
    void readers_data();
    void readers();

private:
    QString folderFor(const Writer &w) const;
    bool mountTmpfs(const QString &folder, QString *why);

    QTemporaryDir base;
    QString mounted;
};

void TestFileFaults::initTestCase()
{
    QVERIFY(base.isValid());
}

void TestFileFaults::cleanup()
{
    SafeFileWriter::setFaultInjection({});
    setFileReadHook({});
    if (!mounted.isEmpty()) {
        ::umount2(QFile::encodeName(mounted).constData(), MNT_DETACH);
        mounted.clear();
    }
}

QString TestFileFaults::folderFor(const Writer &w) const
{
    return w.freshName ? TareBackup::directory()
                       : base.filePath(QString::fromLatin1(w.name).replace(' ', '_'));
}

bool TestFileFaults::mountTmpfs(const QString &folder, QString *why)
{
    if (!isRoot()) {
        *why = QStringLiteral("a tmpfs needs root (CI runs as root)");
        return false;
    }
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0) {
        *why = QStringLiteral("tmpfs cannot be mounted: %1").arg(qt_error_string(errno));
        return false;
    }
    mounted = folder;
    return true;
}

void TestFileFaults::writers_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<QString>("fault");
    const QStringList faults = {"disk full at first byte", "disk full midway", "read-only",
                                "target a FIFO",           "target a folder",  "target a symlink",
                                "folder removed midway",   "killed midway",    "tmpfs full",
                                "tmpfs read-only"};
    const QList<Writer> all = allWriters();
    for (int w = 0; w < all.size(); ++w) {
        for (const QString &f : faults)
            QTest::newRow(qPrintable(QStringLiteral("%1 | %2").arg(all[w].name, f))) << w << f;
    }
}

void TestFileFaults::writers()
{
    QFETCH(int, writer);
    QFETCH(QString, fault);
    const Writer w = allWriters().at(writer);
    const QString folder = folderFor(w);
    QDir(folder).removeRecursively();
    QVERIFY(QDir().mkpath(folder));
    if (fault.startsWith(QLatin1String("tmpfs"))) {
        QString why;
        if (!mountTmpfs(folder, &why))
            QSKIP(qPrintable(why));
    }
    const QString target = targetIn(w, folder);
    const QByteArray old = oldContents(w);
    // the file the writer replaces, or beside which it writes its own
    const QString oldFile =
        w.freshName ? folder + QStringLiteral("/") + Serial + "_old.ini" : target;
    QString real = oldFile;
    if (fault == QLatin1String("target a FIFO")) {
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    } else if (fault == QLatin1String("target a folder")) {
        QVERIFY(QDir().mkpath(target));
    } else if (fault == QLatin1String("target a symlink")) {
        if (!w.freshName)
            real = folder + QStringLiteral("/real.out");
        QVERIFY(put(real, old));
        QVERIFY(QFile::link(real, target));
    } else {
        QVERIFY(put(oldFile, old));
    }
    if (w.freshName && !QFileInfo::exists(oldFile))
        QVERIFY(put(oldFile, old));
    if (fault == QLatin1String("tmpfs full")) {
        QFile filler(folder + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'f')) > 0) {
        }
    } else if (fault == QLatin1String("tmpfs read-only")) {
        QCOMPARE(::mount(nullptr, QFile::encodeName(folder).constData(), nullptr,
                         MS_REMOUNT | MS_RDONLY, nullptr),
                 0);
    }

    SafeFileWriter::FaultInjection seam;
    if (fault.startsWith(QLatin1String("disk full"))) {
        seam.kind = SafeFileWriter::FaultInjection::DiskFull;
        seam.atByte = fault.endsWith(QLatin1String("midway")) ? 100 : 0;
    } else if (fault == QLatin1String("read-only")) {
        seam.kind = SafeFileWriter::FaultInjection::ReadOnlyFileSystem;
    } else if (fault == QLatin1String("folder removed midway")) {
        seam.midwayAtByte = 100;
        seam.midway = [folder]() { QDir(folder).removeRecursively(); };
    }
    SafeFileWriter::setFaultInjection(seam);

    QString message;
    bool ok = false;
    if (fault == QLatin1String("killed midway")) {
        // the same writer in a child of this test, killed by the seam midway
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("GRV480_FILEFAULTS_CHILD"), QString::number(writer));
        env.insert(QStringLiteral("GRV480_FILEFAULTS_TARGET"), target);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(w.appends ? bytesOf(real).startsWith(old) : bytesOf(real) == old);
        QVERIFY(w.appends || strays(folder) == 1);
        // the next write to the folder completes and sweeps what the kill left
        Watchdog dog(60);
        ok = w.write(target, &message);
        QVERIFY2(ok, qPrintable(message));
        QCOMPARE(strays(folder), 0);
        const QString written = w.freshName ? TareBackup::list(Serial).first().path : real;
        QVERIFY(w.complete(bytesOf(written)));
        return;
    }
    {
        Watchdog dog(60);
        ok = w.write(target, &message);
    }
    const bool expectOk = fault == QLatin1String("target a symlink") ||
                          (w.freshName && fault.startsWith(QLatin1String("target")));
    QVERIFY2(ok == expectOk, qPrintable(message));
    if (QFileInfo::exists(folder))
        QCOMPARE(strays(folder), 0);
    if (ok) {
        if (fault == QLatin1String("target a symlink") && !w.freshName)
            QVERIFY(QFileInfo(target).isSymLink());
        const QString written = w.freshName ? TareBackup::list(Serial).first().path : real;
        QVERIFY(w.complete(bytesOf(written)));
        if (w.freshName)
            QCOMPARE(bytesOf(oldFile), old);
        return;
    }
    const QMap<QString, QString> reasons = {
        {"disk full at first byte", "Нет места на устройстве"},
        {"disk full midway", "Нет места на устройстве"},
        {"tmpfs full", "Нет места на устройстве"},
        {"read-only", "Файловая система только для чтения"},
        {"tmpfs read-only", "Файловая система только для чтения"},
        {"target a FIFO", "FIFO"},
        {"target a folder", "Это каталог"},
        {"folder removed midway", w.appends ? "удалён" : "Нет такого файла или каталога"},
    };
    QVERIFY2(message.contains(reasons.value(fault)), qPrintable(message));
    if (QFileInfo::exists(real) && !fault.startsWith(QLatin1String("target"))) {
        if (w.appends)
            QVERIFY(bytesOf(real).startsWith(old) && bytesOf(real).endsWith('\n'));
        else
            QCOMPARE(bytesOf(real), old);
    }
    if (w.freshName)
        QCOMPARE(TareBackup::list(Serial).size(), 0);
}

// --- readers ---------------------------------------------------------------------

void TestFileFaults::readers_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("fault");
    for (const char *r : {"settings", "configuration file", "tare backup", "emulator scenario"}) {
        for (const char *f :
             {"FIFO", "/dev/zero", "oversized", "crafted @Variant", "swapped while read"})
            QTest::newRow(qPrintable(QStringLiteral("%1 | %2").arg(r, f))) << r << f;
    }
}

void TestFileFaults::readers()
{
    QFETCH(QString, reader);
    QFETCH(QString, fault);
    const QString folder =
        reader == QLatin1String("tare backup") ? TareBackup::directory() : base.filePath("in");
    QDir(folder).removeRecursively();
    QVERIFY(QDir().mkpath(folder));

    // the benign file of each reader and where a hostile value goes in it
    QByteArray benign;
    QString path = folder + QStringLiteral("/input.ini");
    if (reader == QLatin1String("settings")) {
        benign = "[MainWindow]\nsize=@Size(640 480)\n";
    } else if (reader == QLatin1String("configuration file")) {
        benign = "[GRV480MonitorDeviceConfig]\nAdcFreq=12345\n";
    } else if (reader == QLatin1String("tare backup")) {
        TGRV480TareInfo records[GRV480_CHANNEL_COUNT] = {};
        records[2].scaleCoef = 1.25;
        records[2].scaleValid = 1;
        QString error;
        QVERIFY(TareBackup::write(Serial, records, BackupTime, &path, &error));
        benign = bytesOf(path);
    } else {
        QProcess p;
        p.start(QStringLiteral(GRV480_EMULATOR_PATH), {QStringLiteral("--print-default")});
        QVERIFY(p.waitForFinished(10000));
        benign = p.readAllStandardOutput();
    }
    QByteArray hostile = benign;
    hostile.replace("size=@Size(640 480)", "size=" + Hostile)
        .replace("AdcFreq=12345", "AdcFreq=" + Hostile)
        .replace("Scale=1.25", "Scale=" + Hostile);
    if (reader == QLatin1String("emulator scenario"))
        hostile += "\n[crate]\nserial=" + Hostile + "\n";

    QFile::remove(path);
    if (fault == QLatin1String("FIFO")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (fault == QLatin1String("/dev/zero")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else if (fault == QLatin1String("oversized")) {
        QVERIFY(put(path, benign));
        QVERIFY(QFile(path).resize(64 * 1024 * 1024));
    } else {
        QVERIFY(put(path, fault == QLatin1String("crafted @Variant") ? hostile : benign));
    }
    const bool swapped = fault == QLatin1String("swapped while read");
    if (swapped) {
        // right after the bytes are read, the name leads to the hostile version
        setFileReadHook([&](const QString &p) {
            const QString other = p + QStringLiteral(".swap");
            put(other, hostile);
            ::rename(QFile::encodeName(other).constData(), QFile::encodeName(p).constData());
        });
    }

    bool ok = false;
    QString message;
    Watchdog dog(60);
    if (reader == QLatin1String("settings")) {
        const SettingsFileCheck::Outcome o = SettingsFileCheck::mendFile(path);
        ok = o.ok && o.removed.isEmpty();
        message = o.ok && !o.removed.isEmpty() ? o.removed.first().reason : o.error;
    } else if (reader == QLatin1String("configuration file")) {
        DeviceConfig cfg;
        ok = DeviceConfigDialog::readConfigFile(path, &cfg, &message) ==
             DeviceConfigDialog::ConfigFileRead;
        QCOMPARE(cfg.adcFreq, ok ? 12345.0 : 0.0);
    } else if (reader == QLatin1String("tare backup")) {
        TGRV480TareInfo records[GRV480_CHANNEL_COUNT] = {};
        ok = TareBackup::read(path, Serial, records, &message);
        QCOMPARE(records[2].scaleCoef, ok ? 1.25 : 0.0);
        // the list reads every file of the folder: none of these holds it up
        QStringList skipped;
        TareBackup::list(Serial, &skipped);
        QVERIFY(!skipped.isEmpty());
    } else {
        // another process: the file is swapped over and over while it reads
        std::atomic<bool> stop{false};
        std::thread swapper;
        if (swapped) {
            put(path + ".a", benign);
            put(path + ".b", hostile + QByteArray(5 * 1024 * 1024, '#'));
            swapper = std::thread([&]() {
                for (int i = 0; !stop; ++i) {
                    QFile::copy(path + (i % 2 ? ".a" : ".b"), path + ".tmp");
                    ::rename(QFile::encodeName(path + ".tmp").constData(),
                             QFile::encodeName(path).constData());
                }
            });
        }
        for (int round = 0; round < (swapped ? 10 : 1); ++round) {
            QProcess p;
            p.start(QStringLiteral(GRV480_EMULATOR_PATH),
                    {QStringLiteral("--check"), QStringLiteral("--scenario"), path});
            QVERIFY(p.waitForFinished(20000));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QVERIFY(p.exitCode() == 0 || p.exitCode() == 3);
            ok = p.exitCode() == 0;
            message = QString::fromLocal8Bit(p.readAllStandardError() + p.readAllStandardOutput());
        }
        stop = true;
        if (swapper.joinable())
            swapper.join();
        if (swapped)
            return; // either version, whole, never a crash
    }
    QCOMPARE(ok, swapped);
    if (!ok)
        QVERIFY2(!message.isEmpty(), qPrintable(reader));
    const QMap<QString, QString> reasons = {{"FIFO", "FIFO|not a regular file"},
                                            {"/dev/zero", "устройство|not a regular file"},
                                            {"oversized", "велик|too large"}};
    if (reasons.contains(fault))
        QVERIFY2(message.contains(QRegularExpression(reasons.value(fault))), qPrintable(message));
}

// The child of the "killed midway" cells: the writer with a kill at byte 100.
static int runKilledWriter()
{
    const int writer = qEnvironmentVariableIntValue("GRV480_FILEFAULTS_CHILD");
    SafeFileWriter::FaultInjection seam;
    seam.midwayAtByte = 100;
    seam.midway = []() { ::raise(SIGKILL); };
    SafeFileWriter::setFaultInjection(seam);
    QString message;
    allWriters().at(writer).write(qEnvironmentVariable("GRV480_FILEFAULTS_TARGET"), &message);
    return 0; // not killed: the parent sees a normal exit and fails
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("GRV480_FILEFAULTS_CHILD"))
        return runKilledWriter();
    TestFileFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_filefaults.moc"
