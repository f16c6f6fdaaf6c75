#ifndef REVIEWWINDOW_H
#define REVIEWWINDOW_H

#include "channelrow.h"
#include "recordingreview.h"

#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QTimer>

class QCPItemStraightLine;
class QLabel;
class QSlider;
class QSplitter;
class QTableWidget;
class QTableWidgetItem;
class QTreeWidget;
class MeasurementActions;
class Plot;
class ResultsTable;
class StatusPanel;
class TrendPlot;
struct MeasurementSnapshot;

// A recording opened beside the live window: the trend of the whole file,
// its runs, and any one block shown as the live window showed it (results
// table with lamps, status panel, time and spectrum plots), chosen with the
// slider, the keys or a click on the trend. A file still being written is
// followed as it grows.
class ReviewWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ReviewWindow(QWidget *parent = nullptr);
    ~ReviewWindow() override;

    bool openFile(const QString &path, QString *error);
    // Asks for a recording and opens it in a window of its own; null when
    // none was chosen or it did not open (the reason was shown).
    static ReviewWindow *chooseAndOpen(QWidget *parent);
    // The folder the file dialog starts in: where recordings are written.
    static QString lastFolder();

    int currentBlock() const { return current; }
    // Shows block index (counted through the whole file) now.
    bool showBlockAt(int index);
    // What the position slider and the keys do: the block shown soon after.
    void goTo(int index);

    RecordingReview &review() { return model; }
    MeasurementActions *measurementActions() const { return measurement; }
    TrendPlot *trend() const { return trendPlot; }
    QTableWidget *resultsView() const;
    QSlider *positionSlider() const { return slider; }
    QLabel *liveIndicator() const { return liveLabel; }
    QTreeWidget *runList() const { return runs; }

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildUi();
    void retranslate();
    void fillRunList();
    void addTrendLines();
    void setRows(int run);
    void onGrown(int firstNew);
    void onChannelCellChanged(QTableWidgetItem *item);
    void updatePosition();
    void chooseOnTrend(QMouseEvent *event);
    void describe(MeasurementSnapshot &s) const;
    void fitSplitter();

    RecordingReview model;
    QList<ChannelRow *> rows;
    int rowsRun = -1; // the run whose channels the rows show
    int current = -1;
    int pending = -1;
    bool autoSplit = true; // no stored pane sizes, none moved by hand yet
    QTimer showTimer;      // folds the steps of a held key into one block shown
    QPoint pressPos;

    TrendPlot *trendPlot = nullptr;
    Plot *timePlot = nullptr;
    Plot *fftPlot = nullptr;
    QCPItemStraightLine *marker = nullptr;
    StatusPanel *statusPanel = nullptr;
    QTableWidget *table = nullptr;
    ResultsTable *results = nullptr;
    QTreeWidget *runs = nullptr;
    QSlider *slider = nullptr;
    QLabel *positionLabel = nullptr;
    QLabel *liveLabel = nullptr;
    QSplitter *splitter = nullptr;
    QMenu *fileMenu = nullptr;
    QAction *closeAct = nullptr;
    MeasurementActions *measurement = nullptr;
};

#endif // REVIEWWINDOW_H
