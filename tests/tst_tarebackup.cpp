// Tare backups: every write to the flash keeps what the flash held first, a
// backup that cannot be kept stops the write, a backup restores into the table
// only, and a damaged backup file is refused whole.
#include "deviceconfig.h"
#include "tarebackup.h"
#include "taredialog.h"

#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

const char Serial[] = "T480-0042";

// The module's flash as the replaced calls see it, and what each write found.
struct FakeFlash
{
    TGRV480TareInfo records[GRV480_CHANNEL_COUNT];
    QStringList calls;
    int backupsAtWrite = -1;
    int readError = 0; // what reading the flash answers
    double backedUpScale3 = 0; // channel 3's scale in the newest backup when the write came
} flash;

TareDialog::ApiCalls fakeCalls()
{
    TareDialog::ApiCalls c;
    c.readTareInfo = [](TGRV480 *h, uint32_t) -> INT {
        flash.calls << QStringLiteral("read");
        std::memcpy(h->tare, flash.records, sizeof flash.records);
        return flash.readError;
    };
    c.writeTareInfo = [](TGRV480 *h, uint32_t) -> INT {
        flash.calls << QStringLiteral("write");
        const QList<TareBackup::Entry> backups = TareBackup::list(QLatin1String(Serial));
        flash.backupsAtWrite = backups.size();
        TGRV480TareInfo kept[GRV480_CHANNEL_COUNT] = {};
        QString error;
        if (!backups.isEmpty() &&
            TareBackup::read(backups[0].path, QLatin1String(Serial), kept, &error))
            flash.backedUpScale3 = kept[2].scaleCoef;
        std::memcpy(flash.records, h->tare, sizeof flash.records);
        return 0;
    };
    return c;
}

// Closes message boxes (their texts are kept) and takes the first entry of a
// choice dialog.
class ModalCloser : public QObject
{
public:
    ModalCloser()
    {
        connect(&timer, &QTimer::timeout, this, [this]() {
            QWidget *w = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                texts << box->text();
                if (answerYes && box->button(QMessageBox::Yes))
                    box->button(QMessageBox::Yes)->click();
                else
                    box->done(QMessageBox::Ok);
            } else if (auto *input = qobject_cast<QInputDialog *>(w)) {
                choices = input->comboBoxItems();
                input->accept();
            }
        });
        timer.start(5);
    }
    QStringList texts;
    QStringList choices;
    bool answerYes = false;

private:
    QTimer timer;
};

void click(TareDialog &dlg, const char *button)
{
    auto *b = dlg.findChild<QPushButton *>(QLatin1String(button));
    QVERIFY(b);
    b->click();
}

} // namespace

class tst_TareBackup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void writeKeepsFlashFirst_data();
    void writeKeepsFlashFirst();
    void restoreIntoTableOnly();
    void damagedBackupRefused_data();
    void damagedBackupRefused();
    void outOfRangeLoadsInvalid();
    void equalTimesListedApart();
    void unreadableFlashRewrittenOnYes();

private:
    std::unique_ptr<TGRV480> h;
};

void tst_TareBackup::init()
{
    QDir(TareBackup::directory()).removeRecursively();
    QFile::remove(TareBackup::directory());
    TareDialog::apiCalls() = fakeCalls();
    flash = FakeFlash();
    flash.records[2].scaleCoef = 1.0123;
    flash.records[2].scaleValid = 1;
    h.reset(new TGRV480);
    std::memset(h.get(), 0, sizeof *h);
    std::strcpy(h->info.moduleSerial, Serial);
    h->tare[2].scaleCoef = 1.5; // the table's value, about to replace the flash's
    h->tare[2].scaleValid = 1;
}

void tst_TareBackup::writeKeepsFlashFirst_data()
{
    QTest::addColumn<bool>("directoryBlocked");
    QTest::newRow("backup kept, then written") << false;
    QTest::newRow("backup impossible, nothing written") << true;
}

void tst_TareBackup::writeKeepsFlashFirst()
{
    QFETCH(bool, directoryBlocked);
    if (directoryBlocked) {
        // A file where the directory should be: no backup can be made there.
        QDir().mkpath(QFileInfo(TareBackup::directory()).path());
        QFile blocker(TareBackup::directory());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    const DeviceConfig cfg;
    TareDialog dlg(nullptr, h.get(), &cfg);
    ModalCloser closer;
    click(dlg, "tareWriteFlashBtn");
    QCOMPARE(closer.texts.size(), 1);
    QCOMPARE(h->tare[2].scaleCoef, 1.5); // the table keeps its values either way
    if (directoryBlocked) {
        QCOMPARE(flash.calls, QStringList{QStringLiteral("read")});
        QVERIFY2(closer.texts[0].endsWith("Запись во Flash-память не выполнена."),
                 qPrintable(closer.texts[0]));
        QCOMPARE(flash.records[2].scaleCoef, 1.0123);
    } else {
        QCOMPARE(flash.calls, (QStringList{QStringLiteral("read"), QStringLiteral("write")}));
        QCOMPARE(flash.backupsAtWrite, 1);
        QCOMPARE(flash.backedUpScale3, 1.0123);
        QCOMPARE(flash.records[2].scaleCoef, 1.5);
    }
}

void tst_TareBackup::restoreIntoTableOnly()
{
    const DeviceConfig cfg;
    TareDialog dlg(nullptr, h.get(), &cfg);
    ModalCloser closer;
    click(dlg, "tareRestoreBtn");
    QCOMPARE(closer.texts.size(), 1); // none yet
    click(dlg, "tareWriteFlashBtn");  // keeps 1.0123
    h->tare[2].scaleCoef = 2.0;
    click(dlg, "tareWriteFlashBtn"); // keeps 1.5
    flash.calls.clear();

    click(dlg, "tareRestoreBtn");
    QCOMPARE(closer.choices.size(), 2);
    QVERIFY(closer.choices[0] > closer.choices[1]); // newest first
    QCOMPARE(h->tare[2].scaleCoef, 1.5);
    QCOMPARE(int(h->tare[2].scaleValid), 1);
    QCOMPARE(flash.calls, QStringList()); // the flash is written only by the operator
    QCOMPARE(flash.records[2].scaleCoef, 2.0);
    auto *view = dlg.findChild<QTableView *>(QStringLiteral("CoefTable"));
    QCOMPARE(view->model()->data(view->model()->index(2, 3)).toDouble(), 1.5);
}

void tst_TareBackup::damagedBackupRefused_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::newRow("not a number") << QByteArray("Scale=1.0123") << QByteArray("Scale=abc");
    QTest::newRow("crafted variant")
        << QByteArray("Scale=1.0123") << QByteArray("Scale=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)");
    QTest::newRow("infinite offset") << QByteArray("Offset=0") << QByteArray("Offset=inf");
    QTest::newRow("validity flag") << QByteArray("ScaleValid=1") << QByteArray("ScaleValid=2");
    QTest::newRow("channel missing") << QByteArray("[Channel16]") << QByteArray("[Other]");
    QTest::newRow("another module") << QByteArray("T480-0042") << QByteArray("T480-0043");
    QTest::newRow("no time") << QByteArray("Time=") << QByteArray("Tim=");
}

void tst_TareBackup::damagedBackupRefused()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QString path, error;
    QVERIFY(TareBackup::write(QLatin1String(Serial), flash.records, QDateTime::currentDateTimeUtc(),
                              &path, &error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray text = f.readAll();
    QVERIFY(text.contains(from));
    text.replace(text.indexOf(from), from.size(), to);
    f.resize(0);
    f.write(text);
    f.close();

    TGRV480TareInfo records[GRV480_CHANNEL_COUNT];
    std::memcpy(records, h->tare, sizeof records);
    QVERIFY(!TareBackup::read(path, QLatin1String(Serial), records, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(std::memcmp(records, h->tare, sizeof records), 0);
}

// A value the module cannot use comes back unmarked and neutral, and said;
// ticking it valid in the table is refused, and the write refuses it anyway.
void tst_TareBackup::outOfRangeLoadsInvalid()
{
    flash.records[4].offsetCoef = 1e300;
    flash.records[4].offsetValid = 1;
    flash.records[4].scaleCoef = -3;
    QString path, error;
    QVERIFY(TareBackup::write(QLatin1String(Serial), flash.records, QDateTime::currentDateTimeUtc(),
                              &path, &error));
    QStringList notes;
    QVERIFY(TareBackup::read(path, QLatin1String(Serial), h->tare, &error, &notes));
    QCOMPARE(notes.size(), 2);
    QVERIFY2(notes[0].contains("канал 5, Offset = 1e+300"), qPrintable(notes[0]));
    QCOMPARE(h->tare[4].offsetCoef, 0.0);
    QCOMPARE(int(h->tare[4].offsetValid), 0);
    QCOMPARE(h->tare[4].scaleCoef, 1.0);

    h->tare[4].offsetCoef = 1e300;
    const DeviceConfig cfg;
    TareDialog dlg(nullptr, h.get(), &cfg);
    auto *model = dlg.findChild<QTableView *>(QStringLiteral("CoefTable"))->model();
    QVERIFY(!model->setData(model->index(4, 2), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(int(h->tare[4].offsetValid), 0);
    ModalCloser closer;
    click(dlg, "tareWriteFlashBtn");
    QCOMPARE(flash.calls, QStringList());
    QCOMPARE(closer.texts.size(), 1);
    QVERIFY2(closer.texts[0].contains("канал 5"), qPrintable(closer.texts[0]));
}

void tst_TareBackup::equalTimesListedApart()
{
    const QDateTime t = QDateTime::currentDateTimeUtc();
    QString first, second, error;
    QVERIFY(TareBackup::write(QLatin1String(Serial), flash.records, t, &first, &error));
    QVERIFY(TareBackup::write(QLatin1String(Serial), flash.records, t, &second, &error));
    // an oversized file among them is skipped with a note, not read
    QFile big(TareBackup::directory() + "/" + Serial + "_20000101-000000-000.ini");
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(TareBackup::MaxFileBytes + 1));
    QStringList skipped;
    const QList<TareBackup::Entry> list = TareBackup::list(QLatin1String(Serial), &skipped);
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].path, second);
    QCOMPARE(skipped.size(), 1);

    const DeviceConfig cfg;
    TareDialog dlg(nullptr, h.get(), &cfg);
    ModalCloser closer;
    click(dlg, "tareRestoreBtn");
    QCOMPARE(closer.choices.size(), 2);
    QVERIFY(closer.choices[0] != closer.choices[1]);
    QVERIFY(closer.choices[0].endsWith(QFileInfo(second).fileName()));
}

void tst_TareBackup::unreadableFlashRewrittenOnYes()
{
    flash.readError = -10721;
    const DeviceConfig cfg;
    TareDialog dlg(nullptr, h.get(), &cfg);
    ModalCloser closer;
    closer.answerYes = true;
    click(dlg, "tareWriteFlashBtn");
    QCOMPARE(flash.calls, (QStringList{QStringLiteral("read"), QStringLiteral("write")}));
    QVERIFY2(closer.texts[0].contains("-10721"), qPrintable(closer.texts[0]));
    QCOMPARE(flash.records[2].scaleCoef, 1.5);
    const QList<TareBackup::Entry> list = TareBackup::list(QLatin1String(Serial));
    QCOMPARE(list.size(), 1);
    QVERIFY(list[0].unreadable.startsWith("-10721"));
    QString error;
    QVERIFY(!TareBackup::read(list[0].path, QLatin1String(Serial), h->tare, &error));
}

QTEST_MAIN(tst_TareBackup)
#include "tst_tarebackup.moc"
