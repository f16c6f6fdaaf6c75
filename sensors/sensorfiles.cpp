#include "sensorfiles.h"

#include "filereader.h"
#include "safefilewriter.h"

namespace SensorFiles {

bool read(const QString &path, qint64 maxBytes, QByteArray *data, QString *error)
{
    FileReadResult r = readRegularFile(path, maxBytes);
    if (!r.ok) {
        *error = r.error;
        return false;
    }
    *data = std::move(r.data);
    return true;
}

bool write(const QString &path, const QByteArray &data, QString *error)
{
    SafeFileWriter file(path);
    if (!file.open() || !file.write(data) || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace SensorFiles
