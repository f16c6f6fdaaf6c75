#ifndef CHANNELSENSOR_H
#define CHANNELSENSOR_H

#include "channellimits.h"
#include "scaling.h"

#include <QCoreApplication>
#include <QDate>
#include <QString>
#include <QStringList>

class QSettings;

// What a channel of the configuration knows about its sensor: the sensor's
// name with a copy of its unit and scaling (so that a configuration carried to
// another machine gives the same values), a software zero and the limits.
struct ChannelSensor
{
    QString sensorName; // empty: no sensor, values stay in mV
    QString unit;
    Scaling scaling;
    QDate nextCalibrationDate;
    bool zeroSet = false;
    double zero = 0; // in the unit, subtracted from the scaled value
    ChannelLimits limits;

    bool hasSensor() const { return !sensorName.isEmpty() && scaling.isValid(); }
    // The unit of the values the channel's limits and value cells use.
    QString valueUnit() const;

    // The DC in the unit (zero subtracted); NaN without a sensor.
    double value(double mv, bool *outOfRange = nullptr) const;
    // An AC (RMS) measured around the DC dcMv, in the unit.
    double acValue(double dcMv, double acMv) const;
    // The value the limits watch: the physical value, or the mV without a sensor.
    double limitValue(double mv) const;

    // The keys of one "AdcChannels" element ("Sensor", "SensorUnit",
    // "SensorScaling", "SensorNextCalibration", "SensorZero", "Limits").
    // Older readers ignore them; an element without them is a channel
    // without sensor and limits.
    void save(QSettings &settings) const;
    // What could not be taken, for the operator; the rest is loaded.
    QStringList load(QSettings &settings);

    bool operator==(const ChannelSensor &o) const;
    bool operator!=(const ChannelSensor &o) const { return !(*this == o); }

    Q_DECLARE_TR_FUNCTIONS(ChannelSensor)
};

#endif // CHANNELSENSOR_H
