#ifndef SENSOR_H
#define SENSOR_H

#include "scaling.h"

#include <QCoreApplication>
#include <QDate>
#include <QJsonObject>
#include <QString>

// A sensor of the library: what it is, its unit and how its bridge output
// in mV becomes a value in that unit.
struct Sensor
{
    QString name;
    QString type; // free text: "тензодатчик силы", ...
    QString serial;
    QString unit; // free text: "кН", "µm/m", "бар"
    Scaling scaling;
    QDate calibrationDate;     // null: not known
    QDate nextCalibrationDate; // null: none due

    static constexpr int MaxTextLength = 200;

    // Empty when the sensor can be kept, otherwise what is wrong with it.
    QString problem() const;
    bool calibrationDue(const QDate &today) const
    {
        return nextCalibrationDate.isValid() && nextCalibrationDate < today;
    }

    QJsonObject toJson() const;
    static Sensor fromJson(const QJsonObject &o, QString *error);

    bool operator==(const Sensor &o) const;
    bool operator!=(const Sensor &o) const { return !(*this == o); }

    Q_DECLARE_TR_FUNCTIONS(Sensor)
};

#endif // SENSOR_H
