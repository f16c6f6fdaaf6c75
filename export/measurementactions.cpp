#include "measurementactions.h"

#include "lastlocations.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

namespace {

const char SettingsGroup[] = "MeasurementExport";
const char ImageSizeKey[] = "ImageSize"; // empty: the size on screen

constexpr int ProgressSteps = 1000;
constexpr int ProgressDelayMs = 500;
constexpr int ProgressPollMs = 50;
// Above this many samples the dialog offers HDF5 first: CSV grows to some
// twenty bytes a sample.
constexpr qint64 LargeBlockSamples = 1000000;

struct FileType
{
    MeasurementActions::Kind kind;
    const char *filter;
};

const FileType FileTypes[] = {
    {MeasurementActions::Kind::ResultsCsv,
     QT_TRANSLATE_NOOP("MeasurementActions", "Результаты измерения, CSV (*.csv)")},
    {MeasurementActions::Kind::SamplesCsv,
     QT_TRANSLATE_NOOP("MeasurementActions", "Отсчёты и спектры, CSV (*.csv)")},
    {MeasurementActions::Kind::SamplesHdf5,
     QT_TRANSLATE_NOOP("MeasurementActions", "Отсчёты и спектры, HDF5 (*.h5 *.hdf5)")},
    {MeasurementActions::Kind::TimePlotPng,
     QT_TRANSLATE_NOOP("MeasurementActions", "График сигнала, PNG (*.png)")},
    {MeasurementActions::Kind::TimePlotPdf,
     QT_TRANSLATE_NOOP("MeasurementActions", "График сигнала, PDF (*.pdf)")},
    {MeasurementActions::Kind::FftPlotPng,
     QT_TRANSLATE_NOOP("MeasurementActions", "График спектра, PNG (*.png)")},
    {MeasurementActions::Kind::FftPlotPdf,
     QT_TRANSLATE_NOOP("MeasurementActions", "График спектра, PDF (*.pdf)")},
};

} // namespace

MeasurementActions::MeasurementActions(QMainWindow *window, QCustomPlot *timePlot,
                                       QCustomPlot *fftPlot, Describer describer)
    : QObject(window)
    , window(window)
    , timePlot(timePlot)
    , fftPlot(fftPlot)
    , describe(std::move(describer))
    , saveAct(new QAction(QIcon(QStringLiteral(":/icons/measurement_save.png")), QString(), window))
    , recordAct(new QAction(QIcon(QStringLiteral(":/icons/record.png")), QString(), window))
    , recordLabel(new QLabel(window))
{
    saveAct->setObjectName(QStringLiteral("actionSaveMeasurement"));
    saveAct->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    saveAct->setEnabled(false);
    recordAct->setObjectName(QStringLiteral("actionRecordResults"));
    recordAct->setCheckable(true);
    window->statusBar()->addPermanentWidget(recordLabel);
    recordLabel->hide();
    retranslate();

    connect(saveAct, &QAction::triggered, this, &MeasurementActions::chooseExportFile);
    connect(recordAct, &QAction::toggled, this, &MeasurementActions::recordToggled);
}

MeasurementActions::~MeasurementActions()
{
    // The thread reads only the snapshot it was given; it is cancelled and waited for.
    if (worker) {
        progress->cancel = true;
        worker->wait();
        delete worker;
    }
}

void MeasurementActions::blockShown(const QSharedPointer<DataBlockProcessor::DataBlock> &block)
{
    if (!block)
        return;
    MeasurementSnapshot s;
    describe(s);
    s.blockTime = QDateTime::currentDateTimeUtc();
    s.block = block;
    shown = s;
    saveAct->setEnabled(true);
    record(shown);
}

void MeasurementActions::blockReceived(const QSharedPointer<DataBlockProcessor::DataBlock> &block)
{
    if (!block || !rec.isActive())
        return;
    MeasurementSnapshot s;
    describe(s);
    s.blockTime = QDateTime::currentDateTimeUtc();
    s.block = block;
    record(s);
}

void MeasurementActions::record(const MeasurementSnapshot &s)
{
    if (!rec.isActive())
        return;
    QString error;
    if (rec.append(s, &error)) {
        updateRecordLabel();
    } else {
        // The box waits until the window has finished with the block.
        QTimer::singleShot(0, this, [this, error]() { stopRecording(error); });
    }
}

void MeasurementActions::retranslate()
{
    saveAct->setText(tr("Сохранить измерение..."));
    recordAct->setText(tr("Запись результатов"));
    if (rec.isActive())
        updateRecordLabel();
}

void MeasurementActions::blockCleared()
{
    shown = MeasurementSnapshot();
    saveAct->setEnabled(false);
}

QString MeasurementActions::defaultSuffix(Kind kind)
{
    switch (kind) {
    case Kind::ResultsCsv:
    case Kind::SamplesCsv:
        return QStringLiteral("csv");
    case Kind::SamplesHdf5:
        return QStringLiteral("h5");
    case Kind::TimePlotPng:
    case Kind::FftPlotPng:
        return QStringLiteral("png");
    case Kind::TimePlotPdf:
    case Kind::FftPlotPdf:
        return QStringLiteral("pdf");
    }
    return QString();
}

MeasurementActions::Choice MeasurementActions::choose() const
{
    Choice c;
    c.snapshot = shown;
    // The channels plotted now, which the operator may have changed since.
    if (c.snapshot.block) {
        describe(c.snapshot);
        c.snapshot.block = shown.block;
        c.snapshot.blockTime = shown.blockTime;
    }
    c.timeView = MeasurementExport::viewOf(timePlot, false);
    c.fftView = MeasurementExport::viewOf(fftPlot, true);
    return c;
}

void MeasurementActions::chooseExportFile()
{
    if (!shown.block || worker)
        return;
    // Blocks go on arriving under the file dialog: what is saved is what was
    // on screen when the operator asked.
    Choice choice = choose();
    QStringList filters;
    for (const FileType &t : FileTypes)
        filters << tr(t.filter);
    const int preferred = choice.snapshot.sampleCount() > LargeBlockSamples ? 2 : 0;
    QString selected = filters.at(preferred);
    const QString proposed = LastLocations::proposedPath(
        LastLocations::Kind::Measurement, choice.snapshot.moduleSerial,
        choice.snapshot.blockTime.toLocalTime(), defaultSuffix(FileTypes[preferred].kind));
    QString path = QFileDialog::getSaveFileName(window, tr("Сохранить измерение"), proposed,
                                                filters.join(QStringLiteral(";;")), &selected);
    if (path.isEmpty())
        return;
    const int i = std::max(0, int(filters.indexOf(selected)));
    const Kind kind = FileTypes[i].kind;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + defaultSuffix(kind);
    LastLocations::remember(LastLocations::Kind::Measurement, path);
    if (kind == Kind::TimePlotPng || kind == Kind::FftPlotPng) {
        QSize &size = kind == Kind::TimePlotPng ? choice.timeView.size : choice.fftView.size;
        if (!askImageSize(&size))
            return;
    }
    exportTo(path, kind, choice);
}

// The size on screen unless the operator chose another; remembered.
bool MeasurementActions::askImageSize(QSize *size)
{
    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    const QSize stored = settings.value(QLatin1String(ImageSizeKey)).toSize();

    QDialog dialog(window);
    dialog.setWindowTitle(tr("Размер изображения"));
    auto *screen = new QCheckBox(
        tr("Как на экране (%1 × %2)").arg(size->width()).arg(size->height()), &dialog);
    auto *width = new QSpinBox(&dialog);
    auto *height = new QSpinBox(&dialog);
    for (QSpinBox *b : {width, height}) {
        b->setRange(100, 10000);
        b->setSuffix(tr(" пикс."));
    }
    const bool custom = stored.isValid() && !stored.isEmpty();
    screen->setChecked(!custom);
    width->setValue(custom ? stored.width() : size->width());
    height->setValue(custom ? stored.height() : size->height());
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto *form = new QFormLayout(&dialog);
    form->addRow(screen);
    form->addRow(tr("Ширина"), width);
    form->addRow(tr("Высота"), height);
    form->addRow(buttons);
    const auto follow = [=](bool onScreen) {
        width->setEnabled(!onScreen);
        height->setEnabled(!onScreen);
    };
    follow(screen->isChecked());
    connect(screen, &QCheckBox::toggled, &dialog, follow);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (screen->isChecked()) {
        settings.setValue(QLatin1String(ImageSizeKey), QSize());
    } else {
        *size = QSize(width->value(), height->value());
        settings.setValue(QLatin1String(ImageSizeKey), *size);
    }
    return true;
}

void MeasurementActions::exportTo(const QString &path, Kind kind)
{
    exportTo(path, kind, choose());
}

void MeasurementActions::exportTo(const QString &path, Kind kind, const Choice &choice)
{
    using namespace MeasurementExport;
    if (worker)
        return;
    if (!choice.snapshot.block) {
        Result r;
        r.error = tr("Нет измерения для сохранения");
        report(r, path);
        return;
    }
    switch (kind) {
    case Kind::TimePlotPng:
    case Kind::TimePlotPdf:
    case Kind::FftPlotPng:
    case Kind::FftPlotPdf: {
        const PlotView &view = (kind == Kind::TimePlotPng || kind == Kind::TimePlotPdf)
                                   ? choice.timeView
                                   : choice.fftView;
        report(savePlot(choice.snapshot, view, path,
                        kind == Kind::TimePlotPdf || kind == Kind::FftPlotPdf),
               path);
        return;
    }
    default:
        break;
    }

    const Format format = kind == Kind::ResultsCsv   ? Format::ResultsCsv
                          : kind == Kind::SamplesCsv ? Format::SamplesCsv
                                                     : Format::SamplesHdf5;
    progress = std::make_shared<Progress>();
    result = std::make_shared<Result>();
    exportPath = path;
    const MeasurementSnapshot snapshot = choice.snapshot;
    auto p = progress;
    auto r = result;
    worker = QThread::create(
        [snapshot, format, path, p, r]() { *r = write(snapshot, format, path, p.get()); });
    worker->setObjectName(QStringLiteral("GRV480 export"));
    connect(worker, &QThread::finished, this, &MeasurementActions::finishExport);
    saveAct->setEnabled(false);

    progressDialog =
        new QProgressDialog(tr("Сохранение измерения в %1...").arg(QFileInfo(path).fileName()),
                            tr("Отмена"), 0, ProgressSteps, window);
    progressDialog->setWindowTitle(tr("Сохранить измерение"));
    progressDialog->setWindowModality(Qt::WindowModal);
    progressDialog->setAutoClose(false);
    progressDialog->setAutoReset(false);
    progressDialog->setMinimumDuration(ProgressDelayMs);
    progressDialog->setValue(0);
    connect(progressDialog, &QProgressDialog::canceled, this, [p]() { p->cancel = true; });
    auto *poll = new QTimer(progressDialog);
    connect(poll, &QTimer::timeout, progressDialog, [this, p]() {
        const qint64 total = std::max<qint64>(p->total, 1);
        progressDialog->setValue(
            int(std::min<qint64>(p->done * ProgressSteps / total, ProgressSteps - 1)));
    });
    poll->start(ProgressPollMs);
    worker->start(QThread::LowPriority);
}

void MeasurementActions::finishExport()
{
    worker->wait();
    delete worker;
    worker = nullptr;
    delete progressDialog;
    progressDialog = nullptr;
    saveAct->setEnabled(shown.block != nullptr);
    report(*result, exportPath);
}

void MeasurementActions::report(const MeasurementExport::Result &r, const QString &path)
{
    if (r.ok) {
        const QString text =
            tr("Измерение сохранено в файл %1").arg(QDir::toNativeSeparators(path));
        emit exportFinished(true, text);
        QMessageBox::information(window, tr("Завершение операции"), text, QMessageBox::Ok);
    } else if (r.cancelled) {
        emit exportFinished(false, QString());
    } else {
        emit exportFinished(false, r.error);
        QMessageBox::critical(window, tr("Ошибка"), r.error, QMessageBox::Ok);
    }
}

bool MeasurementActions::startRecording(const QString &path)
{
    QString error;
    if (!rec.start(path, &error)) {
        const QSignalBlocker block(recordAct);
        recordAct->setChecked(false);
        QMessageBox::critical(window, tr("Ошибка"), error, QMessageBox::Ok);
        return false;
    }
    {
        const QSignalBlocker block(recordAct);
        recordAct->setChecked(true);
    }
    updateRecordLabel();
    emit recordingStarted(path);
    return true;
}

void MeasurementActions::recordToggled(bool on)
{
    if (!on) {
        stopRecording(QString());
        return;
    }
    MeasurementSnapshot now;
    describe(now);
    const QString proposed =
        LastLocations::proposedPath(LastLocations::Kind::Recording, now.moduleSerial,
                                    QDateTime::currentDateTime(), QStringLiteral("csv"));
    // An existing file is appended to, never replaced.
    QString path = QFileDialog::getSaveFileName(window, tr("Запись результатов"),
                                                proposed, QStringLiteral("CSV (*.csv)"), nullptr,
                                                QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) {
        const QSignalBlocker block(recordAct);
        recordAct->setChecked(false);
        return;
    }
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    LastLocations::remember(LastLocations::Kind::Recording, path);
    startRecording(path);
}

void MeasurementActions::stopRecording(const QString &reason)
{
    rec.stop();
    {
        const QSignalBlocker block(recordAct);
        recordAct->setChecked(false);
    }
    // The label keeps naming the file and what went into it: the operator
    // looks for that after the recording, not during it.
    recordLabel->setText(tr("Запись завершена: %1, блоков: %2")
                             .arg(QDir::toNativeSeparators(rec.path()))
                             .arg(rec.blockCount()));
    if (!reason.isEmpty()) {
        window->statusBar()->showMessage(
            tr("Запись остановлена: блоков записано %1").arg(rec.blockCount()));
        emit recordingStopped(reason);
        QMessageBox::critical(window, tr("Ошибка"),
                              reason + QLatin1Char('\n') +
                                  tr("Запись результатов остановлена; записанные блоки "
                                     "сохранены."),
                              QMessageBox::Ok);
    } else {
        emit recordingStopped(QString());
    }
}

void MeasurementActions::updateRecordLabel()
{
    recordLabel->setText(tr("Запись: %1, блоков: %2")
                             .arg(QDir::toNativeSeparators(rec.path()))
                             .arg(rec.blockCount()));
    recordLabel->show();
}
