#include "headlessrecording.h"

#include "apierror.h"
#include "deviceconfig.h"
#include "grv480recvthread.h"
#include "recordingrun.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <cmath>
#include <unistd.h>

namespace {

constexpr quint32 ServerAddress = 0x7F000001; // the crate server runs on this machine

QString mib(qint64 bytes)
{
    return QString::number(bytes / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MiB");
}

QString hms(double seconds)
{
    const qint64 s = qint64(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString moduleError(const QString &what, int err)
{
    return HeadlessRecording::tr("%1. Ошибка %2: %3")
        .arg(what, QString::number(err), apiErrorText(err));
}

} // namespace

qint64 HeadlessRecording::parseDuration(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^(\\d+(?:\\.\\d+)?)(ms|s|m|h)?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return -1;
    const double v = m.captured(1).toDouble();
    const QString unit = m.captured(2);
    const double scale = unit == QLatin1String("ms")  ? 1.0
                         : unit == QLatin1String("m") ? 60000.0
                         : unit == QLatin1String("h") ? 3600000.0
                                                      : 1000.0;
    const double ms = std::round(v * scale);
    // A year is more than any bench runs, and keeps the arithmetic far from overflow.
    return ms >= 1 && ms <= 366.0 * 24 * 3600000 ? qint64(ms) : -1;
}

QVector<int> HeadlessRecording::parseChannels(const QString &text, QString *error)
{
    QVector<int> out;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.trimmed().split(QLatin1Char('-'));
        bool ok1 = false, ok2 = true;
        const int a = ends.value(0).toInt(&ok1);
        const int b = ends.size() == 2 ? ends.at(1).toInt(&ok2) : a;
        if (ends.size() > 2 || !ok1 || !ok2 || a < 1 || b > DeviceConfig::ChannelCount || a > b) {
            *error = tr("неверный список каналов \"%1\" (каналы 1..16)").arg(text);
            return {};
        }
        for (int c = a; c <= b; ++c) {
            if (out.contains(c)) {
                *error = tr("канал %1 указан дважды").arg(c);
                return {};
            }
            out.append(c);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

qint64 HeadlessRecording::parseSize(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^(\\d+)([KMG]?)i?B?$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return -1;
    const QString unit = m.captured(2).toUpper();
    const int shift = unit == QLatin1String("K")   ? 10
                      : unit == QLatin1String("M") ? 20
                      : unit == QLatin1String("G") ? 30
                                                   : 0;
    bool ok = false;
    const qint64 v = m.captured(1).toLongLong(&ok);
    if (!ok || v <= 0 || v > (qint64(1) << (62 - shift)))
        return -1;
    return v << shift;
}

QString HeadlessRecording::usage()
{
    return QStringLiteral(
        "Usage: grv480-record --crate SERIAL --slot N [--channels 1,2,5] [--config FILE.gm480cfg]\n"
        "                     --duration 90s|10m|2h --out FILE.h5 [--port P]\n"
        "                     [--split-size 2G] [--split-time 1h]\n"
        "Records every sample of a GRV480 module into an HDF5 file.\n"
        "\n"
        "  --crate SERIAL    the crate's serial number\n"
        "  --slot N          the module's slot in the crate\n"
        "  --channels LIST   channels to record (1-16, e.g. 1,2,5 or 1-4); default: those\n"
        "                    enabled in the configuration file\n"
        "  --config FILE     a configuration saved by the monitor (.gm480cfg);\n"
        "                    default: the module's default configuration\n"
        "  --duration D      measured time to record: 1500ms, 90s, 10m, 2h\n"
        "  --out FILE        the recording; an existing file is never overwritten\n"
        "  --port P          the crate server's port (default: GRV480_SERVER_PORT, else 11111)\n"
        "  --split-size S    start a new file FILE_0002.h5 ... at this size (500M, 2G)\n"
        "  --split-time D    start a new file after this much measured time\n"
        "\n"
        "Exit status: 0 the whole duration was recorded, 1 a module or file error,\n"
        "2 a usage error. SIGINT and SIGTERM end the recording with a valid file.\n");
}

bool HeadlessRecording::parseArguments(const QStringList &argv, quint16 defaultPort, Arguments *a,
                                       QString *error)
{
    *a = Arguments();
    a->port = defaultPort;
    bool haveDuration = false;
    for (int i = 0; i < argv.size(); ++i) {
        const QString opt = argv.at(i);
        if (opt == QLatin1String("--help") || opt == QLatin1String("-h")) {
            a->help = true;
            return true;
        }
        static const QStringList withValue = {
            QStringLiteral("--crate"),     QStringLiteral("--slot"),
            QStringLiteral("--channels"),  QStringLiteral("--config"),
            QStringLiteral("--duration"),  QStringLiteral("--out"),
            QStringLiteral("--port"),      QStringLiteral("--split-size"),
            QStringLiteral("--split-time")};
        if (!withValue.contains(opt)) {
            *error = tr("неизвестный параметр %1").arg(opt);
            return false;
        }
        if (i + 1 >= argv.size()) {
            *error = tr("у параметра %1 нет значения").arg(opt);
            return false;
        }
        const QString v = argv.at(++i);
        bool ok = true;
        if (opt == QLatin1String("--crate")) {
            a->crate = v;
            ok = !v.isEmpty();
        } else if (opt == QLatin1String("--slot")) {
            a->slot = v.toInt(&ok);
            ok = ok && a->slot >= 0 && a->slot < 65536;
        } else if (opt == QLatin1String("--channels")) {
            a->channels = parseChannels(v, error);
            if (a->channels.isEmpty())
                return false;
        } else if (opt == QLatin1String("--config")) {
            a->configFile = v;
        } else if (opt == QLatin1String("--duration")) {
            a->durationMs = parseDuration(v);
            ok = a->durationMs > 0;
            haveDuration = true;
        } else if (opt == QLatin1String("--out")) {
            a->out = v;
            ok = !v.isEmpty();
        } else if (opt == QLatin1String("--port")) {
            const int p = v.toInt(&ok);
            ok = ok && p > 0 && p <= 65535;
            a->port = quint16(p);
        } else if (opt == QLatin1String("--split-size")) {
            a->splitBytes = parseSize(v);
            ok = a->splitBytes > 0;
        } else if (opt == QLatin1String("--split-time")) {
            a->splitMs = parseDuration(v);
            ok = a->splitMs > 0;
        }
        if (!ok) {
            *error = tr("неверное значение %1 %2").arg(opt, v);
            return false;
        }
    }
    QStringList missing;
    if (a->crate.isEmpty())
        missing << QStringLiteral("--crate");
    if (a->slot < 0)
        missing << QStringLiteral("--slot");
    if (!haveDuration)
        missing << QStringLiteral("--duration");
    if (a->out.isEmpty())
        missing << QStringLiteral("--out");
    if (!missing.isEmpty()) {
        *error = tr("не хватает параметров: %1").arg(missing.join(QStringLiteral(", ")));
        return false;
    }
    if (a->channels.isEmpty() && a->configFile.isEmpty()) {
        *error = tr("укажите каналы (--channels) или файл конфигурации (--config)");
        return false;
    }
    return true;
}

HeadlessRecording::HeadlessRecording(const Arguments &arguments, QObject *parent)
    : QObject(parent)
    , args(arguments)
{
    GRV480_Init(&handle);
    procThread.setObjectName(QStringLiteral("GRV480 processing"));
    tty = ::isatty(STDOUT_FILENO);
    progressTimer.setInterval(tty ? 500 : 1000);
    connect(&progressTimer, &QTimer::timeout, this, [this] { showProgress(false); });
    connect(&recorder, &MeasurementRecorder::stopped, this, [this](const QString &message) {
        finish(Failed, message, RunEnd{0, message});
    });
}

HeadlessRecording::~HeadlessRecording()
{
    if (recvThread) {
        recvThread->requestStop();
        recvThread->wait();
        delete recvThread;
    }
    recorder.stop(RunEnd{0, QStringLiteral("Запись прервана")});
    procThread.quit();
    procThread.wait();
    if (opened)
        GRV480_Close(&handle);
}

bool HeadlessRecording::fail(const QString &message)
{
    std::fprintf(stderr, "grv480-record: %s\n", qUtf8Printable(message));
    code = Failed;
    done = true;
    return false;
}

bool HeadlessRecording::start()
{
    // Nothing is touched before the target is known to be usable.
    const bool divided = args.splitBytes > 0 || args.splitMs > 0;
    const QString target = divided ? MeasurementRecorder::partPath(args.out, 1) : args.out;
    const QString problem = MeasurementRecorder::checkTarget(target);
    if (!problem.isEmpty())
        return fail(problem);

    DeviceConfig config;
    if (!args.configFile.isEmpty()) {
        if (!QFileInfo(args.configFile).isFile())
            return fail(tr("%1: файл конфигурации не найден").arg(args.configFile));
        QSettings file(args.configFile, QSettings::IniFormat);
        if (file.status() != QSettings::NoError)
            return fail(tr("%1: ошибка открытия файла").arg(args.configFile));
        if (!DeviceConfig::hasSettings(file))
            return fail(tr("%1: неверный формат файла конфигурации").arg(args.configFile));
        config.loadSettings(file);
    } else {
        QSettings none(QStringLiteral("/dev/null"), QSettings::IniFormat);
        config.loadSettings(none); // the defaults of a missing configuration
    }
    if (!args.channels.isEmpty()) {
        for (int i = 0; i < DeviceConfig::ChannelCount; ++i)
            config.setChannelEnabled(i, args.channels.contains(i + 1));
    }
    if (config.enabledChannelCount() == 0)
        return fail(tr("в конфигурации нет ни одного канала"));

    const QByteArray crate = args.crate.toLocal8Bit();
    int err = GRV480_Open(&handle, ServerAddress, args.port, crate.constData(), quint16(args.slot));
    if (err != 0)
        return fail(moduleError(tr("Не удалось установить связь с модулем"), err));
    opened = true;
    config.fillDeviceConfig(&handle);
    err = GRV480_SetADC(&handle);
    if (err != 0)
        return fail(moduleError(tr("Не удалось записать конфигурацию модуля"), err));

    MeasurementRecorder::Options o;
    o.path = args.out;
    o.splitBytes = args.splitBytes;
    o.splitMs = args.splitMs;
    o.programVersion = QCoreApplication::applicationVersion();
    QString error;
    if (!recorder.start(o, &error))
        return fail(error);

    RecordingRun run = RecordingRun::fromConfig(config);
    const char *sn = handle.info.moduleSerial;
    run.moduleSerial =
        QString::fromLocal8Bit(sn, int(qstrnlen(sn, sizeof handle.info.moduleSerial)));
    run.crateSerial = args.crate;
    run.slot = args.slot;

    processor.moveToThread(&procThread);
    procThread.start(QThread::InheritPriority);
    // Straight from the processing thread: the recorder queues for itself.
    connect(
        &processor, &DataBlockProcessor::newBlock, &processor,
        [this](const QSharedPointer<DataBlockProcessor::DataBlock> &b) { onBlock(b); },
        Qt::DirectConnection);

    recvThread = new GRV480RecvThread(&handle, unsigned(std::max(0.0, config.measTime)));
    recorder.beginRun(recvThread->runId(), run);
    connect(recvThread, &GRV480RecvThread::dataReceived, &processor,
            &DataBlockProcessor::processFrame);
    connect(recvThread, &QThread::finished, this, &HeadlessRecording::onAcquisitionEnded);
    recvThread->start(QThread::InheritPriority);
    progressTimer.start();
    showProgress(false);
    return true;
}

// On the processing thread.
void HeadlessRecording::onBlock(const QSharedPointer<DataBlockProcessor::DataBlock> &block)
{
    if (durationReached.load() || !block || block->channels.isEmpty() || !block->channels.first())
        return;
    const auto &c = *block->channels.first();
    recorder.push(block);
    const qint64 us =
        pushedUs.fetch_add(qint64(std::llround(c.values.size() * c.sampleInterval * 1e6))) +
        qint64(std::llround(c.values.size() * c.sampleInterval * 1e6));
    if (us >= args.durationMs * 1000) {
        durationReached = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                finish(Complete, QString(), RunEnd{0, QStringLiteral("Записано заданное время")});
            },
            Qt::QueuedConnection);
    }
}

void HeadlessRecording::onAcquisitionEnded()
{
    if (done || !recvThread)
        return;
    recvThread->wait();
    const int err = recvThread->lastError();
    const QString message = err != 0 ? moduleError(tr("Ошибка приема данных"), err)
                                     : QStringLiteral("Сбор данных остановился");
    finish(Failed, message, RunEnd{err, message});
}

void HeadlessRecording::interrupt(const QString &why)
{
    finish(durationReached ? Complete : Failed, why, RunEnd{0, why});
}

void HeadlessRecording::finish(int exitCode, const QString &message, const RunEnd &end)
{
    if (done)
        return;
    done = true;
    progressTimer.stop();
    if (recvThread) {
        recvThread->requestStop();
        recvThread->wait();
    }
    // What was acquired before the stop still reaches the recorder: the frames
    // queued to the processor are handled before this empty call returns.
    if (procThread.isRunning())
        QMetaObject::invokeMethod(
            &processor, [] {}, Qt::BlockingQueuedConnection);
    procThread.quit();
    procThread.wait();
    durationReached = true; // no more blocks to the recorder
    if (exitCode == Complete && pushedUs.load() < args.durationMs * 1000)
        exitCode = Failed;
    QString error;
    if (!recorder.stop(end, &error)) {
        exitCode = Failed;
        if (message.isEmpty() || error != message)
            std::fprintf(stderr, "grv480-record: %s\n", qUtf8Printable(error));
    }
    showProgress(true);
    if (!message.isEmpty())
        std::fprintf(exitCode == Complete ? stdout : stderr, "grv480-record: %s\n",
                     qUtf8Printable(message));
    code = exitCode;
    emit finished(exitCode);
}

void HeadlessRecording::showProgress(bool last)
{
    const MeasurementRecorder::Stats s = recorder.stats();
    const QString line =
        tr("%1 / %2  %3  %4 блоков  %5%6")
            .arg(hms(s.seconds), hms(args.durationMs / 1000.0), QFileInfo(s.file).fileName())
            .arg(s.blocks)
            .arg(mib(s.bytesOnDisk),
                 s.freeBytes >= 0 ? tr("  свободно %1").arg(mib(s.freeBytes)) : QString());
    if (tty) {
        std::fprintf(stdout, "\r\033[K%s%s", qUtf8Printable(line), last ? "\n" : "");
    } else {
        // Plain lines for a log: at the start, every ten seconds, and at the end.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (!last && lastPlainLineMs != 0 && now - lastPlainLineMs < 10000)
            return;
        lastPlainLineMs = now;
        std::fprintf(stdout, "%s\n", qUtf8Printable(line));
    }
    std::fflush(stdout);
}
