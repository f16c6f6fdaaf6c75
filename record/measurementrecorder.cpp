#include "measurementrecorder.h"

#include "recordingfile.h"
#include "safefilewriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <cerrno>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

using BlockPtr = QSharedPointer<DataBlockProcessor::DataBlock>;

struct Item
{
    enum Kind { Begin, End, Block };
    Kind kind = End;
    quint64 runId = 0;
    RecordingRun run;
    RunEnd end;
    BlockPtr block;
};

qint64 blockBytes(const DataBlockProcessor::DataBlock &b)
{
    qint64 n = 0;
    for (const auto &c : b.channels)
        n += c ? qint64(c->values.size()) : 0;
    return n * qint64(sizeof(double)) + 4096; // the row of the block table, rounded up
}

double blockSeconds(const DataBlockProcessor::DataBlock &b)
{
    if (b.channels.isEmpty() || !b.channels.first())
        return 0.0;
    const auto &c = *b.channels.first();
    return c.values.size() * c.sampleInterval;
}

qint64 freeBytesAt(const QString &path)
{
    struct statvfs vfs;
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::statvfs(dir.constData(), &vfs) != 0)
        return -1;
    return qint64(vfs.f_bavail) * qint64(vfs.f_frsize);
}

} // namespace

struct MeasurementRecorder::Shared
{
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Item> queue;
    int queuedBlocks = 0;
    double queuedSeconds = 0.0;
    bool accepting = false; // push() takes blocks
    bool overflow = false;  // the queue was full: stop after what is queued
    bool stopRequested = false;
    RunEnd stopEnd;
    QString failure; // why the writer stopped by itself
    Stats stats;
    std::thread writer;

    Options options;
    std::unique_ptr<RecordingFile> file; // created by start(), then the writer's
};

MeasurementRecorder::MeasurementRecorder(QObject *parent)
    : QObject(parent)
    , d(std::make_shared<Shared>())
{
}

MeasurementRecorder::~MeasurementRecorder()
{
    stop(RunEnd{0, QStringLiteral("Запись остановлена")});
}

QString MeasurementRecorder::checkTarget(const QString &path)
{
    const QString reason = SafeFileWriter::checkTarget(path, true);
    return reason.isEmpty() ? QString()
                            : QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
}

QString MeasurementRecorder::partPath(const QString &path, int part)
{
    const QFileInfo fi(path);
    const QString suffix = fi.suffix().isEmpty() ? QString() : QLatin1Char('.') + fi.suffix();
    const QString base = fi.suffix().isEmpty() ? fi.fileName() : fi.completeBaseName();
    return fi.dir().filePath(
        QStringLiteral("%1_%2%3").arg(base).arg(part, 4, 10, QLatin1Char('0')).arg(suffix));
}

bool MeasurementRecorder::start(const Options &options, QString *error)
{
    if (isActive()) {
        *error = tr("Запись уже идёт");
        return false;
    }
    if (d->writer.joinable())
        d->writer.join();
    const bool divided = options.splitBytes > 0 || options.splitMs > 0;
    const QString first = divided ? partPath(options.path, 1) : options.path;
    const QString problem = checkTarget(first);
    if (!problem.isEmpty()) {
        *error = problem;
        return false;
    }
    auto file = std::make_unique<RecordingFile>();
    if (!file->create(first, divided ? 1 : 0, options.programVersion, error))
        return false;
    std::lock_guard<std::mutex> lock(d->mutex);
    d->options = options;
    d->file = std::move(file);
    d->queue.clear();
    d->queuedBlocks = 0;
    d->queuedSeconds = 0.0;
    d->accepting = true;
    d->overflow = false;
    d->stopRequested = false;
    d->failure.clear();
    d->stats = Stats();
    d->stats.active = true;
    d->stats.file = first;
    d->stats.freeBytes = freeBytesAt(first);
    d->writer = std::thread([this] { writerLoop(); });
    return true;
}

void MeasurementRecorder::beginRun(quint64 runId, const RecordingRun &run)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->accepting)
        return;
    Item item;
    item.kind = Item::Begin;
    item.runId = runId;
    item.run = run;
    d->queue.push_back(std::move(item));
    d->wake.notify_one();
}

void MeasurementRecorder::endRun(const RunEnd &end)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->accepting)
        return;
    Item item;
    item.kind = Item::End;
    item.end = end;
    d->queue.push_back(std::move(item));
    d->wake.notify_one();
}

void MeasurementRecorder::push(const BlockPtr &block)
{
    if (!block)
        return;
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->accepting)
        return;
    const double seconds = blockSeconds(*block);
    if (d->queuedBlocks >= d->options.queueBlocks &&
        d->queuedSeconds + seconds > d->options.queueMs / 1000.0) {
        // Dropping this block and going on would leave a gap nobody sees.
        d->accepting = false;
        d->overflow = true;
        d->wake.notify_one();
        return;
    }
    Item item;
    item.kind = Item::Block;
    item.block = block;
    d->queue.push_back(std::move(item));
    ++d->queuedBlocks;
    d->queuedSeconds += seconds;
    d->wake.notify_one();
}

bool MeasurementRecorder::stop(const RunEnd &end, QString *error)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->writer.joinable())
            return true;
        if (!d->stopRequested) {
            d->stopRequested = true;
            d->stopEnd = end;
        }
        d->accepting = false;
        d->wake.notify_one();
    }
    d->writer.join();
    std::lock_guard<std::mutex> lock(d->mutex);
    if (error)
        *error = d->failure;
    return d->failure.isEmpty();
}

bool MeasurementRecorder::isActive() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->stats.active;
}

MeasurementRecorder::Stats MeasurementRecorder::stats() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->stats;
}

void MeasurementRecorder::writerLoop()
{
    Shared &s = *d;
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); // errors become messages, not stderr
    std::unique_ptr<RecordingFile> file;
    Options opt;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        file = std::move(s.file);
        opt = s.options;
    }
    const bool divided = opt.splitBytes > 0 || opt.splitMs > 0;
    int part = divided ? 1 : 0;
    qint64 earlierPartsBytes = 0;

    QHash<quint64, RecordingRun> described; // runs announced, by id
    quint64 currentRun = 0;
    bool haveRun = false;
    RecordingRun currentInfo;
    RunEnd pendingEnd;
    bool endPending = false;
    int runNumber = 0;
    QString failure;

    // Ends the run being written with `end`; false with *failure set on an error.
    auto finishRun = [&](const RunEnd &end, const QString &continuedIn) {
        QString e;
        if (file->inRun() && !file->endRun(end, continuedIn, &e)) {
            failure = e;
            return false;
        }
        return true;
    };

    auto writeBlock = [&](const BlockPtr &b) -> bool {
        if (!file->stillSameFile()) {
            failure =
                tr("Файл записи %1 удалён или заменён").arg(QFileInfo(file->path()).fileName());
            return false;
        }
        const qint64 need = std::max(2 * blockBytes(*b), opt.minFreeBytes);
        const qint64 free = freeBytesAt(file->path());
        if (opt.minFreeBytes >= 0 && free >= 0 && free < need) {
            failure = tr("На диске осталось мало места (%1 МиБ): запись остановлена")
                          .arg(free / (1024 * 1024));
            return false;
        }

        const bool sameRun = haveRun && b->runId == currentRun && file->inRun();
        QString e;
        if (!sameRun || b->firstSample != file->nextSampleInRun()) {
            if (file->inRun()) {
                RunEnd end = pendingEnd;
                if (sameRun) {
                    end = RunEnd{0, QCoreApplication::translate(
                                        "MeasurementRecorder",
                                        "Пропуск данных: ожидался отсчёт %1, получен %2")
                                        .arg(file->nextSampleInRun())
                                        .arg(b->firstSample)};
                } else if (!endPending) {
                    end = RunEnd{0, QStringLiteral("Сбор данных начат заново")};
                }
                if (!finishRun(end, QString()))
                    return false;
            }
            endPending = false;
            currentRun = b->runId;
            haveRun = true;
            currentInfo = described.value(b->runId);
            if (!file->beginRun(++runNumber, currentInfo, *b, QString(), &e)) {
                failure = e;
                return false;
            }
        } else if (divided && file->blocksInRun() > 0 &&
                   ((opt.splitBytes > 0 && file->sizeOnDisk() >= opt.splitBytes) ||
                    (opt.splitMs > 0 && b->receivedMs - file->firstBlockTimeMs() >= opt.splitMs))) {
            const QString next = partPath(opt.path, part + 1);
            const QString problem = checkTarget(next);
            if (!problem.isEmpty()) {
                failure = problem;
                return false;
            }
            const QString previous = QFileInfo(file->path()).fileName();
            if (!finishRun(RunEnd{0, QStringLiteral("Продолжение в следующем файле")},
                           QFileInfo(next).fileName()))
                return false;
            earlierPartsBytes += file->sizeOnDisk();
            if (!file->close(&e)) {
                failure = e;
                return false;
            }
            file = std::make_unique<RecordingFile>();
            ++part;
            if (!file->create(next, part, opt.programVersion, &e) ||
                !file->beginRun(runNumber, currentInfo, *b, previous, &e)) {
                failure = e;
                return false;
            }
            std::lock_guard<std::mutex> lock(s.mutex);
            s.stats.file = next;
        }
        if (!file->append(*b, &e)) {
            failure = e;
            return false;
        }
        const qint64 onDisk = earlierPartsBytes + file->sizeOnDisk();
        const qint64 samples = b->channels.isEmpty() ? 0 : b->channels.first()->values.size();
        std::lock_guard<std::mutex> lock(s.mutex);
        Stats &st = s.stats;
        st.runs = runNumber;
        ++st.blocks;
        st.samples += samples;
        st.seconds += blockSeconds(*b);
        st.bytesOnDisk = onDisk;
        st.freeBytes = free >= 0 ? free - blockBytes(*b) : -1;
        st.bytesPerSecond = st.seconds > 0 ? onDisk / st.seconds : 0.0;
        return true;
    };

    for (;;) {
        Item item;
        item.kind = Item::End;
        bool haveItem = false;
        bool overflowed = false;
        RunEnd stopEnd;
        {
            std::unique_lock<std::mutex> lock(s.mutex);
            s.wake.wait(lock, [&s] { return !s.queue.empty() || s.stopRequested || s.overflow; });
            if (!s.queue.empty()) {
                item = std::move(s.queue.front());
                s.queue.pop_front();
                haveItem = true;
                if (item.kind == Item::Block) {
                    --s.queuedBlocks;
                    s.queuedSeconds -= blockSeconds(*item.block);
                }
            } else {
                overflowed = s.overflow;
                stopEnd = s.stopEnd;
            }
        }
        if (!haveItem) {
            // Everything queued is written: the recording ends here.
            if (overflowed)
                failure = tr("Запись остановлена: диск не успевает записывать данные");
            finishRun(overflowed   ? RunEnd{0, failure}
                      : endPending ? pendingEnd
                                   : stopEnd,
                      QString());
            break;
        }
        if (item.kind == Item::Begin) {
            described.insert(item.runId, item.run);
        } else if (item.kind == Item::End) {
            pendingEnd = item.end;
            endPending = true;
        } else if (!writeBlock(item.block)) {
            // Said in the file too, unless the file itself failed: ending the run
            // leaves the concurrent-reading mode, and a write failing then would
            // leave a file that no reader opens.
            QString ignored;
            if (file->inRun() && !file->hasFailed())
                file->endRun(RunEnd{0, failure}, QString(), &ignored);
            break;
        }
    }

    QString e;
    if (!file->close(&e) && failure.isEmpty())
        failure = e;
    std::lock_guard<std::mutex> lock(s.mutex);
    s.accepting = false;
    s.queue.clear();
    s.queuedBlocks = 0;
    s.stats.active = false;
    s.failure = failure;
    // Nobody waits for a stop that the owner asked for; one of its own is news.
    if (!failure.isEmpty() && !s.stopRequested)
        QMetaObject::invokeMethod(
            this, [this, failure] { emit stopped(failure); }, Qt::QueuedConnection);
}
