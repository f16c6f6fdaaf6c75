// Where the file dialogs start and which names they propose.

#include "lastlocations.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using LastLocations::Kind;
Q_DECLARE_METATYPE(LastLocations::Kind)

class tst_LastLocations : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings().clear(); }
    void proposedPath_data();
    void proposedPath();
    void storedValueIsNotAPlace_data();
    void storedValueIsNotAPlace();

private:
    QTemporaryDir dir;
};

void tst_LastLocations::proposedPath_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("rememberedFile"); // relative to the temporary dir; empty: none
    QTest::addColumn<bool>("folderGone");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("expected"); // "@" is the temporary dir, "~" the documents

    QTest::newRow("measurement, first time")
        << Kind::Measurement << QString() << false << "480-21-0103"
        << "~/480-21-0103_2026-12-10_01-02-03.csv";
    QTest::newRow("measurement, last folder")
        << Kind::Measurement << "a/old.h5" << false << "480-21-0103"
        << "@/a/480-21-0103_2026-12-10_01-02-03.csv";
    QTest::newRow("measurement, last folder gone")
        << Kind::Measurement << "a/old.h5" << true << "480-21-0103"
        << "~/480-21-0103_2026-12-10_01-02-03.csv";
    QTest::newRow("recording, serial with a slash and spaces")
        << Kind::Recording << "b/rec.csv" << false << " 480/21 07 "
        << "@/b/480_21_07_2026-12-10_01-02-03.csv";
    QTest::newRow("recording, no serial")
        << Kind::Recording << QString() << false << QString() << "~/GRV480_2026-12-10_01-02-03.csv";
    QTest::newRow("configuration, last file")
        << Kind::Configuration << "c/bench.gm480cfg" << false << "480-21-0103"
        << "@/c/bench.gm480cfg";
    QTest::newRow("configuration, first time")
        << Kind::Configuration << QString() << false << "480-21-0103"
        << "~/480-21-0103.csv";
    QTest::newRow("configuration, folder gone")
        << Kind::Configuration << "c/bench.gm480cfg" << true << "480-21-0103"
        << "~/480-21-0103.csv";
}

void tst_LastLocations::proposedPath()
{
    QFETCH(Kind, kind);
    QFETCH(QString, rememberedFile);
    QFETCH(bool, folderGone);
    QFETCH(QString, serial);
    QFETCH(QString, expected);

    QVERIFY(dir.isValid());
    if (!rememberedFile.isEmpty()) {
        const QString path = dir.filePath(rememberedFile);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        LastLocations::remember(kind, path);
        if (folderGone)
            QVERIFY(QDir(QFileInfo(path).absolutePath()).removeRecursively());
    }
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty())
        docs = QDir::homePath();
    expected.replace(0, 1, expected.startsWith('@') ? dir.path() : docs);

    const QDateTime time(QDate(2026, 12, 10), QTime(1, 2, 3));
    QCOMPARE(LastLocations::proposedPath(kind, serial, time, "csv"), expected);
}

void tst_LastLocations::storedValueIsNotAPlace_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("a number") << QVariant(42);
    QTest::newRow("a list") << QVariant(QStringList({"a", "b"}));
    QTest::newRow("empty") << QVariant(QString());
    QTest::newRow("a file where a folder was") << QVariant(QStringLiteral("/etc/passwd"));
}

void tst_LastLocations::storedValueIsNotAPlace()
{
    QFETCH(QVariant, stored);
    QSettings().setValue("MeasurementExport/Dir", stored);
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty())
        docs = QDir::homePath();
    QCOMPARE(LastLocations::folder(Kind::Measurement), docs);
}

QTEST_MAIN(tst_LastLocations)
#include "tst_lastlocations.moc"
