#ifndef SENSORFILES_H
#define SENSORFILES_H

#include <QByteArray>
#include <QString>

// The reads and writes of the sensor library and the event log: a read takes
// a regular file whole (or nothing), a write replaces a file whole (or leaves
// it as it was).
namespace SensorFiles {

bool read(const QString &path, qint64 maxBytes, QByteArray *data, QString *error);
bool write(const QString &path, const QByteArray &data, QString *error);

} // namespace SensorFiles

#endif // SENSORFILES_H
