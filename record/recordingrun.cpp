#include "recordingrun.h"

#include "deviceconfig.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

RecordingRun RecordingRun::fromConfig(const DeviceConfig &c)
{
    RecordingRun r;
    r.configText = configFileText(c);
    for (int i = 0; i < DeviceConfig::ChannelCount; ++i) {
        if (c.channels[i].enabled) {
            r.channelNumbers.append(i + 1);
            r.channelSensors.append(c.sensors[i]);
        }
    }
    r.shortCheck = c.bgMeasCheckShortUxEn();
    r.openCheck = c.bgMeasCheckOpenUxEn();
    r.uxOrUcm = c.bgMeasUxEn() || c.bgMeasUcmEn();
    r.ucm = c.bgMeasUcmEn();
    return r;
}

QString RecordingRun::configFileText(const DeviceConfig &c)
{
    // QSettings writes INI only to a file; going through one gives exactly the
    // text that saving the configuration from the dialog would give.
    QTemporaryDir dir;
    if (!dir.isValid())
        return QString();
    const QString path = dir.filePath(QStringLiteral("config.gm480cfg"));
    {
        QSettings s(path, QSettings::IniFormat);
        c.saveSettings(s);
        s.sync();
        if (s.status() != QSettings::NoError)
            return QString();
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}
