// The configuration dialog on a closed module handle: the switching-time
// rule, presets, modes, the current and filter fields, and configuration
// files with their faults.

#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>

#include "configsnapshot.h"
#include "deviceconfig.h"
#include "deviceconfigdialog.h"
#include "freqconfigwidget.h"

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Closes every modal box as soon as it shows and keeps its title and text.
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        connect(&timer, &QTimer::timeout, this, [this]() {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->windowTitle() + QStringLiteral(": ") + box->text();
                box->done(QMessageBox::Ok);
            }
        });
        timer.start(10);
    }
    QStringList texts;

private:
    QTimer timer;
};

const QList<const char *> BgBoxNames = {"bgMeasOffsEn",
                                        "bgMeasUrefEn",
                                        "bgMeasUrefOffsEn",
                                        "bgMeasVadj",
                                        "bgMeasUneg",
                                        "bgMeasCheckShortUref",
                                        "bgMeasCheckOpenUref",
                                        "bgMeasCheckOpenUneg",
                                        "bgMeasCheckShortUx",
                                        "bgMeasCheckOpenUx",
                                        "bgMeasUx",
                                        "bgMeasUcm"};

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(data), qint64(data.size()));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestDeviceConfigDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void acceptChecksSwitchingTime_data();
    void acceptChecksSwitchingTime();
    void acceptWithoutChannelsAsks_data();
    void acceptWithoutChannelsAsks();
    void presets_data();
    void presets();
    void singleChannelMode();
    void committedCurrentIsAchievable();
    void manualFilterInSingleChannelMode();
    void modeSwitchBringsNoFrameError();
    void closedModule();
    void returnDoesNotAccept();
    void configSuffix_data();
    void configSuffix();
    void saveThenLoad();
    void loadFaults_data();
    void loadFaults();
    void saveFaults_data();
    void saveFaults();

private:
    template <typename T> static T *child(DeviceConfigDialog &d, const char *name)
    {
        T *c = d.findChild<T *>(QLatin1String(name));
        Q_ASSERT(c);
        return c;
    }
    DeviceConfig defaults(); // as the main window loads an empty store

    TGRV480 handle;
    QTemporaryDir dir;
};

void TestDeviceConfigDialog::initTestCase()
{
    QVERIFY(dir.isValid());
    QCOMPARE(GRV480_Init(&handle), 0);
}

void TestDeviceConfigDialog::init()
{
    QLocale::setDefault(QLocale::c());
    QSettings().clear();
}

DeviceConfig TestDeviceConfigDialog::defaults()
{
    QSettings empty(dir.filePath("empty.ini"), QSettings::IniFormat);
    DeviceConfig cfg;
    cfg.loadSettings(empty);
    for (int i : {0, 1, 2})
        cfg.setChannelEnabled(i, true);
    return cfg;
}

void TestDeviceConfigDialog::acceptChecksSwitchingTime_data()
{
    QTest::addColumn<double>("swTimeUs");
    QTest::addColumn<bool>("single");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("achievable") << 10.0 << false << true;
    QTest::newRow("unachievable") << 1e6 << false << false;
    QTest::newRow("unachievable, single channel") << 1e6 << true << true;
}

void TestDeviceConfigDialog::acceptChecksSwitchingTime()
{
    QFETCH(double, swTimeUs);
    QFETCH(bool, single);
    QFETCH(bool, accepted);

    DeviceConfig cfg = defaults();
    cfg.setSwTimeUs(swTimeUs);
    BoxCloser boxes;
    DeviceConfigDialog dlg(nullptr, &handle, &cfg);
    dlg.accept();
    QCOMPARE(dlg.result() == QDialog::Accepted, swTimeUs < 100);
    if (single) {
        child<QCheckBox>(dlg, "singleChMode")->setChecked(true);
        dlg.accept();
    }
    QCOMPARE(dlg.result() == QDialog::Accepted, accepted);
    const QStringList refusal = {QStringLiteral(
        "Ошибка конфигурации: Невозможно обеспечить установленное время коммутации при данных "
        "параметрах")};
    QCOMPARE(boxes.texts, swTimeUs < 100 ? QStringList() : refusal);
}

void TestDeviceConfigDialog::acceptWithoutChannelsAsks_data()
{
    QTest::addColumn<bool>("channels");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("channels enabled") << true << int(QMessageBox::No) << false << true;
    QTest::newRow("none, meant") << false << int(QMessageBox::Yes) << true << true;
    QTest::newRow("none, not meant") << false << int(QMessageBox::No) << true << false;
    QTest::newRow("none, box closed") << false << int(QMessageBox::Escape) << true << false;
}

void TestDeviceConfigDialog::acceptWithoutChannelsAsks()
{
    QFETCH(bool, channels);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, accepted);

    DeviceConfig cfg = defaults();
    if (!channels) {
        for (int i = 0; i < DeviceConfig::ChannelCount; ++i)
            cfg.setChannelEnabled(i, false);
    }
    bool seen = false;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&]() {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen = true;
            if (answer == QMessageBox::Escape)
                box->reject();
            else
                box->button(QMessageBox::StandardButton(answer))->click();
        }
    });
    answerer.start(10);
    DeviceConfigDialog dlg(nullptr, &handle, &cfg);
    dlg.accept();
    QCOMPARE(seen, asked);
    QCOMPARE(dlg.result() == QDialog::Accepted, accepted);
}

void TestDeviceConfigDialog::presets_data()
{
    QTest::addColumn<int>("first");  // preset index chosen first
    QTest::addColumn<int>("second"); // then this one (4: custom set)
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<bool>("boxesEnabled");

    QTest::newRow("unbalance only") << 0 << 3 << 0u << false;
    QTest::newRow("no open-wire checks") << 0 << 1 << 0xD3Fu << false;
    QTest::newRow("custom after no open-wire checks") << 1 << 4 << 0xD3Fu << true;
}

void TestDeviceConfigDialog::presets()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(quint32, mask);
    QFETCH(bool, boxesEnabled);

    DeviceConfig cfg = defaults();
    DeviceConfigDialog dlg(nullptr, &handle, &cfg);
    auto *group = child<QComboBox>(dlg, "bgMeasGroup");
    QCOMPARE(group->count(), 5);
    group->setCurrentIndex(first);
    group->setCurrentIndex(second);
    QCOMPARE(dlg.config()->bgMeasMask, mask);
    for (int bit = 0; bit < BgBoxNames.size(); ++bit) {
        auto *box = child<QCheckBox>(dlg, BgBoxNames.at(bit));
        QCOMPARE(box->isChecked(), bool(mask & (1u << bit)));
        QCOMPARE(box->isEnabled(), boxesEnabled);
    }
    if (boxesEnabled) {
        child<QCheckBox>(dlg, "bgMeasVadj")->setChecked(false);
        QCOMPARE(dlg.config()->bgMeasMask, mask & ~GRV480_BG_VADJ);
    }
}

void TestDeviceConfigDialog::singleChannelMode()
{
    DeviceConfig cfg = defaults();
    DeviceConfigDialog dlg(nullptr, &handle, &cfg);
    auto *rates = child<QComboBox>(dlg, "adcOdrSinc5");
    QCOMPARE(rates->count(), 21);
    QCOMPARE(rates->itemText(0), QStringLiteral("50000.00"));
    QCOMPARE(rates->itemText(12), QStringLiteral("397.50"));

    child<QCheckBox>(dlg, "singleChMode")->setChecked(true);
    QCOMPARE(rates->itemText(0), QStringLiteral("250000.00"));
    QCOMPARE(rates->itemText(12), QStringLiteral("397.50"));
    QVERIFY(!child<QWidget>(dlg, "bgMeasPanel")->isEnabled());
    QVERIFY(!child<QWidget>(dlg, "swTimeBox")->isEnabled());
    QCOMPARE(child<QStackedWidget>(dlg, "chModeStack")->currentWidget()->objectName(),
             QStringLiteral("singleCannelCfg"));
    for (const char *name : BgBoxNames)
        QVERIFY(!child<QCheckBox>(dlg, name)->isChecked());
    // The mask itself is kept for the return to multi-channel mode.
    QCOMPARE(dlg.config()->bgMeasMask, quint32(GRV480_BG_ALL));
    QCOMPARE(dlg.config()->enabledChannelCount(), 1);
}

void TestDeviceConfigDialog::committedCurrentIsAchievable()
{
    DeviceConfig cfg = defaults();
    DeviceConfigDialog dlg(nullptr, &handle, &cfg);
    auto *current = child<QDoubleSpinBox>(dlg, "ISrcValue");
    current->setValue(12.347);
    int32_t code = 0;
    double achievable = 0;
    GRV480_FindISrcCode(nullptr, 12.347, &code, &achievable);
    QCOMPARE(dlg.config()->iSrcCode, code);
    QCOMPARE(current->value(), QString::number(achievable, 'f', 3).toDouble());
}

void TestDeviceConfigDialog::manualFilterInSingleChannelMode()
{
    DeviceConfig cfg = defaults();
    DeviceConfigDialog dlg(nullptr, &handle, &cfg);
    auto *freq = child<FreqConfigWidget>(dlg, "adcFreqBox");
    child<QCheckBox>(dlg, "singleChMode")->setChecked(true);
    QVERIFY(freq->isEnabled());
    child<QCheckBox>(dlg, "filterManualEn")->setChecked(true);
    QVERIFY(!freq->isEnabled());
    child<QComboBox>(dlg, "adcOdrSinc5")->setCurrentIndex(7); // 10000 SPS
    QCOMPARE(dlg.config()->filterManualOdr, 7);
    QCOMPARE(freq->value(), dlg.config()->filterParams.odr);
    QCOMPARE(dlg.config()->adcFreq, dlg.config()->filterParams.odr);
    child<QCheckBox>(dlg, "filterManualEn")->setChecked(false);
    QVERIFY(freq->isEnabled());
}

void TestDeviceConfigDialog::modeSwitchBringsNoFrameError()
{
    // Many channels enabled: for a moment the new single-channel mode would
    // meet all of them, which the tables refuse.
    DeviceConfig cfg = defaults();
    for (int i = 0; i < 16; ++i)
        cfg.setChannelEnabled(i, true);
    BoxCloser boxes;
    DeviceConfigDialog dlg(nullptr, &handle, &cfg);
    child<QCheckBox>(dlg, "singleChMode")->setChecked(true);
    child<QCheckBox>(dlg, "singleChMode")->setChecked(false);
    QCOMPARE(dlg.config()->enabledChannelCount(), 16);
    QCOMPARE(boxes.texts, QStringList());
    QVERIFY(child<QSpinBox>(dlg, "rawFrameSize")->value() > 0);
}

void TestDeviceConfigDialog::closedModule()
{
    DeviceConfig cfg = defaults();
    DeviceConfigDialog dlg(nullptr, &handle, &cfg);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Настройки модуля GRV480"));
    QVERIFY(!child<QPushButton>(dlg, "tareBtn")->isEnabled());
    // The frame is still computed from the handle.
    QCOMPARE(child<QSpinBox>(dlg, "userChCnt")->value(), 3);
}

void TestDeviceConfigDialog::returnDoesNotAccept()
{
    DeviceConfig cfg = defaults();
    DeviceConfigDialog dlg(nullptr, &handle, &cfg);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTest::keyClick(&dlg, Qt::Key_Return);
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
}

void TestDeviceConfigDialog::configSuffix_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("used");

    QTest::newRow("no extension") << "/tmp/bench"
                                  << "/tmp/bench.gm480cfg";
    QTest::newRow("dotted directory") << "/tmp/a.d/bench"
                                      << "/tmp/a.d/bench.gm480cfg";
    QTest::newRow("own extension") << "/tmp/bench.gm480cfg"
                                   << "/tmp/bench.gm480cfg";
    QTest::newRow("other extension kept") << "/tmp/bench.ini"
                                          << "/tmp/bench.ini";
}

void TestDeviceConfigDialog::configSuffix()
{
    QFETCH(QString, typed);
    QFETCH(QString, used);
    QCOMPARE(DeviceConfigDialog::withConfigSuffix(typed), used);
}

void TestDeviceConfigDialog::saveThenLoad()
{
    DeviceConfig cfg = defaults();
    cfg.setBgMeasGroup(nullptr);
    cfg.setBgMeasUcm(false);
    cfg.setChannelRange(1, GRV480_RANGE_70MV);
    cfg.setCh16ForUref(true);
    cfg.setMeasTime(2500);
    cfg.setFilterManualEnabled(true);
    cfg.setFilterManualParams(GRV480_FILTER_SINC3, 40);
    const QString path = dir.filePath("bench");
    // Whatever was at the path before is replaced as a whole.
    writeFile(dir.filePath("bench.gm480cfg"), "[Other]\nkey=1\n");

    BoxCloser boxes;
    DeviceConfigDialog saver(nullptr, &handle, &cfg);
    QVERIFY(saver.saveConfigFile(path));
    QCOMPARE(saver.lastConfigFileName(), path + ".gm480cfg");
    QSettings written(path + ".gm480cfg", QSettings::IniFormat);
    QCOMPARE(written.childGroups(), QStringList{"GRV480MonitorDeviceConfig"});

    DeviceConfig other = defaults();
    DeviceConfigDialog loader(nullptr, &handle, &other);
    QVERIFY(loader.loadConfigFile(path + ".gm480cfg"));
    QCOMPARE(snapshot(*loader.config()), snapshot(*saver.config()));
    // The controls show what was loaded.
    QCOMPARE(child<QSpinBox>(loader, "measTimeBox")->value(), 2500);
    QVERIFY(child<QCheckBox>(loader, "ch16ForUrefEn")->isChecked());
    QCOMPARE(boxes.texts,
             QStringList({"Сохранение настроек модуля: Настройки были успешно сохранены в файл",
                          "Загрузка конфигурации модуля: Настройки модуля были успешно загружены "
                          "из файла"}));
}

void TestDeviceConfigDialog::loadFaults_data()
{
    QTest::addColumn<QByteArray>("content"); // "<none>": no file at all
    QTest::addColumn<QString>("message");

    const QString openError = "Ошибка открытия файла";
    const QString formatError = "Неверный формат файла конфигурации";
    QTest::newRow("missing") << QByteArray("<none>") << openError;
    QTest::newRow("binary") << QByteArray("\x7f"
                                          "ELF\x02\x01\x01\0\0\0[GRV480MonitorDeviceConfig]",
                                          37)
                            << openError;
    QTest::newRow("huge") << QByteArray(2 * 1024 * 1024, 'x') << openError;
    QTest::newRow("empty") << QByteArray() << formatError;
    QTest::newRow("wrong case") << QByteArray("[grv480monitordeviceconfig]\nAdcFreq=1000\n")
                                << formatError;
    QTest::newRow("plain text") << QByteArray("just some notes\nabout a bench\n") << formatError;
}

void TestDeviceConfigDialog::loadFaults()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    const QString path = dir.filePath("fault.gm480cfg");
    QFile::remove(path);
    if (content != "<none>")
        writeFile(path, content);
    DeviceConfig cfg = defaults();
    cfg.setMeasTime(4000);
    BoxCloser boxes;
    DeviceConfigDialog dlg(nullptr, &handle, &cfg);
    const QVariantMap before = snapshot(*dlg.config());
    const QString last = dlg.lastConfigFileName();
    QVERIFY(!dlg.loadConfigFile(path));
    QCOMPARE(boxes.texts.size(), 1);
    // the message, then the file and the reason on a line of its own
    QCOMPARE(boxes.texts.first().section('\n', 0, 0), "Загрузка конфигурации модуля: " + message);
    if (message == "Ошибка открытия файла")
        QVERIFY2(boxes.texts.first().contains(path + ": "), qPrintable(boxes.texts.first()));
    QCOMPARE(snapshot(*dlg.config()), before);
    QCOMPARE(dlg.lastConfigFileName(), last);
}

void TestDeviceConfigDialog::saveFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("directory vanished") << "vanished";
    QTest::newRow("disk full") << "full";
    QTest::newRow("directory not writable") << "readonly";
}

void TestDeviceConfigDialog::saveFaults()
{
    QFETCH(QString, fault);

    const QString sub = dir.filePath(fault);
    QDir().mkpath(sub);
    QString path = sub + "/old.gm480cfg";
    const QByteArray old =
        QByteArray("[GRV480MonitorDeviceConfig]\nMeasTime=7000\n") + QByteArray(4096, '#');
    writeFile(path, old);
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    if (fault == "vanished") {
        QVERIFY(QDir(sub).removeRecursively());
        path = sub + "/new.gm480cfg";
    } else if (fault == "readonly") {
        if (geteuid() == 0)
            QSKIP("permissions do not hold for root");
        QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    } else {
        // Writes beyond 512 bytes fail as on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 512;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    }

    DeviceConfig cfg = defaults();
    BoxCloser boxes;
    DeviceConfigDialog dlg(nullptr, &handle, &cfg);
    const QString last = dlg.lastConfigFileName();
    const bool saved_ok = dlg.saveConfigFile(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    QFile::setPermissions(sub,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QVERIFY2(!saved_ok, readFile(path).left(2000).constData());
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(boxes.texts.first().section('\n', 0, 0),
             "Сохранение настроек модуля: Ошибка записи настроек в файл");
    // the file and the reason follow
    QVERIFY2(boxes.texts.first().section('\n', 1).startsWith(path + ": "),
             qPrintable(boxes.texts.first()));
    QCOMPARE(dlg.lastConfigFileName(), last);
    if (fault != "vanished")
        QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(sub).entryList(QDir::Files | QDir::Hidden).size(), fault == "vanished" ? 0 : 1);
}

QTEST_MAIN(TestDeviceConfigDialog)
#include "tst_deviceconfigdialog.moc"
