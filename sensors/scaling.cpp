#include "scaling.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QLocale>
#include <QStringList>

#include <cmath>

namespace {

bool sane(double v)
{
    return std::isfinite(v) && std::fabs(v) <= Scaling::AbsurdMagnitude;
}

const char *const KindKeys[] = {"none", "linear", "two-point", "table"};

Scaling::Kind kindFromKey(const QString &key)
{
    for (int i = 0; i < 4; ++i) {
        if (key == QLatin1String(KindKeys[i]))
            return Scaling::Kind(i);
    }
    return Scaling::None;
}

} // namespace

QString plainNumber(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

bool parseNumber(const QString &text, double *out)
{
    const QString t = text.trimmed();
    bool ok = false;
    double v = QLocale::c().toDouble(t, &ok);
    if (!ok)
        v = QLocale().toDouble(t, &ok);
    if (!ok)
        return false;
    *out = v;
    return true;
}

Scaling Scaling::linear(double factor, double offset)
{
    Scaling s;
    s.k = Linear;
    s.f = factor;
    s.o = offset;
    return s;
}

Scaling Scaling::twoPoint(Point a, Point b)
{
    Scaling s;
    s.k = TwoPoint;
    s.pts = {a, b};
    if (a.mv != b.mv) {
        s.f = (b.value - a.value) / (b.mv - a.mv);
        s.o = a.value - s.f * a.mv;
    }
    return s;
}

Scaling Scaling::table(const QVector<Point> &points)
{
    Scaling s;
    s.k = Table;
    s.pts = points;
    return s;
}

QString Scaling::problem() const
{
    switch (k) {
    case None:
        return tr("Градуировка не задана");
    case Linear:
        if (!sane(f) || !sane(o))
            return tr("Коэффициент и смещение должны быть конечными числами не больше 1e12 по "
                      "модулю");
        if (f == 0)
            return tr("Коэффициент не может быть равен нулю");
        return QString();
    case TwoPoint:
        if (pts.size() != 2)
            return tr("Нужны ровно две точки");
        for (const Point &p : pts) {
            if (!sane(p.mv) || !sane(p.value))
                return tr("Значения точек должны быть конечными числами не больше 1e12 по модулю");
        }
        if (pts.at(0).mv == pts.at(1).mv)
            return tr("У двух точек одинаковые значения в мВ");
        if (pts.at(0).value == pts.at(1).value)
            return tr("У двух точек одинаковые значения в единицах датчика");
        if (!sane(f) || !sane(o))
            return tr("Точки дают коэффициент вне допустимых пределов");
        return QString();
    case Table:
        if (pts.size() < 2)
            return tr("В таблице нужно не меньше двух точек");
        if (pts.size() > MaxTablePoints)
            return tr("В таблице больше %1 точек").arg(MaxTablePoints);
        for (int i = 0; i < pts.size(); ++i) {
            if (!sane(pts.at(i).mv) || !sane(pts.at(i).value))
                return tr("Точка %1: значения должны быть конечными числами не больше 1e12 по "
                          "модулю")
                    .arg(i + 1);
            if (i > 0 && !(pts.at(i).mv > pts.at(i - 1).mv))
                return tr("Точка %1: значения в мВ должны строго возрастать").arg(i + 1);
        }
        return QString();
    }
    return tr("Неизвестный вид градуировки");
}

double Scaling::apply(double mv, bool *outOfRange) const
{
    if (outOfRange)
        *outOfRange = false;
    if (!std::isfinite(mv) || !isValid())
        return qQNaN();
    if (k != Table)
        return f * mv + o;
    // The segment that holds mv, or the outer one beyond the ends.
    int i = 1;
    while (i < pts.size() - 1 && mv > pts.at(i).mv)
        ++i;
    if (outOfRange)
        *outOfRange = mv < pts.constFirst().mv || mv > pts.constLast().mv;
    const Point &a = pts.at(i - 1);
    const Point &b = pts.at(i);
    return a.value + (mv - a.mv) * (b.value - a.value) / (b.mv - a.mv);
}

double Scaling::slope(double mv) const
{
    if (!isValid())
        return qQNaN();
    if (k != Table)
        return f;
    if (!std::isfinite(mv))
        mv = pts.constFirst().mv;
    int i = 1;
    while (i < pts.size() - 1 && mv > pts.at(i).mv)
        ++i;
    const Point &a = pts.at(i - 1);
    const Point &b = pts.at(i);
    return (b.value - a.value) / (b.mv - a.mv);
}

QString Scaling::toText() const
{
    QStringList parts{QLatin1String(KindKeys[k])};
    if (k == Linear) {
        parts << plainNumber(f) << plainNumber(o);
    } else {
        for (const Point &p : pts)
            parts << plainNumber(p.mv) + QLatin1Char(':') + plainNumber(p.value);
    }
    return parts.join(QLatin1Char(';'));
}

Scaling Scaling::fromText(const QString &text, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return Scaling();
    };
    const QStringList parts = text.split(QLatin1Char(';'));
    const Kind kind = kindFromKey(parts.constFirst().trimmed());
    if (kind == None)
        return fail(tr("Неизвестный вид градуировки «%1»").arg(parts.constFirst().left(40)));
    if (parts.size() - 1 > MaxTablePoints)
        return fail(tr("В таблице больше %1 точек").arg(MaxTablePoints));
    auto number = [](const QString &t, double *v) {
        bool ok = false;
        *v = QLocale::c().toDouble(t.trimmed(), &ok);
        return ok;
    };
    Scaling s;
    if (kind == Linear) {
        double factor, offset;
        if (parts.size() != 3 || !number(parts.at(1), &factor) || !number(parts.at(2), &offset))
            return fail(tr("Линейная градуировка: нужны коэффициент и смещение"));
        s = linear(factor, offset);
    } else {
        QVector<Point> points;
        for (int i = 1; i < parts.size(); ++i) {
            const QStringList pair = parts.at(i).split(QLatin1Char(':'));
            Point p;
            if (pair.size() != 2 || !number(pair.at(0), &p.mv) || !number(pair.at(1), &p.value))
                return fail(tr("Точка %1: нужна пара «мВ:значение»").arg(i));
            points << p;
        }
        if (kind == TwoPoint && points.size() != 2)
            return fail(tr("Нужны ровно две точки"));
        s = kind == TwoPoint ? twoPoint(points.at(0), points.at(1)) : table(points);
    }
    const QString why = s.problem();
    if (!why.isEmpty())
        return fail(why);
    return s;
}

QJsonObject Scaling::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("kind"), QLatin1String(KindKeys[k]));
    if (k == Linear) {
        o.insert(QStringLiteral("factor"), f);
        o.insert(QStringLiteral("offset"), this->o);
    } else {
        QJsonArray points;
        for (const Point &p : pts)
            points.append(QJsonArray{p.mv, p.value});
        o.insert(QStringLiteral("points"), points);
    }
    return o;
}

Scaling Scaling::fromJson(const QJsonObject &json, QString *error)
{
    // One reader for both forms: the text form is checked already.
    QStringList parts{json.value(QStringLiteral("kind")).toString()};
    auto num = [](const QJsonValue &v) {
        return v.isDouble() ? plainNumber(v.toDouble()) : QStringLiteral("x");
    };
    if (kindFromKey(parts.constFirst()) == Linear) {
        parts << num(json.value(QStringLiteral("factor")))
              << num(json.value(QStringLiteral("offset")));
    } else {
        const QJsonArray points = json.value(QStringLiteral("points")).toArray();
        if (points.size() > MaxTablePoints) {
            if (error)
                *error = tr("В таблице больше %1 точек").arg(MaxTablePoints);
            return Scaling();
        }
        for (const QJsonValue &p : points) {
            const QJsonArray pair = p.toArray();
            parts << (pair.size() == 2 ? num(pair.at(0)) + QLatin1Char(':') + num(pair.at(1))
                                       : QStringLiteral("x"));
        }
    }
    return fromText(parts.join(QLatin1Char(';')), error);
}

QString Scaling::kindName(Kind kind)
{
    switch (kind) {
    case Linear:
        return tr("Линейная");
    case TwoPoint:
        return tr("По двум точкам");
    case Table:
        return tr("Таблица");
    case None:
        break;
    }
    return tr("Нет");
}

bool Scaling::operator==(const Scaling &other) const
{
    if (k != other.k)
        return false;
    if (k == Linear)
        return f == other.f && o == other.o;
    return pts == other.pts;
}
