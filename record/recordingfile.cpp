#include "recordingfile.h"
#include "recordingreader.h"

#include "fileerror.h"
#include "hdf5attributes.h"
#include "resultrules.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include <sys/stat.h>

static_assert(RecordingFile::FormatVersion <= RecordingReader::NewestFormatVersion,
              "the review reads what the recording writes");

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr int StatusBytes = 136;
constexpr int LampCount = 5;
constexpr hsize_t BlockChunk = 64; // rows of the block table per chunk

using H5Id = Hdf5::Id;
using Hdf5::doubleAttribute;
using Hdf5::intAttribute;
using Hdf5::stringAttribute;

template <typename T>
bool arrayAttribute(hid_t owner, const char *name, const QVector<T> &v, hid_t fileType,
                    hid_t memType)
{
    const hsize_t n = hsize_t(v.size());
    H5Id space(n ? H5Screate_simple(1, &n, nullptr) : H5Screate(H5S_NULL), H5Sclose);
    H5Id attr(H5Acreate2(owner, name, fileType, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    return attr.valid() && (n == 0 || H5Awrite(attr, memType, v.constData()) >= 0);
}

// A packed record of TGRV480MeasValue: state, valid flag, value in volts.
hid_t measValueType()
{
    hid_t t = H5Tcreate(H5T_COMPOUND, 10);
    H5Tinsert(t, "state", 0, H5T_STD_U8LE);
    H5Tinsert(t, "valid", 1, H5T_STD_U8LE);
    H5Tinsert(t, "value", 2, H5T_IEEE_F64LE);
    return t;
}

void putMeasValue(char *p, const TGRV480MeasValue &v)
{
    p[0] = char(v.state);
    p[1] = char(v.valid);
    std::memcpy(p + 2, &v.value, sizeof(double));
}

// Byte offsets of the fields of one row of the block table for n channels;
// the row is packed, so the file and the memory hold the same bytes.
struct RowLayout
{
    explicit RowLayout(int n)
        : n(n)
    {
        size_t at = 0;
        auto take = [&at](size_t bytes) {
            const size_t o = at;
            at += bytes;
            return o;
        };
        receiveTime = take(8);
        firstSample = take(8);
        sampleCount = take(8);
        frameStatus = take(FrameStatusSize);
        frameStatusRaw = take(StatusBytes);
        channelStatus = take(size_t(n) * ChannelStatusSize);
        channelStatusRaw = take(size_t(n) * StatusBytes);
        lamps = take(size_t(n) * LampCount);
        for (size_t &o : figures)
            o = take(size_t(n) * 8);
        size = at;
    }

    static constexpr size_t FrameStatusSize = 4 + 4 * 10;
    static constexpr size_t ChannelStatusSize = 4 + 2 * 10 + 2 * 8;
    static constexpr const char *FigureNames[] = {
        "dc",    "ac", "peak_frequency", "peak_amplitude", "snr", "sinad", "enob", "ux",
        "udiff", "ucm"};
    enum Figure { Dc, Ac, PeakFreq, PeakAmp, Snr, Sinad, Enob, Ux, Udiff, Ucm, FigureCount };

    int n;
    size_t receiveTime, firstSample, sampleCount, frameStatus, frameStatusRaw, channelStatus,
        channelStatusRaw, lamps;
    size_t figures[FigureCount];
    size_t size;

    hid_t makeType() const
    {
        const hsize_t nch = hsize_t(n);
        H5Id mv(measValueType(), H5Tclose);
        H5Id fs(H5Tcreate(H5T_COMPOUND, FrameStatusSize), H5Tclose);
        H5Tinsert(fs, "flags", 0, H5T_STD_U32LE);
        H5Tinsert(fs, "uref", 4, mv);
        H5Tinsert(fs, "uref_r", 14, mv);
        H5Tinsert(fs, "vadj", 24, mv);
        H5Tinsert(fs, "uneg", 34, mv);
        H5Id cs(H5Tcreate(H5T_COMPOUND, ChannelStatusSize), H5Tclose);
        H5Tinsert(cs, "flags", 0, H5T_STD_U32LE);
        H5Tinsert(cs, "ux", 4, mv);
        H5Tinsert(cs, "ucm", 14, mv);
        H5Tinsert(cs, "ucm_min", 24, H5T_IEEE_F64LE);
        H5Tinsert(cs, "ucm_max", 32, H5T_IEEE_F64LE);
        const hsize_t rawDims[] = {nch, StatusBytes};
        const hsize_t lampDims[] = {nch, LampCount};
        const hsize_t statusBytes = StatusBytes;
        H5Id csArray(H5Tarray_create2(cs, 1, &nch), H5Tclose);
        H5Id frameRaw(H5Tarray_create2(H5T_STD_U8LE, 1, &statusBytes), H5Tclose);
        H5Id chRaw(H5Tarray_create2(H5T_STD_U8LE, 2, rawDims), H5Tclose);
        H5Id lampArray(H5Tarray_create2(H5T_STD_U8LE, 2, lampDims), H5Tclose);
        H5Id figArray(H5Tarray_create2(H5T_IEEE_F64LE, 1, &nch), H5Tclose);

        hid_t t = H5Tcreate(H5T_COMPOUND, size);
        H5Tinsert(t, "receive_time_ms", receiveTime, H5T_STD_I64LE);
        H5Tinsert(t, "first_sample", firstSample, H5T_STD_I64LE);
        H5Tinsert(t, "sample_count", sampleCount, H5T_STD_I64LE);
        H5Tinsert(t, "frame_status", frameStatus, fs);
        H5Tinsert(t, "frame_status_raw", frameStatusRaw, frameRaw);
        H5Tinsert(t, "channel_status", channelStatus, csArray);
        H5Tinsert(t, "channel_status_raw", channelStatusRaw, chRaw);
        H5Tinsert(t, "lamps", lamps, lampArray);
        for (int i = 0; i < FigureCount; ++i)
            H5Tinsert(t, FigureNames[i], figures[i], figArray);
        return t;
    }
};
constexpr const char *RowLayout::FigureNames[];

double shownOrNaN(const TGRV480MeasValue &v)
{
    return v.valid && std::isfinite(v.value) ? v.value : NaN;
}

void fillRow(char *row, const RowLayout &l, const DataBlockProcessor::DataBlock &b,
             const RecordingRun &run)
{
    using namespace ResultRules;
    std::memset(row, 0, l.size);
    const qint64 count =
        b.channels.isEmpty() || !b.channels.first() ? 0 : qint64(b.channels.first()->values.size());
    std::memcpy(row + l.receiveTime, &b.receivedMs, 8);
    std::memcpy(row + l.firstSample, &b.firstSample, 8);
    std::memcpy(row + l.sampleCount, &count, 8);
    const TGRV480FrameStatus &f = b.status;
    char *fs = row + l.frameStatus;
    std::memcpy(fs, &f.flags, 4);
    putMeasValue(fs + 4, f.uref);
    putMeasValue(fs + 14, f.urefR);
    putMeasValue(fs + 24, f.vadj);
    putMeasValue(fs + 34, f.uneg);
    std::memcpy(row + l.frameStatusRaw, &f, StatusBytes);

    for (int i = 0; i < l.n; ++i) {
        const DataBlockProcessor::ChResult *c =
            i < b.channels.size() ? b.channels.at(i).data() : nullptr;
        double fig[RowLayout::FigureCount];
        std::fill(std::begin(fig), std::end(fig), NaN);
        if (c) {
            const TGRV480ChStatus &s = c->status;
            char *cs = row + l.channelStatus + size_t(i) * RowLayout::ChannelStatusSize;
            std::memcpy(cs, &s.flags, 4);
            putMeasValue(cs + 4, s.ux);
            putMeasValue(cs + 14, s.ucm);
            std::memcpy(cs + 24, &s.ucmMin, 8);
            std::memcpy(cs + 32, &s.ucmMax, 8);
            std::memcpy(row + l.channelStatusRaw + size_t(i) * StatusBytes, &s, StatusBytes);

            // The lamps and figures as the window shows them.
            const Udiff d = udiff(s.ux, f.uref, c->rangeMv);
            const quint8 lamps[LampCount] = {
                quint8((s.flags & GRV480_CH_OUT_OF_RANGE) ? LedRed : LedGreen),
                quint8(run.shortCheck ? shortLedState(s.ux.state) : LedGrey),
                quint8(run.openCheck ? openLedState(s.ux.state) : LedGrey),
                quint8(run.uxOrUcm ? conditionLedState(d.value.state, d.pass) : LedGrey),
                quint8(run.ucm
                           ? conditionLedState(s.ucm.state, s.ucm.state != GRV480_MV_COND_VIOLATED)
                           : LedGrey)};
            std::memcpy(row + l.lamps + size_t(i) * LampCount, lamps, LampCount);

            fig[RowLayout::Dc] = c->dc;
            fig[RowLayout::Ac] = c->ac;
            if (c->peakValid) {
                fig[RowLayout::PeakFreq] = c->peakFreq;
                fig[RowLayout::PeakAmp] = c->peakAmplitude;
            }
            if (c->harmValid) {
                fig[RowLayout::Snr] = c->snr;
                fig[RowLayout::Sinad] = c->sinad;
                fig[RowLayout::Enob] = c->enob;
            }
            if (run.uxOrUcm) {
                fig[RowLayout::Ux] = shownOrNaN(s.ux);
                fig[RowLayout::Udiff] = shownOrNaN(d.value);
                if (run.ucm)
                    fig[RowLayout::Ucm] = shownOrNaN(s.ucm);
            }
        }
        for (int k = 0; k < RowLayout::FigureCount; ++k)
            std::memcpy(row + l.figures[k] + size_t(i) * 8, &fig[k], 8);
    }
}

QString isoTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

} // namespace

RecordingFile::~RecordingFile()
{
    QString ignored;
    close(&ignored);
}

QString RecordingFile::failure(const QString &what) const
{
    const int e = errno;
    failed = true;
    QString text = QStringLiteral("%1: %2").arg(QFileInfo(filePath).fileName(), what);
    if (e != 0)
        text += QStringLiteral(" (%1)").arg(fileErrorText(e));
    return text;
}

bool RecordingFile::create(const QString &path, int part, const QString &programVersion,
                           QString *error)
{
    static const bool initialised = [] {
        // A file whose close failed (disk full) stays in the library's tables,
        // and its clean-up at exit would crash on it.
        H5dont_atexit();
        return true;
    }();
    Q_UNUSED(initialised)
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); // errors become messages, not stderr

    filePath = path;
    nativePath = QFile::encodeName(path);
    fapl = H5Pcreate(H5P_FILE_ACCESS);
    // Single-writer/multiple-reader needs the 1.10 file format. Without
    // locks: a reader in another process holds a shared lock as long as it
    // has the file open, and the writer, which opens the file again to make
    // the group of every run, would then stop the recording.
    if (fapl < 0 || H5Pset_libver_bounds(fapl, H5F_LIBVER_LATEST, H5F_LIBVER_LATEST) < 0 ||
        !RecordingReader::disableFileLocking(fapl)) {
        *error = failure(tr("HDF5 не настраивается"));
        return false;
    }
    errno = 0;
    // EXCL: a file that appeared since the target was checked is not overwritten.
    file = H5Fcreate(nativePath.constData(), H5F_ACC_EXCL, H5P_DEFAULT, fapl);
    if (file < 0) {
        *error = failure(tr("файл не создаётся"));
        return false;
    }
    struct stat st;
    if (::stat(nativePath.constData(), &st) == 0) {
        device = quint64(st.st_dev);
        inode = quint64(st.st_ino);
    }
    const bool ok =
        intAttribute(file, "format_version", FormatVersion) &&
        stringAttribute(file, "program", QStringLiteral("GRV480 Monitor")) &&
        stringAttribute(file, "program_version", programVersion) &&
        stringAttribute(file, "created", isoTime(QDateTime::currentMSecsSinceEpoch())) &&
        stringAttribute(file, "units", QStringLiteral("mV")) && intAttribute(file, "part", part) &&
        H5Fflush(file, H5F_SCOPE_LOCAL) >= 0;
    if (!ok) {
        *error = failure(tr("ошибка записи"));
        // Made here and never a recording: it goes again. Only a file this
        // call created, never one that was there (EXCL refused that above).
        QString ignored;
        close(&ignored);
        QFile::remove(filePath);
        return false;
    }
    return true;
}

bool RecordingFile::stillSameFile() const
{
    struct stat st;
    return ::stat(nativePath.constData(), &st) == 0 && quint64(st.st_dev) == device &&
           quint64(st.st_ino) == inode;
}

qint64 RecordingFile::sizeOnDisk() const
{
    struct stat st;
    return ::stat(nativePath.constData(), &st) == 0 ? qint64(st.st_blocks) * 512 : 0;
}

// Groups and attributes cannot be made while the file is in SWMR mode, which
// only a close ends: the file is opened again by its path, once it is sure
// that the path still leads to it.
bool RecordingFile::reopenForObjects(QString *error)
{
    if (!swmr)
        return true;
    closeRunObjects();
    const herr_t closed = H5Fclose(file);
    file = -1;
    swmr = false;
    if (closed < 0) {
        *error = failure(tr("ошибка записи"));
        return false;
    }
    if (!stillSameFile()) {
        errno = 0;
        *error = failure(tr("файл удалён или заменён"));
        return false;
    }
    errno = 0;
    file = H5Fopen(nativePath.constData(), H5F_ACC_RDWR, fapl);
    if (file < 0) {
        *error = failure(tr("файл не открывается снова"));
        return false;
    }
    return true;
}

bool RecordingFile::startSwmr(QString *error)
{
    errno = 0;
    if (H5Fstart_swmr_write(file) < 0) {
        *error = failure(tr("режим одновременного чтения не включается"));
        return false;
    }
    swmr = true;
    return true;
}

void RecordingFile::closeRunObjects()
{
    for (hid_t d : qAsConst(channelSets))
        H5Dclose(d);
    channelSets.clear();
    if (blockSet >= 0)
        H5Dclose(blockSet);
    if (rowType >= 0)
        H5Tclose(rowType);
    if (runGroup >= 0)
        H5Gclose(runGroup);
    blockSet = rowType = runGroup = -1;
}

std::mutex &RecordingFile::modeSwitchMutex()
{
    static std::mutex m;
    return m;
}

bool RecordingFile::beginRun(int number, const RecordingRun &run,
                             const DataBlockProcessor::DataBlock &first,
                             const QString &continuedFrom, QString *error)
{
    const std::lock_guard<std::mutex> lock(modeSwitchMutex());
    if (!reopenForObjects(error))
        return false;
    closeRunObjects();
    runInfo = run;
    runBlocks = 0;
    samplesInRun = 0;
    nextSample = first.firstSample;

    const int n = first.channels.size();
    const DataBlockProcessor::ChResult *c0 = n > 0 ? first.channels.first().data() : nullptr;
    const double frameFrequency = c0 && c0->sampleInterval > 0 ? 1.0 / c0->sampleInterval : 0.0;
    QVector<int> numbers = run.channelNumbers;
    if (numbers.size() != n) {
        // A description that does not fit the blocks: the module's own numbering.
        numbers.clear();
        for (const auto &c : first.channels)
            numbers.append(c ? int(c->status.channelIndex) + 1 : 0);
    }
    runInfo.channelNumbers = numbers;
    QVector<double> ranges;
    for (const auto &c : first.channels)
        ranges.append(c ? c->rangeMv : NaN);

    errno = 0;
    bool ok = true;
    if (!rootDescribed) {
        ok = stringAttribute(file, "module_serial", run.moduleSerial) &&
             stringAttribute(file, "crate_serial", run.crateSerial) &&
             intAttribute(file, "slot", run.slot) &&
             stringAttribute(file, "configuration", run.configText) &&
             doubleAttribute(file, "frame_frequency", frameFrequency);
        rootDescribed = ok;
    }
    runName = QStringLiteral("run_%1").arg(number, 4, 10, QLatin1Char('0')).toLatin1();
    runGroup =
        ok ? H5Gcreate2(file, runName.constData(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT) : -1;
    ok = runGroup >= 0 && intAttribute(runGroup, "run", number) &&
         intAttribute(runGroup, "start_time_ms", first.receivedMs) &&
         stringAttribute(runGroup, "start_time", isoTime(first.receivedMs)) &&
         intAttribute(runGroup, "first_sample", first.firstSample) &&
         stringAttribute(runGroup, "continued_from", continuedFrom) &&
         stringAttribute(runGroup, "module_serial", run.moduleSerial) &&
         stringAttribute(runGroup, "crate_serial", run.crateSerial) &&
         intAttribute(runGroup, "slot", run.slot) &&
         stringAttribute(runGroup, "configuration", run.configText) &&
         doubleAttribute(runGroup, "frame_frequency", frameFrequency) &&
         stringAttribute(runGroup, "units", QStringLiteral("mV")) &&
         arrayAttribute(runGroup, "channels", numbers, H5T_STD_I32LE, H5T_NATIVE_INT) &&
         arrayAttribute(runGroup, "ranges_mv", ranges, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE);

    // One extendible, chunked dataset of samples per channel. A chunk holds
    // about a block, up to SampleChunk: the last chunk is stored whole, so a
    // slow channel would otherwise waste most of it.
    const hsize_t blockLength = c0 ? hsize_t(std::max(1, int(c0->values.size()))) : hsize_t(SampleChunk);
    hsize_t chunk = 1024;
    while (chunk < blockLength && chunk < SampleChunk)
        chunk *= 2;
    const hsize_t zero = 0, unlimited = H5S_UNLIMITED;
    for (int i = 0; ok && i < n; ++i) {
        const QByteArray chName =
            QStringLiteral("ch%1").arg(numbers.at(i), 2, 10, QLatin1Char('0')).toLatin1();
        H5Id space(H5Screate_simple(1, &zero, &unlimited), H5Sclose);
        H5Id dcpl(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
        ok = H5Pset_chunk(dcpl, 1, &chunk) >= 0;
        // Samples are only appended: the chunk being filled is all the cache
        // needs, and sixteen default caches would hold 16 MiB for nothing.
        H5Id dapl(H5Pcreate(H5P_DATASET_ACCESS), H5Pclose);
        ok = ok && H5Pset_chunk_cache(dapl, 101, size_t(2 * chunk * sizeof(double)), 1.0) >= 0;
        const hid_t set = ok ? H5Dcreate2(runGroup, chName.constData(), H5T_IEEE_F64LE, space,
                                          H5P_DEFAULT, dcpl, dapl)
                             : -1;
        if (set < 0) {
            ok = false;
            break;
        }
        channelSets.append(set);
        ok = intAttribute(set, "channel", numbers.at(i)) &&
             doubleAttribute(set, "range_mv", ranges.at(i)) &&
             stringAttribute(set, "units", QStringLiteral("mV"));
        // The samples stay in mV; a channel with a sensor says how to get its unit.
        const ChannelSensor sensor = run.channelSensors.value(i);
        if (ok && sensor.hasSensor())
            ok = stringAttribute(set, "sensor", sensor.sensorName) &&
                 stringAttribute(set, "sensor_unit", sensor.unit) &&
                 stringAttribute(set, "sensor_scaling", sensor.scaling.toText()) &&
                 doubleAttribute(set, "sensor_zero", sensor.zeroSet ? sensor.zero : 0.0);
    }
    if (ok) {
        const RowLayout layout(n);
        rowType = layout.makeType();
        row.assign(layout.size, 0);
        H5Id space(H5Screate_simple(1, &zero, &unlimited), H5Sclose);
        H5Id dcpl(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
        const hsize_t chunk = BlockChunk;
        ok = rowType >= 0 && H5Pset_chunk(dcpl, 1, &chunk) >= 0;
        blockSet =
            ok ? H5Dcreate2(runGroup, "blocks", rowType, space, H5P_DEFAULT, dcpl, H5P_DEFAULT)
               : -1;
        ok = blockSet >= 0 && H5Fflush(file, H5F_SCOPE_LOCAL) >= 0;
    }
    if (!ok) {
        *error = failure(tr("ошибка записи"));
        closeRunObjects();
        runName.clear();
        return false;
    }
    if (!startSwmr(error)) {
        closeRunObjects();
        runName.clear();
        return false;
    }
    return true;
}

bool RecordingFile::append(const DataBlockProcessor::DataBlock &b, QString *error)
{
    const int n = channelSets.size();
    if (b.channels.size() != n) {
        errno = 0;
        *error = failure(tr("число каналов блока изменилось"));
        return false;
    }
    hsize_t len = 0;
    for (const auto &c : b.channels) {
        if (!c || (len && hsize_t(c->values.size()) != len)) {
            errno = 0;
            *error = failure(tr("каналы блока разной длины"));
            return false;
        }
        len = hsize_t(c->values.size());
    }
    errno = 0;
    const hsize_t newSize = samplesInRun + len;
    for (int i = 0; i < n; ++i) {
        const hid_t set = channelSets.at(i);
        if (H5Dset_extent(set, &newSize) < 0) {
            *error = failure(tr("ошибка записи"));
            return false;
        }
        H5Id space(H5Dget_space(set), H5Sclose);
        H5Id mem(H5Screate_simple(1, &len, nullptr), H5Sclose);
        if (len > 0 && (H5Sselect_hyperslab(space, H5S_SELECT_SET, &samplesInRun, nullptr, &len,
                                            nullptr) < 0 ||
                        H5Dwrite(set, H5T_NATIVE_DOUBLE, mem, space, H5P_DEFAULT,
                                 b.channels.at(i)->values.constData()) < 0)) {
            *error = failure(tr("ошибка записи"));
            return false;
        }
    }
    const RowLayout layout(n);
    fillRow(row.data(), layout, b, runInfo);
    const hsize_t rowIndex = hsize_t(runBlocks), rows = rowIndex + 1, one = 1;
    if (H5Dset_extent(blockSet, &rows) < 0) {
        *error = failure(tr("ошибка записи"));
        return false;
    }
    H5Id space(H5Dget_space(blockSet), H5Sclose);
    H5Id mem(H5Screate_simple(1, &one, nullptr), H5Sclose);
    if (H5Sselect_hyperslab(space, H5S_SELECT_SET, &rowIndex, nullptr, &one, nullptr) < 0 ||
        H5Dwrite(blockSet, rowType, mem, space, H5P_DEFAULT, row.data()) < 0 ||
        // The block is complete once the library has handed it to the system.
        H5Fflush(file, H5F_SCOPE_LOCAL) < 0) {
        *error = failure(tr("ошибка записи"));
        return false;
    }
    samplesInRun = newSize;
    nextSample = b.firstSample + qint64(len);
    fileSamples += qint64(len) * n;
    if (firstTimeMs < 0)
        firstTimeMs = b.receivedMs;
    ++runBlocks;
    return true;
}

bool RecordingFile::endRun(const RunEnd &end, const QString &continuedIn, QString *error)
{
    const std::lock_guard<std::mutex> lock(modeSwitchMutex());
    if (!inRun())
        return true;
    const QByteArray name = runName;
    runName.clear();
    if (!reopenForObjects(error))
        return false;
    errno = 0;
    if (runGroup < 0)
        runGroup = H5Gopen2(file, name.constData(), H5P_DEFAULT);
    const bool ok = runGroup >= 0 && intAttribute(runGroup, "end_code", end.code) &&
                    stringAttribute(runGroup, "end_reason", end.reason) &&
                    stringAttribute(runGroup, "continued_in", continuedIn) &&
                    H5Fflush(file, H5F_SCOPE_LOCAL) >= 0;
    closeRunObjects();
    if (!ok)
        *error = failure(tr("ошибка записи"));
    return ok;
}

bool RecordingFile::close(QString *error)
{
    const std::lock_guard<std::mutex> lock(modeSwitchMutex());
    closeRunObjects();
    bool ok = true;
    if (file >= 0) {
        errno = 0;
        // A failed close is not repeated: the library crashes on a second one.
        ok = H5Fclose(file) >= 0;
        if (!ok)
            *error = failure(tr("ошибка записи"));
        file = -1;
    }
    if (fapl >= 0)
        H5Pclose(fapl);
    fapl = -1;
    swmr = false;
    return ok;
}
