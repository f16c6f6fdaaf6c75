// A channel's sensor, zero and limits in ".gm480cfg" files: a round trip
// through the configuration dialog, a file without them (as older versions
// write), and files whose sensor settings cannot be used, which load without
// them and say so.
#include "channelsensor.h"
#include "deviceconfig.h"
#include "deviceconfigdialog.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include "boxcloser.h"

#include <QtTest>

namespace {

ChannelSensor force()
{
    ChannelSensor s;
    s.sensorName = QStringLiteral("Сила 10 кН");
    s.unit = QStringLiteral("кН");
    s.scaling = Scaling::linear(0.25, -0.0125);
    s.nextCalibrationDate = QDate(2027, 1, 31);
    s.zeroSet = true;
    s.zero = 0.1;
    s.limits.on[ChannelLimits::WarnHigh] = true;
    s.limits.value[ChannelLimits::WarnHigh] = 8;
    s.limits.on[ChannelLimits::AlarmHigh] = true;
    s.limits.value[ChannelLimits::AlarmHigh] = 9.5;
    s.limits.hysteresis = 0.2;
    s.limits.holdBlocks = 3;
    return s;
}

bool put(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

QMap<QString, QString> values(const QString &path)
{
    QSettings s(path, QSettings::IniFormat);
    QMap<QString, QString> m;
    for (const QString &k : s.allKeys())
        m.insert(k, s.value(k).toString());
    return m;
}

} // namespace

class tst_ChannelSensor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void roundTrip();
    void fileWithout_data();
    void fileWithout();

private:
    DeviceConfig defaults();
    TGRV480 handle;
    QTemporaryDir dir;
};

void tst_ChannelSensor::init()
{
    QLocale::setDefault(QLocale::c());
    GRV480_Init(&handle);
}

DeviceConfig tst_ChannelSensor::defaults()
{
    QSettings empty(dir.filePath(QStringLiteral("empty.ini")), QSettings::IniFormat);
    DeviceConfig cfg;
    cfg.loadSettings(empty);
    cfg.setChannelEnabled(0, true);
    cfg.setChannelEnabled(2, true);
    return cfg;
}

void tst_ChannelSensor::roundTrip()
{
    DeviceConfig plain = defaults();
    DeviceConfig cfg = defaults();
    cfg.sensors[0] = force();
    cfg.sensors[2].sensorName = QStringLiteral("Деформация");
    cfg.sensors[2].unit = QStringLiteral("µm/m");
    cfg.sensors[2].scaling = Scaling::table({{-5, -1000}, {0, 0}, {5, 1010}});
    cfg.sensors[5].limits.on[ChannelLimits::WarnLow] = true; // mV, no sensor
    cfg.sensors[5].limits.value[ChannelLimits::WarnLow] = -30;

    const QString withPath = dir.filePath(QStringLiteral("with.gm480cfg"));
    const QString plainPath = dir.filePath(QStringLiteral("plain.gm480cfg"));
    BoxCloser boxes;
    {
        DeviceConfigDialog dlg(nullptr, &handle, &cfg);
        QVERIFY(dlg.saveConfigFile(withPath));
        DeviceConfigDialog plainDlg(nullptr, &handle, &plain);
        QVERIFY(plainDlg.saveConfigFile(plainPath));
    }

    // An older reader sees exactly the keys it knows, with the same values:
    // the new ones sit beside them in the channel elements.
    QMap<QString, QString> with = values(withPath);
    const QMap<QString, QString> without = values(plainPath);
    QStringList added;
    for (auto it = with.begin(); it != with.end();) {
        if (!without.contains(it.key())) {
            added << it.key();
            it = with.erase(it);
        } else {
            ++it;
        }
    }
    QCOMPARE(with, without);
    added.sort();
    QCOMPARE(added, (QStringList{"GRV480MonitorDeviceConfig/AdcChannels/1/Limits",
                                 "GRV480MonitorDeviceConfig/AdcChannels/1/Sensor",
                                 "GRV480MonitorDeviceConfig/AdcChannels/1/SensorNextCalibration",
                                 "GRV480MonitorDeviceConfig/AdcChannels/1/SensorScaling",
                                 "GRV480MonitorDeviceConfig/AdcChannels/1/SensorUnit",
                                 "GRV480MonitorDeviceConfig/AdcChannels/1/SensorZero",
                                 "GRV480MonitorDeviceConfig/AdcChannels/3/Sensor",
                                 "GRV480MonitorDeviceConfig/AdcChannels/3/SensorScaling",
                                 "GRV480MonitorDeviceConfig/AdcChannels/3/SensorUnit",
                                 "GRV480MonitorDeviceConfig/AdcChannels/6/Limits"}));

    DeviceConfig empty = defaults();
    DeviceConfigDialog dlg(nullptr, &handle, &empty);
    QVERIFY(dlg.loadConfigFile(withPath));
    for (int i = 0; i < DeviceConfig::ChannelCount; ++i)
        QVERIFY2(dlg.config()->sensors[i] == cfg.sensors[i], qPrintable(QString::number(i)));
    QVERIFY(dlg.config()->sensorProblems.isEmpty());
    QVERIFY2(boxes.texts.last().contains(QStringLiteral("успешно загружены")),
             qPrintable(boxes.texts.last()));
    // The values come out the same on the other machine.
    QCOMPARE(dlg.config()->sensors[0].value(40.0), 0.25 * 40 - 0.0125 - 0.1);
}

void tst_ChannelSensor::fileWithout_data()
{
    QTest::addColumn<QByteArray>("channels"); // lines of the AdcChannels array, without its name
    QTest::addColumn<QStringList>("problems");
    QTest::addColumn<QString>("sensor1"); // channel 1's sensor after loading
    QTest::addColumn<bool>("limits1");
    QTest::addColumn<QString>("sensor2");

    const QByteArray two = "2\\Enabled=true\n2\\Sensor=P\n2\\SensorUnit=bar\n"
                           "2\\SensorScaling=\"linear;2;0\"\n";
    QTest::newRow("older file: no sensor keys")
        << QByteArray("1\\Enabled=true\n") << QStringList() << "" << false << "";
    QTest::newRow("two-point scaling with equal mV")
        << "1\\Sensor=F\n1\\SensorUnit=kN\n1\\SensorScaling=\"two-point;1:0;1:5\"\n"
           "1\\Limits=\"warn-high=3;hyst=0;hold=1\"\n" +
               two
        << QStringList{"Канал 1: датчик «F» не назначен: У двух точек одинаковые значения в мВ",
                       "Канал 1: пределы не заданы: они в единицах датчика"}
        << "" << false << "P";
    QTest::newRow("table whose mV falls")
        << "1\\Sensor=F\n1\\SensorUnit=kN\n1\\SensorScaling=\"table;0:0;2:1;1:2\"\n" + two
        << QStringList{"Канал 1: датчик «F» не назначен: Точка 3: значения в мВ должны "
                       "строго возрастать"}
        << "" << false << "P";
    QTest::newRow("unknown kind")
        << QByteArray("1\\Sensor=F\n1\\SensorUnit=kN\n1\\SensorScaling=\"cubic;1\"\n")
        << QStringList{"Канал 1: датчик «F» не назначен: Неизвестный вид градуировки «cubic»"} << ""
        << false << "";
    QTest::newRow("empty unit")
        << QByteArray("1\\Sensor=F\n1\\SensorScaling=\"linear;1;0\"\n")
        << QStringList{"Канал 1: датчик «F» не назначен: не задана единица измерения"} << ""
        << false << "";
    QTest::newRow("limits in the wrong order")
        << QByteArray("1\\Limits=\"warn-low=5;warn-high=1;hyst=0;hold=1\"\n")
        << QStringList{"Канал 1: пределы не заданы: Пределы в неверном порядке: нижний "
                       "предел предупреждения (5) должен быть меньше, чем верхний предел "
                       "предупреждения (1)"}
        << "" << false << "";
    QTest::newRow("zero that is no number")
        << QByteArray("1\\Sensor=F\n1\\SensorUnit=kN\n1\\SensorScaling=\"linear;1;0\"\n"
                      "1\\SensorZero=abc\n1\\Limits=\"alarm-high=4;hyst=0;hold=2\"\n")
        << QStringList{"Канал 1: ноль датчика «F» не прочитан"} << "F" << true << "";
}

void tst_ChannelSensor::fileWithout()
{
    QFETCH(QByteArray, channels);
    QFETCH(QStringList, problems);
    QFETCH(QString, sensor1);
    QFETCH(bool, limits1);
    QFETCH(QString, sensor2);
    const QString path = dir.filePath(QStringLiteral("in.gm480cfg"));
    QByteArray text = "[GRV480MonitorDeviceConfig]\nAdcFreq=20000\nAdcChannels\\size=16\n";
    for (const QByteArray &line : channels.split('\n')) {
        if (!line.isEmpty())
            text += "AdcChannels\\" + line + '\n';
    }
    QVERIFY(put(path, text));
    DeviceConfig start = defaults();
    start.sensors[0] = force(); // replaced by what the file says
    BoxCloser boxes;
    DeviceConfigDialog dlg(nullptr, &handle, &start);
    QVERIFY(dlg.loadConfigFile(path));
    const DeviceConfig &c = *dlg.config();
    QCOMPARE(c.sensorProblems, problems);
    QCOMPARE(c.sensors[0].sensorName, sensor1);
    QCOMPARE(c.sensors[0].hasSensor(), !sensor1.isEmpty());
    QCOMPARE(c.sensors[0].limits.isActive(), limits1);
    QCOMPARE(c.sensors[1].sensorName, sensor2);
    for (int i = 2; i < DeviceConfig::ChannelCount; ++i)
        QVERIFY(c.sensors[i] == ChannelSensor());
    QTRY_VERIFY(!boxes.texts.isEmpty());
    if (problems.isEmpty()) {
        QVERIFY(boxes.texts.last().contains(QStringLiteral("успешно загружены")));
    } else {
        for (const QString &p : problems)
            QVERIFY2(boxes.texts.last().contains(p), qPrintable(boxes.texts.last()));
    }
}

QTEST_MAIN(tst_ChannelSensor)
#include "tst_channelsensor.moc"
