#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "channelrow.h"
#include "datablockprocessor.h"
#include "grv480api.h"

#include <QList>
#include <QMainWindow>
#include <QSharedPointer>
#include <QString>
#include <QThread>

class QSettings;
class QTableWidgetItem;
class CondLedIndicator;
class CursorReadout;
class DeviceConfig;
class GRV480RecvThread;
class MeasurementActions;
class ViewHold;
struct MeasurementSnapshot;

namespace Ui {
class MainWindow;
}

// The monitor's window: finds the modules through the crate server, opens one,
// runs acquisition on it and shows every processed block in the results table,
// the status panel and the two plots.
//
// Acquisition starts by itself once a module has been opened and stops before
// anything else touches the module handle (refresh, module change,
// configuration, close). While an acquisition thread exists it alone uses the
// handle.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

signals:
    void procParamsUpdated(int wintype);

public slots:
    void updateUiState();
    void refreshDevList();
    void moduleChanged();
    void closeModule();
    void showError(QString msg, INT err);
    void configure();
    void showBlock(QSharedPointer<DataBlockProcessor::DataBlock> block);
    void clearData();
    void updateConfigUi();
    void startDevice();
    void stopDeviceReq();
    void stopDevice();
    void onRecvThreadFinished();
    void onParamTableItemChanged(QTableWidgetItem *item);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct ModuleEntry
    {
        QString crateSerial;
        quint16 slot;
    };

    bool isModuleOpen();
    void buildTableHeader();
    void fitPanelWidth();
    void addChannelRow(QSettings &settings);
    void removeLastChannelRow(QSettings &settings);
    void saveChannelVisibility(QSettings &settings, int r);
    void setValueCell(QTableWidgetItem *cell, const TGRV480MeasValue &v, bool pass, int decimals);
    void resetValueCell(QTableWidgetItem *cell, bool usable);
    void setConditionLed(CondLedIndicator *led, int state, bool pass);
    void showStatusPanel(const TGRV480FrameStatus &f);
    void shutDown();
    void describeMeasurement(MeasurementSnapshot &s) const;
    QVector<int> plottedRows() const;
    QVector<int> rowChannelNumbers() const;

    Ui::MainWindow *ui;
    QList<ChannelRow *> rows;
    QList<ModuleEntry> modules;
    TGRV480 handle;
    bool stopping;
    bool linkLost = false;  // set by a link error, cleared by the next open
    GRV480RecvThread *recvThread;
    DataBlockProcessor processor;
    QThread procThread;
    QSharedPointer<DeviceConfig> config;
    MeasurementActions *measurement = nullptr; // export and recording of the blocks shown
    CursorReadout *cursorReadout = nullptr;
    ViewHold *hold = nullptr;
    // Crate-server port: 11111 unless GRV480_SERVER_PORT names another.
    const quint16 serverPort;

    friend class tst_MainWindow;
};

#endif // MAINWINDOW_H
