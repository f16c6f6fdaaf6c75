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
    QDateTime time; // UTC
};

// <program data directory>/tare-backups
QString directory();

// Writes a new backup of the 16 records; false (and nothing left behind)
// when the file cannot be written whole.
bool write(const QString &serial, const TGRV480TareInfo *records, const QDateTime &time,
           QString *path, QString *error);

// The backups of one module, newest first; unreadable files are left out.
QList<Entry> list(const QString &serial);

// Reads all 16 records or none: every value must be a finite number, a valid
// coefficient one the module can use, and the file must name the serial.
bool read(const QString &path, const QString &serial, TGRV480TareInfo *records, QString *error);

} // namespace TareBackup

#endif // TAREBACKUP_H
