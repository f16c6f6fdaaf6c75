#ifndef LASTLOCATIONS_H
#define LASTLOCATIONS_H

#include <QDateTime>
#include <QString>

// Where each kind of file went last, so that every file dialog starts there;
// the user's documents folder before the first one. The names proposed for
// new files carry the module's serial number and the time, so that a folder
// of measurements sorts by module and then by time.
namespace LastLocations {

enum class Kind {
    Measurement,   // exported blocks and plots
    Recording,     // results recorded block by block
    Configuration, // ".gm480cfg" files
};

// The folder of the last file of that kind, or the documents folder.
QString folder(Kind kind);
// The last file of that kind, or an empty string.
QString lastFile(Kind kind);
void remember(Kind kind, const QString &filePath);

// "480-21-0103_2026-12-10_00-15-30" (the serial's characters that a file
// name cannot hold become "_"; no serial gives "GRV480").
QString measurementBaseName(const QString &moduleSerial, const QDateTime &time);
// The path a save dialog proposes: the last configuration file itself, else
// "<serial>.<suffix>" in the documents folder; for measurements and
// recordings, the last folder and a new name with the time and the suffix.
QString proposedPath(Kind kind, const QString &moduleSerial, const QDateTime &time,
                     const QString &suffix);

} // namespace LastLocations

#endif // LASTLOCATIONS_H
