#ifndef DECIMALAXIS_H
#define DECIMALAXIS_H

#include <QByteArray>
#include <QtGlobal>

// An evenly spaced axis (time in ms, frequency in Hz) written from its decimal
// definition: value i is i × step, computed in decimal, so that the 33rd point
// of a 0.1 ms axis is 3.3 and not the 3.3000000000000003 that binary arithmetic
// gives. The step is taken at 15 significant digits, which every decimal of up
// to 15 digits survives as a double, and beyond which lies the noise of the
// arithmetic that made it (1 / (N × interval)).
class DecimalAxis
{
public:
    // step × 10^shift10 is the axis' step (shift10 = 3 turns seconds into ms).
    explicit DecimalAxis(double step, int shift10 = 0);

    // The exact decimal of i × step, without trailing zeros.
    void appendText(QByteArray &out, qint64 i) const;
    QByteArray text(qint64 i) const;
    // The double nearest to that decimal.
    double value(qint64 i) const;

private:
    bool exact = false;  // false: the step has no usable decimal (not finite, too large)
    qint64 mantissa = 0; // step = mantissa × 10^-decimals
    int decimals = 0;
    double binaryStep = 0.0;
};

#endif // DECIMALAXIS_H
