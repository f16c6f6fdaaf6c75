#ifndef RESULTSRECORDER_H
#define RESULTSRECORDER_H

#include "appendfile.h"
#include "measurementsnapshot.h"

#include <QString>

// Appends the results of every block to a CSV file, one line per channel
// result (MeasurementTable::recordRows). A new or empty file starts, with the
// first block, with the header rows of the results export (module, crate,
// slot, configuration, each channel's sensor), an empty line and the column
// titles. Whenever a block comes from another module, configuration or sensor
// than the lines before it (and at the first block appended to an older file),
// the header rows that changed are written again before its lines: rows whose
// first field is a name, such as "Конфигурация", not a block time; a sensor row
// that is gone is written with its name alone. Each block is written whole
// and straight to the file, so that what the recorder reports as written is on
// disk and a failure is heard at the block it happens to. What a file held
// before is never truncated.
//
// A block that cannot be written (disk full, file removed or replaced, I/O
// error) stops the recording: the file is closed after the lines of that block
// have been cut off again, and the earlier blocks stay as they were. Only a
// regular file is recorded to: a FIFO or a device is refused at the start
// instead of blocking or swallowing the lines.
class ResultsRecorder
{
public:
    ResultsRecorder() = default;
    ~ResultsRecorder() { stop(); }

    bool start(const QString &path, QString *error);
    // False when the block could not be written; the recorder has stopped then.
    bool append(const MeasurementSnapshot &s, QString *error);
    void stop();

    bool isActive() const { return file.isOpen(); }
    QString path() const { return file.fileName(); }
    qint64 blockCount() const { return blocks; }

private:
    bool writeAll(const QByteArray &data, QString *error);

    AppendFile file;
    qint64 blocks = 0;
    bool titled = false;          // the file has its header block and titles
    QVector<QStringList> context; // the header rows the lines written last belong to

    Q_DISABLE_COPY(ResultsRecorder)
};

#endif // RESULTSRECORDER_H
