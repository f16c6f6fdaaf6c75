#ifndef TRENDPLOT_H
#define TRENDPLOT_H

#include "plot.h"
#include "trendstore.h"

class QActionGroup;
class QMenu;

// The chart recorder: one per-block result of every shown channel against
// the time of day, from the blocks of its TrendStore. The quantity is chosen
// in the context menu and kept with the axes. The lines follow the store on
// the next replot after markDirty(), so any number of blocks between two
// replots costs one rebuild.
class TrendPlot : public Plot
{
    Q_OBJECT

public:
    explicit TrendPlot(QWidget *parent = nullptr);

    TrendStore &store() { return m_store; }
    const TrendStore &store() const { return m_store; }

    // A graph that draws the store's series of one physical channel (0 to 15).
    QCPGraph *addTrendGraph(int channel);
    void setGraphChannel(QCPGraph *graph, int channel);

    TrendStore::Quantity quantity() const { return m_quantity; }
    void setQuantity(TrendStore::Quantity q);
    static QString quantityName(TrendStore::Quantity q);

    void loadSettings(QSettings *settings, const QString &group);
    void saveSettings(QSettings *settings);

    // Lines follow the store at the next replot, which this requests.
    void markDirty();
    // Rebuilds the lines now (a replot does it when they are dirty).
    void rebuild();

signals:
    void quantityChanged(TrendStore::Quantity q);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    TrendStore m_store;
    TrendStore::Quantity m_quantity = TrendStore::Dc;
    bool m_dirty = false;
};

#endif // TRENDPLOT_H
