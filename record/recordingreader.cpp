#include "recordingreader.h"

#include <QCoreApplication>
#include <QFile>

#include <cstring>

namespace {

QString readString(hid_t owner, const char *name)
{
    if (H5Aexists(owner, name) <= 0)
        return QString();
    const hid_t attr = H5Aopen(owner, name, H5P_DEFAULT);
    const hid_t type = H5Aget_type(attr);
    QString out;
    if (H5Tget_class(type) == H5T_STRING && H5Tis_variable_str(type) > 0) {
        char *p = nullptr;
        const hid_t mem = H5Tcopy(H5T_C_S1);
        H5Tset_size(mem, H5T_VARIABLE);
        H5Tset_cset(mem, H5T_CSET_UTF8);
        if (H5Aread(attr, mem, &p) >= 0 && p) {
            out = QString::fromUtf8(p);
            H5free_memory(p);
        }
        H5Tclose(mem);
    }
    H5Tclose(type);
    H5Aclose(attr);
    return out;
}

template <typename T> QVector<T> readArray(hid_t owner, const char *name, hid_t memType)
{
    QVector<T> v;
    if (H5Aexists(owner, name) <= 0)
        return v;
    const hid_t attr = H5Aopen(owner, name, H5P_DEFAULT);
    const hid_t space = H5Aget_space(attr);
    const hssize_t n = H5Sget_simple_extent_npoints(space);
    if (n > 0 && n < 1 << 20) {
        v.resize(int(n));
        if (H5Aread(attr, memType, v.data()) < 0)
            v.clear();
    }
    H5Sclose(space);
    H5Aclose(attr);
    return v;
}

template <typename T> T readScalar(hid_t owner, const char *name, hid_t memType, T fallback)
{
    const QVector<T> v = readArray<T>(owner, name, memType);
    return v.size() == 1 ? v.first() : fallback;
}

qint64 extentOf(hid_t group, const QByteArray &name)
{
    const hid_t set = H5Dopen2(group, name.constData(), H5P_DEFAULT);
    if (set < 0)
        return -1;
    H5Drefresh(set);
    const hid_t space = H5Dget_space(set);
    hsize_t n = 0;
    H5Sget_simple_extent_dims(space, &n, nullptr);
    H5Sclose(space);
    H5Dclose(set);
    return qint64(n);
}

herr_t collectGroup(hid_t, const char *name, const H5L_info_t *, void *data)
{
    if (std::strncmp(name, "run_", 4) == 0)
        static_cast<QStringList *>(data)->append(QString::fromLatin1(name));
    return 0;
}

} // namespace

bool RecordingReader::open(const QString &path, QString *error)
{
    close();
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    const QByteArray native = QFile::encodeName(path);
    // SWMR read also opens a file whose writer was killed before closing it.
    file = H5Fopen(native.constData(), H5F_ACC_RDONLY | H5F_ACC_SWMR_READ, H5P_DEFAULT);
    if (file < 0) {
        *error = tr("%1: не открывается как файл HDF5").arg(path);
        return false;
    }
    version = readScalar<qint64>(file, "format_version", H5T_NATIVE_INT64, 0);
    if (version < 1) {
        *error = tr("%1: это не запись измерения").arg(path);
        close();
        return false;
    }
    return refresh(error);
}

void RecordingReader::close()
{
    if (file >= 0)
        H5Fclose(file);
    file = -1;
    runList.clear();
}

QString RecordingReader::rootText(const char *attribute) const
{
    return file >= 0 ? readString(file, attribute) : QString();
}

qint64 RecordingReader::rootInteger(const char *attribute, qint64 fallback) const
{
    return file >= 0 ? readScalar<qint64>(file, attribute, H5T_NATIVE_INT64, fallback) : fallback;
}

bool RecordingReader::refresh(QString *error)
{
    QStringList names;
    hsize_t idx = 0;
    if (H5Literate(file, H5_INDEX_NAME, H5_ITER_INC, &idx, collectGroup, &names) < 0) {
        *error = tr("Список прогонов не читается");
        return false;
    }
    runList.clear();
    for (const QString &name : names) {
        const QByteArray g = name.toLatin1();
        const hid_t group = H5Gopen2(file, g.constData(), H5P_DEFAULT);
        if (group < 0)
            continue;
        Run r;
        r.group = name;
        r.number = int(readScalar<qint64>(group, "run", H5T_NATIVE_INT64, 0));
        r.channels = readArray<int>(group, "channels", H5T_NATIVE_INT);
        r.rangesMv = readArray<double>(group, "ranges_mv", H5T_NATIVE_DOUBLE);
        r.frameFrequency = readScalar<double>(group, "frame_frequency", H5T_NATIVE_DOUBLE, 0.0);
        r.firstSample = readScalar<qint64>(group, "first_sample", H5T_NATIVE_INT64, 0);
        r.startTimeMs = readScalar<qint64>(group, "start_time_ms", H5T_NATIVE_INT64, 0);
        r.ended = H5Aexists(group, "end_reason") > 0;
        r.endCode = int(readScalar<qint64>(group, "end_code", H5T_NATIVE_INT64, 0));
        r.endReason = readString(group, "end_reason");
        r.configuration = readString(group, "configuration");
        r.blocks = std::max<qint64>(0, extentOf(group, "blocks"));
        // The channels are extended before the block table: the table says what is whole.
        r.samples = r.channels.isEmpty()
                        ? 0
                        : std::max<qint64>(0, extentOf(group, QStringLiteral("ch%1")
                                                                  .arg(r.channels.first(), 2, 10,
                                                                       QLatin1Char('0'))
                                                                  .toLatin1()));
        H5Gclose(group);
        runList.append(r);
    }
    return true;
}

bool RecordingReader::readSamples(int run, int channel, qint64 first, qint64 count,
                                  QVector<double> *out, QString *error) const
{
    if (run < 0 || run >= runList.size() || channel < 0 ||
        channel >= runList.at(run).channels.size() || first < 0 || count < 0) {
        *error = tr("Нет таких данных в записи");
        return false;
    }
    const Run &r = runList.at(run);
    const QByteArray path = QStringLiteral("%1/ch%2")
                                .arg(r.group)
                                .arg(r.channels.at(channel), 2, 10, QLatin1Char('0'))
                                .toLatin1();
    const hid_t set = H5Dopen2(file, path.constData(), H5P_DEFAULT);
    bool ok = set >= 0;
    if (ok) {
        H5Drefresh(set);
        const hid_t space = H5Dget_space(set);
        hsize_t n = 0;
        H5Sget_simple_extent_dims(space, &n, nullptr);
        const hsize_t start = hsize_t(first);
        const hsize_t len = start >= n ? 0 : std::min<hsize_t>(hsize_t(count), n - start);
        out->resize(int(len));
        if (len > 0) {
            const hid_t mem = H5Screate_simple(1, &len, nullptr);
            ok = H5Sselect_hyperslab(space, H5S_SELECT_SET, &start, nullptr, &len, nullptr) >= 0 &&
                 H5Dread(set, H5T_NATIVE_DOUBLE, mem, space, H5P_DEFAULT, out->data()) >= 0;
            H5Sclose(mem);
        }
        H5Sclose(space);
        H5Dclose(set);
    }
    if (!ok)
        *error = tr("Отсчёты канала не читаются");
    return ok;
}

bool RecordingReader::readBlocks(int run, qint64 first, qint64 count, QList<Block> *out,
                                 QString *error) const
{
    out->clear();
    if (run < 0 || run >= runList.size() || first < 0 || count < 0) {
        *error = tr("Нет таких данных в записи");
        return false;
    }
    const Run &r = runList.at(run);
    const hsize_t nch = hsize_t(std::max(1, int(r.channels.size())));
    static const char *figures[] = {"dc",    "ac",    "peak_frequency", "peak_amplitude",
                                    "snr",   "sinad", "enob",           "ux",
                                    "udiff", "ucm"};
    constexpr int FigureCount = int(sizeof figures / sizeof figures[0]);
    // Only the fields asked for; the library converts the rest away.
    const size_t figBytes = nch * sizeof(double);
    const size_t rowSize = 3 * sizeof(qint64) + FigureCount * figBytes + nch * 5;
    const hid_t mem = H5Tcreate(H5T_COMPOUND, rowSize);
    const hid_t figType = H5Tarray_create2(H5T_NATIVE_DOUBLE, 1, &nch);
    const hsize_t lampDims[] = {nch, 5};
    const hid_t lampType = H5Tarray_create2(H5T_NATIVE_UINT8, 2, lampDims);
    H5Tinsert(mem, "receive_time_ms", 0, H5T_NATIVE_INT64);
    H5Tinsert(mem, "first_sample", 8, H5T_NATIVE_INT64);
    H5Tinsert(mem, "sample_count", 16, H5T_NATIVE_INT64);
    for (int k = 0; k < FigureCount; ++k)
        H5Tinsert(mem, figures[k], 24 + size_t(k) * figBytes, figType);
    H5Tinsert(mem, "lamps", 24 + FigureCount * figBytes, lampType);

    const QByteArray path = (r.group + QStringLiteral("/blocks")).toLatin1();
    const hid_t set = H5Dopen2(file, path.constData(), H5P_DEFAULT);
    bool ok = set >= 0;
    if (ok) {
        H5Drefresh(set);
        const hid_t space = H5Dget_space(set);
        hsize_t n = 0;
        H5Sget_simple_extent_dims(space, &n, nullptr);
        const hsize_t start = hsize_t(first);
        const hsize_t len = start >= n ? 0 : std::min<hsize_t>(hsize_t(count), n - start);
        QByteArray buf(int(len * rowSize), '\0');
        if (len > 0) {
            const hid_t ms = H5Screate_simple(1, &len, nullptr);
            ok = H5Sselect_hyperslab(space, H5S_SELECT_SET, &start, nullptr, &len, nullptr) >= 0 &&
                 H5Dread(set, mem, ms, space, H5P_DEFAULT, buf.data()) >= 0;
            H5Sclose(ms);
        }
        for (hsize_t i = 0; ok && i < len; ++i) {
            const char *p = buf.constData() + i * rowSize;
            Block b;
            std::memcpy(&b.receiveTimeMs, p, 8);
            std::memcpy(&b.firstSample, p + 8, 8);
            std::memcpy(&b.sampleCount, p + 16, 8);
            QVector<double> *dest[] = {&b.dc,    &b.ac,    &b.peakFrequency, &b.peakAmplitude,
                                       &b.snr,   &b.sinad, &b.enob,          &b.ux,
                                       &b.udiff, &b.ucm};
            for (int k = 0; k < FigureCount; ++k) {
                dest[k]->resize(int(nch));
                std::memcpy(dest[k]->data(), p + 24 + size_t(k) * figBytes, figBytes);
            }
            b.lamps.resize(int(nch * 5));
            std::memcpy(b.lamps.data(), p + 24 + FigureCount * figBytes, nch * 5);
            out->append(b);
        }
        H5Sclose(space);
        H5Dclose(set);
    }
    H5Tclose(lampType);
    H5Tclose(figType);
    H5Tclose(mem);
    if (!ok)
        *error = tr("Таблица блоков не читается");
    return ok;
}

bool RecordingReader::readStatusRecords(int run, qint64 first, qint64 count,
                                        QList<QByteArray> *frameStatus,
                                        QList<QByteArray> *channelStatus, QString *error) const
{
    frameStatus->clear();
    channelStatus->clear();
    if (run < 0 || run >= runList.size() || first < 0 || count < 0) {
        *error = tr("Нет таких данных в записи");
        return false;
    }
    const Run &r = runList.at(run);
    constexpr hsize_t StatusBytes = 136;
    const hsize_t nch = hsize_t(std::max(1, int(r.channels.size())));
    const size_t rowSize = StatusBytes * (1 + nch);
    const hid_t mem = H5Tcreate(H5T_COMPOUND, rowSize);
    const hid_t frameType = H5Tarray_create2(H5T_NATIVE_UINT8, 1, &StatusBytes);
    const hsize_t chDims[] = {nch, StatusBytes};
    const hid_t chType = H5Tarray_create2(H5T_NATIVE_UINT8, 2, chDims);
    H5Tinsert(mem, "frame_status_raw", 0, frameType);
    H5Tinsert(mem, "channel_status_raw", StatusBytes, chType);

    const QByteArray path = (r.group + QStringLiteral("/blocks")).toLatin1();
    const hid_t set = H5Dopen2(file, path.constData(), H5P_DEFAULT);
    bool ok = set >= 0;
    if (ok) {
        H5Drefresh(set);
        const hid_t space = H5Dget_space(set);
        hsize_t n = 0;
        H5Sget_simple_extent_dims(space, &n, nullptr);
        const hsize_t start = hsize_t(first);
        const hsize_t len = start >= n ? 0 : std::min<hsize_t>(hsize_t(count), n - start);
        QByteArray buf(int(len * rowSize), '\0');
        if (len > 0) {
            const hid_t ms = H5Screate_simple(1, &len, nullptr);
            ok = H5Sselect_hyperslab(space, H5S_SELECT_SET, &start, nullptr, &len, nullptr) >= 0 &&
                 H5Dread(set, mem, ms, space, H5P_DEFAULT, buf.data()) >= 0;
            H5Sclose(ms);
        }
        for (hsize_t i = 0; ok && i < len; ++i) {
            const char *p = buf.constData() + i * rowSize;
            frameStatus->append(QByteArray(p, int(StatusBytes)));
            channelStatus->append(QByteArray(p + StatusBytes, int(nch * StatusBytes)));
        }
        H5Sclose(space);
        H5Dclose(set);
    }
    H5Tclose(chType);
    H5Tclose(frameType);
    H5Tclose(mem);
    if (!ok)
        *error = tr("Таблица блоков не читается");
    return ok;
}
