#ifndef SENSORLIBRARY_H
#define SENSORLIBRARY_H

#include "sensor.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// The sensors known on this machine, kept in one JSON file in the user's data
// folder. Names are unique; the library refuses a sensor with a problem.
//
// A file that cannot be read whole is never overwritten in place: a dated
// copy of it is kept beside it, and the library holds whatever sensors it
// could still read from it.
class SensorLibrary
{
    Q_DECLARE_TR_FUNCTIONS(SensorLibrary)

public:
    struct LoadResult
    {
        bool ok = true;    // false: the file was damaged or unreadable
        QString message;   // for the operator when not ok
        QString keptAside; // path of the copy of a damaged file
        int read = 0;      // sensors taken from the file
        int lost = 0;      // entries that could not be read
    };

    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    // ${XDG_DATA_HOME}/Norvik/GRV480 Monitor/sensors.json
    static QString defaultPath();

    const QVector<Sensor> &sensors() const { return list; }
    int count() const { return list.size(); }
    int indexOf(const QString &name) const;
    const Sensor *find(const QString &name) const;

    // Empty on success, otherwise why the sensor was refused.
    QString add(const Sensor &s);
    QString replace(int index, const Sensor &s);
    void remove(int index);
    // A name not in the library yet: "name (2)", "name (3)", ...
    QString freeName(const QString &name) const;

    // A missing file is an empty library, not a fault.
    LoadResult load(const QString &path);
    bool save(const QString &path, QString *error) const;

    // The file's text, and sensors from a text (as many as can be read).
    QByteArray toText() const;
    static QByteArray toText(const QVector<Sensor> &sensors);
    static QVector<Sensor> parse(const QByteArray &text, QStringList *problems);

    // Sensors of an exchange file; those whose name is taken come in under a
    // free name unless they are the same sensor. Returns the number added.
    int importFrom(const QVector<Sensor> &sensors);

private:
    QVector<Sensor> list;
    // A file that could be neither read nor copied is not replaced by save().
    QString unreadablePath;
};

#endif // SENSORLIBRARY_H
