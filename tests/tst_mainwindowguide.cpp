// The main window's ways in, against the crate-server emulator: every
// tool-bar action in a menu, the first-start panel, the remembered module,
// the status bar's account of the run and of a lost link.

#include "condledindicator.h"
#include "deviceconfig.h"
#include "emulatorprocess.h"
#include "firststartpanel.h"
#include "mainwindow.h"
#include "qttranslationswitch.h"
#include "runstatelabel.h"
#include "savedstate.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableWidget>
#include <QTcpServer>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <memory>

namespace {

// Closes every modal window as soon as it shows and notes what it was.
class ModalCloser : public QObject
{
public:
    ModalCloser()
    {
        connect(&timer, &QTimer::timeout, this, [this]() {
            QWidget *w = QApplication::activeModalWidget();
            if (!w)
                return;
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                seen << box->text();
                box->done(QMessageBox::Ok);
            } else {
                seen << QStringLiteral("<%1>").arg(w->metaObject()->className());
                w->close();
            }
        });
        timer.start(10);
    }
    QStringList seen;

private:
    QTimer timer;
};

quint16 deadPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

void writeChannels(const QList<int> &channelIndexes)
{
    QSettings settings;
    DeviceConfig cfg;
    cfg.loadSettings(settings);
    for (int i : channelIndexes)
        cfg.setChannelEnabled(i, true);
    cfg.saveSettings(settings);
}

QList<QAction *> menuActions(QMenu *menu)
{
    QList<QAction *> all;
    for (QAction *a : menu->actions()) {
        all << a;
        if (a->menu())
            all << menuActions(a->menu());
    }
    return all;
}

} // namespace

class tst_MainWindowGuide : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void menusHoldEveryToolBarAction();
    void resultsArea_data();
    void resultsArea();
    void panelButtonOpensConfiguration();
    void rememberedModule_data();
    void rememberedModule();
    void choiceSurvivesRefreshAndRestart();
    void statusBarCountsBlocks();
    void lostLinkMarksValuesStale();
    void hiddenToolBarLeavesMenus();

private:
    template <typename T> static T *child(QObject &w, const char *name)
    {
        T *c = w.findChild<T *>(QLatin1String(name));
        Q_ASSERT(c);
        return c;
    }
    static QString runText(MainWindow &w) { return child<QLabel>(w, "runStateLabel")->text(); }
    static bool valuesShown(MainWindow &w)
    {
        QTableWidgetItem *item = child<QTableWidget>(w, "paramsTable")->item(0, 1);
        return item && !item->text().isEmpty();
    }
    void useServer(quint16 port) { qputenv("GRV480_SERVER_PORT", QByteArray::number(port)); }

    std::unique_ptr<EmulatorProcess> emulator;
};

void tst_MainWindowGuide::initTestCase()
{
    emulator.reset(new EmulatorProcess);
    if (!emulator->start())
        QSKIP("the crate-server emulator cannot be started");
}

void tst_MainWindowGuide::init()
{
    QSettings().clear();
    QLocale::setDefault(QLocale::c());
    useServer(emulator->port());
}

void tst_MainWindowGuide::cleanupTestCase()
{
    if (emulator)
        emulator->stop();
}

void tst_MainWindowGuide::menusHoldEveryToolBarAction()
{
    ModalCloser modals;
    MainWindow w;
    QList<QAction *> inMenus;
    QStringList titles;
    for (QAction *top : w.menuBar()->actions()) {
        titles << top->text();
        inMenus << menuActions(top->menu());
    }
    QCOMPARE(titles, QStringList({"&Файл", "&Вид", "&Модуль", "&Справка"}));

    auto *toolBar = child<QToolBar>(w, "toolBar");
    QVERIFY(toolBar->actions().size() >= 4);
    for (QAction *a : toolBar->actions()) {
        if (!a->isSeparator())
            QVERIFY2(inMenus.contains(a), qPrintable(a->objectName()));
    }
    // The tool bar's toggle, under its translated title, brings it back.
    QAction *toggle = toolBar->toggleViewAction();
    QVERIFY(inMenus.contains(toggle));
    QCOMPARE(toggle->text(), QStringLiteral("Панель инструментов"));
    for (QAction *a : QtTranslationSwitch::instance()->actions())
        QVERIFY(inMenus.contains(a));

    const QList<QPair<const char *, QKeySequence>> shortcuts = {
        {"actionRefreshDeviceList", QKeySequence(QStringLiteral("Ctrl+Shift+R"))},
        {"actionSaveMeasurement", QKeySequence(QStringLiteral("Ctrl+Shift+S"))},
        {"actionQuit", QKeySequence(QStringLiteral("Ctrl+Q"))},
        {"actionFullScreen", QKeySequence(QStringLiteral("F11"))},
        {"actionHelp", QKeySequence(QStringLiteral("F1"))},
    };
    for (const auto &s : shortcuts) {
        QAction *a = child<QAction>(w, s.first);
        QVERIFY(inMenus.contains(a));
        QCOMPARE(a->shortcut(), s.second);
    }
    QVERIFY2(modals.seen.isEmpty(), qPrintable(modals.seen.join(" | ")));
}

void tst_MainWindowGuide::resultsArea_data()
{
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<QList<int>>("channels");
    QTest::addColumn<bool>("panelShown");
    QTest::addColumn<QStringList>("textHas");

    QTest::newRow("no channel") << true << QList<int>() << true
                                << QStringList({"Не выбран ни один канал."});
    QTest::newRow("no server, no channel")
        << false << QList<int>() << true << QStringList({"127.0.0.1:", "grv480-emulator --port"});
    QTest::newRow("no server, channels")
        << false << QList<int>({0, 1}) << true << QStringList({"127.0.0.1:"});
    QTest::newRow("channels") << true << QList<int>({0, 1}) << false << QStringList();
}

void tst_MainWindowGuide::resultsArea()
{
    QFETCH(bool, serverUp);
    QFETCH(QList<int>, channels);
    QFETCH(bool, panelShown);
    QFETCH(QStringList, textHas);

    writeChannels(channels);
    const quint16 port = serverUp ? emulator->port() : deadPort();
    useServer(port);
    ModalCloser modals;
    MainWindow w;
    auto *area = child<QStackedWidget>(w, "resultsArea");
    auto *panel = child<FirstStartPanel>(w, "firstStartPanel");
    QVERIFY(area->isVisibleTo(&w));
    QCOMPARE(area->currentWidget() == panel, panelShown);
    for (const QString &part : textHas)
        QVERIFY2(panel->text().contains(part), qPrintable(panel->text()));
    if (!serverUp) {
        QVERIFY(panel->text().contains(QString::number(port)));
        QVERIFY(panel->configureButton()->isHidden());
        // The start-up error box is still shown, once.
        QCOMPARE(modals.seen.size(), 1);
    } else {
        QVERIFY2(modals.seen.isEmpty(), qPrintable(modals.seen.join(" | ")));
    }
}

void tst_MainWindowGuide::panelButtonOpensConfiguration()
{
    ModalCloser modals;
    MainWindow w;
    auto *panel = child<FirstStartPanel>(w, "firstStartPanel");
    QCOMPARE(panel->reason(), FirstStartPanel::NoChannel);
    QVERIFY(!panel->configureButton()->isHidden());
    QCOMPARE(panel->configureButton()->text(), QStringLiteral("Настроить модуль..."));
    panel->configureButton()->click();
    QCOMPARE(modals.seen, QStringList({"<DeviceConfigDialog>"}));
}

void tst_MainWindowGuide::rememberedModule_data()
{
    QTest::addColumn<QString>("crate");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("opened");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing remembered")
        << QString() << 0 << 0 << "480-21-0103"
        << "Открыт первый найденный модуль: Крейт CR16-0417, Слот 3";
    QTest::newRow("second slot of the first crate")
        << "CR16-0417" << 7 << 1 << "480-21-0117"
        << "Открыт модуль, выбранный ранее: Крейт CR16-0417, Слот 7";
    QTest::newRow("second crate") << "CR16-0522" << 2 << 2 << "480-22-0009"
                                  << "Открыт модуль, выбранный ранее: Крейт CR16-0522, Слот 2";
    QTest::newRow("slot that holds another type")
        << "CR16-0417" << 5 << 0 << "480-21-0103"
        << "Модуль, выбранный ранее (крейт CR16-0417, слот 5), не найден; открыт первый: "
           "Крейт CR16-0417, Слот 3";
    QTest::newRow("crate gone") << "CR16-9999" << 3 << 0 << "480-21-0103"
                                << "Модуль, выбранный ранее (крейт CR16-9999, слот 3), не "
                                   "найден; открыт первый: Крейт CR16-0417, Слот 3";
}

void tst_MainWindowGuide::rememberedModule()
{
    QFETCH(QString, crate);
    QFETCH(int, slot);
    QFETCH(int, opened);
    QFETCH(QString, serial);
    QFETCH(QString, message);

    if (!crate.isEmpty()) {
        QSettings settings;
        settings.setValue("MainWindow/ModuleCrate", crate);
        settings.setValue("MainWindow/ModuleSlot", slot);
    }
    ModalCloser modals;
    MainWindow w;
    QCOMPARE(child<QComboBox>(w, "modulesList")->currentIndex(), opened);
    QCOMPARE(child<QLineEdit>(w, "serial")->text(), serial);
    QCOMPARE(w.statusBar()->currentMessage(), message);
    // A fallback is not a choice: what was remembered stays remembered.
    QCOMPARE(QSettings().value("MainWindow/ModuleCrate").toString(), crate);
    QVERIFY2(modals.seen.isEmpty(), qPrintable(modals.seen.join(" | ")));
}

void tst_MainWindowGuide::choiceSurvivesRefreshAndRestart()
{
    writeChannels({0});
    ModalCloser modals;
    {
        MainWindow w;
        child<QComboBox>(w, "modulesList")->setCurrentIndex(2);
        QCOMPARE(child<QLineEdit>(w, "serial")->text(), QStringLiteral("480-22-0009"));
        child<QAction>(w, "actionRefreshDeviceList")->trigger();
        QCOMPARE(child<QComboBox>(w, "modulesList")->currentIndex(), 2);
        QCOMPARE(child<QLineEdit>(w, "serial")->text(), QStringLiteral("480-22-0009"));
        QVERIFY(w.statusBar()->currentMessage().contains("выбранный ранее"));
        w.close();
    }
    MainWindow again;
    QCOMPARE(child<QComboBox>(again, "modulesList")->currentIndex(), 2);
    QCOMPARE(child<QLineEdit>(again, "serial")->text(), QStringLiteral("480-22-0009"));
    QVERIFY2(modals.seen.isEmpty(), qPrintable(modals.seen.join(" | ")));
}

void tst_MainWindowGuide::statusBarCountsBlocks()
{
    writeChannels({0, 1, 2});
    ModalCloser modals;
    MainWindow w;
    QVERIFY(QTest::qWaitFor([&]() { return valuesShown(w); }, 15000));
    QTRY_VERIFY_WITH_TIMEOUT(runText(w).startsWith("Сбор данных: блок 2, "), 15000);
    QVERIFY2(runText(w).endsWith(" с, 3 канала — Крейт CR16-0417, Слот 3"), qPrintable(runText(w)));
    // Another module is another run: the count starts again.
    child<QComboBox>(w, "modulesList")->setCurrentIndex(1);
    QVERIFY2(runText(w).startsWith("Сбор данных: блок 0, "), qPrintable(runText(w)));
    QVERIFY(runText(w).endsWith("Слот 7"));
    QVERIFY2(modals.seen.isEmpty(), qPrintable(modals.seen.join(" | ")));
}

void tst_MainWindowGuide::lostLinkMarksValuesStale()
{
    EmulatorProcess own;
    if (!own.start())
        QSKIP("a second emulator cannot be started");
    useServer(own.port());
    writeChannels({0});
    ModalCloser modals;
    MainWindow w;
    QVERIFY(QTest::qWaitFor([&]() { return valuesShown(w); }, 15000));
    auto *table = child<QTableWidget>(w, "paramsTable");
    const QColor normal = table->palette().color(QPalette::Text);
    auto *moduleLed = child<QWidget>(w, "moduleLed");
    QCOMPARE(moduleLed->toolTip(), QStringLiteral("Подключение к модулю: установлено"));

    own.kill();
    QTRY_VERIFY_WITH_TIMEOUT(runText(w).startsWith("Связь потеряна"), 20000);
    QCOMPARE(runText(w),
             QStringLiteral("Связь потеряна: значения устарели; Обновить — Ctrl+Shift+R"));
    QVERIFY(valuesShown(w)); // kept, but greyed
    QVERIFY(table->palette().color(QPalette::Text) != normal);
    QCOMPARE(moduleLed->toolTip(), QStringLiteral("Подключение к модулю: связь потеряна"));

    // Back again: the next block is current again.
    const quint16 port = own.port();
    QVERIFY(own.restart());
    if (own.port() != port)
        QSKIP("the emulator could not take its port again");
    child<QAction>(w, "actionRefreshDeviceList")->trigger();
    QVERIFY(QTest::qWaitFor([&]() { return valuesShown(w); }, 15000));
    QCOMPARE(table->palette().color(QPalette::Text), normal);
    QVERIFY(runText(w).startsWith("Сбор данных"));
}

void tst_MainWindowGuide::hiddenToolBarLeavesMenus()
{
    useServer(deadPort());
    ModalCloser modals;
    {
        MainWindow w;
        w.show();
        child<QToolBar>(w, "toolBar")->hide();
        w.close();
    }
    const QByteArray state = QSettings().value("MainWindow/state").toByteArray();
    // The state with the event log's dock is restored: the tool bar stays hidden.
    QVERIFY(SavedState::isMainWindowStateSane(state, 0, 1, 1));
    MainWindow again;
    auto *bar = child<QToolBar>(again, "toolBar");
    QVERIFY(!bar->isVisibleTo(&again));
    // The menus stay, and "Вид" brings the tool bar back.
    QVERIFY(again.menuBar()->isVisibleTo(&again));
    QVERIFY(child<QMenu>(again, "menuView")->actions().contains(bar->toggleViewAction()));
    bar->toggleViewAction()->trigger();
    QVERIFY(bar->isVisibleTo(&again));
}

QTEST_MAIN(tst_MainWindowGuide)
#include "tst_mainwindowguide.moc"
