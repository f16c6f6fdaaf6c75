// The write class on its own keeps the old file or puts a complete new one in
// place, never blocks on a special file, and leaves no temporary file behind.
// Every writer and reader of the program meets the same faults in tst_filefaults.
#include "filereader.h"
#include "safefilewriter.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TestSafeFileWriter : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SafeFileWriter::setFaultInjection({}); }
    void write_data();
    void write();
    void settingsCopyParsesTheBytesGiven();
};

namespace {
const QByteArray OldBytes("old contents\n");

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}
} // namespace

void TestSafeFileWriter::write_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("reason");
    QTest::newRow("none") << "" << true << "";
    QTest::newRow("disk full at first byte") << "full0" << false << "Нет места на устройстве";
    QTest::newRow("disk full midway") << "full100" << false << "Нет места на устройстве";
    QTest::newRow("read-only") << "ro" << false << "Файловая система только для чтения";
    QTest::newRow("target a FIFO") << "fifo" << false << "FIFO";
    QTest::newRow("target a folder") << "dir" << false << "Это каталог";
    QTest::newRow("target a symlink") << "link" << true << "";
    QTest::newRow("folder removed midway") << "rmdir" << false << "Нет такого файла или каталога";
    QTest::newRow("folder missing") << "nodir" << false << "Нет такого файла или каталога";
}

void TestSafeFileWriter::write()
{
    QFETCH(QString, fault);
    QFETCH(bool, ok);
    QFETCH(QString, reason);
    QTemporaryDir tmp;
    QString folder = tmp.filePath(QStringLiteral("d"));
    QVERIFY(QDir().mkpath(folder));
    QString target = folder + QStringLiteral("/out.txt");
    QString real = target;
    SafeFileWriter::FaultInjection f;
    if (fault == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    } else if (fault == QLatin1String("dir")) {
        QVERIFY(QDir().mkpath(target));
    } else {
        real = fault == QLatin1String("link") ? folder + QStringLiteral("/real.txt") : target;
        QFile old(real);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(OldBytes) == OldBytes.size());
        old.close();
        if (real != target)
            QVERIFY(QFile::link(real, target));
    }
    if (fault.startsWith(QLatin1String("full"))) {
        f.kind = SafeFileWriter::FaultInjection::DiskFull;
        f.atByte = fault.mid(4).toLongLong();
    } else if (fault == QLatin1String("ro")) {
        f.kind = SafeFileWriter::FaultInjection::ReadOnlyFileSystem;
    } else if (fault == QLatin1String("rmdir")) {
        f.midwayAtByte = 100;
        f.midway = [folder]() { QDir(folder).removeRecursively(); };
    } else if (fault == QLatin1String("nodir")) {
        target = tmp.filePath(QStringLiteral("none/out.txt"));
    }
    SafeFileWriter::setFaultInjection(f);

    const QByteArray fresh = QByteArray("new line\n").repeated(20000);
    SafeFileWriter w(target);
    const bool done = w.open() && w.write(fresh.left(50)) &&
                      w.device()->write(fresh.mid(50)) == fresh.size() - 50 && w.commit();
    QCOMPARE(done, ok);
    QVERIFY2(w.errorString().contains(reason), qPrintable(w.errorString()));
    if (fault == QLatin1String("link"))
        QVERIFY(QFileInfo(target).isSymLink());
    if (fault != QLatin1String("fifo") && fault != QLatin1String("dir") &&
        fault != QLatin1String("rmdir") && fault != QLatin1String("nodir"))
        QCOMPARE(fileBytes(real), ok ? fresh : OldBytes);
    if (QFileInfo::exists(folder)) {
        for (const QString &name : entries(folder))
            QVERIFY2(!SafeFileWriter::isTemporaryName(name), qPrintable(name));
    }
}

void TestSafeFileWriter::settingsCopyParsesTheBytesGiven()
{
    SettingsCopy copy("[Device]\nadcFreq=1000\n");
    QVERIFY(copy.isValid());
    QCOMPARE(copy.settings()->value(QStringLiteral("Device/adcFreq")).toInt(), 1000);
}

QTEST_GUILESS_MAIN(TestSafeFileWriter)
#include "tst_safefilewriter.moc"
