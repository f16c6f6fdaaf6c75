#include "lastlocations.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace {

struct Key
{
    const char *group;
    const char *key;
    bool isFile; // the key holds a file, not a folder
};

// The keys the program has always used for these; kept so that an update
// still finds the places of the version before.
Key keyOf(LastLocations::Kind kind)
{
    switch (kind) {
    case LastLocations::Kind::Measurement:
        return {"MeasurementExport", "Dir", false};
    case LastLocations::Kind::Recording:
        return {"MeasurementExport", "RecordFile", true};
    case LastLocations::Kind::Configuration:
        break;
    }
    return {"DeviceConfigDialog", "LastConfigFile", true};
}

QString stored(LastLocations::Kind kind)
{
    const Key k = keyOf(kind);
    QSettings settings;
    settings.beginGroup(QLatin1String(k.group));
    const QVariant v = settings.value(QLatin1String(k.key));
    // Only a string is a place; anything else in a hand-edited file is ignored.
    return v.userType() == QMetaType::QString ? v.toString() : QString();
}

// The serial's characters that a file name cannot hold become "_".
QString safeSerial(const QString &moduleSerial)
{
    QString serial = moduleSerial.trimmed();
    serial.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return serial.isEmpty() ? QStringLiteral("GRV480") : serial;
}

QString documents()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return dir.isEmpty() ? QDir::homePath() : dir;
}

} // namespace

namespace LastLocations {

QString folder(Kind kind)
{
    const QString place = stored(kind);
    if (place.isEmpty())
        return documents();
    const QString dir = keyOf(kind).isFile ? QFileInfo(place).absolutePath() : place;
    // A folder that has gone (an unplugged stick) would open the dialog in
    // the program's working folder: the documents folder is the better guess.
    return QFileInfo(dir).isDir() ? dir : documents();
}

QString lastFile(Kind kind)
{
    return keyOf(kind).isFile ? stored(kind) : QString();
}

void remember(Kind kind, const QString &filePath)
{
    if (filePath.isEmpty())
        return;
    const Key k = keyOf(kind);
    QSettings settings;
    settings.beginGroup(QLatin1String(k.group));
    settings.setValue(QLatin1String(k.key), k.isFile ? QFileInfo(filePath).absoluteFilePath()
                                                     : QFileInfo(filePath).absolutePath());
}

QString measurementBaseName(const QString &moduleSerial, const QDateTime &time)
{
    return safeSerial(moduleSerial) + QLatin1Char('_') +
           time.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
}

QString proposedPath(Kind kind, const QString &moduleSerial, const QDateTime &time,
                     const QString &suffix)
{
    QString name;
    if (kind == Kind::Configuration) {
        const QString last = lastFile(kind);
        if (!last.isEmpty() && QFileInfo(QFileInfo(last).absolutePath()).isDir())
            return last;
        // A configuration belongs to a module, not to a moment.
        name = safeSerial(moduleSerial);
    } else {
        name = measurementBaseName(moduleSerial, time);
    }
    if (!suffix.isEmpty())
        name += QLatin1Char('.') + suffix;
    return QDir(folder(kind)).filePath(name);
}

} // namespace LastLocations
