#include "plot.h"

#include "envelopegraph.h"
#include "plotcursors.h"

#include <QSettings>

#include <cmath>

Plot::Plot(QWidget *parent)
    : QCustomPlot(parent)
{
    replotTimer.setSingleShot(true);
    connect(&replotTimer, &QTimer::timeout, this, [this] { replot(QCustomPlot::rpRefreshHint); });
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    applyPalette();
}

void Plot::applyPalette()
{
    const QPalette pal = palette();
    const QColor text = pal.color(QPalette::Text);
    QColor grid = text;
    grid.setAlpha(60);
    QColor subGrid = text;
    subGrid.setAlpha(25);
    setBackground(pal.brush(QPalette::Base));
    for (QCPAxis *axis : {xAxis, yAxis, xAxis2, yAxis2}) {
        axis->setBasePen(QPen(text, 0));
        axis->setTickPen(QPen(text, 0));
        axis->setSubTickPen(QPen(text, 0));
        axis->setTickLabelColor(text);
        axis->setLabelColor(text);
        axis->grid()->setPen(QPen(grid, 0, Qt::DotLine));
        axis->grid()->setSubGridPen(QPen(subGrid, 0, Qt::DotLine));
        axis->grid()->setZeroLinePen(QPen(grid, 0));
    }
    if (legend) {
        legend->setBrush(pal.brush(QPalette::Base));
        legend->setTextColor(text);
        legend->setBorderPen(QPen(text, 0));
    }
}

void Plot::changeEvent(QEvent *event)
{
    QCustomPlot::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyPalette();
        replot(QCustomPlot::rpQueuedReplot);
    }
}

PlotCursors *Plot::enableCursors(const QString &xName, const QString &yName)
{
    if (!cursorSet) {
        cursorSet = new PlotCursors(this, xName, yName);
        // The arrow keys move the cursors once the plot has been clicked.
        setFocusPolicy(Qt::ClickFocus);
    }
    return cursorSet;
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

void Plot::mousePressEvent(QMouseEvent *event)
{
    if (cursorSet && event->button() == Qt::LeftButton && cursorSet->press(event->pos())) {
        event->accept();
        return;
    }
    QCustomPlot::mousePressEvent(event);
}

void Plot::mouseReleaseEvent(QMouseEvent *event)
{
    if (cursorSet && cursorSet->release()) {
        event->accept();
        return;
    }
    QCustomPlot::mouseReleaseEvent(event);
}

void Plot::keyPressEvent(QKeyEvent *event)
{
    if (cursorSet && cursorSet->key(event)) {
        event->accept();
        return;
    }
    QCustomPlot::keyPressEvent(event);
}

void Plot::mouseMoveEvent(QMouseEvent *event)
{
    if (cursorSet && cursorSet->drag(event->pos())) {
        event->accept();
        return;
    }
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
    if (cursorSet)
        cursorSet->loadSettings(settings);
    settings->endGroup();
    applyAxesConfig();
}

void Plot::saveSettings(QSettings *settings)
{
    settings->beginGroup(settingsGroup);
    writeAxis(settings, QStringLiteral("x"), axes.x);
    writeAxis(settings, QStringLiteral("y"), axes.y);
    if (cursorSet)
        cursorSet->saveSettings(settings);
    settings->endGroup();
}

void Plot::setAxesConfig(const PlotAxesConfig &config)
{
    axes = config;
    applyAxesConfig();
}

QCPRange Plot::withMargin(const QCPRange &values)
{
    const double size = values.size();
    if (size > 0.0)
        return QCPRange(values.lower - size * AutoscaleMargin,
                        values.upper + size * AutoscaleMargin);
    // A flat line: a band around it, so that it shows in the middle.
    const double centre = values.center();
    const double half = centre != 0.0 ? std::abs(centre) * AutoscaleMargin : 1.0;
    return QCPRange(centre - half, centre + half);
}

void Plot::fitAxis(QCPAxis *axis, bool onlyVisible)
{
    // QCPAxis::rescale keeps the old size for a flat line, which a margin
    // added every block would widen without end; the range is found here.
    QCPRange found;
    bool any = false;
    for (QCPAbstractPlottable *p : axis->plottables()) {
        if (onlyVisible && !p->realVisibility())
            continue;
        bool ok = false;
        const QCPRange r = p->keyAxis() == axis ? p->getKeyRange(ok) : p->getValueRange(ok);
        if (!ok)
            continue;
        if (any) {
            found.expand(r);
        } else {
            found = r;
            any = true;
        }
    }
    if (!any)
        return;
    // The key axes start and end where the data do; only values get a margin.
    if (axis->orientation() == Qt::Vertical)
        found = withMargin(found);
    else if (found.size() <= 0.0)
        found = QCPRange(found.lower - 0.5, found.upper + 0.5);
    axis->setRange(found);
}

void Plot::applyAxesConfig()
{
    if (axes.x.autoscale)
        fitAxis(xAxis, false);
    else
        xAxis->setRange(axes.x.min, axes.x.max);
    if (axes.y.autoscale)
        fitAxis(yAxis, false);
    else
        yAxis->setRange(axes.y.min, axes.y.max);
    replot(QCustomPlot::rpRefreshHint);
}

void Plot::updateAxisAutoScale()
{
    if (axes.x.autoscale)
        fitAxis(xAxis, true);
    if (axes.y.autoscale)
        fitAxis(yAxis, true);
}

void Plot::requestRelpot()
{
    if (!replotTimer.isActive())
        replotTimer.start(ReplotDelayMs);
}

void Plot::mouseDoubleClickEvent(QMouseEvent *event)
{
    QCustomPlot::mouseDoubleClickEvent(event);
    // An autoscaled axis offers the range on view, so that unticking the
    // automatic scaling keeps what is seen.
    PlotAxesConfig shown = axes;
    if (shown.x.autoscale) {
        shown.x.min = xAxis->range().lower;
        shown.x.max = xAxis->range().upper;
    }
    if (shown.y.autoscale) {
        shown.y.min = yAxis->range().lower;
        shown.y.max = yAxis->range().upper;
    }
    PlotConfigDialog dialog(this, shown, xDecimals, yDecimals);
    if (xIsTime)
        dialog.setXAsTime();
    if (dialog.exec() == QDialog::Accepted) {
        axes = dialog.axes;
        applyAxesConfig();
    }
}
