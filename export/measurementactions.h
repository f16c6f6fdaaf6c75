#ifndef MEASUREMENTACTIONS_H
#define MEASUREMENTACTIONS_H

#include "datablockprocessor.h"
#include "measurementexport.h"
#include "resultsrecorder.h"

#include <QObject>
#include <QSharedPointer>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMainWindow;
class QProgressDialog;
class QThread;
class QCustomPlot;

// The window's "keep what was measured" actions: "Сохранить измерение..."
// exports the block on screen, "Запись результатов" appends the results of
// every block to a CSV file. The window hands over each block it shows and
// says when it blanks them; everything else happens here.
//
// An export works on the snapshot of the block taken when it starts and runs
// on a thread of its own, so the window goes on acquiring and showing blocks;
// a progress dialog appears when it takes longer than half a second.
class MeasurementActions : public QObject
{
    Q_OBJECT

public:
    enum class Kind {
        ResultsCsv,
        SamplesCsv,
        SamplesHdf5,
        TimePlotPng,
        TimePlotPdf,
        FftPlotPng,
        FftPlotPdf,
    };

    // Fills everything of a snapshot except the block and its time.
    using Describer = std::function<void(MeasurementSnapshot &)>;

    MeasurementActions(QMainWindow *window, QCustomPlot *timePlot, QCustomPlot *fftPlot,
                       Describer describer);
    ~MeasurementActions() override;

    QAction *saveAction() const { return saveAct; }
    QAction *recordAction() const { return recordAct; }

    // The texts of the actions and of the recording's label, again.
    void retranslate();
    // The block now on screen; it is recorded too.
    void blockShown(const QSharedPointer<DataBlockProcessor::DataBlock> &block);
    // A block that is not shown (the view is held); only recorded.
    void blockReceived(const QSharedPointer<DataBlockProcessor::DataBlock> &block);
    void blockCleared();

    // What an export chosen now would save: the block on screen, described as
    // it is seen now, and both plots' views.
    struct Choice
    {
        MeasurementSnapshot snapshot;
        MeasurementExport::PlotView timeView;
        MeasurementExport::PlotView fftView;
    };
    Choice choose() const;

    // The save dialog's work without the dialog. Returns at once for the
    // threaded kinds; exportFinished follows. The first form exports what is
    // on screen now.
    void exportTo(const QString &path, Kind kind);
    void exportTo(const QString &path, Kind kind, const Choice &choice);
    bool isExporting() const { return worker != nullptr; }
    // Recording into path, as after choosing it in the dialog.
    bool startRecording(const QString &path);
    const ResultsRecorder &recorder() const { return rec; }

    static QString defaultSuffix(Kind kind);

signals:
    void exportFinished(bool ok, const QString &message);
    void recordingStarted(const QString &path);
    void recordingStopped(const QString &reason); // empty when the operator stopped it

private:
    void chooseExportFile();
    bool askImageSize(QSize *size);
    void record(const MeasurementSnapshot &s);
    void recordToggled(bool on);
    void finishExport();
    void stopRecording(const QString &reason);
    void updateRecordLabel();
    void report(const MeasurementExport::Result &r, const QString &path);

    QMainWindow *window;
    QCustomPlot *timePlot;
    QCustomPlot *fftPlot;
    Describer describe;
    QAction *saveAct;
    QAction *recordAct;
    QLabel *recordLabel;
    MeasurementSnapshot shown; // block null while nothing is on screen
    ResultsRecorder rec;

    QThread *worker = nullptr;
    QProgressDialog *progressDialog = nullptr;
    std::shared_ptr<MeasurementExport::Progress> progress;
    std::shared_ptr<MeasurementExport::Result> result;
    QString exportPath;
};

#endif // MEASUREMENTACTIONS_H
