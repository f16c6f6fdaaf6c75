#ifndef RESULTSTABLE_H
#define RESULTSTABLE_H

#include "channelrow.h"
#include "datablockprocessor.h"

#include <QList>
#include <QObject>

#include <functional>

class QStandardItemModel;
class QTableWidget;
class QTableWidgetItem;
class DeviceConfig;

// The measurement results table: its two-level header, the cells and lamps
// of each channel's row, and what a block writes into them. The live window
// and the review of a recording fill their tables through one of these; the
// graphs of a row belong to the window.
class ResultsTable : public QObject
{
    Q_OBJECT

public:
    static constexpr int ColumnCount = 18;
    static constexpr int LampCount = 5; // range, short, open, Udiff, Ucm

    // Which of the checks a configuration runs, and so which lamps and cells mean something.
    struct Checks
    {
        bool shortCheck = false;
        bool openCheck = false;
        bool uxOrUcm = false;
        bool ucm = false;
        static Checks of(const DeviceConfig &config);
    };

    explicit ResultsTable(QTableWidget *table);

    QTableWidget *table() const { return view; }
    // The header texts in the current language.
    void retranslate();

    // The table's height for its header, n rows and a horizontal scroll bar.
    int heightForRows(int n) const;

    // Cells and lamps of table row r into row (the graphs are left as they are).
    void addRow(int r, ChannelRow *row);
    void clearRow(ChannelRow *row, const Checks &checks);
    // One channel's results of a block; f is the block's frame status.
    void showChannel(ChannelRow *row, const DataBlockProcessor::ChResult &c,
                     const TGRV480FrameStatus &f, const Checks &checks);
    // The row of physical channel (0 to 15): its number and its colour in the
    // table and in the row's graphs.
    static void setRowChannel(ChannelRow *row, int channel);

    // After a change of item: when it is the channel cell of one of rows, that
    // row's graphs are shown as the cell is checked, and the row is returned.
    static ChannelRow *showRowGraphs(const QList<ChannelRow *> &rows, QTableWidgetItem *item);

    // What the time plot draws of a row's values (the values themselves, or
    // their equivalent in another unit).
    using PlotValues = std::function<QVector<double>(int row, const QVector<double> &values)>;
    // A block into the rows, one result a row: cells, lamps and the time and
    // spectrum graphs. Returns the number of rows written.
    int showBlock(const QList<ChannelRow *> &rows, const DataBlockProcessor::DataBlock &block,
                  const Checks &checks, const PlotValues &plotValues);

    // The lamps as recorded, LampCount codes from lamps (0 green, 1 red, 2 off, 3 grey, 4 blue).
    static void setLamps(ChannelRow *row, const quint8 *lamps);

private:
    QTableWidget *view;
    QStandardItemModel *headerTree = nullptr;
};

#endif // RESULTSTABLE_H
