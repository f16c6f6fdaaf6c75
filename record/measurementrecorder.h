#ifndef MEASUREMENTRECORDER_H
#define MEASUREMENTRECORDER_H

#include "datablockprocessor.h"
#include "recordingrun.h"

#include <QObject>
#include <QSharedPointer>
#include <QString>

#include <memory>

// Records every sample of every block it is given into HDF5 files
// (RecordingFile), on a thread of its own, so that neither the processing
// thread that hands the blocks over nor the window ever waits for the disk.
//
// Blocks come with the acquisition run they belong to; a block of another run,
// or one that does not follow the previous block sample for sample, begins a
// new run group, so two runs are never joined. beginRun() describes a run
// before its first block; endRun() says why the current run ended (blocks of it
// still queued behind are recorded before the run is closed).
//
// The queue between push() and the disk is bounded: when the disk falls behind
// by more than a few blocks the recording stops with a message, after writing
// the blocks already queued; memory never grows and no block is dropped
// silently. Before each block the free space is checked against a margin; a
// disk that fills anyway, a file system that turns read-only, and a file that
// is removed or replaced all stop the recording at a block boundary. In every
// case what was written stays readable and stopped() says why.
//
// push(), beginRun(), endRun() and stats() may be called from any thread; the
// others from the thread that owns the object.
class MeasurementRecorder : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString path;          // the file, or with splitting the name the parts derive from
        qint64 splitBytes = 0; // start the next part at this size on disk; 0 never
        qint64 splitMs = 0;    // start the next part after this much recorded time; 0 never
        // The free-space margin is at least this; below 0 nothing is checked
        // (for tests that let a disk fill).
        qint64 minFreeBytes = qint64(256) * 1024 * 1024;
        int queueBlocks = 4;   // the queue holds at least this many blocks...
        qint64 queueMs = 2000; // ...and at least this much measured time
        QString programVersion;
    };

    struct Stats
    {
        bool active = false;
        QString file; // the part being written
        int runs = 0;
        qint64 blocks = 0;
        qint64 samples = 0;          // per channel, of all runs and parts
        double seconds = 0.0;        // measured time recorded
        qint64 bytesOnDisk = 0;      // all parts together
        qint64 freeBytes = -1;       // on the file system of the recording
        double bytesPerSecond = 0.0; // of measured time
    };

    explicit MeasurementRecorder(QObject *parent = nullptr);
    ~MeasurementRecorder() override;

    // Why a path cannot be recorded to; empty when it can. Nothing is created.
    static QString checkTarget(const QString &path);
    // Name of the n-th part (from 1) of a divided recording: name_0001.h5 ...
    static QString partPath(const QString &path, int part);

    // Checks the target, creates the file and starts the writer.
    bool start(const Options &options, QString *error);
    void beginRun(quint64 runId, const RecordingRun &run);
    void endRun(const RunEnd &end);
    void push(const QSharedPointer<DataBlockProcessor::DataBlock> &block);
    // Records what is queued, ends the run with `end`, closes the file. Returns
    // false, with the reason, when the recording had already stopped on an error.
    bool stop(const RunEnd &end, QString *error = nullptr);

    bool isActive() const;
    Stats stats() const;

signals:
    // The recording stopped by itself (disk, file, queue); it is not active any more.
    void stopped(const QString &message);

private:
    struct Shared;
    void writerLoop();
    std::shared_ptr<Shared> d;
};

#endif // MEASUREMENTRECORDER_H
