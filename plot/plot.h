#ifndef PLOT_H
#define PLOT_H

#include <qcustomplot.h>

#include <QTimer>

#include "plotconfigdialog.h"

class EnvelopeGraph;
class PlotCursors;
class QSettings;

// A QCustomPlot with per-axis automatic or fixed scaling kept in the
// settings store, replots coalesced by a short timer, and an axis dialog on
// double click. The wheel zooms and dragging pans; either fixes the range of
// the axes it moved, as the dialog would. Automatic scaling leaves a margin
// above and below the values, so that no line lies on the frame. Optional
// cursors (see PlotCursors) are dragged instead of the plot when grabbed.
class Plot : public QCustomPlot
{
    Q_OBJECT

public:
    explicit Plot(QWidget *parent = nullptr);

    // defaults may be null; the values stored under group override them.
    void loadSettings(QSettings *settings, const QString &group, const PlotAxesConfig *defaults);
    void saveSettings(QSettings *settings);

    PlotAxesConfig axesConfig() const { return axes; }
    QString settingsGroupName() const { return settingsGroup; }
    // The x axis counts seconds since the epoch: the axis dialog edits it as
    // date and time.
    void setTimeAxisX(bool on) { xIsTime = on; }
    void setAxesConfig(const PlotAxesConfig &config);
    bool isReplotPending() const { return replotTimer.isActive(); }

    // A graph that draws blocks of any length at the cost of a few points per
    // pixel column (see EnvelopeGraph).
    EnvelopeGraph *addEnvelopeGraph();

    // Creates the plot's cursors, kept with its axis settings; before loadSettings.
    PlotCursors *enableCursors(const QString &xName, const QString &yName);
    PlotCursors *cursors() const { return cursorSet; }

    // Fraction of the value range added below and above it by the automatic scaling.
    static constexpr double AutoscaleMargin = 0.05;
    // The value range that automatic scaling gives for the range of the values.
    static QCPRange withMargin(const QCPRange &values);

    static const int ReplotDelayMs = 25;

public slots:
    // Fits the autoscaled axes to the visible graphs; does not replot.
    void updateAxisAutoScale();
    // Schedules one replot; further requests before it runs are folded into it.
    void requestRelpot();

protected:
    void changeEvent(QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    // Background, axes, grid and text from the widget's palette, so that a
    // dark desktop gets a dark plot.
    void applyPalette();
    void applyAxesConfig();
    // Fits an autoscaled axis to the graphs (only the visible ones if asked).
    void fitAxis(QCPAxis *axis, bool onlyVisible);
    // After the library's own zoom or pan: an axis it moved keeps that range.
    void fixMovedAxes(const QCPRange &xBefore, const QCPRange &yBefore);

    QString settingsGroup;
    PlotAxesConfig axes;
    QTimer replotTimer;
    bool xIsTime = false;
    int xDecimals = 5;
    int yDecimals = 5;
    PlotCursors *cursorSet = nullptr;
};

#endif // PLOT_H
