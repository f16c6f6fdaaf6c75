// The tare dialog and its channel dialog: the judgement of tare results, the
// calls that are and are not made, the wait cursor, the stored layout; then,
// against the emulator, real tares, flash round trips (also across a restart
// and a kill during writes) and an acquisition corrected by the new coefficients.
#include "apierror.h"
#include "channelsconfigwidget.h"
#include "deviceconfig.h"
#include "deviceconfigdialog.h"
#include "emulatorprocess.h"
#include "grv480recvthread.h"
#include "tarechannelsdialog.h"
#include "taredialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <thread>

namespace {

constexpr quint32 Loopback = 0x7F000001;

// Answers every modal window as it appears: message boxes are recorded and
// closed, the channel dialog is accepted or cancelled.
class ModalCloser : public QObject
{
public:
    struct Box
    {
        QString title;
        QString text;
        bool waitCursor; // the override cursor was still up when the box showed
    };

    ModalCloser()
    {
        connect(&timer, &QTimer::timeout, this, [this]() {
            QWidget *w = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                boxes << Box{box->windowTitle(), box->text(),
                             QApplication::overrideCursor() != nullptr};
                box->done(QMessageBox::Ok);
            } else if (auto *dlg = qobject_cast<TareChannelsDialog *>(w)) {
                ++channelDialogs;
                if (onChannels)
                    onChannels(dlg);
                acceptChannels ? dlg->accept() : dlg->reject();
            }
        });
        timer.start(1);
    }
    QList<Box> boxes;
    int channelDialogs = 0;
    bool acceptChannels = true;
    std::function<void(TareChannelsDialog *)> onChannels;

private:
    QTimer timer;
};

// What the replaced module calls saw and answer.
struct FakeApi
{
    QStringList calls;
    bool cursorAlwaysUp = true;
    INT result = 0;
    INT prepareResult = 0;
    quint32 mask = 0;
    int readResult = 1; // the read's own answer; 1: the same as the others
} fake;

void noteCall(const char *name)
{
    fake.calls << QLatin1String(name);
    const QCursor *c = QApplication::overrideCursor();
    fake.cursorAlwaysUp = fake.cursorAlwaysUp && c && c->shape() == Qt::WaitCursor;
}

INT fakeTare(TGRV480 *, uint32_t chMask, uint32_t *ok)
{
    noteCall(chMask == 0xFFFF ? "tare" : "tare with a wrong mask");
    *ok = fake.mask;
    return fake.result;
}

TareDialog::ApiCalls fakeCalls()
{
    TareDialog::ApiCalls c;
    c.tareOffset = fakeTare;
    c.tareScale = fakeTare;
    c.initMeasParams = [](TGRV480 *, INT mode, INT, INT) -> INT {
        noteCall(mode == 2 ? "prepare" : "prepare in a wrong mode");
        return fake.prepareResult;
    };
    c.readTareInfo = [](TGRV480 *, uint32_t) -> INT {
        noteCall("read");
        return fake.readResult == 1 ? fake.result : fake.readResult;
    };
    c.writeTareInfo = [](TGRV480 *, uint32_t) -> INT {
        noteCall("write");
        return fake.result;
    };
    return c;
}

struct Handle
{
    Handle()
        : h(new TGRV480)
    {
        GRV480_Init(h.get());
    }
    ~Handle() { GRV480_Close(h.get()); }
    TGRV480 *get() { return h.get(); }
    TGRV480 *operator->() { return h.get(); }
    std::unique_ptr<TGRV480> h;
};

void click(TareDialog &dlg, const char *button)
{
    auto *b = dlg.findChild<QPushButton *>(QLatin1String(button));
    QVERIFY(b);
    b->click();
}

} // namespace

class TestTareDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void operations_data();
    void operations();
    void layoutStored();
    void refusedEntryExplained();
    void zeroTareWithOpenLine();
    void flashRoundTripAcrossRestart();
    void killDuringWrites();
    void acquisitionUsesNewCoefficients();
    void fromConfigurationDialog();

private:
    DeviceConfig config(const QList<int> &channels);
    std::unique_ptr<TGRV480> h;
};

void TestTareDialog::init()
{
    TareDialog::apiCalls() = TareDialog::ApiCalls();
    fake = FakeApi();
    QSettings().clear();
    h.reset(new TGRV480);
    std::memset(h.get(), 0, sizeof *h);
}

DeviceConfig TestTareDialog::config(const QList<int> &channels)
{
    QSettings settings;
    DeviceConfig cfg;
    cfg.loadSettings(settings);
    for (int ch : channels)
        cfg.setChannelEnabled(ch, true);
    cfg.setISrcValue(25.0); // the scenario's signals are given at the nominal current
    return cfg;
}

// A button, the answers of the replaced module calls, and what follows.
void TestTareDialog::operations_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("accept"); // the channel dialog's answer
    QTest::addColumn<int>("prepareErr");
    QTest::addColumn<int>("err");
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("text"); // "title|text" of the one box; empty: no box
    QTest::addColumn<bool>("refreshed");
    const QString partial =
        "Ошибка тарировки|Не удалось найти действительное значение для всех каналов.\n"
        "Тарировка выполнена успешно для каналов ";
    const QString tareErr = "Ошибка|Не удалось выполнить тарировку. Ошибка %1: ";
    const QStringList zero{"tare"}, scale{"prepare", "tare"};
    QTest::newRow("zero ok") << "tareOffsBtn" << true << 0 << 0 << 0xFFFFu << zero
                             << "Завершение операции|Тарировка выполнена успешно" << true;
    QTest::newRow("scale ok") << "tareScaleBtn" << true << 0 << 0 << 3u << scale
                              << "Завершение операции|Тарировка выполнена успешно" << true;
    QTest::newRow("all 16 listed")
        << "tareOffsBtn" << true << 0 << -10712 << 0xFFFFu << zero
        << partial + "1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16" << false;
    QTest::newRow("bit 15") << "tareScaleBtn" << true << 0 << -10712 << 0x8000u << scale
                            << partial + "16" << false;
    QTest::newRow("1 and 3") << "tareOffsBtn" << true << 0 << -10712 << 5u << zero
                             << partial + "1, 3" << false;
    QTest::newRow("no channel")
        << "tareOffsBtn" << true << 0 << -10712 << 0u << zero
        << "Ошибка тарировки|Не удалось найти действительное значение ни для одного канала"
        << false;
    QTest::newRow("tare error") << "tareScaleBtn" << true << 0 << -10105 << 1u << scale
                                << tareErr.arg(-10105) + apiErrorText(-10105) << false;
    QTest::newRow("preparation fails")
        << "tareScaleBtn" << true << -10102 << 0 << 0xFFFFu << QStringList{"prepare"}
        << tareErr.arg(-10102) + apiErrorText(-10102) << false;
    QTest::newRow("zero cancelled")
        << "tareOffsBtn" << false << 0 << 0 << 0u << QStringList() << QString() << false;
    QTest::newRow("scale cancelled")
        << "tareScaleBtn" << false << 0 << 0 << 0u << QStringList() << QString() << false;
    QTest::newRow("read fails")
        << "tareReadFlashBtn" << true << 0 << -10722 << 0u << QStringList{"read"}
        << "Ошибка|Не удалось прочитать тарировочные коэффициенты. Ошибка -10722: " +
               apiErrorText(-10722)
        << false;
    QTest::newRow("read ok")
        << "tareReadFlashBtn" << true << 0 << 0 << 0u << QStringList{"read"}
        << "Завершение операции|Чтение тарировочных коэффициентов выполнено успешно" << true;
    // A write reads the flash first, for the backup.
    QTest::newRow("write fails")
        << "tareWriteFlashBtn" << true << 0 << -10720 << 0u << QStringList{"read", "write"}
        << "Ошибка|Не удалось записать тарировочные коэффициенты. Ошибка -10720: " +
               apiErrorText(-10720)
        << false;
    QTest::newRow("write ok")
        << "tareWriteFlashBtn" << true << 0 << 0 << 0u << QStringList{"read", "write"}
        << "Завершение операции|Запись тарировочных коэффициентов выполнена успешно" << false;
    // mask 2 here: the read for the backup fails and the operator declines to write
    // without one; 3: the flash is empty, nothing to keep
    QTest::newRow("no backup, no write")
        << "tareWriteFlashBtn" << true << 0 << -10721 << 2u << QStringList{"read"}
        << "Запись коэф. во Flash-память|Не удалось прочитать тарировочные коэффициенты для "
           "резервной копии.\nОшибка -10721: " + apiErrorText(-10721) +
               "\n\nЗаписать коэффициенты таблицы без резервной копии? Прежнее содержимое "
               "Flash-памяти будет потеряно."
        << false;
    QTest::newRow("empty flash, no backup needed")
        << "tareWriteFlashBtn" << true << 0 << 0 << 3u << QStringList{"read", "write"}
        << "Завершение операции|Запись тарировочных коэффициентов выполнена успешно" << false;
    // mask 1 here: channel 1 holds a NaN, which must never reach the flash
    QTest::newRow("NaN not written") << "tareWriteFlashBtn" << true << 0 << 0 << 1u << QStringList()
                                     << "Ошибка|Не удалось записать тарировочные коэффициенты: "
                                        "канал 1 содержит недопустимое значение (коэф. шкалы)"
                                     << false;
}

void TestTareDialog::operations()
{
    QFETCH(QString, button);
    QFETCH(bool, accept);
    QFETCH(int, prepareErr);
    QFETCH(int, err);
    QFETCH(quint32, mask);
    QFETCH(QStringList, calls);
    QFETCH(QString, text);
    QFETCH(bool, refreshed);
    TareDialog::apiCalls() = fakeCalls();
    fake = {{}, true, err, prepareErr, mask};
    if (button == "tareWriteFlashBtn" && mask != 2)
        fake.readResult = mask == 3 ? GRV480_ERR_FLASH_EMPTY : 0;
    if (button == "tareWriteFlashBtn" && mask == 1)
        h->tare[0].scaleCoef = std::numeric_limits<double>::quiet_NaN();
    const std::unique_ptr<TGRV480> before(new TGRV480(*h));
    const DeviceConfig cfg = config({0, 2});
    TareDialog dlg(nullptr, h.get(), &cfg);
    QSignalSpy changed(dlg.findChild<QTableView *>("CoefTable")->model(),
                       &QAbstractItemModel::dataChanged);
    ModalCloser closer;
    closer.acceptChannels = accept;
    click(dlg, qPrintable(button));
    QCOMPARE(fake.calls, calls);
    QVERIFY(fake.cursorAlwaysUp);
    QCOMPARE(closer.boxes.size(), text.isEmpty() ? 0 : 1);
    if (!text.isEmpty()) {
        QCOMPARE(closer.boxes[0].title + "|" + closer.boxes[0].text, text);
        QVERIFY(!closer.boxes[0].waitCursor);
    }
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(changed.count(), refreshed ? 1 : 0);
    if (button == "tareOffsBtn" || button == "tareScaleBtn") {
        if (accept) // the channel choice reached the handle before the tare
            QCOMPARE(h->cfg.logicalChannelCount, 2u);
        else
            QCOMPARE(std::memcmp(before.get(), h.get(), sizeof *h), 0);
    }
}

void TestTareDialog::layoutStored()
{
    const DeviceConfig cfg = config({0});
    QSettings().setValue("TareDialog/CoefTableColumnCnt", 3); // another column set: ignored
    {
        TareDialog dlg(nullptr, h.get(), &cfg);
        QCOMPARE(dlg.size(), QSize(1000, 600));
        auto *view = dlg.findChild<QTableView *>("CoefTable");
        QCOMPARE(view->columnWidth(0), 120);
        QCOMPARE(view->columnWidth(3), 150);
        view->setColumnWidth(2, 222);
        view->horizontalHeader()->moveSection(3, 1);
        dlg.resize(700, 450);
        TareChannelsDialog channels(&dlg, dlg.config());
        QCOMPARE(channels.size(), QSize(400, 600));
    }
    QSettings().setValue("TareChannelsDialog/WidgetSize", QSize(-1, 5)); // damaged: default
    TareDialog dlg(nullptr, h.get(), &cfg);
    QCOMPARE(dlg.size(), QSize(700, 450));
    auto *view = dlg.findChild<QTableView *>("CoefTable");
    QCOMPARE(view->columnWidth(2), 222);
    QCOMPARE(view->horizontalHeader()->visualIndex(3), 1);
    QCOMPARE(TareChannelsDialog(&dlg, dlg.config()).size(), QSize(400, 600));
}

// A refused entry is explained beside the table until a value is taken.
void TestTareDialog::refusedEntryExplained()
{
    const DeviceConfig cfg = config({0});
    h->tare[2].scaleCoef = 1.0;
    TareDialog dlg(nullptr, h.get(), &cfg);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto *view = dlg.findChild<QTableView *>("CoefTable");
    auto *status = dlg.findChild<QLabel *>("coefStatusLabel");
    QVERIFY(view && status);
    const QModelIndex cell = view->model()->index(2, 3);
    // The view commits an entry after the key press, from its event loop.
    auto type = [view, cell](const QString &text) {
        view->edit(cell);
        auto *edit = qobject_cast<QLineEdit *>(view->indexWidget(cell));
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_VERIFY(!view->indexWidget(cell));
    };
    type("12");
    QCOMPARE(h->tare[2].scaleCoef, 1.0);
    QCOMPARE(status->text(), QStringLiteral("Канал 3, Коэф. шкалы: значение 12 не принято; "
                                            "допустимо больше 0 и не больше 10."));
    type("1,25");
    QCOMPARE(h->tare[2].scaleCoef, 1.25);
    QVERIFY(status->text().isEmpty());
}

// --- against the emulator -------------------------------------------------------

void TestTareDialog::zeroTareWithOpenLine()
{
    EmulatorProcess emu(EmulatorProcess::scenarioPath("test-signals.ini"));
    QVERIFY(emu.start());
    Handle m;
    QCOMPARE(GRV480_Open(m.get(), Loopback, emu.port(), "TEST-1", 1), 0);
    // channel 2's sense line is open; channels 1 and 5 tare
    const DeviceConfig cfg = config({0, 1, 4});
    TareDialog dlg(nullptr, m.get(), &cfg);
    QTableView *view = dlg.findChild<QTableView *>("CoefTable");
    QSignalSpy changed(view->model(), &QAbstractItemModel::dataChanged);
    ModalCloser closer;
    click(dlg, "tareOffsBtn");
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes[0].text.endsWith("для каналов 1, 5"), qPrintable(closer.boxes[0].text));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(int(m->tare[1].offsetValid), 0);

    // without the open line every channel tares and the table is refreshed
    closer.onChannels = [](TareChannelsDialog *cd) {
        cd->findChild<ChannelsConfigWidget *>()->channelTable()->item(1, 0)->setCheckState(
            Qt::Unchecked);
    };
    click(dlg, "tareOffsBtn");
    QCOMPARE(closer.boxes.size(), 2);
    QCOMPARE(closer.boxes[1].text, QString("Тарировка выполнена успешно"));
    QCOMPARE(changed.count(), 1);
    const QModelIndex offset5 = view->model()->index(4, 2);
    QVERIFY(qAbs(view->model()->data(offset5).toDouble() - 5.0) < 0.05);
    QCOMPARE(view->model()->data(offset5, Qt::CheckStateRole).toInt(), int(Qt::Checked));
}

void TestTareDialog::flashRoundTripAcrossRestart()
{
    EmulatorProcess emu(EmulatorProcess::scenarioPath("test-signals.ini"));
    QVERIFY(emu.start());
    const DeviceConfig cfg = config({0});
    ModalCloser closer;
    {
        Handle m;
        QCOMPARE(GRV480_Open(m.get(), Loopback, emu.port(), "TEST-1", 1), 0);
        TareDialog dlg(nullptr, m.get(), &cfg);
        QAbstractItemModel *model = dlg.findChild<QTableView *>("CoefTable")->model();
        QVERIFY(model->setData(model->index(3, 3), 1.0123));
        QVERIFY(model->setData(model->index(3, 3), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(model->setData(model->index(9, 2), -0.75));
        click(dlg, "tareWriteFlashBtn");
        QVERIFY(model->setData(model->index(3, 3), 1.5));
        QVERIFY(model->setData(model->index(3, 3), Qt::Unchecked, Qt::CheckStateRole));
        click(dlg, "tareReadFlashBtn");
        QCOMPARE(model->data(model->index(3, 3)).toDouble(), 1.0123);
        QCOMPARE(model->data(model->index(3, 3), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    }
    QVERIFY(emu.restart());
    Handle m;
    QCOMPARE(GRV480_Open(m.get(), Loopback, emu.port(), "TEST-1", 1), 0);
    TareDialog dlg(nullptr, m.get(), &cfg);
    QAbstractItemModel *model = dlg.findChild<QTableView *>("CoefTable")->model();
    click(dlg, "tareReadFlashBtn");
    QCOMPARE(model->data(model->index(3, 3)).toDouble(), 1.0123);
    QCOMPARE(model->data(model->index(9, 2)).toDouble(), -0.75);
    QCOMPARE(closer.boxes.size(), 3);
    for (const ModalCloser::Box &b : closer.boxes)
        QCOMPARE(b.title, QString("Завершение операции"));
}

void TestTareDialog::killDuringWrites()
{
    EmulatorProcess emu(EmulatorProcess::scenarioPath("test-signals.ini"));
    QVERIFY(emu.start());
    const DeviceConfig cfg = config({0});
    ModalCloser closer;
    std::mt19937 rng(4711);
    for (int round = 0; round < 4; ++round) {
        Handle m;
        QCOMPARE(GRV480_Open(m.get(), Loopback, emu.port(), "TEST-1", 1), 0);
        TareDialog dlg(nullptr, m.get(), &cfg);
        QAbstractItemModel *model = dlg.findChild<QTableView *>("CoefTable")->model();
        auto writeAll = [&](int i) {
            for (int ch = 0; ch < 16; ++ch)
                model->setData(model->index(ch, 2), double(i));
            click(dlg, "tareWriteFlashBtn");
            return closer.boxes.last().title == QStringLiteral("Завершение операции");
        };
        // The kill lands at a random point of a later write, however long writes take.
        closer.boxes.clear();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(writeAll(1));
        const qint64 writeMs = clock.elapsed();
        const qint64 pid = emu.pid();
        const int delayMs = int(writeMs) + 1 + int(rng() % (2 * writeMs + 20));
        std::thread killer([pid, delayMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            ::kill(pid_t(pid), SIGKILL);
        });
        int written = 1;
        while (written < 100000 && writeAll(written + 1))
            ++written;
        killer.join();
        // The kill may also land in the read that keeps the flash's backup.
        const QString last = closer.boxes.last().text;
        QVERIFY2(last.startsWith("Не удалось записать")
                     || last.startsWith("Не удалось прочитать тарировочные коэффициенты для "
                                        "резервной копии"),
                 qPrintable(last));
        QVERIFY(!QApplication::overrideCursor());

        QVERIFY(emu.restart());
        Handle fresh;
        QCOMPARE(GRV480_Open(fresh.get(), Loopback, emu.port(), "TEST-1", 1), 0);
        QCOMPARE(GRV480_ReadTareInfo(fresh.get(), 0xFFFF), 0);
        // the last whole write, or the one the kill interrupted, never a mixture
        const double first = fresh->tare[0].offsetCoef * 1000.0;
        qInfo("round %d: kill after %d ms, %d writes, flash holds write %g", round, delayMs,
              written, first);
        QVERIFY2(first == written || first == written + 1, qPrintable(QString::number(first)));
        for (int ch = 1; ch < 16; ++ch)
            QCOMPARE(fresh->tare[ch].offsetCoef, fresh->tare[0].offsetCoef);
    }
}

void TestTareDialog::acquisitionUsesNewCoefficients()
{
    EmulatorProcess emu(EmulatorProcess::scenarioPath("test-signals.ini"));
    QVERIFY(emu.start());
    Handle m;
    QCOMPARE(GRV480_Open(m.get(), Loopback, emu.port(), "TEST-1", 1), 0);
    DeviceConfig cfg = config({4}); // 5 mV of offset on channel 5
    {
        TareDialog dlg(nullptr, m.get(), &cfg);
        ModalCloser closer;
        click(dlg, "tareOffsBtn");
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes[0].text, QString("Тарировка выполнена успешно"));
    }
    // the acquisition as restarted after the dialogs: mean of one block, with
    // and without the coefficients
    auto meanMv = [&](bool tareEn) -> double {
        cfg.setTareCoefEn(tareEn);
        cfg.fillDeviceConfig(m.get());
        if (GRV480_SetADC(m.get()) != 0)
            return std::numeric_limits<double>::quiet_NaN();
        GRV480RecvThread thread(m.get(), 300);
        QList<QSharedPointer<GRV480RecvThread::Frame>> frames;
        connect(
            &thread, &GRV480RecvThread::dataReceived, &thread,
            [&](const QSharedPointer<GRV480RecvThread::Frame> &f) {
                frames << f;
                thread.requestStop();
            },
            Qt::DirectConnection);
        thread.start();
        thread.wait();
        if (thread.lastError() != 0 || frames.isEmpty())
            return std::numeric_limits<double>::quiet_NaN();
        const QVector<double> &v = frames.first()->channels.first()->values;
        double sum = 0;
        for (double x : v)
            sum += x;
        return sum / v.size();
    };
    const double raw = meanMv(false);
    const double corrected = meanMv(true);
    QVERIFY2(qAbs(raw - 5.0) < 0.05, qPrintable(QString::number(raw)));
    QVERIFY2(qAbs(corrected) < 0.01, qPrintable(QString::number(corrected)));
}

// The configuration dialog's button opens the tare dialog on the open module;
// whatever the tare left in the handle, the working copy is written back.
void TestTareDialog::fromConfigurationDialog()
{
    EmulatorProcess emu(EmulatorProcess::scenarioPath("test-signals.ini"));
    QVERIFY(emu.start());
    Handle m;
    QCOMPARE(GRV480_Open(m.get(), Loopback, emu.port(), "TEST-1", 1), 0);
    const DeviceConfig cfg = config({0, 2});
    DeviceConfigDialog dlg(nullptr, m.get(), &cfg);
    QPushButton *tareBtn = dlg.findChild<QPushButton *>("tareBtn");
    QVERIFY(tareBtn->isEnabled());

    QWidget *tareParent = nullptr;  // the dialog itself is gone once exec() returns
    QTimer::singleShot(50, [&] {
        if (auto *tare = qobject_cast<TareDialog *>(QApplication::activeModalWidget())) {
            tareParent = tare->parentWidget();
            // as a tare of five channels would leave it
            config({0, 1, 2, 3, 4}).fillDeviceConfig(m.get());
            tare->reject();
        }
    });
    tareBtn->click();
    QCOMPARE(tareParent, &dlg);
    QCOMPARE(m->cfg.logicalChannelCount, 2u);
}

QTEST_MAIN(TestTareDialog)
#include "tst_taredialog.moc"
