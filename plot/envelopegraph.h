#ifndef ENVELOPEGRAPH_H
#define ENVELOPEGRAPH_H

#include <qcustomplot.h>

#include <QVector>

// A line graph for blocks of millions of points that draws what QCPGraph
// would draw with every point, at the cost of a few points per pixel column.
//
// It keeps the caller's key and value vectors (implicitly shared, no copy) and
// hands the drawing only, for each pixel column of the visible key range, the
// first, lowest, highest and last point of that column in data order. Within one
// column those trace the same vertical run as all of its points, and the
// segments between columns are the original ones. The envelope is rebuilt when
// the key range or the width changes (a zoom, a pan, a new block). Autoscaling
// sees the whole data, as it would with every point in the graph.
//
// Keys must be ascending. Values that are not finite are gaps, as in QCPGraph
// (where the caller turns them into NaN).
class EnvelopeGraph : public QCPGraph
{
    Q_OBJECT

public:
    EnvelopeGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);

    void setSource(const QVector<double> &keys, const QVector<double> &values);
    // Keys i * scale * step (evaluated in that order) for i = 0 .. values.size() - 1:
    // an evenly spaced axis that is never stored. Both factors must be positive.
    void setSource(double scale, double step, const QVector<double> &values);
    void clearSource();
    int sourceSize() const { return m_count; }

    QCPRange getKeyRange(bool &foundRange,
                         QCP::SignDomain inSignDomain = QCP::sdBoth) const override;
    QCPRange getValueRange(bool &foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth,
                           const QCPRange &inKeyRange = QCPRange()) const override;

    // Builds the envelope for the key range and width the next draw will use.
    void updateEnvelope();

protected:
    void draw(QCPPainter *painter) override;

private:
    void buildEnvelope(double lower, double upper, int columns);
    void computeRanges();
    void summarise();
    bool findExtremes(int a, int b, int &iLow, int &iHigh) const;
    double key(int i) const { return m_uniform ? i * m_keyScale * m_keyStep : m_keys[i]; }
    // The first index in [from, to) whose key is not below x (above x for upper).
    int lowerIndex(int from, int to, double x) const;
    int upperIndex(int from, int to, double x) const;

    // Lowest and highest value of every whole chunk of the values (NaN for a
    // chunk with a gap), so that a column of millions of points costs a pass
    // over its chunks, not over its points.
    static constexpr int ChunkSize = 256;
    QVector<double> m_chunkLow;
    QVector<double> m_chunkHigh;

    QVector<double> m_keys; // empty for an evenly spaced axis
    bool m_uniform = false;
    double m_keyScale = 0.0;
    double m_keyStep = 0.0;
    QVector<double> m_values;
    int m_count = 0;
    bool m_envelopeValid = false;
    double m_builtLower = 0.0;
    double m_builtUpper = 0.0;
    int m_builtColumns = 0;
    // Whole-data ranges for the autoscale, found once per block.
    bool m_keyRangeFound = false;
    QCPRange m_keyRange;
    bool m_valueRangeFound = false;
    QCPRange m_valueRange;
};

#endif // ENVELOPEGRAPH_H
