// Recording of results: a file that can no longer be written stops the
// recording with a reason, and the blocks written before stay as they were.
#include "resultsrecorder.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

using Block = DataBlockProcessor::DataBlock;

namespace {

MeasurementSnapshot snapshot(int blockNo)
{
    MeasurementSnapshot s;
    s.blockTime = QDateTime::fromMSecsSinceEpoch(1765206202000 + blockNo * 1000, Qt::UTC);
    s.channelNumbers = {1, 7};
    auto block = QSharedPointer<Block>::create();
    for (int c = 0; c < 2; ++c) {
        auto r = QSharedPointer<DataBlockProcessor::ChResult>::create();
        r->dc = blockNo + c / 3.0;
        block->channels.append(r);
    }
    s.block = block;
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
    QCOMPARE(written.count('\n'), 1 + 2 * 2); // titles, then one line per channel

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
    QVERIFY(lines.at(1).startsWith("2025-12-08T15:03:23.000Z,1,1,"));

    QVERIFY(!rec.start(QStringLiteral("/dev/full"), &error) || !rec.append(snapshot(2), &error));
    QVERIFY(!rec.isActive());
}

QTEST_MAIN(tst_ResultsRecorder)
#include "tst_resultsrecorder.moc"
