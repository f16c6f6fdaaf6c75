#include "measurementexport.h"

#include "decimalaxis.h"
#include "envelopegraph.h"
#include "resultrules.h"

#include <hdf5.h>

#include <qcustomplot.h>

#include "fileerror.h"
#include "hdf5attributes.h"
#include "safefilewriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPdfWriter>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

using MeasurementTable::numberText;

namespace MeasurementExport {

namespace {

constexpr int FlushBytes = 1 << 20;
constexpr int RowsPerCheck = 4096;
constexpr hsize_t SlabLength = 1 << 18;

// Builds CSV text (comma, dot as decimal separator, UTF-8) into a buffer the
// caller empties into the file now and then.
class CsvText
{
public:
    CsvText() { buf.reserve(FlushBytes + 4096); }

    void field(const QString &s)
    {
        separate();
        const QByteArray u = s.toUtf8();
        if (u.contains(',') || u.contains('"') || u.contains('\n') || u.contains('\r')) {
            QByteArray q = u;
            q.replace('"', "\"\"");
            buf += '"' + q + '"';
        } else {
            buf += u;
        }
    }
    void number(double v)
    {
        separate();
        char tmp[32];
        const auto res = std::to_chars(tmp, tmp + sizeof tmp, v);
        buf.append(tmp, int(res.ptr - tmp));
    }
    void decimal(const DecimalAxis &axis, qint64 i)
    {
        separate();
        axis.appendText(buf, i);
    }
    void empty() { separate(); }
    void row(const QStringList &fields)
    {
        for (const QString &f : fields)
            field(f);
        endRow();
    }
    void endRow()
    {
        buf += '\n';
        first = true;
    }

    QByteArray buf;

private:
    void separate()
    {
        if (!first)
            buf += ',';
        first = false;
    }
    bool first = true;
};

QString fileError(const QString &path, const QString &reason)
{
    return QCoreApplication::translate("MeasurementExport", "Не удалось сохранить файл %1: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

void headerBlock(CsvText &out, const MeasurementSnapshot &s)
{
    for (const QStringList &row : MeasurementTable::headerRows(s))
        out.row(row);
    out.row({QStringLiteral("Время блока"), MeasurementTable::timeText(s.blockTime)});
    // Name, unit, scaling (linear;factor;offset, two-point;mV:value;...,
    // table;mV:value;...) and software zero of each channel with a sensor.
    for (const QStringList &row : MeasurementTable::sensorRows(s))
        out.row(row);
    out.endRow();
}

struct Channel
{
    int number;
    const DataBlockProcessor::ChResult *result;
    int row; // of the block, for the channel's sensor
};

QVector<Channel> channelsOf(const MeasurementSnapshot &s)
{
    QVector<Channel> out;
    for (int r = 0; r < s.channelCount(); ++r) {
        if (const auto *c = s.block->channels.at(r).data())
            out.append({r < s.channelNumbers.size() ? s.channelNumbers.at(r) : r + 1, c, r});
    }
    return out;
}

// A CSV file through SafeFileWriter: written beside the target, renamed over it by commit().
class CsvFile
{
public:
    explicit CsvFile(const QString &path)
        : file(path)
        , path(path)
    {
    }

    bool open(Result *r)
    {
        if (file.open())
            return true;
        r->error = fileError(path, file.errorString());
        return false;
    }
    // Writes out what the buffer holds once it is large enough, or always when forced.
    bool drain(CsvText &text, Result *r, bool force = false)
    {
        if (!force && text.buf.size() < FlushBytes)
            return true;
        if (!file.write(text.buf)) {
            r->error = fileError(path, file.errorString());
            file.discard();
            return false;
        }
        text.buf.clear();
        return true;
    }
    bool commit(CsvText &text, Result *r)
    {
        if (!drain(text, r, true))
            return false;
        if (!file.commit()) {
            r->error = fileError(path, file.errorString());
            return false;
        }
        r->ok = true;
        return true;
    }
    void cancel(Result *r)
    {
        file.discard();
        r->cancelled = true;
    }

private:
    SafeFileWriter file;
    QString path;
};

Result writeResultsCsv(const MeasurementSnapshot &s, const QString &path)
{
    Result r;
    CsvFile file(path);
    if (!file.open(&r))
        return r;
    CsvText out;
    headerBlock(out, s);
    out.row(MeasurementTable::resultColumnTitles());
    for (const QStringList &row : MeasurementTable::resultRows(s))
        out.row(row);
    out.endRow();
    out.row({QStringLiteral("Состояние")});
    for (const QStringList &row : MeasurementTable::statusRows(s))
        out.row(row);
    file.commit(out, &r);
    return r;
}

// The time and frequency axes from their steps (ChResult keeps no axis).
DecimalAxis timeAxis(const DataBlockProcessor::ChResult &c)
{
    return DecimalAxis(c.sampleInterval, 3); // s -> ms
}

DecimalAxis freqAxis(const DataBlockProcessor::ChResult &c)
{
    return DecimalAxis(c.freqStep);
}

QVector<double> axisValues(const DecimalAxis &axis, int count)
{
    QVector<double> v(count);
    for (int i = 0; i < count; ++i)
        v[i] = axis.value(i);
    return v;
}

// The channel that has the most entries of an axis.
template <typename Size>
const DataBlockProcessor::ChResult *longest(const QVector<Channel> &channels, Size size)
{
    const DataBlockProcessor::ChResult *best = nullptr;
    for (const Channel &c : channels) {
        if (!best || size(*c.result) > size(*best))
            best = c.result;
    }
    return best;
}

void cell(CsvText &out, const QVector<double> &v, int i)
{
    if (i < v.size())
        out.number(v.at(i));
    else
        out.empty();
}

void cell(CsvText &out, const DecimalAxis &axis, int count, int i)
{
    if (i < count)
        out.decimal(axis, i);
    else
        out.empty();
}

Result writeSamplesCsv(const MeasurementSnapshot &s, const QString &path, Progress *p)
{
    using R = DataBlockProcessor::ChResult;
    Result r;
    CsvFile file(path);
    if (!file.open(&r))
        return r;
    const QVector<Channel> channels = channelsOf(s);
    const R *timed = longest(channels, [](const R &c) { return c.values.size(); });
    const R *binned = longest(channels, [](const R &c) { return c.freqBins; });
    const DecimalAxis time = timed ? timeAxis(*timed) : DecimalAxis(0.0);
    const DecimalAxis freq = binned ? freqAxis(*binned) : DecimalAxis(0.0);
    const int timeCount = timed ? timed->values.size() : 0;
    const int freqCount = binned ? binned->freqBins : 0;
    const int rows = std::max(timeCount, freqCount);
    p->total = std::max(rows, 1);

    CsvText out;
    headerBlock(out, s);
    out.field(QStringLiteral("Время, мс"));
    for (const Channel &c : channels)
        out.field(QStringLiteral("Канал %1, мВ").arg(c.number));
    out.field(QStringLiteral("Частота, Гц"));
    for (const Channel &c : channels)
        out.field(QStringLiteral("Канал %1, дБ").arg(c.number));
    out.endRow();

    for (int i = 0; i < rows; ++i) {
        cell(out, time, timeCount, i);
        for (const Channel &c : channels)
            cell(out, c.result->values, i);
        cell(out, freq, freqCount, i);
        for (const Channel &c : channels)
            cell(out, c.result->spectrum, i);
        out.endRow();
        if (i % RowsPerCheck == 0) {
            if (!file.drain(out, &r))
                return r;
            p->done = i;
            if (p->cancel) {
                file.cancel(&r);
                return r;
            }
        }
    }
    file.commit(out, &r);
    p->done = rows;
    return r;
}

// --- HDF5 ------------------------------------------------------------------

// The serial HDF5 library is not thread-safe; two exports take turns.
std::mutex &hdf5Mutex()
{
    static std::mutex m;
    return m;
}

using H5Id = Hdf5::Id;
using Hdf5::doubleAttribute;
using Hdf5::stringAttribute;

// The channel and slot numbers as the export has always stored them: 32 bits.
bool integerAttribute(hid_t owner, const char *name, int value)
{
    return Hdf5::intAttribute(owner, name, value, H5T_STD_I32LE);
}

// The sensor of a channel group, when it has one: name, unit, scaling, zero
// and the block's DC and AC in the unit. The samples stay in mV.
bool sensorAttributes(hid_t group, const MeasurementSnapshot &s, int row)
{
    if (row >= s.channelSensors.size() || !s.channelSensors.at(row).hasSensor())
        return true;
    const ChannelSensor &c = s.channelSensors.at(row);
    const MeasurementTable::PhysicalValue v = MeasurementTable::physicalValue(s, row);
    return stringAttribute(group, "sensor", c.sensorName) &&
           stringAttribute(group, "unit", c.unit) &&
           stringAttribute(group, "scaling", c.scaling.toText()) &&
           doubleAttribute(group, "zero", c.zeroSet ? c.zero : 0.0) &&
           doubleAttribute(group, "value_dc", v.dc) && doubleAttribute(group, "value_ac", v.ac);
}

// One 1-D dataset of doubles, written in slabs so that a cancel is heard.
// Returns false on an HDF5 error; *cancelled tells a cancel apart.
bool dataset(hid_t group, const char *name, const char *unit, const QVector<double> &v, Progress *p,
             bool *cancelled)
{
    const hsize_t n = hsize_t(v.size());
    H5Id space(H5Screate_simple(1, &n, nullptr), H5Sclose);
    H5Id set(H5Dcreate2(group, name, H5T_IEEE_F64LE, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
             H5Dclose);
    if (!set.valid() || !stringAttribute(set, "unit", QString::fromUtf8(unit)))
        return false;
    for (hsize_t start = 0; start < n; start += SlabLength) {
        if (p->cancel) {
            *cancelled = true;
            return false;
        }
        const hsize_t count = std::min(SlabLength, n - start);
        H5Id mem(H5Screate_simple(1, &count, nullptr), H5Sclose);
        if (H5Sselect_hyperslab(space, H5S_SELECT_SET, &start, nullptr, &count, nullptr) < 0 ||
            H5Dwrite(set, H5T_NATIVE_DOUBLE, mem, space, H5P_DEFAULT, v.constData() + start) < 0)
            return false;
        p->done += qint64(count);
    }
    return set.close();
}

bool writeHdf5Content(hid_t file, const MeasurementSnapshot &s, Progress *p, bool *cancelled)
{
    if (!stringAttribute(file, "module_serial", s.moduleSerial) ||
        !stringAttribute(file, "crate_serial", s.crateSerial) ||
        !integerAttribute(file, "slot", s.slot) ||
        !stringAttribute(file, "configuration", s.configSummary) ||
        !stringAttribute(file, "block_time", MeasurementTable::timeText(s.blockTime)))
        return false;
    // The channels of a block share their axes: each is stored once at the top
    // and every channel group links to it.
    const QVector<Channel> channels = channelsOf(s);
    // A channel whose axis has the first channel's spacing and length links to it.
    const DataBlockProcessor::ChResult *first = nullptr;
    if (!channels.isEmpty()) {
        first = channels.first().result;
        if (!dataset(file, "time", "ms", axisValues(timeAxis(*first), first->values.size()), p,
                     cancelled) ||
            !dataset(file, "frequency", "Hz", axisValues(freqAxis(*first), first->freqBins), p,
                     cancelled))
            return false;
    }
    auto axis = [&](hid_t group, const char *name, const char *unit, bool shared,
                    const std::function<QVector<double>()> &build) {
        if (shared)
            return H5Lcreate_hard(file, name, group, name, H5P_DEFAULT, H5P_DEFAULT) >= 0;
        return dataset(group, name, unit, build(), p, cancelled);
    };
    for (const Channel &c : channels) {
        const QByteArray name =
            QStringLiteral("channel_%1").arg(c.number, 2, 10, QLatin1Char('0')).toLatin1();
        H5Id group(H5Gcreate2(file, name.constData(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
                   H5Gclose);
        const DataBlockProcessor::ChResult &ch = *c.result;
        if (!group.valid() || !integerAttribute(group, "channel", c.number) ||
            !doubleAttribute(group, "range_mV", ch.rangeMv) ||
            !doubleAttribute(group, "dc_mV", ch.dc) || !doubleAttribute(group, "ac_mV", ch.ac) ||
            !sensorAttributes(group, s, c.row) ||
            !axis(group, "time", "ms",
                  ch.sampleInterval == first->sampleInterval &&
                      ch.values.size() == first->values.size(),
                  [&ch] { return axisValues(timeAxis(ch), ch.values.size()); }) ||
            !dataset(group, "values", "mV", ch.values, p, cancelled) ||
            !axis(group, "frequency", "Hz",
                  ch.freqStep == first->freqStep && ch.freqBins == first->freqBins,
                  [&ch] { return axisValues(freqAxis(ch), ch.freqBins); }) ||
            !dataset(group, "spectrum", "dB", ch.spectrum, p, cancelled))
            return false;
    }
    return true;
}

Result writeHdf5(const MeasurementSnapshot &s, const QString &path, Progress *p)
{
    Result r;
    // The library writes by name: into the writer's temporary file, which a
    // later write to the folder removes should the program die meanwhile.
    SafeFileWriter staged(path);
    if (!staged.open()) {
        r.error = fileError(path, staged.errorString());
        return r;
    }
    const QByteArray tmpName = QFile::encodeName(staged.tempPath());

    qint64 total = 0;
    for (const Channel &c : channelsOf(s))
        total += c.result->values.size() + c.result->spectrum.size();
    p->total = std::max<qint64>(total, 1);

    bool cancelled = false;
    bool ok;
    int writeErrno = 0;
    {
        std::lock_guard<std::mutex> lock(hdf5Mutex());
        static const bool initialised = [] {
            // A file whose close failed (disk full) stays in the library's
            // tables, and the library's own clean-up at exit then crashes on it.
            // Without that clean-up such a file is only a leak.
            H5dont_atexit();
            H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); // errors become our message, not stderr
            return true;
        }();
        Q_UNUSED(initialised)
        errno = 0;
        const hid_t id = H5Fcreate(tmpName.constData(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
        ok = id >= 0 && writeHdf5Content(id, s, p, &cancelled);
        if (!ok)
            writeErrno = errno;
        // A failed close is not repeated: the library crashes on the second.
        if (id >= 0 && H5Fclose(id) < 0) {
            if (ok)
                writeErrno = errno;
            ok = false;
        }
    }
    if (cancelled) {
        r.cancelled = true;
        return r;
    }
    if (!ok) {
        // the library keeps the system's reason in errno when it has one
        r.error = fileError(path, writeErrno ? fileErrorText(writeErrno)
                                             : QCoreApplication::translate("MeasurementExport",
                                                                           "ошибка записи HDF5"));
        return r;
    }
    r.ok = staged.commit();
    if (!r.ok)
        r.error = fileError(path, staged.errorString());
    return r;
}

} // namespace

Result write(const MeasurementSnapshot &s, Format format, const QString &path, Progress *progress)
{
    Progress own;
    Progress *p = progress ? progress : &own;
    if (!s.block) {
        Result r;
        r.error = QCoreApplication::translate("MeasurementExport", "Нет измерения для сохранения");
        return r;
    }
    switch (format) {
    case Format::ResultsCsv:
        return writeResultsCsv(s, path);
    case Format::SamplesCsv:
        return writeSamplesCsv(s, path, p);
    case Format::SamplesHdf5:
        return writeHdf5(s, path, p);
    }
    return Result{};
}

PlotView viewOf(const QCustomPlot *plot, bool spectrum)
{
    PlotView v;
    v.spectrum = spectrum;
    v.xMin = plot->xAxis->range().lower;
    v.xMax = plot->xAxis->range().upper;
    v.yMin = plot->yAxis->range().lower;
    v.yMax = plot->yAxis->range().upper;
    v.xLabel = plot->xAxis->label();
    v.yLabel = plot->yAxis->label();
    v.size = plot->size();
    return v;
}

QCustomPlot *buildPlot(const MeasurementSnapshot &s, const PlotView &view)
{
    auto *plot = new QCustomPlot;
    plot->setAttribute(Qt::WA_DontShowOnScreen);
    plot->resize(view.size.isValid() && !view.size.isEmpty() ? view.size : QSize(800, 500));
    plot->xAxis->setLabel(view.xLabel);
    plot->yAxis->setLabel(view.yLabel);
    plot->xAxis->setRange(view.xMin, view.xMax);
    plot->yAxis->setRange(view.yMin, view.yMax);

    const QString when =
        s.blockTime.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    QString title = QCoreApplication::translate("MeasurementExport", "Модуль %1, блок %2")
                        .arg(s.moduleSerial, when);
    title += view.spectrum ? QCoreApplication::translate("MeasurementExport", " — спектр")
                           : QCoreApplication::translate("MeasurementExport", " — сигнал");
    QFont titleFont = plot->font();
    titleFont.setBold(true);
    plot->plotLayout()->insertRow(0);
    plot->plotLayout()->addElement(0, 0, new QCPTextElement(plot, title, titleFont));

    // Below the plot, in columns, so that sixteen channels cover no data.
    plot->legend->setVisible(true);
    plot->axisRect()->insetLayout()->take(plot->legend);
    plot->plotLayout()->addElement(2, 0, plot->legend);
    plot->plotLayout()->setRowStretchFactor(2, 0.001);
    plot->legend->setFillOrder(QCPLegend::foColumnsFirst);
    plot->legend->setWrap(8);
    plot->legend->setBorderPen(Qt::NoPen);

    if (s.block) {
        for (int r : s.plottedRows) {
            if (r < 0 || r >= s.block->channels.size() || !s.block->channels.at(r))
                continue;
            const DataBlockProcessor::ChResult &c = *s.block->channels.at(r);
            const int ch = r < s.channelNumbers.size() ? s.channelNumbers.at(r) : 0;
            auto *g = new EnvelopeGraph(plot->xAxis, plot->yAxis);
            g->setPen(QPen(ResultRules::channelColor(ch - 1)));
            g->setName(QCoreApplication::translate("MeasurementExport", "Канал %1").arg(ch));
            if (view.spectrum)
                g->setSource(1.0, c.freqStep, c.spectrum);
            else
                g->setSource(1000.0, c.sampleInterval, c.values);
        }
    }
    plot->replot(QCustomPlot::rpImmediateRefresh);
    return plot;
}

Result savePlot(const MeasurementSnapshot &s, const PlotView &view, const QString &path, bool pdf)
{
    // Drawn into the writer's device rather than by the plot library's own
    // savePng/savePdf, which write by name and report no failed write.
    Result r;
    const std::unique_ptr<QCustomPlot> plot(buildPlot(s, view));
    SafeFileWriter file(path);
    if (!file.open()) {
        r.error = fileError(path, file.errorString());
        return r;
    }
    bool drawn = false;
    if (pdf) {
        const int w = plot->width();
        const int h = plot->height();
        QPdfWriter writer(file.device());
        writer.setCreator(QCoreApplication::applicationName());
        // one point per pixel, as the library's own PDF export
        writer.setResolution(72);
        writer.setPageLayout(
            QPageLayout(QPageSize(QSizeF(w, h), QPageSize::Point, QString(), QPageSize::ExactMatch),
                        QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        QCPPainter painter;
        if (painter.begin(&writer)) {
            painter.setMode(QCPPainter::pmVectorized);
            painter.setMode(QCPPainter::pmNoCaching);
            plot->toPainter(&painter, w, h);
            drawn = painter.end();
        }
    } else {
        QImage image = plot->toPixmap().toImage();
        // 96 dpi, as the library's own PNG export
        image.setDotsPerMeterX(3780);
        image.setDotsPerMeterY(3780);
        drawn = image.save(file.device(), "PNG");
    }
    if (!drawn && file.errorString().isEmpty()) {
        r.error = fileError(
            path, QCoreApplication::translate("MeasurementExport", "график не удалось отрисовать"));
        return r;
    }
    if (!file.commit()) {
        r.error = fileError(path, file.errorString());
        return r;
    }
    r.ok = true;
    return r;
}

} // namespace MeasurementExport
