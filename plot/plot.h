#ifndef PLOT_H
#define PLOT_H

#include <qcustomplot.h>

#include <QTimer>

#include "plotconfigdialog.h"

class QSettings;

// A QCustomPlot with per-axis automatic or fixed scaling kept in the
// settings store, replots coalesced by a short timer, and an axis dialog on
// double click.
class Plot : public QCustomPlot
{
    Q_OBJECT

public:
    explicit Plot(QWidget *parent = nullptr);

    // defaults may be null; the values stored under group override them.
    void loadSettings(QSettings *settings, const QString &group, const PlotAxesConfig *defaults);
    void saveSettings(QSettings *settings);

    PlotAxesConfig axesConfig() const { return axes; }
    void setAxesConfig(const PlotAxesConfig &config);
    bool isReplotPending() const { return replotTimer.isActive(); }

    static const int ReplotDelayMs = 25;

public slots:
    // Fits the autoscaled axes to the visible graphs; does not replot.
    void updateAxisAutoScale();
    // Schedules one replot; further requests before it runs are folded into it.
    void requestRelpot();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void applyAxesConfig();

    QString settingsGroup;
    PlotAxesConfig axes;
    QTimer replotTimer;
    int xDecimals = 5;
    int yDecimals = 5;
};

#endif // PLOT_H
