#ifndef RECORDINGACTIONS_H
#define RECORDINGACTIONS_H

#include "measurementrecorder.h"
#include "recordingrun.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QAction;
class QLabel;
class QMainWindow;
class DataBlockProcessor;

// The window's "Запись измерения": records every block the processor emits,
// from the next block on, until the action is unchecked or the window closes.
// The blocks go from the processing thread straight to the recorder's queue,
// so a busy window never costs the recording a block. The window says when an
// acquisition run starts and why it ended; the status bar shows the file, the
// recorded time, the size on disk and the free space as time.
class RecordingActions : public QObject
{
    Q_OBJECT

public:
    // Describes the run now being acquired: the module and its configuration.
    using Describer = std::function<RecordingRun()>;

    RecordingActions(QMainWindow *window, DataBlockProcessor *processor, Describer describer);
    ~RecordingActions() override;

    QAction *action() const { return recordAct; }
    const MeasurementRecorder &recorder() const { return rec; }

    // Recording into path, as after choosing it in the dialog; false with a message box.
    bool startRecording(const QString &path);
    void stopRecording(const RunEnd &end);

    void retranslate();
    void runStarted(quint64 runId);
    void runEnded(const RunEnd &end);
    // The window closes: what the processor still holds is recorded, then the file is closed.
    void windowClosing();

    static QString defaultFileName(const QString &serial, const QDateTime &localTime);
    // "5 ч 12 мин" and the like; empty when the rate is not known yet.
    static QString timeLeftText(qint64 freeBytes, double bytesPerSecond);

signals:
    void recordingStopped(const QString &message); // by itself, on an error
    void recordingStarted(const QString &path);
    void recordingEnded(const QString &reason);    // however it ended

private:
    void toggled(bool on);
    void onRecorderStopped(const QString &message);
    void updateLabel();
    void setChecked(bool on);

    QMainWindow *window;
    DataBlockProcessor *processor;
    Describer describe;
    QAction *recordAct;
    QLabel *label;
    QTimer labelTimer;
    MeasurementRecorder rec;
    quint64 currentRun = 0; // 0 while no run is acquired
};

#endif // RECORDINGACTIONS_H
