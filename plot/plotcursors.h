#ifndef PLOTCURSORS_H
#define PLOTCURSORS_H

#include <QObject>
#include <QString>

class QCustomPlot;
class QCPItemStraightLine;
class QCPItemText;
class QKeyEvent;
class QPoint;
class QSettings;

// Two vertical and two horizontal cursors on a plot, in the plot's own
// coordinates, so that they stay at their time, frequency or level whatever
// the data and the axes do. A cursor is moved by dragging it or, while the plot
// has the focus, by the arrow keys (Left and Right the current vertical one, Up
// and Down the current horizontal one; Shift for ten pixels at a time; 1 and 2
// choose which of the pair is current).
class PlotCursors : public QObject
{
    Q_OBJECT

public:
    enum Cursor { X1, X2, Y1, Y2 };

    // xName and yName label the cursors ("t" gives "t1" and "t2").
    PlotCursors(QCustomPlot *plot, const QString &xName, const QString &yName);

    void setXVisible(bool on);
    void setYVisible(bool on);
    bool xVisible() const { return xOn; }
    bool yVisible() const { return yOn; }

    double position(Cursor c) const { return pos[c]; }
    void setPosition(Cursor c, double value);

    // A cursor shown outside the visible range is of no use: both of a pair go
    // to a third and two thirds of it when neither is in view.
    void bringIntoView();

    // Within the caller's settings group.
    void loadSettings(QSettings *settings);
    void saveSettings(QSettings *settings) const;

    // Event hooks of the plot; true when the event moved or grabbed a cursor.
    bool press(const QPoint &at);
    bool drag(const QPoint &at);
    bool release();
    bool isDragging() const { return grabbed >= 0; }
    bool key(QKeyEvent *event);

    static constexpr int GrabDistancePx = 5;

signals:
    void moved();
    void visibilityChanged();

private:
    void place(Cursor c);
    void updateLabels();
    double pixelOf(Cursor c) const;
    double valueAtPixel(Cursor c, double pixel) const;

    QCustomPlot *plot;
    QString names[2];
    QCPItemStraightLine *lines[4] = {};
    QCPItemText *labels[4] = {};
    double pos[4] = {0.0, 0.0, 0.0, 0.0};
    bool xOn = false;
    bool yOn = false;
    int grabbed = -1;
    int currentX = X1;
    int currentY = Y1;
};

#endif // PLOTCURSORS_H
