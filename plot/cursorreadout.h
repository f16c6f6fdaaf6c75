#ifndef CURSORREADOUT_H
#define CURSORREADOUT_H

#include "cursorreading.h"
#include "datablockprocessor.h"

#include <QSharedPointer>
#include <QVector>
#include <QWidget>

class Plot;
class QAction;
class QCheckBox;
class QCPGraph;
class QLabel;
class QTableWidget;

// The read-out of the plot cursors: the times, levels and frequencies of the
// cursors and, for each shown channel, its values and spectrum levels at them
// with their differences; and the markers of each shown channel's dominant
// line and its harmonics on the spectrum plot. Its action shows and hides the
// cursors of both plots together with the read-out.
//
// It reads the block the window shows, so that it stands still when the view
// is held.
class CursorReadout : public QWidget
{
    Q_OBJECT

public:
    // Creates the cursors of both plots; their positions and visibility are
    // then loaded with the plots' settings.
    CursorReadout(Plot *timePlot, Plot *fftPlot, QWidget *parent = nullptr);
    ~CursorReadout() override;

    QAction *toggleAction() const { return action; }

    // The block on screen; rows lists the channel results whose graphs are
    // shown, channelNumbers the physical channel of every result.
    void setBlock(const QSharedPointer<const DataBlockProcessor::DataBlock> &block,
                  const QVector<int> &rows, const QVector<int> &channelNumbers);
    void clear();
    QSharedPointer<const DataBlockProcessor::DataBlock> shownBlock() const { return block; }

    const CursorReading::Reading &reading() const { return current; }
    // Markers drawn on the spectrum plot, per shown channel.
    const QVector<QVector<CursorReading::Line>> &markedLines() const { return marked; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void syncWithPlots();
    void setCursorsShown(bool on);
    void refresh();
    void updateMarkers();

    Plot *timePlot;
    Plot *fftPlot;
    QAction *action;
    QCheckBox *levelsBox;
    QCheckBox *harmonicsBox;
    QLabel *timeLine;
    QLabel *levelLine;
    QLabel *freqLine;
    QTableWidget *table;

    QSharedPointer<const DataBlockProcessor::DataBlock> block;
    QVector<int> rows;
    QVector<int> channelNumbers;
    CursorReading::Reading current;
    QVector<QVector<CursorReading::Line>> marked;
    QVector<QCPGraph *> fundamentalGraphs;
    QVector<QCPGraph *> harmonicGraphs;
};

#endif // CURSORREADOUT_H
