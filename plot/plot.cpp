#include "plot.h"

#include "envelopegraph.h"

#include <QSettings>

#include <cmath>

Plot::Plot(QWidget *parent)
    : QCustomPlot(parent)
{
    replotTimer.setSingleShot(true);
    connect(&replotTimer, &QTimer::timeout, this, [this] { replot(QCustomPlot::rpRefreshHint); });
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
}

EnvelopeGraph *Plot::addEnvelopeGraph()
{
    // The library's graphs register themselves with the plot of their axes.
    return new EnvelopeGraph(xAxis, yAxis);
}

void Plot::fixMovedAxes(const QCPRange &xBefore, const QCPRange &yBefore)
{
    const auto fix = [](QCPAxis *axis, const QCPRange &before, AxisConfig &config) {
        const QCPRange now = axis->range();
        if (now == before)
            return;
        config.autoscale = false;
        config.min = now.lower;
        config.max = now.upper;
    };
    fix(xAxis, xBefore, axes.x);
    fix(yAxis, yBefore, axes.y);
}

void Plot::mouseMoveEvent(QMouseEvent *event)
{
    const QCPRange x = xAxis->range();
    const QCPRange y = yAxis->range();
    QCustomPlot::mouseMoveEvent(event);
    fixMovedAxes(x, y);
}

void Plot::wheelEvent(QWheelEvent *event)
{
    const QCPRange x = xAxis->range();
    const QCPRange y = yAxis->range();
    QCustomPlot::wheelEvent(event);
    fixMovedAxes(x, y);
}

static void readAxis(QSettings *settings, const QString &name, AxisConfig &axis)
{
    settings->beginGroup(name);
    // A value that is not a finite number keeps the default rather than
    // becoming 0 or NaN; a range that ends up reversed or empty keeps both.
    const AxisConfig defaults = axis;
    bool ok = false;
    double v = settings->value(QStringLiteral("min")).toDouble(&ok);
    if (ok && std::isfinite(v))
        axis.min = v;
    v = settings->value(QStringLiteral("max")).toDouble(&ok);
    if (ok && std::isfinite(v))
        axis.max = v;
    if (!(axis.min < axis.max)) {
        axis.min = defaults.min;
        axis.max = defaults.max;
    }
    if (settings->contains(QStringLiteral("autoscale")))
        axis.autoscale = settings->value(QStringLiteral("autoscale")).toBool();
    settings->endGroup();
}

static void writeAxis(QSettings *settings, const QString &name, const AxisConfig &axis)
{
    settings->beginGroup(name);
    settings->setValue(QStringLiteral("min"), axis.min);
    settings->setValue(QStringLiteral("max"), axis.max);
    settings->setValue(QStringLiteral("autoscale"), axis.autoscale);
    settings->endGroup();
}

void Plot::loadSettings(QSettings *settings, const QString &group, const PlotAxesConfig *defaults)
{
    if (defaults)
        axes = *defaults;
    settingsGroup = group;
    settings->beginGroup(group);
    readAxis(settings, QStringLiteral("x"), axes.x);
    readAxis(settings, QStringLiteral("y"), axes.y);
    settings->endGroup();
    applyAxesConfig();
}

void Plot::saveSettings(QSettings *settings)
{
    settings->beginGroup(settingsGroup);
    writeAxis(settings, QStringLiteral("x"), axes.x);
    writeAxis(settings, QStringLiteral("y"), axes.y);
    settings->endGroup();
}

void Plot::setAxesConfig(const PlotAxesConfig &config)
{
    axes = config;
    applyAxesConfig();
}

void Plot::applyAxesConfig()
{
    if (axes.x.autoscale)
        xAxis->rescale(false);
    else
        xAxis->setRange(axes.x.min, axes.x.max);
    if (axes.y.autoscale)
        yAxis->rescale(false);
    else
        yAxis->setRange(axes.y.min, axes.y.max);
    replot(QCustomPlot::rpRefreshHint);
}

void Plot::updateAxisAutoScale()
{
    if (axes.x.autoscale)
        xAxis->rescale(true);
    if (axes.y.autoscale)
        yAxis->rescale(true);
}

void Plot::requestRelpot()
{
    if (!replotTimer.isActive())
        replotTimer.start(ReplotDelayMs);
}

void Plot::mouseDoubleClickEvent(QMouseEvent *event)
{
    QCustomPlot::mouseDoubleClickEvent(event);
    PlotConfigDialog dialog(this, axes, xDecimals, yDecimals);
    if (xIsTime)
        dialog.setXAsTime();
    if (dialog.exec() == QDialog::Accepted) {
        axes = dialog.axes;
        applyAxesConfig();
    }
}
