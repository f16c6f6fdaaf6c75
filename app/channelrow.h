#ifndef CHANNELROW_H
#define CHANNELROW_H

class QCPGraph;
class QTableWidgetItem;
class CondLedIndicator;

// One row of the results table: the r-th enabled channel and its graphs.
// The items and lamps belong to the table, the graphs to their plots.
struct ChannelRow
{
    QCPGraph *timeGraph = nullptr;
    QCPGraph *fftGraph = nullptr;
    QCPGraph *trendGraph = nullptr;
    CondLedIndicator *rangeLed = nullptr;
    CondLedIndicator *udiffLed = nullptr;
    CondLedIndicator *ucmLed = nullptr;
    CondLedIndicator *shortLed = nullptr;
    CondLedIndicator *openLed = nullptr;
    QTableWidgetItem *channelCell = nullptr;
    // Columns 1, 2 and 8 to 17, in column order.
    QTableWidgetItem *valueCells[12] = {};

    QTableWidgetItem *cell(int column) const
    {
        if (column == 0)
            return channelCell;
        if (column == 1 || column == 2)
            return valueCells[column - 1];
        if (column >= 8 && column <= 17)
            return valueCells[column - 6];
        return nullptr;
    }
};

#endif // CHANNELROW_H
