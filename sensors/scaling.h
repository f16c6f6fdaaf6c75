#ifndef SCALING_H
#define SCALING_H

#include <QCoreApplication>
#include <QJsonObject>
#include <QString>
#include <QVector>

// How a channel's unbalance in mV becomes a value in a sensor's unit:
// linear (value = factor * mV + offset), two points (the line through them)
// or a table of points joined by straight lines. Beyond the ends of a table
// the outer segments go on, and the value is marked out of the calibrated
// range.
//
// A scaling is a plain value; isValid() says whether it can be applied. The
// constructors take anything, so that a file's contents can be checked before
// they are refused.
class Scaling
{
    Q_DECLARE_TR_FUNCTIONS(Scaling)

public:
    enum Kind { None, Linear, TwoPoint, Table };

    struct Point
    {
        double mv = 0;
        double value = 0;
        bool operator==(const Point &o) const { return mv == o.mv && value == o.value; }
    };

    // Numbers beyond this are typing errors, not measurements.
    static constexpr double AbsurdMagnitude = 1e12;
    static constexpr int MaxTablePoints = 1000;

    Scaling() = default;
    static Scaling linear(double factor, double offset);
    static Scaling twoPoint(Point a, Point b);
    static Scaling table(const QVector<Point> &points);

    Kind kind() const { return k; }
    double factor() const { return f; }
    double offset() const { return o; }
    // The two points, or the table's points; empty for a linear scaling.
    const QVector<Point> &points() const { return pts; }

    // Empty when the scaling can be applied, otherwise what is wrong with it.
    QString problem() const;
    bool isValid() const { return problem().isEmpty(); }

    // The value for mv; *outOfRange says whether a table had to be extended.
    // NaN for an invalid scaling or a mv that is not finite.
    double apply(double mv, bool *outOfRange = nullptr) const;
    // Units per mV at mv: scales an AC value measured around that DC.
    double slope(double mv) const;

    // "linear;2.5;0.1", "two-point;0:0;1.5:100", "table;0:0;1:50;2:120" with
    // numbers in the C locale, so that a file reads the same anywhere.
    QString toText() const;
    // A text that is not a scaling gives kind None and the reason in *error.
    static Scaling fromText(const QString &text, QString *error = nullptr);

    QJsonObject toJson() const;
    static Scaling fromJson(const QJsonObject &o, QString *error = nullptr);

    static QString kindName(Kind kind); // for people, translated
    bool operator==(const Scaling &other) const;
    bool operator!=(const Scaling &other) const { return !(*this == other); }

private:
    Kind k = None;
    double f = 0;
    double o = 0;
    QVector<Point> pts;
};

// Shortest text that reads back to the same double, in the C locale.
QString plainNumber(double v);
// A number as typed: the C locale or the default locale's decimal separator.
bool parseNumber(const QString &text, double *out);

#endif // SCALING_H
