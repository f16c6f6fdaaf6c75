#ifndef TAREBACKUP_H
#define TAREBACKUP_H

/*
 * TareBackup: copies of a module's tare coefficients as they were in its flash
 * memory, kept before every write to the flash so that one wrong write never
 * loses a calibration.
 *
 * One INI file per backup in directory(), named <serial>_<yyyyMMdd-HHmmss-zzz>.ini
 * (UTC; characters of the serial other than letters, digits, '.', '-' and '_'
 * become '_'). The file reads as:
 *
 *   [Backup]
 *   Serial=<module serial>
 *   Time=<ISO 8601 UTC with milliseconds>
 *   [Channel1] ... [Channel16]
 *   DacOffset=<volts>    DacOffsetValid=<0 or 1>
 *   Offset=<volts>       OffsetValid=<0 or 1>
 *   Scale=<no unit>      ScaleValid=<0 or 1>
 *
 * Numbers are written in the shortest form that reads back to the same double.
 * When the flash could not be read before a write, the file holds no channels
 * but Unreadable=<the error> under [Backup]: a record that the old contents
 * are lost, not a copy of them.
 * Files are never overwritten or removed by the program.
 */

#include "grv480api.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace TareBackup {

struct Entry
{
    QString path;
    QDateTime time;     // UTC
    QString unreadable; // the flash's error when the old contents could not be read
};

// A backup is a few kilobytes; larger files are not read at all.
const qint64 MaxFileBytes = 64 * 1024;

// <program data directory>/tare-backups
QString directory();

// Writes a new backup of the 16 records; false (and nothing left behind)
// when the file cannot be written whole.
bool write(const QString &serial, const TGRV480TareInfo *records, const QDateTime &time,
           QString *path, QString *error);

// Records that the flash could not be read before a write (flashError says why).
bool writeUnreadable(const QString &serial, const QString &flashError, const QDateTime &time,
                     QString *path, QString *error);

// The backups of one module, newest first, equal times by file name (newest
// name first). Files that are not backups of it are left out; those that
// cannot be read (oversized, not a regular file, hostile) are named in *skipped.
QList<Entry> list(const QString &serial, QStringList *skipped = nullptr);

// Reads all 16 records or none: every value must be a finite number and the
// file must name the serial. A coefficient marked valid that the module cannot
// use is loaded as invalid and neutral (offset 0, scale 1), and said in *notes.
bool read(const QString &path, const QString &serial, TGRV480TareInfo *records, QString *error,
          QStringList *notes = nullptr);

} // namespace TareBackup

#endif // TAREBACKUP_H
