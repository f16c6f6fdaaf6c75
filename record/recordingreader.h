#ifndef RECORDINGREADER_H
#define RECORDINGREADER_H

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QVector>

#include <hdf5.h>

// Reads a recording made by MeasurementRecorder (docs/recording-format.md),
// also while it is still being written: the file is opened for concurrent
// reading, and refresh() picks up the blocks appended since.
class RecordingReader
{
    Q_DECLARE_TR_FUNCTIONS(RecordingReader)

public:
    struct Run
    {
        QString group; // "run_0001"
        int number = 0;
        QVector<int> channels; // physical channel numbers, in dataset order
        QVector<double> rangesMv;
        double frameFrequency = 0.0; // Hz
        qint64 firstSample = 0;      // index within the run of the first sample in this file
        qint64 startTimeMs = 0;      // UTC
        qint64 samples = 0;          // per channel, in this file
        qint64 blocks = 0;
        bool ended = false; // the file says how the run ended
        int endCode = 0;
        QString endReason;
        QString configuration; // ".gm480cfg" text
    };

    // One row of a run's block table: the block's time and place and the
    // figures per channel (NaN where the window shows nothing).
    struct Block
    {
        qint64 receiveTimeMs = 0;
        qint64 firstSample = 0;
        qint64 sampleCount = 0;
        QVector<double> dc, ac, peakFrequency, peakAmplitude, snr, sinad, enob, ux, udiff, ucm;
        QVector<quint8> lamps; // five per channel: range, short, open, Udiff, Ucm
    };

    RecordingReader() = default;
    ~RecordingReader() { close(); }

    bool open(const QString &path, QString *error);
    void close();
    bool refresh(QString *error);

    int formatVersion() const { return version; }
    QString rootText(const char *attribute) const;
    qint64 rootInteger(const char *attribute, qint64 fallback) const;
    const QList<Run> &runs() const { return runList; }

    bool readSamples(int run, int channel, qint64 first, qint64 count, QVector<double> *out,
                     QString *error) const;
    bool readBlocks(int run, qint64 first, qint64 count, QList<Block> *out, QString *error) const;
    // The module's status records of blocks first .. first + count - 1, verbatim:
    // per block one frame status and one channel status per channel (136 bytes each).
    bool readStatusRecords(int run, qint64 first, qint64 count, QList<QByteArray> *frameStatus,
                           QList<QByteArray> *channelStatus, QString *error) const;

private:
    hid_t file = -1;
    int version = 0;
    QList<Run> runList;

    Q_DISABLE_COPY(RecordingReader)
};

#endif // RECORDINGREADER_H
