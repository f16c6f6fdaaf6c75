#include "channelsensor.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSettings>

#include <cmath>

QString ChannelSensor::valueUnit() const
{
    return hasSensor() ? unit : tr("мВ");
}

double ChannelSensor::value(double mv, bool *outOfRange) const
{
    if (outOfRange)
        *outOfRange = false;
    if (!hasSensor())
        return qQNaN();
    return scaling.apply(mv, outOfRange) - (zeroSet ? zero : 0.0);
}

double ChannelSensor::acValue(double dcMv, double acMv) const
{
    if (!hasSensor() || !std::isfinite(acMv))
        return qQNaN();
    return std::fabs(scaling.slope(dcMv)) * acMv;
}

double ChannelSensor::limitValue(double mv) const
{
    return hasSensor() ? value(mv) : mv;
}

void ChannelSensor::save(QSettings &s) const
{
    const QString keys[] = {
        QStringLiteral("Sensor"),        QStringLiteral("SensorUnit"),
        QStringLiteral("SensorScaling"), QStringLiteral("SensorNextCalibration"),
        QStringLiteral("SensorZero"),    QStringLiteral("Limits")};
    // A channel without them stays as an older version wrote it.
    for (const QString &k : keys)
        s.remove(k);
    if (!sensorName.isEmpty()) {
        s.setValue(keys[0], sensorName);
        s.setValue(keys[1], unit);
        s.setValue(keys[2], scaling.toText());
        if (nextCalibrationDate.isValid())
            s.setValue(keys[3], nextCalibrationDate.toString(Qt::ISODate));
        if (zeroSet)
            s.setValue(keys[4], plainNumber(zero));
    }
    if (limits.isActive())
        s.setValue(keys[5], limits.toText());
}

QStringList ChannelSensor::load(QSettings &s)
{
    *this = ChannelSensor();
    QStringList problems;
    const QString name = s.value(QStringLiteral("Sensor")).toString().trimmed();
    if (!name.isEmpty()) {
        QString why;
        const Scaling sc =
            Scaling::fromText(s.value(QStringLiteral("SensorScaling")).toString(), &why);
        const QString u = s.value(QStringLiteral("SensorUnit")).toString().trimmed();
        if (why.isEmpty() && u.isEmpty())
            why = tr("не задана единица измерения");
        if (!why.isEmpty()) {
            problems << tr("датчик «%1» не назначен: %2").arg(name.left(80), why);
        } else {
            sensorName = name.left(200);
            unit = u.left(200);
            scaling = sc;
            nextCalibrationDate = QDate::fromString(
                s.value(QStringLiteral("SensorNextCalibration")).toString(), Qt::ISODate);
            if (s.contains(QStringLiteral("SensorZero"))) {
                bool ok = false;
                const double z =
                    QLocale::c().toDouble(s.value(QStringLiteral("SensorZero")).toString(), &ok);
                if (ok && std::isfinite(z) && std::fabs(z) <= Scaling::AbsurdMagnitude) {
                    zero = z;
                    zeroSet = true;
                } else {
                    problems << tr("ноль датчика «%1» не прочитан").arg(name.left(80));
                }
            }
        }
    }
    if (!name.isEmpty() && sensorName.isEmpty()) {
        // Limits in a unit the channel no longer has would mean something else in mV.
        if (s.contains(QStringLiteral("Limits")))
            problems << tr("пределы не заданы: они в единицах датчика");
    } else if (s.contains(QStringLiteral("Limits"))) {
        QString why;
        const ChannelLimits l =
            ChannelLimits::fromText(s.value(QStringLiteral("Limits")).toString(), &why);
        if (why.isEmpty())
            limits = l;
        else
            problems << tr("пределы не заданы: %1").arg(why);
    }
    return problems;
}

bool ChannelSensor::operator==(const ChannelSensor &o) const
{
    return sensorName == o.sensorName && unit == o.unit && scaling == o.scaling &&
           nextCalibrationDate == o.nextCalibrationDate && zeroSet == o.zeroSet &&
           (!zeroSet || zero == o.zero) && limits == o.limits;
}
