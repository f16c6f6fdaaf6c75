// "Стоп-кадр" against the emulator: held, the table, the status panel and the
// plots stand still while blocks keep coming and recording goes on; the status
// bar counts them; released, the newest block shows at once.
#include "deviceconfig.h"
#include "emulatorprocess.h"
#include "envelopegraph.h"
#include "mainwindow.h"
#include "measurementactions.h"
#include "plot.h"
#include "viewhold.h"
#include "windowsetup.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void closeBoxes(QObject *owner)
{
    auto *t = new QTimer(owner);
    QObject::connect(t, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->done(QMessageBox::Ok);
    });
    t->start(20);
}

// What the operator reads: every cell of the table and the panel's Uref.
QStringList view(MainWindow &w)
{
    QStringList out;
    auto *table = w.findChild<QTableWidget *>(QStringLiteral("paramsTable"));
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c)
            out << (table->item(r, c) ? table->item(r, c)->text() : QString());
    }
    auto *plot = w.findChild<Plot *>(QStringLiteral("timePlot"));
    auto *graph = qobject_cast<EnvelopeGraph *>(plot->graph(0));
    bool found = false;
    out << QString::number(graph->getValueRange(found).upper, 'g', 17);
    return out;
}

} // namespace

class tst_ViewHold : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void holdKeepsViewStill_data();
    void holdKeepsViewStill();

private:
    std::unique_ptr<EmulatorProcess> emulator;
};

void tst_ViewHold::initTestCase()
{
    emulator.reset(new EmulatorProcess);
    if (!startWindowTest(*emulator, {0, 1, 4}, 100))
        QSKIP("the crate-server emulator cannot be started");
}

void tst_ViewHold::holdKeepsViewStill_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("action") << false;
    QTest::newRow("F8") << true;
}

void tst_ViewHold::holdKeepsViewStill()
{
    QFETCH(bool, byKey);
    MainWindow w;
    closeBoxes(&w);
    auto *hold = w.findChild<ViewHold *>();
    auto *actions = w.findChild<MeasurementActions *>();
    auto *label = w.findChild<QLabel *>(QStringLiteral("holdLabel"));
    QVERIFY(hold && actions && label);
    QTemporaryDir dir;
    QVERIFY(actions->startRecording(dir.filePath(QStringLiteral("log.csv"))));
    QVERIFY(QTest::qWaitFor([&] { return actions->recorder().blockCount() >= 2; }, 20000));

    if (byKey) {
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F8);
    } else {
        hold->action()->trigger();
    }
    QVERIFY(hold->isHeld());
    const QStringList held = view(w);
    auto *rref = w.findChild<QLineEdit *>(QStringLiteral("rref"));
    const QString panel = rref->text();
    const qint64 recorded = actions->recorder().blockCount();

    QVERIFY(QTest::qWaitFor([&] { return hold->blocksSinceHold() >= 3; }, 20000));
    QCOMPARE(view(w), held);
    QCOMPARE(rref->text(), panel);
    QVERIFY(actions->recorder().blockCount() >= recorded + 3); // recording goes on
    QVERIFY(label->isVisibleTo(&w));
    QVERIFY2(label->text().contains(QString::number(hold->blocksSinceHold())),
             qPrintable(label->text()));

    if (byKey)
        QTest::keyClick(&w, Qt::Key_F8);
    else
        hold->action()->trigger();
    QVERIFY(!hold->isHeld());
    QVERIFY(!label->isVisibleTo(&w));
    // The newest block at once, not at the next one.
    QVERIFY(view(w) != held);
    actions->recordAction()->setChecked(false);
}

QTEST_MAIN(tst_ViewHold)
#include "tst_viewhold.moc"
