#include "tarebackup.h"
#include "qtcompat.h"

#include "tarecoefsmodel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <charconv>
#include <cmath>

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

// The file is written by hand rather than through QSettings, whose writer
// gives no reason when it fails; QSettings reads it back.
QByteArray iniText(const QString &serial, const TGRV480TareInfo *records, const QDateTime &time)
{
    QByteArray out;
    out += "; Tare coefficients of a GRV480 module as they were in its flash memory\n";
    out += "; before a write. Offsets in volts, the scale without unit; Valid=1 marks\n";
    out += "; a coefficient the module applies.\n";
    out += "[Backup]\n";
    // Quoted, so that QSettings takes the serial's characters as they are.
    QString quoted = serial;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""));
    out += "Serial=\"" + quoted.toUtf8() + "\"\n";
    out += "Time=" + time.toUTC().toString(Qt::ISODateWithMs).toLatin1() + "\n";
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

bool readHeader(QSettings &ini, QString *serial, QDateTime *time)
{
    ini.beginGroup(QLatin1String(BackupGroup));
    *serial = ini.value(QStringLiteral("Serial")).toString();
    *time = QDateTime::fromString(ini.value(QStringLiteral("Time")).toString(), Qt::ISODateWithMs);
    ini.endGroup();
    return ini.status() == QSettings::NoError && time->isValid();
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
    const QString dir = directory();
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("не удалось создать папку %1").arg(QDir::toNativeSeparators(dir));
        return false;
    }
    const QString base = dir + QLatin1Char('/') + fileStem(serial) + QLatin1Char('_') +
                         time.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString name = base + QStringLiteral(".ini");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QStringLiteral("-%1.ini").arg(n);

    QSaveFile file(name);
    const QByteArray text = iniText(serial, records, time);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(name), file.errorString());
        return false;
    }
    if (path)
        *path = name;
    return true;
}

QList<Entry> list(const QString &serial)
{
    QList<Entry> entries;
    const QDir dir(directory());
    const QStringList names =
        dir.entryList({fileStem(serial) + QStringLiteral("_*.ini")}, QDir::Files | QDir::Readable);
    for (const QString &n : names) {
        const QString p = dir.filePath(n);
        QSettings ini(p, QSettings::IniFormat);
        QtCompat::setIniUtf8(ini);
        QString fileSerial;
        QDateTime t;
        // Sanitised names of two serials may agree; the file itself decides.
        if (readHeader(ini, &fileSerial, &t) && fileSerial == serial)
            entries.append({p, t});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.time > b.time; });
    return entries;
}

bool read(const QString &path, const QString &serial, TGRV480TareInfo *records, QString *error)
{
    if (!QFileInfo(path).isReadable()) {
        *error = QStringLiteral("файл %1 не читается").arg(QDir::toNativeSeparators(path));
        return false;
    }
    QSettings ini(path, QSettings::IniFormat);
    QtCompat::setIniUtf8(ini);
    QString fileSerial;
    QDateTime t;
    if (!readHeader(ini, &fileSerial, &t)) {
        *error = QStringLiteral("файл %1 не является резервной копией тарировочных коэффициентов")
                     .arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (fileSerial != serial) {
        *error = QStringLiteral("копия относится к модулю %1, а не %2").arg(fileSerial, serial);
        return false;
    }

    TGRV480TareInfo out[GRV480_CHANNEL_COUNT];
    std::copy(records, records + GRV480_CHANNEL_COUNT, out);
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
            const double v = ini.value(key).toString().toDouble(&okValue);
            const int flag = ini.value(key + QStringLiteral("Valid")).toString().toInt(&okFlag);
            bool fine = okValue && okFlag && std::isfinite(v) && (flag == 0 || flag == 1);
            if (fine && flag == 1)
                fine = f.scale ? (v > 0 && v <= f.limit) : std::fabs(v) <= f.limit;
            if (!fine) {
                *error = QStringLiteral("канал %1, %2: недопустимое значение").arg(i + 1).arg(key);
                return false;
            }
            *f.value = v;
            *f.valid = uint8_t(flag);
        }
        ini.endGroup();
    }
    std::copy(out, out + GRV480_CHANNEL_COUNT, records);
    return true;
}

} // namespace TareBackup
