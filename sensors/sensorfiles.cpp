#include "sensorfiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace SensorFiles {

bool read(const QString &path, qint64 maxBytes, QByteArray *data, QString *error)
{
    // A FIFO or a device would block or never end.
    const QFileInfo info(path);
    if (!info.isFile()) {
        *error = QCoreApplication::translate("SensorFiles", "«%1» не является обычным файлом")
                         .arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    *data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    if (data->size() > maxBytes) {
        *error = QCoreApplication::translate("SensorFiles", "Файл больше %1 байт").arg(maxBytes);
        data->clear();
        return false;
    }
    return true;
}

bool write(const QString &path, const QByteArray &data, QString *error)
{
    QSaveFile file(path);
    // Unbuffered, a short write shows in the count.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(data) != data.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace SensorFiles
