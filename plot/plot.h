#ifndef PLOT_H
#define PLOT_H

#include <qcustomplot.h>

#include <QTimer>

#include "plotconfigdialog.h"

class EnvelopeGraph;
class QSettings;

// A QCustomPlot with per-axis automatic or fixed scaling kept in the
// settings store, replots coalesced by a short timer, and an axis dialog on
// double click. The wheel zooms and dragging pans; either fixes the range of
// the axes it moved, as the dialog would.
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

    static const int ReplotDelayMs = 25;

public slots:
    // Fits the autoscaled axes to the visible graphs; does not replot.
    void updateAxisAutoScale();
    // Schedules one replot; further requests before it runs are folded into it.
    void requestRelpot();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void applyAxesConfig();
    // After the library's own zoom or pan: an axis it moved keeps that range.
    void fixMovedAxes(const QCPRange &xBefore, const QCPRange &yBefore);

    QString settingsGroup;
    PlotAxesConfig axes;
    QTimer replotTimer;
    bool xIsTime = false;
    int xDecimals = 5;
    int yDecimals = 5;
};

#endif // PLOT_H
