// The sensor library file: a round trip, damaged files (kept aside as a
// dated copy, the readable sensors taken), files that are no files, and a
// write that fails without touching what was there.
#include "sensorlibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QVector<Sensor> threeSensors()
{
    Sensor force;
    force.name = QStringLiteral("Сила 10 кН");
    force.type = QStringLiteral("тензодатчик силы");
    force.serial = QStringLiteral("F-0042");
    force.unit = QStringLiteral("кН");
    force.scaling = Scaling::linear(0.5, -0.01);
    force.calibrationDate = QDate(2026, 3, 1);
    force.nextCalibrationDate = QDate(2027, 3, 1);
    Sensor pressure;
    pressure.name = QStringLiteral("Давление");
    pressure.unit = QStringLiteral("бар");
    pressure.scaling = Scaling::twoPoint({0.1, 0}, {9.9, 250});
    Sensor strain;
    strain.name = QStringLiteral("Деформация \"A\"");
    strain.unit = QStringLiteral("µm/m");
    strain.scaling = Scaling::table({{-5, -1000}, {0, 0}, {5, 1010}});
    return {force, pressure, strain};
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool put(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

class tst_SensorLibrary : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip();
    void damaged_data();
    void damaged();
    void notAFile_data();
    void notAFile();
    void diskFull();
    void refusesBadSensors();
};

void tst_SensorLibrary::roundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/sensors.json"));
    SensorLibrary lib;
    for (const Sensor &s : threeSensors())
        QVERIFY(lib.add(s).isEmpty());
    QString error;
    QVERIFY2(lib.save(path, &error), qPrintable(error));
    // Readable text: the units stand as they are.
    QVERIFY(contents(path).contains("\"unit\": \"кН\""));

    SensorLibrary back;
    const SensorLibrary::LoadResult r = back.load(path);
    QVERIFY2(r.ok, qPrintable(r.message));
    QCOMPARE(back.sensors(), lib.sensors());
    QCOMPARE(QDir(dir.filePath(QStringLiteral("sub"))).entryList(QDir::Files).size(), 1);

    // A missing file is an empty library and says nothing.
    SensorLibrary none;
    QVERIFY(none.load(dir.filePath(QStringLiteral("missing.json"))).ok);
    QCOMPARE(none.count(), 0);

    // Exchange: the same sensor is not taken twice, a different one under a free name.
    QVector<Sensor> incoming = threeSensors();
    incoming[1].scaling = Scaling::linear(2, 0);
    QCOMPARE(back.importFrom(incoming), 1);
    QVERIFY(back.find(QStringLiteral("Давление (2)")));
}

void tst_SensorLibrary::damaged_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("read");

    const QByteArray good = SensorLibrary::toText(threeSensors());
    QTest::newRow("cut off in the third sensor") << good.left(good.lastIndexOf("µm/m")) << 2;
    QTest::newRow("cut off in the first sensor") << good.left(60) << 0;
    QTest::newRow("binary garbage") << QByteArray("\x01\xff\x00{[}", 6) << 0;
    QByteArray badScaling = good;
    badScaling.replace("\"factor\": 0.5", "\"factor\": 0");
    QTest::newRow("one sensor with a zero factor") << badScaling << 2;
    QByteArray badDate = good;
    badDate.replace("2027-03-01", "2027-13-01");
    QTest::newRow("one sensor with an impossible date") << badDate << 2;
    QByteArray twice = good;
    twice.replace("Давление", "Сила 10 кН");
    QTest::newRow("a name twice") << twice << 2;
    QByteArray noUnit = good;
    noUnit.replace("\"бар\"", "\"\"");
    QTest::newRow("a sensor without unit") << noUnit << 2;
    QTest::newRow("another JSON document") << QByteArray("{\"sensors\": 5}") << 0;
    QByteArray trailing = good + "}}}";
    QTest::newRow("trailing braces") << trailing << 3;
}

void tst_SensorLibrary::damaged()
{
    QFETCH(QByteArray, text);
    QFETCH(int, read);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sensors.json"));
    QVERIFY(put(path, text));

    SensorLibrary lib;
    const SensorLibrary::LoadResult r = lib.load(path);
    QVERIFY(!r.ok);
    QCOMPARE(lib.count(), read);
    QCOMPARE(r.read, read);
    QVERIFY(r.message.contains(QStringLiteral("прочитано датчиков %1").arg(read)));
    // Nothing lost: the file as it was, and a dated copy of it beside it.
    QCOMPARE(contents(path), text);
    QVERIFY(r.keptAside.startsWith(dir.filePath(QStringLiteral("sensors.damaged-"))));
    QVERIFY(r.keptAside.endsWith(QLatin1String(".json")));
    QCOMPARE(contents(r.keptAside), text);
    QVERIFY(r.message.contains(QDir::toNativeSeparators(r.keptAside)));

    // The next write replaces the damaged file with what was read.
    QString error;
    QVERIFY2(lib.save(path, &error), qPrintable(error));
    SensorLibrary again;
    QVERIFY(again.load(path).ok);
    QCOMPARE(again.sensors(), lib.sensors());
}

void tst_SensorLibrary::notAFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("directory") << "dir";
    QTest::newRow("larger than any library") << "huge";
    QTest::newRow("dangling symbolic link") << "dangling";
}

void tst_SensorLibrary::notAFile()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sensors.json"));
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("dir")) {
        QVERIFY(QDir().mkdir(path));
    } else if (kind == QLatin1String("huge")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(SensorLibrary::MaxFileSize + 1)); // sparse
    } else {
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), path));
    }
    QElapsedTimer t;
    t.start();
    SensorLibrary lib;
    const SensorLibrary::LoadResult r = lib.load(path);
    QVERIFY(t.elapsed() < 2000); // a FIFO without writer must not block
    QVERIFY(!r.ok);
    QVERIFY(!r.message.isEmpty());
    QCOMPARE(lib.count(), 0);
    // What could not be read is not replaced either.
    lib.add(threeSensors().constFirst());
    QString error;
    QVERIFY(!lib.save(path, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(path).isSymLink() || QFileInfo::exists(path));
}

void tst_SensorLibrary::diskFull()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sensors.json"));
    SensorLibrary lib;
    QVERIFY(lib.add(threeSensors().at(1)).isEmpty());
    QString error;
    QVERIFY(lib.save(path, &error));
    const QByteArray before = contents(path);
    for (const Sensor &s : threeSensors())
        lib.add(s);

    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = rlim_t(before.size() + 10);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = lib.save(path, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(!ok);
    QVERIFY(!error.isEmpty());
    QCOMPARE(contents(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("sensors.json")});
}

void tst_SensorLibrary::refusesBadSensors()
{
    SensorLibrary lib;
    Sensor s = threeSensors().constFirst();
    QVERIFY(lib.add(s).isEmpty());
    QVERIFY(lib.add(s).contains(QStringLiteral("уже есть")));
    s.name = QStringLiteral("  ");
    QVERIFY(lib.add(s).contains(QStringLiteral("имя")));
    s.name = QStringLiteral("Другой");
    s.unit.clear();
    QVERIFY(lib.add(s).contains(QStringLiteral("единица")));
    s.unit = QStringLiteral("кН");
    s.scaling = Scaling::twoPoint({1, 0}, {1, 5});
    QVERIFY(lib.add(s).contains(QStringLiteral("одинаковые значения в мВ")));
    QCOMPARE(lib.count(), 1);
    QCOMPARE(lib.freeName(QStringLiteral("Сила 10 кН")), QStringLiteral("Сила 10 кН (2)"));
}

QTEST_GUILESS_MAIN(tst_SensorLibrary)
#include "tst_sensorlibrary.moc"
