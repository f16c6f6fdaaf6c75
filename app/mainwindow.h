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

class QMenu;
class QSettings;
class QStackedWidget;
class QStandardItemModel;
class QTableWidgetItem;
class CondLedIndicator;
class CursorReadout;
class FirstStartPanel;
class RunStateLabel;
class DeviceConfig;
class GRV480RecvThread;
class MeasurementActions;
class ViewHold;
class SensorColumns;
class RecordingActions;
class TrendPlot;
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
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct ModuleEntry
    {
        QString crateSerial;
        quint16 slot;
    };

    bool isModuleOpen();
    void buildTableHeader();
    void retranslateTableHeader();
    void retranslateAxes();
    QString moduleTitle(const ModuleEntry &entry) const;
    void showBlockValues(const DataBlockProcessor::DataBlock &block);
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

    // --- ways in: menus, first start, status bar (mainwindowguide.cpp) ---
    struct Menus
    {
        QMenu *file = nullptr;
        QMenu *view = nullptr;
        QMenu *language = nullptr;
        QMenu *module = nullptr;
        QMenu *helpMenu = nullptr;
        QAction *loadConfig = nullptr;
        QAction *saveConfig = nullptr;
        QAction *quit = nullptr;
        QAction *showTimePlot = nullptr;
        QAction *showFftPlot = nullptr;
        QAction *fullScreen = nullptr;
        QAction *tare = nullptr;
        QAction *tables = nullptr;
        QAction *helpPage = nullptr;
        QAction *about = nullptr;
    };
    void buildMenus();
    void retranslateGuide();
    void buildResultsArea();
    void updateResultsArea();
    void updateRunState();
    void setStale(bool stale);
    void fitSplitterToRows();
    QColor shownChannelColor(int r) const;
    QString moduleText(int index) const;
    int chooseModule();
    void rememberModule(int index);
    void loadConfigurationFile();
    void saveConfigurationFile();
    void runTareDialog();
    void runTablesDialog();
    void showHelp();
    void showAbout();

    Ui::MainWindow *ui;
    QList<ChannelRow *> rows;
    QList<ModuleEntry> modules;
    TGRV480 handle;
    bool stopping;
    bool linkLost = false; // set by a link error, cleared by the next open
    GRV480RecvThread *recvThread;
    DataBlockProcessor processor;
    QThread procThread;
    QSharedPointer<DeviceConfig> config;
    MeasurementActions *measurement = nullptr; // export and recording of the blocks shown
    QStandardItemModel *headerTree = nullptr;  // the results table's header texts
    // The block on screen, shown again when the language, and so the number
    // format, changes.
    QSharedPointer<DataBlockProcessor::DataBlock> lastBlock;
    CursorReadout *cursorReadout = nullptr;
    ViewHold *hold = nullptr;
    SensorColumns *sensorColumns = nullptr;    // values in the sensors' units, limits, events
    RecordingActions *recording = nullptr;     // every sample of every block, to HDF5
    Menus menus;
    QStackedWidget *resultsArea = nullptr; // the table, or the first-start panel instead
    FirstStartPanel *firstStart = nullptr;
    RunStateLabel *runState = nullptr;
    const QObject *shownRun = nullptr; // the run whose blocks the status bar counts
    bool serverAnswered = true;        // the last refresh reached the crate server
    bool listingModules = false;       // a refresh picks the module, not the operator
    bool autoSplit = false;            // no stored pane sizes, none moved by hand yet
    bool stale = false;                // the values on screen predate a link error
    TrendPlot *trendPlot = nullptr;            // every block since the window opened
    QAction *showTrendAct = nullptr;
    // Crate-server port: 11111 unless GRV480_SERVER_PORT names another.
    const quint16 serverPort;

    friend class tst_MainWindow;
};

#endif // MAINWINDOW_H
