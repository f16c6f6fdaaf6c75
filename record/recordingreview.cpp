#include "recordingreview.h"

#include "deviceconfig.h"
#include "filereader.h"
#include "recordingfile.h"
#include "settingsfilecheck.h"
#include "trendstore.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Rows read at a time while indexing: a day of one-second blocks of sixteen
// channels is read in slices of a few MiB, never at once.
constexpr qint64 RowsPerRead = 4096;

TrendStore::BlockValues trendValues(const RecordingReader::Block &b, const QVector<int> &channels)
{
    TrendStore::BlockValues out;
    for (int j = 0; j < channels.size() && j < b.dc.size(); ++j) {
        const int ch = channels.at(j) - 1;
        if (ch < 0 || ch >= TrendStore::ChannelCount)
            continue;
        auto &v = out.v[ch];
        v[TrendStore::Dc] = b.dc.at(j);
        v[TrendStore::Ac] = b.ac.at(j);
        v[TrendStore::Snr] = b.snr.at(j);
        v[TrendStore::Sinad] = b.sinad.at(j);
        v[TrendStore::Enob] = b.enob.at(j);
        v[TrendStore::Ux] = b.ux.at(j);
        v[TrendStore::Udiff] = b.udiff.at(j);
        v[TrendStore::Ucm] = b.ucm.at(j);
    }
    return out;
}

} // namespace

struct RecordingReview::Access
{
    Access()
        : lock(RecordingFile::modeSwitchMutex())
    {
    }
    std::unique_lock<std::mutex> lock; // taken first, released after the reader has closed
    RecordingReader reader;
};

RecordingReview::RecordingReview(QObject *parent)
    : QObject(parent)
{
    pollTimer.setInterval(PollIntervalMs);
    connect(&pollTimer, &QTimer::timeout, this, &RecordingReview::poll);
}

RecordingReview::~RecordingReview() = default;

bool RecordingReview::open(const QString &path, QString *error, TrendStore *trendStore)
{
    filePath = path;
    const std::unique_ptr<Access> a = access(error);
    if (!a) {
        filePath.clear();
        return false;
    }
    trend = trendStore;
    times.clear();
    runFirst.clear();
    runRows.clear();
    runList.clear();
    configs.clear();
    serial = a->reader.rootText("module_serial");
    crate = a->reader.rootText("crate_serial");
    if (!index(a->reader, error))
        return false;
    const QFileInfo info(filePath);
    lastStamp = {info.size(), info.lastModified()};
    // A run without its end whose last block is recent: its writer is at work.
    const bool open = !runList.isEmpty() && !runList.constLast().ended && !times.isEmpty();
    sinceGrowth.start();
    growing = false;
    if (open) {
        const qint64 age = QDateTime::currentMSecsSinceEpoch() - times.constLast();
        setGrowing(age >= 0 && age < quietPeriod());
    }
    return true;
}

std::unique_ptr<RecordingReview::Access> RecordingReview::access(QString *error) const
{
    auto a = std::make_unique<Access>();
    if (!a->reader.open(filePath, error))
        return nullptr;
    return a;
}

// Takes the rows of every run beyond those already indexed.
bool RecordingReview::index(const RecordingReader &reader, QString *error)
{
    const QList<RecordingReader::Run> &r = reader.runs();
    // The same file only if it still holds what was indexed.
    if (r.size() < runRows.size())
        return false;
    for (int k = 0; k < runRows.size(); ++k) {
        if (r.at(k).blocks < runRows.at(k))
            return false;
    }
    runList = r;
    for (int k = 0; k < r.size(); ++k) {
        if (k == runFirst.size()) {
            if (trend && !times.isEmpty())
                trend->addBreak(); // two runs are never joined
            runFirst.append(times.size());
            runRows.append(0);
        }
        const RecordingReader::Run &run = r.at(k);
        // Blocks are numbered run after run: once a later run is indexed an
        // earlier one is complete (its writer ended it before beginning the next).
        if (k + 1 < runFirst.size())
            continue;
        while (runRows.at(k) < run.blocks) {
            QList<RecordingReader::Block> rows;
            const qint64 want = std::min(RowsPerRead, run.blocks - runRows.at(k));
            if (!reader.readBlocks(k, runRows.at(k), want, &rows, error))
                return false;
            if (rows.isEmpty())
                break;
            for (const RecordingReader::Block &b : qAsConst(rows)) {
                times.append(b.receiveTimeMs);
                if (trend)
                    trend->append(b.receiveTimeMs / 1000.0, trendValues(b, run.channels));
            }
            runRows[k] += rows.size();
        }
    }
    return true;
}

int RecordingReview::runOfBlock(int index) const
{
    if (index < 0 || index >= times.size())
        return -1;
    const auto it = std::upper_bound(runFirst.cbegin(), runFirst.cend(), index);
    return int(it - runFirst.cbegin()) - 1;
}

int RecordingReview::blockNear(qint64 timeMs) const
{
    if (times.isEmpty())
        return -1;
    const auto it = std::lower_bound(times.cbegin(), times.cend(), timeMs);
    int i = int(it - times.cbegin());
    if (i >= times.size())
        return times.size() - 1;
    if (i > 0 && timeMs - times.at(i - 1) < times.at(i) - timeMs)
        --i;
    return i;
}

bool RecordingReview::loadBlock(int index, Shown *out, QString *error)
{
    const int k = runOfBlock(index);
    if (k < 0) {
        *error = tr("Нет блока с номером %1").arg(index + 1);
        return false;
    }
    std::unique_ptr<Access> a = access(error);
    if (!a)
        return false;
    const RecordingReader &reader = a->reader;
    if (k >= reader.runs().size()) {
        *error = tr("Нет блока с номером %1").arg(index + 1);
        return false;
    }
    const RecordingReader::Run run = reader.runs().at(k);
    const qint64 row = index - runFirst.at(k);
    QList<RecordingReader::Block> rows;
    if (!reader.readBlocks(k, row, 1, &rows, error))
        return false;
    if (rows.size() != 1) {
        *error = tr("Блок %1 не читается").arg(index + 1);
        return false;
    }
    const RecordingReader::Block &b = rows.constFirst();
    auto frame = QSharedPointer<GRV480RecvThread::Frame>::create();
    QList<QByteArray> frameRecords, channelRecords;
    if (!reader.readStatusRecords(k, row, 1, &frameRecords, &channelRecords, error))
        return false;
    QVector<TGRV480ChStatus> chStatus(run.channels.size());
    if (frameRecords.size() != 1 ||
        channelRecords.constFirst().size() < int(chStatus.size() * sizeof(TGRV480ChStatus))) {
        *error = tr("Блок %1 не читается").arg(index + 1);
        return false;
    }
    // The records are the module's own, the processor's input as it was.
    std::memcpy(&frame->status, frameRecords.constFirst().constData(), sizeof frame->status);
    std::memcpy(chStatus.data(), channelRecords.constFirst().constData(),
                chStatus.size() * sizeof(TGRV480ChStatus));
    frame->receivedMs = b.receiveTimeMs;
    frame->firstSample = b.firstSample;
    frame->runId = quint64(run.number);
    const double interval = run.frameFrequency > 0 ? 1.0 / run.frameFrequency : 0.0;
    for (int j = 0; j < run.channels.size(); ++j) {
        auto ch = QSharedPointer<GRV480RecvThread::ChData>::create();
        ch->sampleInterval = interval;
        ch->rangeMv = run.rangesMv.value(j);
        ch->status = chStatus.value(j);
        // The channel datasets begin with the run's first sample in this file.
        if (!reader.readSamples(k, j, b.firstSample - run.firstSample, b.sampleCount, &ch->values,
                                error))
            return false;
        if (ch->values.size() != b.sampleCount) {
            *error = tr("Отсчёты блока %1 записаны не полностью").arg(index + 1);
            return false;
        }
        frame->channels.append(ch);
    }
    a.reset();
    // The library keeps the chunks it read in lists of its own; a block's
    // worth of them is released to the allocator here.
    H5garbage_collect();

    // The spectra from the samples as the processor computed them live; a
    // processor of its own, gone with its buffers once the block is built.
    QSharedPointer<DataBlockProcessor::DataBlock> block;
    {
        DataBlockProcessor processor;
        connect(
            &processor, &DataBlockProcessor::newBlock, this,
            [&block](QSharedPointer<DataBlockProcessor::DataBlock> b) { block = b; },
            Qt::DirectConnection);
        processor.processFrame(frame);
    }
    frame.reset();
    if (!block) {
        *error = tr("Блок %1 не обрабатывается").arg(index + 1);
        return false;
    }
    // The figures as they were shown, whatever this build of the analysis gives.
    for (int j = 0; j < block->channels.size(); ++j) {
        DataBlockProcessor::ChResult *c = block->channels.at(j).data();
        if (!c || j >= b.dc.size())
            continue;
        c->dc = b.dc.at(j);
        c->ac = b.ac.at(j);
        c->peakValid = std::isfinite(b.peakFrequency.at(j));
        c->peakFreq = c->peakValid ? b.peakFrequency.at(j) : 0.0;
        c->peakAmplitude = c->peakValid ? b.peakAmplitude.at(j) : 0.0;
        c->harmValid = std::isfinite(b.snr.at(j));
        c->snr = c->harmValid ? b.snr.at(j) : 0.0;
        c->sinad = c->harmValid ? b.sinad.at(j) : 0.0;
        c->enob = c->harmValid ? b.enob.at(j) : 0.0;
    }
    out->block = block;
    out->lamps = b.lamps;
    out->run = k;
    out->row = row;
    return true;
}

QSharedPointer<DeviceConfig> RecordingReview::runConfig(int run) const
{
    if (run < 0 || run >= runList.size())
        return QSharedPointer<DeviceConfig>::create();
    if (configs.size() <= run)
        configs.resize(run + 1);
    if (configs.at(run))
        return configs.at(run);
    auto config = QSharedPointer<DeviceConfig>::create();
    const QByteArray text = runList.at(run).configuration.toUtf8();
    // Checked as a configuration file from a disk is: the recording may come
    // from anywhere. Without a usable text the defaults stand.
    SettingsCopy copy(SettingsFileCheck::hostileEntries(text).isEmpty() ? text : QByteArray());
    if (copy.isValid())
        config->loadSettings(*copy.settings());
    configs[run] = config;
    return config;
}

void RecordingReview::setFollowing(bool on)
{
    if (on)
        pollTimer.start();
    else
        pollTimer.stop();
}

qint64 RecordingReview::quietPeriod() const
{
    const qint64 step =
        times.size() >= 2 ? times.at(times.size() - 1) - times.at(times.size() - 2) : 0;
    return std::max<qint64>(QuietMs, 3 * step);
}

void RecordingReview::poll()
{
    if (filePath.isEmpty())
        return;
    const int before = times.size();
    const QList<RecordingReader::Run> was = runList;
    // A writer appends, flushes and so changes the file's size or time.
    const QFileInfo info(filePath);
    const QPair<qint64, QDateTime> stamp{info.size(), info.lastModified()};
    if (stamp != lastStamp) {
        lastStamp = stamp;
        QString error;
        const std::unique_ptr<Access> a = access(&error);
        // A file that does not open now (gone, replaced, cut) leaves what was read.
        if (a)
            index(a->reader, &error);
    }
    bool changed = runList.size() != was.size();
    for (int k = 0; !changed && k < runList.size(); ++k)
        changed = runList.at(k).ended != was.at(k).ended;
    if (times.size() > before) {
        sinceGrowth.restart();
        setGrowing(true);
    } else if (growing && sinceGrowth.elapsed() > quietPeriod()) {
        setGrowing(false);
    }
    if (changed) {
        configs.clear();
        emit runsChanged();
    }
    if (times.size() > before)
        emit grown(before);
}

void RecordingReview::setGrowing(bool on)
{
    if (on == growing)
        return;
    growing = on;
    emit growingChanged(on);
}
