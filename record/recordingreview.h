#ifndef RECORDINGREVIEW_H
#define RECORDINGREVIEW_H

#include "datablockprocessor.h"
#include "recordingreader.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QPair>
#include <QSharedPointer>
#include <QTimer>
#include <QVector>

#include <memory>

class DeviceConfig;
class TrendStore;

// A recording opened for review: where each block of the file lies, one
// block at a time rebuilt as the processor's result, and the file's growth
// followed while its writer appends to it.
//
// Blocks are numbered through the whole file, run after run. Only the block
// tables are read to index the file and to feed the trend; samples are read
// for the one block asked for.
class RecordingReview : public QObject
{
    Q_OBJECT

public:
    // One block as the live window showed it: the results rebuilt from the
    // recorded samples and status records, the figures and lamps as recorded.
    struct Shown
    {
        QSharedPointer<DataBlockProcessor::DataBlock> block;
        QVector<quint8> lamps; // five per result: range, short, open, Udiff, Ucm
        int run = -1;          // index into runs()
        qint64 row = -1;       // within the run's block table
    };

    explicit RecordingReview(QObject *parent = nullptr);
    ~RecordingReview() override;

    // Indexes the file; the trend store, when given, receives every block's
    // results (and a break between runs) now and as the file grows.
    bool open(const QString &path, QString *error, TrendStore *trend = nullptr);
    QString path() const { return filePath; }
    QString moduleSerial() const { return serial; }
    QString crateSerial() const { return crate; }

    const QList<RecordingReader::Run> &runs() const { return runList; }
    int blockCount() const { return times.size(); }
    int runOfBlock(int index) const;
    qint64 blockTimeMs(int index) const { return times.value(index, 0); }
    // The block received closest to a time (ms since the epoch); -1 when there is none.
    int blockNear(qint64 timeMs) const;

    bool loadBlock(int index, Shown *out, QString *error);
    // The configuration the run was recorded with; the defaults when it cannot be read.
    QSharedPointer<DeviceConfig> runConfig(int run) const;

    // Polls the file for blocks appended since (a timer while following).
    void setFollowing(bool on);
    bool isFollowing() const { return pollTimer.isActive(); }
    // The last poll found new blocks, recently enough that more are coming.
    bool isGrowing() const { return growing; }
    // Reads what the writer has added since; also what the poll timer calls.
    void poll();

    static constexpr int PollIntervalMs = 500;
    // Without a new block for this long, and at least three block times, the
    // file no longer counts as growing.
    static constexpr int QuietMs = 3000;

signals:
    // Blocks from firstNew to blockCount() - 1 were added.
    void grown(int firstNew);
    // A run ended or began, or its end reason arrived.
    void runsChanged();
    void growingChanged(bool growing);

private:
    struct Access;
    // The file open for reading, for as long as the result lives: never
    // longer, so that a writer of this process can switch modes between two.
    std::unique_ptr<Access> access(QString *error) const;
    bool index(const RecordingReader &reader, QString *error);
    void setGrowing(bool on);
    qint64 quietPeriod() const;

    QString filePath;
    QString serial;
    QString crate;
    QList<RecordingReader::Run> runList;
    TrendStore *trend = nullptr;
    QVector<qint64> times;   // receive time of every block, ms
    QVector<int> runFirst;   // number of the first block of each run
    QVector<qint64> runRows; // rows of each run taken into the index
    QTimer pollTimer;
    QElapsedTimer sinceGrowth;
    QPair<qint64, QDateTime> lastStamp; // size and time of the file when last read
    bool growing = false;
    mutable QVector<QSharedPointer<DeviceConfig>> configs; // by run, parsed on demand

    Q_DISABLE_COPY(RecordingReview)
};

#endif // RECORDINGREVIEW_H
