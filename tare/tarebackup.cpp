#include "tarebackup.h"
#include "qtcompat.h"

#include "filereader.h"
#include "safefilewriter.h"
#include "settingsfilecheck.h"
#include "tarecoefsmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>

namespace TareBackup {

namespace {

const char BackupGroup[] = "Backup";

QString fileStem(const QString &serial)
{
    QString s = serial;
    s.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return s.isEmpty() ? QStringLiteral("_") : s;
}

QByteArray number(double v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return QByteArray(buf, int(res.ptr - buf));
}

// Quoted, so that QSettings takes the characters as they are.
QByteArray quotedText(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""))
        .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return "\"" + quoted.toUtf8() + "\"";
}

QByteArray headerText(const QString &serial, const QDateTime &time)
{
    QByteArray out;
    out += "[Backup]\n";
    out += "Serial=" + quotedText(serial) + "\n";
    out += "Time=" + time.toUTC().toString(Qt::ISODateWithMs).toLatin1() + "\n";
    return out;
}

// The file is written by hand rather than through QSettings, whose writer
// gives no reason when it fails; QSettings reads it back.
QByteArray iniText(const QString &serial, const TGRV480TareInfo *records, const QDateTime &time)
{
    QByteArray out;
    out += "; Tare coefficients of a GRV480 module as they were in its flash memory\n";
    out += "; before a write. Offsets in volts, the scale without unit; Valid=1 marks\n";
    out += "; a coefficient the module applies.\n";
    out += headerText(serial, time);
    for (int i = 0; i < GRV480_CHANNEL_COUNT; ++i) {
        const TGRV480TareInfo &r = records[i];
        out += "\n[Channel" + QByteArray::number(i + 1) + "]\n";
        out += "DacOffset=" + number(r.dacOffset) + "\n";
        out += "DacOffsetValid=" + QByteArray::number(r.dacOffsetValid ? 1 : 0) + "\n";
        out += "Offset=" + number(r.offsetCoef) + "\n";
        out += "OffsetValid=" + QByteArray::number(r.offsetValid ? 1 : 0) + "\n";
        out += "Scale=" + number(r.scaleCoef) + "\n";
        out += "ScaleValid=" + QByteArray::number(r.scaleValid ? 1 : 0) + "\n";
    }
    return out;
}

bool readHeader(QSettings &ini, QString *serial, QDateTime *time, QString *unreadable)
{
    ini.beginGroup(QLatin1String(BackupGroup));
    *serial = ini.value(QStringLiteral("Serial")).toString();
    *time = QDateTime::fromString(ini.value(QStringLiteral("Time")).toString(), Qt::ISODateWithMs);
    *unreadable = ini.value(QStringLiteral("Unreadable")).toString();
    ini.endGroup();
    return ini.status() == QSettings::NoError && time->isValid();
}

// The checked bytes of a backup in a private copy, never the file again.
// Null with the reason when the file is no regular file, too large or hostile.
std::unique_ptr<SettingsCopy> openBackup(const QString &path, QString *error)
{
    const FileReadResult in = readRegularFile(path, MaxFileBytes);
    if (!in.ok) {
        *error = in.error;
        return nullptr;
    }
    const QList<SettingsFileCheck::Entry> hostile = SettingsFileCheck::hostileEntries(in.data);
    if (!hostile.isEmpty()) {
        *error = QCoreApplication::translate("TareBackup", "недопустимое значение %1 (%2)")
                     .arg(hostile.constFirst().key, hostile.constFirst().reason);
        return nullptr;
    }
    std::unique_ptr<SettingsCopy> copy(new SettingsCopy(in.data));
    if (!copy->isValid()) {
        *error = copy->errorString();
        return nullptr;
    }
    QtCompat::setIniUtf8(*copy->settings());
    return copy;
}

QString newFileName(const QString &serial, const QDateTime &time, QString *error)
{
    const QString dir = directory();
    if (!QDir().mkpath(dir)) {
        *error = QCoreApplication::translate("TareBackup", "не удалось создать папку %1")
                     .arg(QDir::toNativeSeparators(dir));
        return QString();
    }
    const QString base = dir + QLatin1Char('/') + fileStem(serial) + QLatin1Char('_') +
                         time.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString name = base + QStringLiteral(".ini");
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = base + QStringLiteral("-%1.ini").arg(n);
    return name;
}

bool writeFile(const QString &name, const QByteArray &text, QString *path, QString *error)
{
    SafeFileWriter file(name);
    if (!file.open() || !file.write(text) || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(name), file.errorString());
        return false;
    }
    if (path)
        *path = name;
    return true;
}

} // namespace

QString directory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/tare-backups");
}

bool write(const QString &serial, const TGRV480TareInfo *records, const QDateTime &time,
           QString *path, QString *error)
{
    const QString name = newFileName(serial, time, error);
    return !name.isEmpty() && writeFile(name, iniText(serial, records, time), path, error);
}

bool writeUnreadable(const QString &serial, const QString &flashError, const QDateTime &time,
                     QString *path, QString *error)
{
    const QString name = newFileName(serial, time, error);
    if (name.isEmpty())
        return false;
    QByteArray text;
    text += "; The flash memory of this GRV480 module could not be read before a write:\n";
    text += "; its old tare coefficients are lost, this file only records so.\n";
    text += headerText(serial, time);
    text += "Unreadable=" + quotedText(flashError) + "\n";
    return writeFile(name, text, path, error);
}

QList<Entry> list(const QString &serial, QStringList *skipped)
{
    QList<Entry> entries;
    const QDir dir(directory());
    const QStringList names =
        dir.entryList({fileStem(serial) + QStringLiteral("_*.ini")}, QDir::Files | QDir::System);
    for (const QString &n : names) {
        const QString p = dir.filePath(n);
        QString why;
        const std::unique_ptr<SettingsCopy> copy = openBackup(p, &why);
        if (!copy) {
            if (skipped)
                *skipped << QStringLiteral("%1: %2").arg(n, why);
            continue;
        }
        QString fileSerial, unreadable;
        QDateTime t;
        // Sanitised names of two serials may agree; the file itself decides.
        if (readHeader(*copy->settings(), &fileSerial, &t, &unreadable) && fileSerial == serial)
            entries.append({p, t, unreadable});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.time != b.time)
            return a.time > b.time;
        // "<stamp>.ini", "<stamp>-2.ini", ...: the longer name came later
        const QString an = QFileInfo(a.path).completeBaseName();
        const QString bn = QFileInfo(b.path).completeBaseName();
        return an.size() != bn.size() ? an.size() > bn.size() : an > bn;
    });
    return entries;
}

bool read(const QString &path, const QString &serial, TGRV480TareInfo *records, QString *error,
          QStringList *notes)
{
    QString why;
    const std::unique_ptr<SettingsCopy> copy = openBackup(path, &why);
    if (!copy) {
        *error = QCoreApplication::translate("TareBackup", "файл %1 не читается: %2")
                     .arg(QDir::toNativeSeparators(path), why);
        return false;
    }
    QSettings &ini = *copy->settings();
    QString fileSerial, unreadable;
    QDateTime t;
    if (!readHeader(ini, &fileSerial, &t, &unreadable)) {
        *error =
            QCoreApplication::translate(
                "TareBackup", "файл %1 не является резервной копией тарировочных коэффициентов")
                .arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (fileSerial != serial) {
        *error = QCoreApplication::translate("TareBackup", "копия относится к модулю %1, а не %2")
                     .arg(fileSerial, serial);
        return false;
    }
    if (!unreadable.isEmpty()) {
        *error = QCoreApplication::translate(
                     "TareBackup",
                     "в этой копии нет коэффициентов: Flash-память перед записью не читалась (%1)")
                     .arg(unreadable);
        return false;
    }

    TGRV480TareInfo out[GRV480_CHANNEL_COUNT];
    std::copy(records, records + GRV480_CHANNEL_COUNT, out);
    QStringList found;
    for (int i = 0; i < GRV480_CHANNEL_COUNT; ++i) {
        ini.beginGroup(QStringLiteral("Channel%1").arg(i + 1));
        struct Field
        {
            const char *key;
            double *value;
            uint8_t *valid;
            double limit; // a valid value lies within ±limit (the scale: above zero)
            bool scale;
        } fields[] = {
            {"DacOffset", &out[i].dacOffset, &out[i].dacOffsetValid, TareCoefsModel::MaxOffsetV,
             false},
            {"Offset", &out[i].offsetCoef, &out[i].offsetValid, TareCoefsModel::MaxOffsetV, false},
            {"Scale", &out[i].scaleCoef, &out[i].scaleValid, TareCoefsModel::MaxScale, true},
        };
        for (const Field &f : fields) {
            const QString key = QLatin1String(f.key);
            bool okValue = false, okFlag = false;
            double v = ini.value(key).toString().toDouble(&okValue);
            int flag = ini.value(key + QStringLiteral("Valid")).toString().toInt(&okFlag);
            if (!okValue || !okFlag || !std::isfinite(v) || (flag != 0 && flag != 1)) {
                *error =
                    QCoreApplication::translate("TareBackup", "канал %1, %2: недопустимое значение")
                        .arg(i + 1)
                        .arg(key);
                return false;
            }
            if (!TareCoefsModel::coefInRange(v, f.scale, flag == 1)) {
                found << QCoreApplication::translate(
                             "TareBackup",
                             "канал %1, %2 = %3 вне допустимого диапазона: загружен как "
                             "недействительный")
                             .arg(i + 1)
                             .arg(key)
                             .arg(QString::fromLatin1(number(v)));
                v = f.scale ? 1.0 : 0.0;
                flag = 0;
            }
            *f.value = v;
            *f.valid = uint8_t(flag);
        }
        ini.endGroup();
    }
    std::copy(out, out + GRV480_CHANNEL_COUNT, records);
    if (notes)
        *notes = found;
    return true;
}

} // namespace TareBackup
