// The language switch with the program's windows open: the main window and
// the configuration dialog take the new language's texts, the texts they set
// in code and the new number format at once, in both directions.

#include "deviceconfig.h"
#include "deviceconfigdialog.h"
#include "hierarchicalheaderview.h"
#include "mainwindow.h"
#include "plot.h"
#include "qttranslationswitch.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QTableWidget>
#include <QTcpServer>
#include <QTimer>
#include "boxcloser.h"

#include <QtTest>

#include <memory>

namespace {

// A port that nothing listens on (taken from the system, then released).
quint16 deadPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

TGRV480MeasValue mv(double value)
{
    TGRV480MeasValue v{};
    v.state = GRV480_MV_VALID;
    v.valid = 1;
    v.value = value;
    return v;
}

QSharedPointer<DataBlockProcessor::DataBlock> oneChannelBlock()
{
    auto block = QSharedPointer<DataBlockProcessor::DataBlock>::create();
    block->status.uref = mv(2.5);
    block->status.urefR = mv(2.5);
    block->status.vadj = mv(1.6);
    block->status.uneg = mv(-0.05);
    auto c = QSharedPointer<DataBlockProcessor::ChResult>::create();
    c->status.ux = mv(2.501);
    c->status.ucm = mv(1.25);
    c->rangeMv = 35.0;
    c->sampleInterval = 0.001;
    c->values = {1.0, 2.0, 3.0};
    c->dc = 2.25;
    c->ac = 0.5;
    block->channels.append(c);
    return block;
}

} // namespace

class tst_LanguageSwitch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void mainWindowFollows_data();
    void mainWindowFollows();
    void dialogFollows_data();
    void dialogFollows();

private:
    template <typename T> T *child(QWidget *w, const char *name)
    {
        T *c = w->findChild<T *>(QLatin1String(name));
        Q_ASSERT(c);
        return c;
    }
    QString headerText(int top, int leaf);

    QtTranslationSwitch *sw = nullptr;
    std::unique_ptr<BoxCloser> boxes;
    std::unique_ptr<MainWindow> window;
};

void tst_LanguageSwitch::initTestCase()
{
    QSettings().clear();
    {
        QSettings settings;
        DeviceConfig cfg;
        cfg.loadSettings(settings);
        cfg.setChannelEnabled(0, true);
        cfg.saveSettings(settings);
    }
    sw = QtTranslationSwitch::instance();
    sw->setTranslationsPath("translations");
    sw->addTranslation("grv480monitor");
    QVERIFY(QFile::exists(sw->currentTranslationsPath() + "/grv480monitor_en.qm"));
    sw->setLanguage("ru");

    // No crate server: the window opens with its error box, closed here.
    qputenv("GRV480_SERVER_PORT", QByteArray::number(deadPort()));
    boxes.reset(new BoxCloser);
    window.reset(new MainWindow);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(boxes->texts.size(), 1);
    QVERIFY2(boxes->texts.first().startsWith("Не удалось установить связь с сервером. Ошибка "),
             qPrintable(boxes->texts.first()));
    window->showBlock(oneChannelBlock());
    QCOMPARE(child<QTableWidget>(window.get(), "paramsTable")->item(0, 1)->text(),
             QString("2,250000"));
}

void tst_LanguageSwitch::cleanupTestCase()
{
    window.reset();
    sw->setLanguage("ru");
}

QString tst_LanguageSwitch::headerText(int top, int leaf)
{
    auto *header = qobject_cast<HierarchicalHeaderView *>(
        child<QTableWidget>(window.get(), "paramsTable")->horizontalHeader());
    Q_ASSERT(header);
    QModelIndex index = header->headerTree()->index(0, top);
    if (leaf >= 0)
        index = header->headerTree()->index(0, leaf, index);
    return index.data().toString();
}

void tst_LanguageSwitch::mainWindowFollows_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("error");
    // In this order: every switch goes away from the language before it.
    // texts: action, group box, header top, header leaf, time axis, spectrum
    // axis, module lamp's row label, save action, the first menu
    QTest::newRow("to English") << "en" << QStringList{"Configure module...",
                                                       "GRV480 module",
                                                       "Unbalance",
                                                       "DC, mV",
                                                       "Time, ms",
                                                       "Amplitude spectrum, dB",
                                                       "Sine-wave figures",
                                                       "Save measurement...",
                                                       "&File"}
                                << "2.250000"
                                << "Cannot connect to the crate server. Error ";
    QTest::newRow("back to Russian") << "ru"
                                     << QStringList{"Настройка модуля...",
                                                    "Модуль GRV480",
                                                    "Разбаланс",
                                                    "DC, мВ",
                                                    "Время, мс",
                                                    "Спектр амплитудный, dB",
                                                    "Характеристики синусоидального сигнала",
                                                    "Сохранить измерение...",
                                                    "&Файл"}
                                     << "2,250000"
                                     << "Не удалось установить связь с сервером. Ошибка ";
    QTest::newRow("system, C locale") << ""
                                      << QStringList{"Настройка модуля...",
                                                     "Модуль GRV480",
                                                     "Разбаланс",
                                                     "DC, мВ",
                                                     "Время, мс",
                                                     "Спектр амплитудный, dB",
                                                     "Характеристики синусоидального сигнала",
                                                     "Сохранить измерение...",
                                                     "&Файл"}
                                      << "2.250000"
                                      << "Не удалось установить связь с сервером. Ошибка ";
}

void tst_LanguageSwitch::mainWindowFollows()
{
    QFETCH(QString, language);
    QFETCH(QStringList, texts);
    QFETCH(QString, number);
    QFETCH(QString, error);
    if (language.isEmpty() && QLocale::system().language() != QLocale::C)
        QSKIP("the system locale is not C here");

    // Through the action, as the operator does.
    QAction *action = nullptr;
    for (QAction *a : sw->actions()) {
        if (a->data().toString() == language)
            action = a;
    }
    QVERIFY(action);
    action->trigger();
    QCoreApplication::processEvents();
    MainWindow *w = window.get();
    QCOMPARE(child<QAction>(w, "actionConfigure")->text(), texts.at(0));
    QCOMPARE(child<QGroupBox>(w, "groupBox")->title(), texts.at(1));
    QCOMPARE(headerText(1, -1), texts.at(2));
    QCOMPARE(headerText(1, 0), texts.at(3));
    QCOMPARE(child<Plot>(w, "timePlot")->xAxis->label(), texts.at(4));
    QCOMPARE(child<Plot>(w, "fftPlot")->yAxis->label(), texts.at(5));
    QCOMPARE(headerText(7, -1), texts.at(6));
    QCOMPARE(child<QAction>(w, "actionSaveMeasurement")->text(), texts.at(7));
    QCOMPARE(child<QMenu>(w, "menuFile")->title(), texts.at(8));
    // The block on screen is shown again in the new number format.
    QCOMPARE(child<QTableWidget>(w, "paramsTable")->item(0, 1)->text(), number);
    QCOMPARE(child<QLineEdit>(w, "rref")->text().contains(number.at(1)), true);

    // A message built at run time.
    boxes->texts.clear();
    w->refreshDevList();
    QTRY_COMPARE(boxes->texts.size(), 1);
    const QString box = boxes->texts.first();
    QVERIFY2(box.startsWith(error), qPrintable(box));
    // The library's own text too, which it gives in Russian.
    const bool russian = box.contains(QRegularExpression("[\\x{0400}-\\x{04FF}]"));
    QVERIFY2(russian == (language != "en"), qPrintable(box));
    window->showBlock(oneChannelBlock());
}

void tst_LanguageSwitch::dialogFollows_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("texts");
    // texts: title, a form's check box, first preset, custom set, notch
    // frequency's unit, the spin box suffix
    QTest::newRow("to English") << "en" << QStringList{"GRV480 module settings",
                                                       "Single-channel mode",
                                                       "All measurements",
                                                       "Custom set",
                                                       " Hz",
                                                       " mA"};
    QTest::newRow("back to Russian") << "ru"
                                     << QStringList{"Настройки модуля GRV480",
                                                    "Одноканальный режим",
                                                    "Все измерения",
                                                    "Произвольный набор",
                                                    " Гц",
                                                    " мА"};
}

void tst_LanguageSwitch::dialogFollows()
{
    QFETCH(QString, language);
    QFETCH(QStringList, texts);
    sw->setLanguage(language == "en" ? "ru" : "en");
    DeviceConfig cfg;
    cfg.setBgMeasGroup(DeviceConfig::bgMeasGroups().constFirst());
    DeviceConfigDialog dialog(nullptr, nullptr, &cfg);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    sw->setLanguage(language);
    QCoreApplication::processEvents();
    QCOMPARE(dialog.windowTitle(), texts.at(0));
    QCOMPARE(child<QCheckBox>(&dialog, "singleChMode")->text(), texts.at(1));
    auto *groups = child<QComboBox>(&dialog, "bgMeasGroup");
    QCOMPARE(groups->itemText(0), texts.at(2));
    QCOMPARE(groups->itemText(groups->count() - 1), texts.at(3));
    QVERIFY2(child<QLineEdit>(&dialog, "filterNotch")->text().endsWith(texts.at(4)),
             qPrintable(child<QLineEdit>(&dialog, "filterNotch")->text()));
    QCOMPARE(child<QDoubleSpinBox>(&dialog, "ISrcValue")->suffix(), texts.at(5));
    // Spin boxes made before the switch show their values in the new format.
    const QString point(QLocale(language).decimalPoint());
    QVERIFY2(child<QDoubleSpinBox>(&dialog, "ISrcValue")->text().contains(point),
             qPrintable(child<QDoubleSpinBox>(&dialog, "ISrcValue")->text()));
    // The settings keep the preset's one name, whatever the language.
    QSettings settings;
    dialog.config()->saveSettings(settings);
    QCOMPARE(settings.value("GRV480MonitorDeviceConfig/BgMeasGroup").toString(),
             QString("Все измерения"));
}

QTEST_MAIN(tst_LanguageSwitch)
#include "tst_languageswitch.moc"
