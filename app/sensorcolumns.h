#ifndef SENSORCOLUMNS_H
#define SENSORCOLUMNS_H

#include "channellimits.h"
#include "channelsensor.h"
#include "datablockprocessor.h"
#include "eventlog.h"
#include "sensorlibrary.h"

#include <QObject>
#include <QPointer>
#include <QSharedPointer>
#include <QVector>

class QAction;
class QDockWidget;
class QFormLayout;
class QLabel;
class QMainWindow;
class QTableView;
class QTableWidget;
class QTableWidgetItem;
class CondLedIndicator;
class ChannelSensorDialog;
class DeviceConfig;
class MeasurementActions;
class RecordingActions;
class Plot;

// The window's values in the sensors' units: the results table's columns
// "Значение" and "Ед." (coloured by the channel's limits), the "Пределы" lamp
// of the status panel, the event log panel, the time plot's switch to the
// units, the sensor library and each channel's sensor dialog.
//
// The window tells it about its configuration, every block it shows and
// every blanking; the software zero and the limits it changes go straight
// into the window's configuration, which saves them with the rest.
class SensorColumns : public QObject
{
    Q_OBJECT

public:
    // Logical columns of the results table, shown after the unbalance.
    static constexpr int ValueColumn = 18;
    static constexpr int UnitColumn = 19;

    SensorColumns(QMainWindow *window, QTableWidget *table, Plot *timePlot,
                  QFormLayout *statusForm);
    ~SensorColumns() override;

    void setConfig(const QSharedPointer<DeviceConfig> &config);
    void clear();
    // Held, the cells, colours and lamp stay as they are while the limits
    // are still watched and their events logged.
    void showBlock(const DataBlockProcessor::DataBlock &block, bool held = false);
    // The samples a row's time graph shows: the block's own (mV), or the
    // values in the unit while the plot is switched to the units.
    QVector<double> plotValues(int row, const QVector<double> &mv) const;

    void logEvent(EventLog::Kind kind, const QString &text);
    void watchRecording(MeasurementActions *measurement);
    void watchRecording(RecordingActions *recording);

    SensorLibrary *library() { return &lib; }
    QString libraryPath() const { return libPath; }
    EventLog *eventLog() const { return log; }
    QAction *libraryAction() const { return libraryAct; }
    QAction *unitsAction() const { return unitsAct; }
    QDockWidget *eventDock() const { return dock; }
    CondLedIndicator *limitsLamp() const { return lamp; }
    LimitMonitor::State limitState(int row) const;

    // A channel's sensor dialog (row of the results table), opened if needed.
    ChannelSensorDialog *openChannelDialog(int row);
    void zeroRow(int row);
    void resetZeroRow(int row);

public slots:
    void showLibrary();

signals:
    void libraryChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct RowState
    {
        int channel = -1; // 0..15
        LimitMonitor monitor;
        double lastDc = qQNaN();
    };

    void retranslate();
    void syncRows();
    void updatePlotAxis();
    void applyChannel(int channel, const ChannelSensor &sensor);
    void colourRow(int row, LimitMonitor::State state);
    void reportLimit(int row, LimitMonitor::State from, LimitMonitor::State to, double value);
    int currentRow() const;

    QMainWindow *window;
    QTableWidget *table;
    Plot *timePlot;
    QSharedPointer<DeviceConfig> cfg;
    SensorLibrary lib;
    QString libPath;
    EventLog *log;
    QVector<RowState> rows;
    QAction *libraryAct;
    QAction *unitsAct;
    QAction *channelAct;
    QAction *zeroAct;
    QAction *resetZeroAct;
    QDockWidget *dock;
    QTableView *logView;
    QLabel *lampLabel;
    CondLedIndicator *lamp;
    QString plotLabelMv;
    QPointer<ChannelSensorDialog> channelDialog;
    int dialogRow = -1;
};

#endif // SENSORCOLUMNS_H
