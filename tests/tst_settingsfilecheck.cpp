#include "deviceconfig.h"
#include "deviceconfigdialog.h"
#include "monitorprocess.h"
#include "settingsfilecheck.h"

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRect>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace SettingsFileCheck;

namespace {

// A QVariantList that claims 2^31 - 1 elements: QDataStream reserves them
// all before reading one, which throws std::bad_alloc inside QSettings.
const char HugeList[] = "@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)";

QByteArray readAll(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &name, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(name).path());
    QFile f(name);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QStringList copiesBeside(const QString &name)
{
    const QFileInfo info(name);
    return info.dir().entryList({info.completeBaseName() + ".damaged-*"}, QDir::Files);
}

} // namespace

class TestSettingsFileCheck : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void ownValuesRoundTrip();
    void mendKeepsCopyAndTheRest();
    void valuesInQt6Spelling();
    void configFileRefused();
    void monitorStartsOnHostileSettings_data();
    void monitorStartsOnHostileSettings();
    void monitorStartsOnUnmendableSettings_data();
    void monitorStartsOnUnmendableSettings();
};

void TestSettingsFileCheck::values_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("reason"); // part of it; empty: sane

    QTest::newRow("huge list") << QByteArray("x=") + HugeList << "2147483647 elements";
    QTest::newRow("huge string list")
        << QByteArray("x=@Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)") << "elements";
    QTest::newRow("huge map") << QByteArray("x=@Variant(\\0\\0\\0\\b\\xff\\xff\\xff\\xf0)")
                              << "elements";
    QTest::newRow("byte array past the end")
        << QByteArray("x=@Variant(\\0\\0\\0\\f\\0\\x10\\0\\0)") << "1048576 bytes";
    QTest::newRow("list shorter than its count")
        << QByteArray("x=@Variant(\\0\\0\\0\\t\\0\\0\\0\\x2\\0\\0\\0\\x2\\0\\0\\0\\x5)")
        << "ends early";
    QTest::newRow("image") << QByteArray("x=@Variant(\\0\\0\\0\\x46\\0\\0\\0\\0)") << "type 70";
    QTest::newRow("user type") << QByteArray("x=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x4QFoo)")
                               << "type 127";
    QTest::newRow("nested too deep")
        << QByteArray("x=@Variant(") +
               QByteArray("\\0\\0\\0\\t\\0\\0\\0\\x1").repeated(MaxDepth + 1) +
               "\\0\\0\\0\\x2\\0\\0\\0\\0)"
        << "nested";
    QTest::newRow("date time, huge list")
        << QByteArray("x=@DateTime(\\0\\0\\0\\t\\0\\x7f\\xff\\xff\\xff)") << "elements";
    QTest::newRow("hex-escaped marker")
        << QByteArray("x=\\x40Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)") << "elements";
    QTest::newRow("quoted") << QByteArray("x=\"") + HugeList + "\""
                            << "elements";
    QTest::newRow("element of a list") << QByteArray("x=1, ") + HugeList << "elements";
    QTest::newRow("continued line")
        << QByteArray("x=@Variant(\\0\\0\\0\\t\\\n\\x7f\\xff\\xff\\xff)") << "elements";
    QTest::newRow("nested, fits")
        << QByteArray("x=@Variant(") + QByteArray("\\0\\0\\0\\t\\0\\0\\0\\x1").repeated(MaxDepth) +
               "\\0\\0\\0\\x2\\0\\0\\0\\0)"
        << "";
    QTest::newRow("no closing parenthesis: a string")
        << QByteArray("x=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff") << "";
    QTest::newRow("comment") << QByteArray("; x=") + HugeList << "";
    QTest::newRow("escaped marker")
        << QByteArray("x=@@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)") << "";
}

void TestSettingsFileCheck::values()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, reason);

    const QByteArray ini = "[General]\na=1\n[G]\n" + line + "\nb=2\n";
    const QList<Entry> found = hostileEntries(ini);
    if (reason.isEmpty()) {
        QVERIFY2(found.isEmpty(), qPrintable(found.value(0).reason));
        return;
    }
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().group, QStringLiteral("G"));
    QCOMPARE(found.first().key, QStringLiteral("x"));
    QVERIFY2(found.first().reason.contains(reason), qPrintable(found.first().reason));
    QCOMPARE(withoutEntries(ini, found), QByteArray("[General]\na=1\n[G]\n\nb=2\n"));
}

// What this program and QSettings write stays untouched and reads back.
void TestSettingsFileCheck::ownValuesRoundTrip()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("own.ini");
    const QVariantMap values{
        {"size", QSize(700, 650)},
        {"pos", QPoint(-20, 100)},
        {"rect", QRect(1, 2, 3, 4)},
        {"state", QByteArray("\x00\x00\x00\xff\x7f\xff\xff\xff)", 9)},
        {"list", QVariantList{1, 2.5, QStringLiteral("a,b")}},
        {"map", QVariantMap{{"k", QPointF(1.5, 2)}, {"t", QStringList{"x", "y"}}}},
        {"when", QDateTime(QDate(2026, 12, 8), QTime(15, 0), Qt::UTC)},
        {"text", QStringLiteral("@Variant(\x7f)")},
    };
    {
        QSettings out(name, QSettings::IniFormat);
        out.beginGroup("MainWindow");
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            out.setValue(it.key(), it.value());
    }
    const QByteArray text = readAll(name);
    QVERIFY(text.contains("@Variant(") && text.contains("@Size("));
    QVERIFY2(hostileEntries(text).isEmpty(), qPrintable(hostileEntries(text).value(0).reason));
    QVERIFY(mendFile(name).removed.isEmpty());
    QCOMPARE(readAll(name), text);
    QVERIFY(copiesBeside(name).isEmpty());
    QSettings in(name, QSettings::IniFormat);
    in.beginGroup("MainWindow");
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        QCOMPARE(in.value(it.key()), it.value());
}

void TestSettingsFileCheck::mendKeepsCopyAndTheRest()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("GRV480 Monitor.ini");
    const QByteArray original = QByteArray("[MainWindow]\nsize=@Size(640 480)\nChSplitState=") +
                                HugeList + "\n\n[TimePlot]\nx\\min=" + HugeList + "\nx\\max=10\n";
    QVERIFY(writeAll(name, original));

    const Outcome o = mendFile(name);
    QVERIFY(o.ok);
    QCOMPARE(o.removed.size(), 2);
    QCOMPARE(o.removed.at(1).group, QStringLiteral("TimePlot"));
    QCOMPARE(o.removed.at(1).key, QStringLiteral("x\\min"));
    QCOMPARE(copiesBeside(name), QStringList{QFileInfo(o.copyName).fileName()});
    QVERIFY(QFileInfo(o.copyName)
                .fileName()
                .startsWith("GRV480 Monitor.damaged-" + QDate::currentDate().toString("yyyyMMdd")));
    QCOMPARE(readAll(o.copyName), original);

    QSettings in(name, QSettings::IniFormat);
    QCOMPARE(in.allKeys().size(), 2);
    QCOMPARE(in.value("MainWindow/size").toSize(), QSize(640, 480));
    QCOMPARE(in.value("TimePlot/x/max").toInt(), 10);
    QVERIFY(!in.contains("TimePlot/x/min"));
}

// A file as a Qt 6 build writes it (values in UTF-8) reads back the same in
// this build, whichever Qt it has; a hostile entry beside is still removed.
void TestSettingsFileCheck::valuesInQt6Spelling()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("qt6.ini");
    const QByteArray original = QByteArray("[G]\nname=\xd0\x9c\xd0\xbe\xd1\x81\xd1\x82"
                                           "1a\n"
                                           "emoji=\xf0\x9f\x98\x80"
                                           "b\nbytes=@ByteArray(a\xc3\xbf)\n"
                                           "ascii=plain\nx=") +
                                HugeList + "\n";
    QVERIFY(writeAll(name, original));
    const Outcome o = mendFile(name);
    QVERIFY2(o.ok, qPrintable(o.error));
    QCOMPARE(o.removed.size(), 1);
    QSettings in(name, QSettings::IniFormat);
    QCOMPARE(in.value("G/name").toString(), QStringLiteral("Мост1a"));
    QCOMPARE(in.value("G/emoji").toString(), QString::fromUtf8("\xf0\x9f\x98\x80"
                                                               "b"));
    QCOMPARE(in.value("G/bytes").toByteArray(), QByteArray("a\xff"));
    QCOMPARE(in.value("G/ascii").toString(), QStringLiteral("plain"));
    QVERIFY(!in.contains("G/x"));
}

// A configuration file is the user's own document: refused, never changed.
void TestSettingsFileCheck::configFileRefused()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("hostile.gm480cfg");
    const QByteArray text = QByteArray("[GRV480MonitorDeviceConfig]\nAdcFreq=") + HugeList + "\n";
    QVERIFY(writeAll(name, text));
    DeviceConfig cfg;
    cfg.adcFreq = 1234;
    QCOMPARE(DeviceConfigDialog::readConfigFile(name, &cfg),
             DeviceConfigDialog::ConfigFileNotConfig);
    QCOMPARE(cfg.adcFreq, 1234.0);
    QCOMPARE(readAll(name), text);
}

// The program itself: before the check it died of std::bad_alloc at every
// start, whichever of the groups it reads at start-up held the value.
void TestSettingsFileCheck::monitorStartsOnHostileSettings_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("window") << QByteArray("[MainWindow]\nsize=") + HugeList + "\n";
    QTest::newRow("plot") << QByteArray("[FftPlot]\ny\\max=") + HugeList + "\n";
    QTest::newRow("configuration")
        << QByteArray("[GRV480MonitorDeviceConfig]\nAdcFreq=10000\nAdcChannels\\1\\Range=") +
               HugeList + "\n";
}

void TestSettingsFileCheck::monitorStartsOnHostileSettings()
{
    QFETCH(QByteArray, text);
    QTemporaryDir home;
    const QString name = home.filePath("Norvik/GRV480 Monitor.ini");
    QVERIFY(writeAll(name, text));
    MonitorProcess monitor(home.path());
    QVERIFY(monitor.start());
    QVERIFY(monitor.endWith(SIGTERM));
    const QString log = monitor.standardError();
    QVERIFY2(log.contains("is refused"), qPrintable(log));
    const QStringList copies = copiesBeside(name);
    QCOMPARE(copies.size(), 1);
    QCOMPARE(readAll(home.filePath("Norvik/" + copies.first())), text);
    // the values it saved on closing are sane again
    QVERIFY(hostileEntries(readAll(name)).isEmpty());
    QSettings saved(name, QSettings::IniFormat);
    QVERIFY(saved.value("MainWindow/size").toSize().isValid());
}

// A file that cannot be mended (a read-only file system, or no file at all but a
// FIFO): the program still starts, from a mended private copy, says why, and
// leaves the file as it was.
void TestSettingsFileCheck::monitorStartsOnUnmendableSettings_data()
{
    QTest::addColumn<bool>("fifo");
    QTest::newRow("read-only file system") << false;
    QTest::newRow("settings file a FIFO") << true;
}

void TestSettingsFileCheck::monitorStartsOnUnmendableSettings()
{
    QFETCH(bool, fifo);
    QTemporaryDir home;
    const QString name = home.filePath("Norvik/GRV480 Monitor.ini");
    const QByteArray text = QByteArray("[MainWindow]\nsize=") + HugeList + "\n";
    if (fifo) {
        QVERIFY(QDir().mkpath(home.filePath("Norvik")));
        QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
    } else {
        QVERIFY(writeAll(name, text));
        qputenv("GRV480_FILE_FAULT", "read-only");
    }
    MonitorProcess monitor(home.path());
    const bool started = monitor.start();
    qunsetenv("GRV480_FILE_FAULT");
    QVERIFY(started);
    QVERIFY(monitor.endWith(SIGTERM));
    const QString log = monitor.standardError();
    QVERIFY2(
        log.contains(fifo ? "cannot be read: Это канал (FIFO)" : "cannot be mended: cannot write"),
        qPrintable(log));
    QVERIFY(copiesBeside(name).isEmpty());
    if (fifo)
        QVERIFY(QFileInfo(name).isFile() == false && QFileInfo::exists(name));
    else
        QCOMPARE(readAll(name), text);
}

QTEST_GUILESS_MAIN(TestSettingsFileCheck)
#include "tst_settingsfilecheck.moc"
