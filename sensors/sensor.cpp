#include "sensor.h"

#include <QCoreApplication>

namespace {

QString dateText(const QDate &d)
{
    return d.isValid() ? d.toString(Qt::ISODate) : QString();
}

} // namespace

QString Sensor::problem() const
{
    if (name.trimmed().isEmpty())
        return tr("Не задано имя датчика");
    if (unit.trimmed().isEmpty())
        return tr("Не задана единица измерения");
    for (const QString *t : {&name, &type, &serial, &unit}) {
        if (t->size() > MaxTextLength)
            return tr("Текст длиннее %1 знаков").arg(MaxTextLength);
    }
    const QString why = scaling.problem();
    if (!why.isEmpty())
        return tr("Градуировка: %1").arg(why);
    return QString();
}

QJsonObject Sensor::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), name);
    o.insert(QStringLiteral("type"), type);
    o.insert(QStringLiteral("serial"), serial);
    o.insert(QStringLiteral("unit"), unit);
    o.insert(QStringLiteral("scaling"), scaling.toJson());
    o.insert(QStringLiteral("calibrated"), dateText(calibrationDate));
    o.insert(QStringLiteral("next_calibration"), dateText(nextCalibrationDate));
    return o;
}

Sensor Sensor::fromJson(const QJsonObject &o, QString *error)
{
    Sensor s;
    s.name = o.value(QStringLiteral("name")).toString();
    s.type = o.value(QStringLiteral("type")).toString();
    s.serial = o.value(QStringLiteral("serial")).toString();
    s.unit = o.value(QStringLiteral("unit")).toString();
    QString why;
    s.scaling = Scaling::fromJson(o.value(QStringLiteral("scaling")).toObject(), &why);
    if (!why.isEmpty())
        why = tr("Градуировка: %1").arg(why);
    auto date = [&](const char *key, QDate *out) {
        const QString text = o.value(QLatin1String(key)).toString();
        *out = QDate::fromString(text, Qt::ISODate);
        if (!text.isEmpty() && !out->isValid() && why.isEmpty())
            why = tr("Неверная дата «%1»").arg(text.left(40));
    };
    date("calibrated", &s.calibrationDate);
    date("next_calibration", &s.nextCalibrationDate);
    if (why.isEmpty())
        why = s.problem();
    if (error)
        *error = why;
    return s;
}

bool Sensor::operator==(const Sensor &o) const
{
    return name == o.name && type == o.type && serial == o.serial && unit == o.unit &&
           scaling == o.scaling && calibrationDate == o.calibrationDate &&
           nextCalibrationDate == o.nextCalibrationDate;
}
