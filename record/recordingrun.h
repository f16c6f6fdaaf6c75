#ifndef RECORDINGRUN_H
#define RECORDINGRUN_H

#include "channelsensor.h"

#include <QDateTime>
#include <QString>
#include <QVector>

class DeviceConfig;

// What a recording keeps about one acquisition run besides its blocks: where
// the blocks come from, how the module was set up, and which of the window's
// checks apply to them (the lamps are recorded as the window shows them).
struct RecordingRun
{
    QString moduleSerial;
    QString crateSerial;
    int slot = 0;
    QString configText;          // the configuration as a ".gm480cfg" file holds it
    QVector<int> channelNumbers; // physical channel 1 to 16 of each result, in block order
    // Sensor, unit, scaling and software zero of each result's channel, in block order.
    QVector<ChannelSensor> channelSensors;

    bool shortCheck = false;
    bool openCheck = false;
    bool uxOrUcm = false;
    bool ucm = false;

    // Everything above but the module's place, from the configuration.
    static RecordingRun fromConfig(const DeviceConfig &config);
    // The text of a ".gm480cfg" file holding the configuration.
    static QString configFileText(const DeviceConfig &config);
};

// How a run ended: code 0 for the operator's action, the module API's error
// code otherwise; the reason in words either way.
struct RunEnd
{
    int code = 0;
    QString reason;
};

#endif // RECORDINGRUN_H
