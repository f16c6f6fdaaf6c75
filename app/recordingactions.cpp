#include "recordingactions.h"

#include "datablockprocessor.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QThread>

#include <cmath>

namespace {

const char SettingsGroup[] = "MeasurementRecording";

// How the recording says its last run ended when the window closes.
RunEnd windowClosed()
{
    return RunEnd{0, QStringLiteral("Окно закрыто")};
}
const char DirKey[] = "Dir";

QString sizeText(qint64 bytes)
{
    if (bytes < 1024 * 1024)
        return RecordingActions::tr("%1 КиБ").arg(bytes / 1024);
    if (bytes < qint64(1024) * 1024 * 1024)
        return RecordingActions::tr("%1 МиБ").arg(QLocale().toString(bytes / 1048576.0, 'f', 1));
    return RecordingActions::tr("%1 ГиБ").arg(QLocale().toString(bytes / 1073741824.0, 'f', 2));
}

QString durationText(double seconds)
{
    const qint64 s = qint64(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

RecordingActions::RecordingActions(QMainWindow *window, DataBlockProcessor *processor,
                                   Describer describer)
    : QObject(window)
    , window(window)
    , processor(processor)
    , describe(std::move(describer))
    , recordAct(
          new QAction(QIcon(QStringLiteral(":/icons/measurement_record.png")), QString(), window))
    , label(new QLabel(window))
{
    recordAct->setObjectName(QStringLiteral("actionRecordMeasurement"));
    recordAct->setCheckable(true);
    recordAct->setShortcut(QKeySequence(Qt::Key_F9));
    retranslate();
    window->statusBar()->addPermanentWidget(label);
    label->setObjectName(QStringLiteral("recordingLabel"));
    label->hide();
    labelTimer.setInterval(1000);

    connect(recordAct, &QAction::toggled, this, &RecordingActions::toggled);
    connect(&labelTimer, &QTimer::timeout, this, &RecordingActions::updateLabel);
    connect(&rec, &MeasurementRecorder::stopped, this, &RecordingActions::onRecorderStopped);
    // Straight from the processing thread into the recorder's own queue.
    MeasurementRecorder *recorder = &rec;
    connect(
        processor, &DataBlockProcessor::newBlock, &rec,
        [recorder](const QSharedPointer<DataBlockProcessor::DataBlock> &block) {
            recorder->push(block);
        },
        Qt::DirectConnection);
}

void RecordingActions::retranslate()
{
    recordAct->setText(tr("Запись измерения"));
    recordAct->setToolTip(tr("Запись измерения: все отсчёты всех каналов в файл HDF5 (F9)"));
    if (rec.isActive())
        updateLabel();
}

RecordingActions::~RecordingActions()
{
    rec.stop(windowClosed());
}

QString RecordingActions::defaultFileName(const QString &serial, const QDateTime &localTime)
{
    QString s = serial.trimmed();
    // A serial is the module's text: nothing of it may lead out of the folder.
    s.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    if (s.isEmpty() || s.startsWith(QLatin1Char('.')))
        s.prepend(QStringLiteral("grv480"));
    return QStringLiteral("%1_%2.h5").arg(s, localTime.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QString RecordingActions::timeLeftText(qint64 freeBytes, double bytesPerSecond)
{
    if (freeBytes < 0 || !(bytesPerSecond > 0))
        return QString();
    const double seconds = freeBytes / bytesPerSecond;
    if (seconds >= 48 * 3600.0)
        return tr("%1 сут").arg(qint64(seconds / 86400));
    const qint64 minutes = qint64(seconds / 60);
    if (minutes >= 60)
        return tr("%1 ч %2 мин").arg(minutes / 60).arg(minutes % 60);
    return tr("%1 мин").arg(minutes);
}

void RecordingActions::setChecked(bool on)
{
    const QSignalBlocker block(recordAct);
    recordAct->setChecked(on);
}

void RecordingActions::toggled(bool on)
{
    if (!on) {
        stopRecording(RunEnd{0, QStringLiteral("Запись остановлена оператором")});
        return;
    }
    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    const QString dir =
        settings
            .value(QLatin1String(DirKey),
                   QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .toString();
    const QString name = defaultFileName(describe().moduleSerial, QDateTime::currentDateTime());
    // The recorder refuses an existing file itself, with its own message.
    QString path = QFileDialog::getSaveFileName(
        window, tr("Запись измерения"), QDir(dir).filePath(name),
        tr("Запись измерения, HDF5 (*.h5)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) {
        setChecked(false);
        return;
    }
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".h5");
    settings.setValue(QLatin1String(DirKey), QFileInfo(path).absolutePath());
    startRecording(path);
}

bool RecordingActions::startRecording(const QString &path)
{
    MeasurementRecorder::Options o;
    o.path = path;
    o.programVersion = QCoreApplication::applicationVersion();
    QString error;
    if (!rec.start(o, &error)) {
        setChecked(false);
        QMessageBox::critical(window, tr("Ошибка"),
                              tr("Запись измерения не начата.\n%1").arg(error), QMessageBox::Ok);
        return false;
    }
    // A run already going on is recorded from its next block.
    if (currentRun != 0)
        rec.beginRun(currentRun, describe());
    setChecked(true);
    labelTimer.start();
    updateLabel();
    emit recordingStarted(path);
    return true;
}

void RecordingActions::stopRecording(const RunEnd &end)
{
    labelTimer.stop();
    QString error;
    const bool wasActive = rec.isActive();
    const bool ok = rec.stop(end, &error);
    setChecked(false);
    if (wasActive)
        emit recordingEnded(end.reason);
    label->hide();
    const MeasurementRecorder::Stats s = rec.stats();
    if (!s.file.isEmpty())
        window->statusBar()->showMessage(
            tr("Запись измерения завершена: %1, %2")
                .arg(QFileInfo(s.file).fileName(), durationText(s.seconds)),
            10000);
    if (!ok && !error.isEmpty())
        onRecorderStopped(error);
}

void RecordingActions::onRecorderStopped(const QString &message)
{
    labelTimer.stop();
    QString ignored;
    rec.stop(RunEnd{0, message}, &ignored);
    setChecked(false);
    label->hide();
    emit recordingStopped(message);
    QMessageBox::critical(window, tr("Ошибка"),
                          tr("%1\nЗапись измерения остановлена; записанное сохранено в "
                             "файле. Сбор данных продолжается.")
                              .arg(message),
                          QMessageBox::Ok);
}

void RecordingActions::runStarted(quint64 runId)
{
    currentRun = runId;
    if (rec.isActive())
        rec.beginRun(runId, describe());
}

void RecordingActions::runEnded(const RunEnd &end)
{
    // The first word on a run is the one that counts: a refresh after a lost
    // link does not hide the error that ended the run.
    if (currentRun == 0)
        return;
    currentRun = 0;
    if (rec.isActive())
        rec.endRun(end);
}

void RecordingActions::windowClosing()
{
    if (!rec.isActive())
        return;
    // The frames the processor still holds come after the run's last block
    // the recorder has; they belong to the recording.
    if (processor->thread()->isRunning() && processor->thread() != QThread::currentThread())
        QMetaObject::invokeMethod(
            processor, [] {}, Qt::BlockingQueuedConnection);
    stopRecording(windowClosed());
}

void RecordingActions::updateLabel()
{
    const MeasurementRecorder::Stats s = rec.stats();
    if (!s.active) {
        label->hide();
        return;
    }
    QString text =
        tr("Запись: %1 · %2 · %3")
            .arg(QFileInfo(s.file).fileName(), durationText(s.seconds), sizeText(s.bytesOnDisk));
    const QString left = timeLeftText(s.freeBytes, s.bytesPerSecond);
    if (!left.isEmpty())
        text += tr(" · места на %1").arg(left);
    label->setText(text);
    label->setToolTip(QDir::toNativeSeparators(s.file));
    label->show();
}
