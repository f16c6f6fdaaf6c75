#ifndef RECORDINGFILE_H
#define RECORDINGFILE_H

#include "datablockprocessor.h"
#include "recordingrun.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QVector>

#include <hdf5.h>

#include <vector>

// One HDF5 file of a recording (docs/recording-format.md gives the layout).
// The file is created exclusively, never over an existing one. Each run is a
// group made while the file is in the normal write mode; the blocks are then
// appended in single-writer/multiple-reader mode and the file is flushed at
// the end of every block, so that a reader sees, and a killed process leaves,
// every block whose append returned.
//
// Not thread-safe: one thread (the recorder's) uses an object.
class RecordingFile
{
    Q_DECLARE_TR_FUNCTIONS(RecordingFile)

public:
    static constexpr int FormatVersion = 1;
    static constexpr hsize_t SampleChunk = 65536; // most samples of a channel per chunk

    RecordingFile() = default;
    ~RecordingFile();

    // part: 0 for an undivided recording, else the number of the file in the row.
    bool create(const QString &path, int part, const QString &programVersion, QString *error);
    // A new run group "run_NNNN" for the blocks of the run from `first` on;
    // firstSample is the index within the run of the first block's first sample.
    bool beginRun(int number, const RecordingRun &run, const DataBlockProcessor::DataBlock &first,
                  const QString &continuedFrom, QString *error);
    bool append(const DataBlockProcessor::DataBlock &block, QString *error);
    // Writes how the run ended; continuedIn names the next file when the run goes on there.
    bool endRun(const RunEnd &end, const QString &continuedIn, QString *error);
    bool close(QString *error);

    bool isOpen() const { return file >= 0; }
    // A write of the library failed: the file is left as it stands.
    bool hasFailed() const { return failed; }
    bool inRun() const { return !runName.isEmpty(); }
    QString path() const { return filePath; }
    // False when the path no longer leads to the file being written.
    bool stillSameFile() const;
    qint64 sizeOnDisk() const;
    qint64 blocksInRun() const { return runBlocks; }
    qint64 samplesInFile() const { return fileSamples; }    // of all channels together
    qint64 firstBlockTimeMs() const { return firstTimeMs; } // -1 before the first block
    qint64 nextSampleInRun() const { return nextSample; }

private:
    bool reopenForObjects(QString *error);
    bool startSwmr(QString *error);
    void closeRunObjects();
    QString failure(const QString &what) const;

    QString filePath;
    QByteArray nativePath;
    hid_t file = -1;
    hid_t fapl = -1;
    bool swmr = false;
    quint64 device = 0;
    quint64 inode = 0;

    QByteArray runName; // of the run being written
    hid_t runGroup = -1;
    QVector<hid_t> channelSets;
    hid_t blockSet = -1;
    hid_t rowType = -1;
    std::vector<char> row;
    hsize_t samplesInRun = 0; // per channel, in this file
    qint64 runBlocks = 0;
    qint64 fileSamples = 0;
    qint64 firstTimeMs = -1;
    qint64 nextSample = 0; // within the run
    RecordingRun runInfo;
    bool rootDescribed = false;
    mutable bool failed = false;

    Q_DISABLE_COPY(RecordingFile)
};

#endif // RECORDINGFILE_H
