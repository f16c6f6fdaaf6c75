#include "plotcursors.h"

#include <qcustomplot.h>

#include <QKeyEvent>
#include <QSettings>

#include <cmath>

namespace {

const char *const Keys[4] = {"x1", "x2", "y1", "y2"};

bool isVertical(int c)
{
    return c == PlotCursors::X1 || c == PlotCursors::X2;
}

} // namespace

PlotCursors::PlotCursors(QCustomPlot *plot, const QString &xName, const QString &yName)
    : QObject(plot)
    , plot(plot)
    , names{xName, yName}
{
    for (int c = X1; c <= Y2; ++c) {
        auto *line = new QCPItemStraightLine(plot);
        auto *label = new QCPItemText(plot);
        QPen pen(QColor(70, 70, 70));
        // The second of a pair is dashed, so that the two read apart in grey
        // print as well.
        if (c == X2 || c == Y2)
            pen.setStyle(Qt::DashLine);
        line->setPen(pen);
        line->setSelectable(false);
        label->setSelectable(false);
        label->setColor(pen.color());
        label->setPadding(QMargins(3, 1, 3, 1));
        label->setBrush(QBrush(QColor(255, 255, 255, 200)));
        if (isVertical(c)) {
            for (QCPItemPosition *p : {line->point1, line->point2}) {
                p->setTypeX(QCPItemPosition::ptPlotCoords);
                p->setTypeY(QCPItemPosition::ptAxisRectRatio);
            }
            label->position->setTypeX(QCPItemPosition::ptPlotCoords);
            label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
            label->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        } else {
            for (QCPItemPosition *p : {line->point1, line->point2}) {
                p->setTypeX(QCPItemPosition::ptAxisRectRatio);
                p->setTypeY(QCPItemPosition::ptPlotCoords);
            }
            label->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
            label->position->setTypeY(QCPItemPosition::ptPlotCoords);
            label->setPositionAlignment(Qt::AlignRight | Qt::AlignBottom);
        }
        line->setVisible(false);
        label->setVisible(false);
        lines[c] = line;
        labels[c] = label;
        place(Cursor(c));
    }
    updateLabels();
}

void PlotCursors::place(Cursor c)
{
    const double v = pos[c];
    if (isVertical(c)) {
        lines[c]->point1->setCoords(v, 0.0);
        lines[c]->point2->setCoords(v, 1.0);
        labels[c]->position->setCoords(v, 0.0);
    } else {
        lines[c]->point1->setCoords(0.0, v);
        lines[c]->point2->setCoords(1.0, v);
        labels[c]->position->setCoords(1.0, v);
    }
}

void PlotCursors::updateLabels()
{
    for (int c = X1; c <= Y2; ++c) {
        labels[c]->setText(names[isVertical(c) ? 0 : 1] + QString::number(c % 2 + 1));
        const bool current = c == currentX || c == currentY;
        QPen pen = lines[c]->pen();
        pen.setWidthF(current ? 1.6 : 1.0);
        lines[c]->setPen(pen);
        lines[c]->setVisible(isVertical(c) ? xOn : yOn);
        labels[c]->setVisible(lines[c]->visible());
    }
}

void PlotCursors::setXVisible(bool on)
{
    xOn = on;
    updateLabels();
    plot->replot(QCustomPlot::rpQueuedReplot);
    emit visibilityChanged();
}

void PlotCursors::setYVisible(bool on)
{
    yOn = on;
    updateLabels();
    plot->replot(QCustomPlot::rpQueuedReplot);
    emit visibilityChanged();
}

void PlotCursors::setPosition(Cursor c, double value)
{
    if (!std::isfinite(value) || pos[c] == value)
        return;
    pos[c] = value;
    place(c);
    plot->replot(QCustomPlot::rpQueuedReplot);
    emit moved();
}

void PlotCursors::bringIntoView()
{
    const auto fit = [this](QCPAxis *axis, Cursor a, Cursor b) {
        const QCPRange r = axis->range();
        if (r.contains(pos[a]) || r.contains(pos[b]))
            return;
        pos[a] = r.lower + r.size() / 3.0;
        pos[b] = r.lower + r.size() * 2.0 / 3.0;
        place(a);
        place(b);
    };
    fit(plot->xAxis, X1, X2);
    fit(plot->yAxis, Y1, Y2);
    plot->replot(QCustomPlot::rpQueuedReplot);
    emit moved();
}

void PlotCursors::loadSettings(QSettings *settings)
{
    settings->beginGroup(QStringLiteral("Cursors"));
    for (int c = X1; c <= Y2; ++c) {
        bool ok = false;
        const double v = settings->value(QLatin1String(Keys[c])).toDouble(&ok);
        if (ok && std::isfinite(v)) {
            pos[c] = v;
            place(Cursor(c));
        }
    }
    xOn = settings->value(QStringLiteral("xVisible"), xOn).toBool();
    yOn = settings->value(QStringLiteral("yVisible"), yOn).toBool();
    settings->endGroup();
    updateLabels();
    emit visibilityChanged();
    emit moved();
}

void PlotCursors::saveSettings(QSettings *settings) const
{
    settings->beginGroup(QStringLiteral("Cursors"));
    for (int c = X1; c <= Y2; ++c)
        settings->setValue(QLatin1String(Keys[c]), pos[c]);
    settings->setValue(QStringLiteral("xVisible"), xOn);
    settings->setValue(QStringLiteral("yVisible"), yOn);
    settings->endGroup();
}

double PlotCursors::pixelOf(Cursor c) const
{
    return isVertical(c) ? plot->xAxis->coordToPixel(pos[c]) : plot->yAxis->coordToPixel(pos[c]);
}

double PlotCursors::valueAtPixel(Cursor c, double pixel) const
{
    return isVertical(c) ? plot->xAxis->pixelToCoord(pixel) : plot->yAxis->pixelToCoord(pixel);
}

bool PlotCursors::press(const QPoint &at)
{
    if (!plot->axisRect()->rect().contains(at))
        return false;
    double nearest = GrabDistancePx + 0.5;
    int found = -1;
    for (int c = X1; c <= Y2; ++c) {
        if (!lines[c]->visible())
            continue;
        const double d = std::abs(pixelOf(Cursor(c)) - (isVertical(c) ? at.x() : at.y()));
        if (d < nearest) {
            nearest = d;
            found = c;
        }
    }
    if (found < 0)
        return false;
    grabbed = found;
    if (isVertical(found))
        currentX = found;
    else
        currentY = found;
    updateLabels();
    plot->replot(QCustomPlot::rpQueuedReplot);
    return true;
}

bool PlotCursors::drag(const QPoint &at)
{
    if (grabbed < 0)
        return false;
    // Kept within the axis rectangle, where it can be grabbed again.
    const QRect r = plot->axisRect()->rect();
    const double pixel = isVertical(grabbed) ? qBound(r.left(), at.x(), r.right())
                                             : qBound(r.top(), at.y(), r.bottom());
    setPosition(Cursor(grabbed), valueAtPixel(Cursor(grabbed), pixel));
    return true;
}

bool PlotCursors::release()
{
    if (grabbed < 0)
        return false;
    grabbed = -1;
    return true;
}

bool PlotCursors::key(QKeyEvent *event)
{
    const int step = (event->modifiers() & Qt::ShiftModifier) ? 10 : 1;
    switch (event->key()) {
    case Qt::Key_1:
    case Qt::Key_2:
        if (!xOn && !yOn)
            return false;
        currentX = event->key() == Qt::Key_1 ? X1 : X2;
        currentY = event->key() == Qt::Key_1 ? Y1 : Y2;
        updateLabels();
        plot->replot(QCustomPlot::rpQueuedReplot);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        if (!xOn)
            return false;
        const Cursor c = Cursor(currentX);
        const int dir = event->key() == Qt::Key_Right ? 1 : -1;
        // A reversed axis moves the other way in coordinates, not on screen.
        setPosition(c, valueAtPixel(c, pixelOf(c) + dir * step));
        return true;
    }
    case Qt::Key_Up:
    case Qt::Key_Down: {
        if (!yOn)
            return false;
        const Cursor c = Cursor(currentY);
        const int dir = event->key() == Qt::Key_Up ? -1 : 1; // pixels grow downwards
        setPosition(c, valueAtPixel(c, pixelOf(c) + dir * step));
        return true;
    }
    default:
        return false;
    }
}
