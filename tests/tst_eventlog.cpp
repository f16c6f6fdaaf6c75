// The event log: one line per event in the day's file, the model's rows,
// and a file that cannot be written (folder in the way, disk full), which is
// said once while the events stay in the panel.
#include "eventlog.h"
#include "safefilewriter.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_EventLog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SafeFileWriter::setFaultInjection({}); }
    void dailyFile();
    void unwritable_data();
    void unwritable();
    void boundedInMemory();
};

void tst_EventLog::dailyFile()
{
    QTemporaryDir dir;
    EventLog log(dir.filePath(QStringLiteral("events")));
    QSignalSpy added(&log, &EventLog::eventAdded);
    const QDateTime day1(QDate(2026, 12, 9), QTime(23, 59, 59, 500));
    const QDateTime day2(QDate(2026, 12, 10), QTime(0, 0, 1));
    log.add(EventLog::Limit, QStringLiteral("Канал 3: авария"), day1);
    log.add(EventLog::Link, QStringLiteral("two\nlines"), day2);
    QCOMPARE(added.count(), 2);
    QCOMPARE(added.at(1).at(2).toString(), QStringLiteral("two\nlines"));
    QCOMPARE(log.rowCount(), 2);
    QCOMPARE(log.index(0, 2).data().toString(), QStringLiteral("Канал 3: авария"));
    QCOMPARE(contents(log.fileFor(day1.date())),
             QByteArray("2026-12-09T23:59:59.500\tПределы\tКанал 3: авария\n"));
    // A new day, a new file; one event is one line whatever its text.
    QCOMPARE(contents(log.fileFor(day2.date())),
             QByteArray("2026-12-10T00:00:01.000\tСвязь\ttwo lines\n"));
    QVERIFY(log.fileError().isEmpty());
}

void tst_EventLog::unwritable_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("a file where the folder should be") << "file";
    QTest::newRow("a folder where the day's file should be") << "folder";
    QTest::newRow("disk full") << "full";
}

void tst_EventLog::unwritable()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("events"));
    EventLog log(folder);
    const QDateTime t(QDate(2026, 12, 10), QTime(1, 2, 3));
    log.add(EventLog::Other, QStringLiteral("before"), t);
    const QByteArray before = contents(log.fileFor(t.date()));
    QVERIFY(!before.isEmpty());
    if (how == QLatin1String("file")) {
        QVERIFY(QDir(folder).removeRecursively());
        QFile f(folder);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (how == QLatin1String("folder")) {
        QVERIFY(QFile::remove(log.fileFor(t.date())));
        QVERIFY(QDir().mkdir(log.fileFor(t.date())));
    } else {
        SafeFileWriter::FaultInjection full;
        full.kind = SafeFileWriter::FaultInjection::DiskFull;
        full.atByte = before.size() + 10;
        SafeFileWriter::setFaultInjection(full);
    }
    QSignalSpy failed(&log, &EventLog::fileFailed);
    log.add(EventLog::Config, QStringLiteral("first lost line, long enough not to fit"), t);
    log.add(EventLog::Config, QStringLiteral("second lost line"), t);
    QCOMPARE(failed.count(), 1); // said once, not per event
    QVERIFY(failed.at(0).at(0).toString().contains(QDir::toNativeSeparators(folder)));
    QCOMPARE(log.rowCount(), 3); // the panel keeps them
    if (how == QLatin1String("full"))
        QCOMPARE(contents(log.fileFor(t.date())), before); // no half line
    SafeFileWriter::setFaultInjection({});
    if (how != QLatin1String("full")) {
        QVERIFY(QFile::remove(folder) || QDir(folder).removeRecursively());
    }
    log.add(EventLog::Other, QStringLiteral("after"), t);
    QVERIFY(log.fileError().isEmpty());
    QVERIFY(contents(log.fileFor(t.date())).endsWith("\tafter\n"));
}

void tst_EventLog::boundedInMemory()
{
    EventLog log{QString()}; // no folder: memory only
    for (int i = 0; i < EventLog::MaxRows + 5; ++i)
        log.add(EventLog::Other, QString::number(i));
    QCOMPARE(log.rowCount(), EventLog::MaxRows);
    QCOMPARE(log.events().constFirst().text, QStringLiteral("5"));
}

QTEST_GUILESS_MAIN(tst_EventLog)
#include "tst_eventlog.moc"
