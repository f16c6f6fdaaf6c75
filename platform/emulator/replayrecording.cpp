#include "replayrecording.h"

#include "modulecore.h"
#include "recordingreader.h"

#include <QSettings>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

using namespace grv480;

namespace {

constexpr int kFormatVersion = 1;
constexpr size_t kStatusBytes = 136;
// Frames read at a time: about one block, as the file is chunked, and a few
// MiB at most however long the blocks are.
constexpr int64_t kChunkFrames = 65536;

bool sameReal(double a, double b)
{
    return a == b || std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

std::string text(const QString &s)
{
    return s.toStdString();
}

// The settings of a ".gm480cfg" text that the module is given, as the monitor
// gives them (DeviceConfig::fillDeviceConfig), without the channels.
bool parseConfiguration(const QString &configText, TGRV480Config *cfg, bool *manualFilter,
                        std::string *error)
{
    // QSettings reads INI only from a file.
    QTemporaryFile file;
    if (!file.open() || file.write(configText.toUtf8()) < 0 || !file.flush()) {
        *error = "cannot write a temporary file for its configuration";
        return false;
    }
    QSettings s(file.fileName(), QSettings::IniFormat);
    if (s.status() != QSettings::NoError ||
        !s.childGroups().contains(QStringLiteral("GRV480MonitorDeviceConfig"))) {
        *error = "its configuration is not a \".gm480cfg\" text";
        return false;
    }
    s.beginGroup(QStringLiteral("GRV480MonitorDeviceConfig"));
    bool ok = true;
    auto real = [&](const char *key) {
        bool good = false;
        const double v = s.value(QLatin1String(key)).toDouble(&good);
        ok = ok && good && std::isfinite(v);
        return v;
    };
    auto integer = [&](const char *key) {
        bool good = false;
        const qlonglong v = s.value(QLatin1String(key)).toLongLong(&good);
        ok = ok && good;
        return v;
    };
    auto flag = [&](const char *key) { return s.value(QLatin1String(key)).toBool(); };
    std::memset(cfg, 0, sizeof *cfg);
    cfg->singleChMode = flag("SingleChMode");
    cfg->ch16ForUref = flag("Ch16ForUref");
    cfg->tareCoefEn = flag("TareCoefEn");
    cfg->iSrcCode = int32_t(integer("iSrcCode"));
    const double adcFreq = real("AdcFreq");
    cfg->swTimeUs = real("SwTimeUs");
    cfg->bgMeasMask = uint32_t(integer("BgMeasMask"));
    cfg->shortRThresh = real("ShortRThreash");
    cfg->cableLength = real("CableLength");
    cfg->cableCapPerUnit = real("CableCapactiyPerUnit");
    *manualFilter = flag("FilterManualEn");
    if (*manualFilter) {
        cfg->filterType = int32_t(integer("FilterManualType"));
        cfg->filterOdrCode = int32_t(integer("FilterManualOdr"));
    } else if (ok && adcFreq > 0) {
        TGRV480FilterParams p{};
        autoFilter(cfg->singleChMode, adcFreq, cfg->swTimeUs, &p, nullptr);
        cfg->filterType = p.type;
        cfg->filterOdrCode = p.odrCode;
    }
    if (!cfg->singleChMode)
        cfg->syncFreqDiv = nearestSyncDiv(adcFreq);
    if (!ok) {
        *error = "its configuration lacks a setting or holds an unreadable one";
        return false;
    }
    return true;
}

} // namespace

ReplayRecording::ReplayRecording()
    : reader(new RecordingReader)
{
}

ReplayRecording::~ReplayRecording() = default;

bool ReplayRecording::open(const std::string &filePath, std::string *error)
{
    path = filePath;
    // HDF5 would block on a FIFO until someone writes to it.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = path + ": not a regular file";
        return false;
    }
    QString message;
    if (!reader->open(QString::fromStdString(path), &message)) {
        // The reader's own text names the file.
        *error = text(message);
        return false;
    }
    if (reader->formatVersion() > kFormatVersion) {
        *error = path + ": recording format version " + std::to_string(reader->formatVersion()) +
                 " is newer than this emulator plays (" + std::to_string(kFormatVersion) + ")";
        return false;
    }
    const QList<RecordingReader::Run> &all = reader->runs();
    bool first = true;
    for (int i = 0; i < all.size(); ++i) {
        const RecordingReader::Run &r = all.at(i);
        const std::string name = text(r.group);
        if (r.blocks <= 0) {
            skipped.push_back(name + ": no complete block");
            continue;
        }
        TGRV480Config cfg{};
        bool manual = false;
        std::string why;
        if (!parseConfiguration(r.configuration, &cfg, &manual, &why)) {
            *error = path + ": " + name + ": " + why;
            return false;
        }
        if (r.channels.isEmpty() || r.channels.size() > GRV480_CHANNEL_COUNT ||
            r.rangesMv.size() != r.channels.size()) {
            *error = path + ": " + name + ": no valid channel list";
            return false;
        }
        cfg.logicalChannelCount = uint32_t(r.channels.size());
        for (int k = 0; k < r.channels.size(); ++k) {
            const int ch = r.channels.at(k);
            int range = -1;
            for (int code = 0; code <= GRV480_RANGE_1200MV; ++code) {
                if (sameReal(rangeFullScaleV(code) * 1000.0, r.rangesMv.at(k)))
                    range = code;
            }
            if (ch < 1 || ch > GRV480_CHANNEL_COUNT || range < 0 ||
                (k > 0 && ch <= r.channels.at(k - 1))) {
                *error = path + ": " + name + ": no valid channel list";
                return false;
            }
            cfg.logicalChannels[k].channelIndex = uint8_t(ch - 1);
            cfg.logicalChannels[k].rangeCode = uint8_t(range);
        }
        if (!(r.frameFrequency > 0) || !std::isfinite(r.frameFrequency)) {
            *error = path + ": " + name + ": no valid frame frequency";
            return false;
        }
        // The last block's samples must be there: a cut file shows here, not midway.
        QList<RecordingReader::Block> last;
        QString readError;
        if (!reader->readBlocks(i, r.blocks - 1, 1, &last, &readError) || last.size() != 1) {
            *error = path + ": " + name + ": " + text(readError);
            return false;
        }
        const int64_t end = last.first().firstSample + last.first().sampleCount - r.firstSample;
        QVector<double> probe;
        for (int k = 0; k < r.channels.size() && end > 0; ++k) {
            if (!reader->readSamples(i, k, end - 1, 1, &probe, &readError) || probe.size() != 1) {
                *error = path + ": " + name + ": samples missing or unreadable (a truncated file?)";
                return false;
            }
        }
        if (first) {
            expected = cfg;
            filterManual = manual;
            frameFreq = r.frameFrequency;
            configText = text(r.configuration);
            first = false;
        } else if (compare(cfg, r.frameFrequency) != 0) {
            // One module has one configuration: a run recorded with another is left out.
            skipped.push_back(name + ": recorded with another configuration, not played");
            continue;
        }
        runs.push_back(Run{i, r.firstSample, r.blocks});
    }
    if (runs.empty()) {
        *error = path + ": holds no complete block to play";
        return false;
    }
    serial = text(reader->rootText("module_serial"));
    crate = text(reader->rootText("crate_serial"));
    slotNo = int(reader->rootInteger("slot", 0));
    return true;
}

int32_t ReplayRecording::compare(const TGRV480Config &cfg, double frameFrequency) const
{
    const TGRV480Config &e = expected;
    if (bool(cfg.singleChMode) != bool(e.singleChMode))
        return GRV480_ERR_REPLAY_SINGLE_CHANNEL;
    if (cfg.logicalChannelCount != e.logicalChannelCount)
        return GRV480_ERR_REPLAY_CHANNELS;
    for (uint32_t i = 0; i < e.logicalChannelCount; ++i) {
        if (cfg.logicalChannels[i].channelIndex != e.logicalChannels[i].channelIndex)
            return GRV480_ERR_REPLAY_CHANNELS;
    }
    for (uint32_t i = 0; i < e.logicalChannelCount; ++i) {
        if (cfg.logicalChannels[i].rangeCode != e.logicalChannels[i].rangeCode)
            return GRV480_ERR_REPLAY_RANGE;
    }
    if (bool(cfg.ch16ForUref) != bool(e.ch16ForUref))
        return GRV480_ERR_REPLAY_CH16_UREF;
    // In single-channel mode the filter sets the rate and the divider is unused.
    if (!e.singleChMode && cfg.syncFreqDiv != e.syncFreqDiv)
        return GRV480_ERR_REPLAY_ADC_FREQ;
    if (cfg.filterType != e.filterType || cfg.filterOdrCode != e.filterOdrCode)
        return e.singleChMode ? GRV480_ERR_REPLAY_ADC_FREQ : GRV480_ERR_REPLAY_FILTER;
    if (!e.singleChMode && !sameReal(cfg.swTimeUs, e.swTimeUs))
        return GRV480_ERR_REPLAY_SW_TIME;
    if (cfg.iSrcCode != e.iSrcCode)
        return GRV480_ERR_REPLAY_ISRC;
    if (cfg.bgMeasMask != e.bgMeasMask)
        return GRV480_ERR_REPLAY_BG_MASK;
    if (bool(cfg.tareCoefEn) != bool(e.tareCoefEn))
        return GRV480_ERR_REPLAY_TARE;
    if (!sameReal(cfg.shortRThresh, e.shortRThresh))
        return GRV480_ERR_REPLAY_SHORT_THRESH;
    if (!sameReal(cfg.cableLength, e.cableLength) ||
        !sameReal(cfg.cableCapPerUnit, e.cableCapPerUnit))
        return GRV480_ERR_REPLAY_CABLE;
    if (!sameReal(frameFrequency, frameFreq))
        return GRV480_ERR_REPLAY_ADC_FREQ;
    return 0;
}

bool ReplayRecording::readBlock(size_t run, int64_t index, ReplayBlock *out,
                                std::string *error) const
{
    std::lock_guard<std::mutex> guard(lock);
    const Run &r = runs[run];
    QList<RecordingReader::Block> rows;
    QList<QByteArray> frameRaw, channelRaw;
    QString message;
    if (!reader->readBlocks(r.index, index, 1, &rows, &message) ||
        !reader->readStatusRecords(r.index, index, 1, &frameRaw, &channelRaw, &message) ||
        rows.size() != 1 || frameRaw.size() != 1 || channelRaw.size() != 1) {
        *error = path + ": " +
                 (message.isEmpty() ? std::string("block table cut short") : text(message));
        return false;
    }
    const size_t n = channelCount();
    if (size_t(frameRaw.first().size()) != kStatusBytes ||
        size_t(channelRaw.first().size()) != n * kStatusBytes) {
        *error = path + ": status records of unexpected size";
        return false;
    }
    out->first = rows.first().firstSample - r.firstSample;
    out->count = rows.first().sampleCount;
    std::memcpy(&out->frame, frameRaw.first().constData(), kStatusBytes);
    out->channels.resize(n);
    std::memcpy(out->channels.data(), channelRaw.first().constData(), n * kStatusBytes);
    return true;
}

bool ReplayRecording::readFrames(size_t run, int64_t first, int64_t count, std::vector<double> *out,
                                 std::string *error) const
{
    std::lock_guard<std::mutex> guard(lock);
    const size_t n = channelCount();
    out->assign(size_t(count) * n, 0.0);
    QVector<double> samples;
    QString message;
    for (size_t k = 0; k < n; ++k) {
        if (!reader->readSamples(runs[run].index, int(k), first, count, &samples, &message) ||
            samples.size() != count) {
            *error = path + ": " +
                     (message.isEmpty() ? std::string("samples cut short") : text(message));
            return false;
        }
        for (int64_t f = 0; f < count; ++f)
            (*out)[size_t(f) * n + k] = samples[int(f)];
    }
    return true;
}

ReplayCursor::ReplayCursor(const ReplayRecording &recording, bool loopPlay)
    : rec(recording)
    , loop(loopPlay)
{
}

void ReplayCursor::rewind()
{
    run = 0;
    blockIndex = -1;
    block.count = 0;
    inBlock = 0;
    chunkFrames = chunkPos = 0;
    done = !err.empty();
}

bool ReplayCursor::nextBlock()
{
    // A file that was readable at the start must not turn this into a busy loop.
    for (size_t tries = 0; tries < 2 * rec.runCount() + 2; ++tries) {
        if (++blockIndex >= rec.blockCount(run)) {
            blockIndex = 0;
            if (++run >= rec.runCount()) {
                run = 0;
                if (!loop)
                    return false;
            }
        }
        if (!rec.readBlock(run, blockIndex, &block, &err))
            return false;
        if (block.count > 0) {
            inBlock = 0;
            chunkFrames = chunkPos = 0;
            ++serial;
            return true;
        }
    }
    err = "no frames to play";
    return false;
}

bool ReplayCursor::next(const double **mv, const ReplayBlock **current, bool *lastOfBlock)
{
    if (done)
        return false;
    if (inBlock >= block.count && !nextBlock()) {
        done = true;
        return false;
    }
    if (chunkPos >= chunkFrames) {
        chunkFrames = std::min(kChunkFrames, block.count - inBlock);
        chunkPos = 0;
        if (!rec.readFrames(run, block.first + inBlock, chunkFrames, &chunk, &err)) {
            done = true;
            return false;
        }
    }
    *mv = chunk.data() + size_t(chunkPos) * rec.channelCount();
    *current = &block;
    ++chunkPos;
    ++inBlock;
    *lastOfBlock = inBlock == block.count;
    return true;
}
