#ifndef POINTAVERAGER_H
#define POINTAVERAGER_H

#include <QVector>

// A calibration point from live readings: the DC of a channel over a number
// of blocks, as its mean and its spread (sample standard deviation). Blocks
// whose DC is not a number are not counted.
class PointAverager
{
public:
    explicit PointAverager(int blocks = 0) { start(blocks); }

    void start(int blocks);
    // True once the wanted number of blocks has been taken.
    bool add(double dcMv);
    void cancel() { want = 0; }

    bool isRunning() const { return want > 0 && values.size() < want; }
    bool isDone() const { return want > 0 && values.size() >= want; }
    int taken() const { return values.size(); }
    int wanted() const { return want; }
    double mean() const;
    double spread() const;

private:
    int want = 0;
    QVector<double> values;
};

#endif // POINTAVERAGER_H
