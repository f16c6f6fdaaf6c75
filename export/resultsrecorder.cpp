#include "resultsrecorder.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

namespace {

QByteArray csvLine(const QStringList &fields)
{
    QByteArray line;
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        QByteArray u = fields.at(i).toUtf8();
        if (u.contains(',') || u.contains('"') || u.contains('\n') || u.contains('\r')) {
            u.replace('"', "\"\"");
            u = '"' + u + '"';
        }
        line += u;
    }
    line += '\n';
    return line;
}

QString recordError(const QString &path, const QString &reason)
{
    return QCoreApplication::translate("ResultsRecorder",
                                       "Не удалось записать результаты в файл %1: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

bool ResultsRecorder::start(const QString &path, QString *error)
{
    stop();
    blocks = 0;
    context.clear();
    if (!file.open(path)) {
        *error = recordError(path, file.errorString());
        return false;
    }
    QByteArray head;
    const qint64 size = file.size();
    // A new file gets its header with the first block, which it describes.
    titled = size != 0;
    if (size != 0 && file.lastByte() != '\n') {
        // A file cut off inside a line (a crash, a full disk) gets its own line end
        // first, so that the new lines do not run on from the broken one.
        head = "\n";
    }
    if (!head.isEmpty() && !writeAll(head, error)) {
        file.close();
        return false;
    }
    return true;
}

bool ResultsRecorder::writeAll(const QByteArray &data, QString *error)
{
    // A partial block is cut off again by the file; the blocks before it stay.
    if (file.append(data))
        return true;
    *error = recordError(file.fileName(), file.errorString());
    return false;
}

bool ResultsRecorder::append(const MeasurementSnapshot &s, QString *error)
{
    if (!file.isOpen()) {
        *error = recordError(file.fileName(),
                             QCoreApplication::translate("ResultsRecorder", "запись не идёт"));
        return false;
    }
    if (!file.stillSameFile()) {
        *error =
            recordError(file.fileName(),
                        QCoreApplication::translate("ResultsRecorder", "файл удалён или заменён"));
        stop();
        return false;
    }
    QByteArray text;
    // What the lines belong to: the module, the configuration, the sensors.
    const QVector<QStringList> now =
        MeasurementTable::headerRows(s) + MeasurementTable::sensorRows(s);
    if (!titled) {
        for (const QStringList &row : now)
            text += csvLine(row);
        text += '\n';
        text += csvLine(MeasurementTable::recordColumnTitles());
    } else {
        // Only what changed, so that a new configuration stands out as one line;
        // a row that is gone (a sensor taken off) is written with its name alone.
        for (const QStringList &row : now) {
            if (!context.contains(row))
                text += csvLine(row);
        }
        for (const QStringList &row : qAsConst(context)) {
            const auto sameName = [&row](const QStringList &r) {
                return r.value(0) == row.value(0);
            };
            if (std::none_of(now.cbegin(), now.cend(), sameName))
                text += csvLine({row.value(0)});
        }
    }
    for (const QStringList &row : MeasurementTable::recordRows(s))
        text += csvLine(row);
    if (!writeAll(text, error)) {
        stop();
        return false;
    }
    titled = true;
    context = now;
    ++blocks;
    return true;
}

void ResultsRecorder::stop()
{
    file.close();
}
