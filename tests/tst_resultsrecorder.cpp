// Recording of results: a file that can no longer be written stops the
// recording with a reason, and the blocks written before stay as they were.
#include "resultsrecorder.h"
#include "scaling.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

using Block = DataBlockProcessor::DataBlock;

namespace {

MeasurementSnapshot snapshot(int blockNo, const QString &config = QStringLiteral("каналы 1, 7"),
                             int slot = 3, bool sensor = false)
{
    MeasurementSnapshot s;
    s.moduleSerial = QStringLiteral("480-21-0103");
    s.crateSerial = QStringLiteral("CR16-0417");
    s.slot = slot;
    s.configSummary = config;
    s.blockTime = QDateTime::fromMSecsSinceEpoch(1765206202000 + blockNo * 1000, Qt::UTC);
    s.channelNumbers = {1, 7};
    auto block = QSharedPointer<Block>::create();
    for (int c = 0; c < 2; ++c) {
        auto r = QSharedPointer<DataBlockProcessor::ChResult>::create();
        r->dc = blockNo + c / 3.0;
        block->channels.append(r);
    }
    s.block = block;
    s.channelSensors.resize(2);
    if (sensor) {
        s.channelSensors[1].sensorName = QStringLiteral("Динамометр");
        s.channelSensors[1].unit = QStringLiteral("kN");
        s.channelSensors[1].scaling = Scaling::linear(2.0, 0.0);
    }
    return s;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_ResultsRecorder : public QObject
{
    Q_OBJECT

private slots:
    void stopsOnFailingFile_data();
    void stopsOnFailingFile();
    void appendsWithoutTruncating();
    void marksChanges_data();
    void marksChanges();
};

void tst_ResultsRecorder::stopsOnFailingFile_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("file removed") << "remove";
    QTest::newRow("file replaced") << "replace";
    QTest::newRow("disk full (file-size limit)") << "limit";
}

void tst_ResultsRecorder::stopsOnFailingFile()
{
    QFETCH(QString, failure);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    const QString kept = dir.filePath(QStringLiteral("kept.csv"));
    ResultsRecorder rec;
    QString error;
    QVERIFY2(rec.start(path, &error), qPrintable(error));
    QVERIFY(rec.append(snapshot(1), &error));
    QVERIFY(rec.append(snapshot(2), &error));
    const QByteArray written = contents(path);
    // header rows, blank line, titles, then one line per channel
    QCOMPARE(written.count('\n'), 6 + 2 * 2);

    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    if (failure == QLatin1String("remove")) {
        QVERIFY(QFile::remove(path));
    } else if (failure == QLatin1String("replace")) {
        QVERIFY(QFile::rename(path, kept));
        QFile other(path);
        QVERIFY(other.open(QIODevice::WriteOnly));
    } else {
        // Room for half a line more: the block is cut off again.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = rlim_t(written.size() + 20);
        setrlimit(RLIMIT_FSIZE, &small);
    }
    const bool ok = rec.append(snapshot(3), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(!ok);
    QVERIFY(error.contains(QStringLiteral("log.csv")));
    QVERIFY(!rec.isActive());
    QCOMPARE(rec.blockCount(), qint64(2));
    if (failure != QLatin1String("remove"))
        QCOMPARE(contents(failure == QLatin1String("replace") ? kept : path), written);
}

void tst_ResultsRecorder::appendsWithoutTruncating()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier,run,cut off"); // no line end: a crash mid-line
    }
    ResultsRecorder rec;
    QString error;
    QVERIFY(rec.start(path, &error));
    QVERIFY(rec.append(snapshot(1), &error));
    rec.stop();
    const QList<QByteArray> lines = contents(path).split('\n');
    QCOMPARE(lines.at(0), QByteArray("earlier,run,cut off"));
    // What the appended lines belong to, before them; no titles in the middle.
    QCOMPARE(lines.at(1), QByteArray("Модуль,480-21-0103"));
    QCOMPARE(lines.at(4), QByteArray("Конфигурация,\"каналы 1, 7\""));
    QVERIFY(lines.at(5).startsWith("2025-12-08T15:03:23.000Z,1,1,"));

    QVERIFY(!rec.start(QStringLiteral("/dev/full"), &error) || !rec.append(snapshot(2), &error));
    QVERIFY(!rec.isActive());
}

// A new file: header block, titles, lines; a change of configuration or place
// during the recording: the changed header rows before the block's lines.
void tst_ResultsRecorder::marksChanges_data()
{
    QTest::addColumn<QStringList>("configs");    // per block
    QTest::addColumn<QList<int>>("slotNumbers"); // per block
    QTest::addColumn<QList<bool>>("sensors");    // per block: channel 7 has one
    QTest::addColumn<QStringList>("expected");   // the file's lines, "#" a block's two lines
    const QString a = QStringLiteral("каналы 1 (±35 мВ), 7 (±35 мВ)");
    const QString b = QStringLiteral("каналы 1 (±35 мВ), 7 (±70 мВ)");
    const QStringList head = {"Модуль,480-21-0103", "Крейт,CR16-0417", "Слот,3",
                              "Конфигурация,\"" + a + "\""};
    const QStringList titles = {"", "Время блока,№ канала,\"Разбаланс / DC, мВ\",*"};
    const QString sensor = QStringLiteral("\"Датчик, канал 7\",Динамометр,kN,linear;2;0,");
    QTest::newRow("unchanged") << QStringList{a, a} << QList<int>{3, 3} << QList<bool>{0, 0}
                               << head + titles + QStringList{"#", "#"};
    QTest::newRow("range changed")
        << QStringList{a, b, b} << QList<int>{3, 3, 3} << QList<bool>{0, 0, 0}
        << head + titles + QStringList{"#", "Конфигурация,\"" + b + "\"", "#", "#"};
    QTest::newRow("other module, same configuration")
        << QStringList{a, a} << QList<int>{3, 7} << QList<bool>{0, 0}
        << head + titles + QStringList{"#", "Слот,7", "#"};
    QTest::newRow("changed and back")
        << QStringList{a, b, a} << QList<int>{3, 3, 3} << QList<bool>{0, 0, 0}
        << head + titles +
               QStringList{"#", "Конфигурация,\"" + b + "\"", "#", "Конфигурация,\"" + a + "\"",
                           "#"};
    QTest::newRow("sensor taken off, put on again")
        << QStringList{a, a, a} << QList<int>{3, 3, 3} << QList<bool>{1, 0, 1}
        << head + QStringList{sensor} + titles +
               QStringList{"#", "\"Датчик, канал 7\"", "#", sensor, "#"};
}

void tst_ResultsRecorder::marksChanges()
{
    QFETCH(QStringList, configs);
    QFETCH(QList<int>, slotNumbers);
    QFETCH(QList<bool>, sensors);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    ResultsRecorder rec;
    QString error;
    QVERIFY(rec.start(path, &error));
    QCOMPARE(contents(path), QByteArray()); // the header describes the first block
    for (int b = 0; b < configs.size(); ++b)
        QVERIFY2(rec.append(snapshot(b, configs.at(b), slotNumbers.at(b), sensors.at(b)), &error),
                 qPrintable(error));
    rec.stop();
    QStringList lines = QString::fromUtf8(contents(path)).split(QLatin1Char('\n'));
    QCOMPARE(lines.takeLast(), QString());
    QStringList want;
    for (const QString &e : expected) {
        if (e == QLatin1String("#")) // a block: one line per channel, 1 and 7
            want << "1,"
                 << "7,";
        else
            want << e;
    }
    QCOMPARE(lines.size(), want.size());
    for (int i = 0, block = -1; i < lines.size(); ++i) {
        if (want.at(i) == QLatin1String("1,"))
            ++block;
        if (want.at(i) == QLatin1String("1,") || want.at(i) == QLatin1String("7,")) {
            const QString time = MeasurementTable::timeText(snapshot(block).blockTime);
            QVERIFY2(lines.at(i).startsWith(time + "," + want.at(i)), qPrintable(lines.at(i)));
        } else if (want.at(i).endsWith(QLatin1Char('*'))) { // the titles' start
            QVERIFY2(lines.at(i).startsWith(want.at(i).chopped(1)), qPrintable(lines.at(i)));
        } else {
            QCOMPARE(lines.at(i), want.at(i));
        }
    }
}

QTEST_MAIN(tst_ResultsRecorder)
#include "tst_resultsrecorder.moc"
