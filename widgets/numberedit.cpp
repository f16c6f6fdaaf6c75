#include "numberedit.h"

#include "scaling.h"

#include <QLocale>
#include <QMessageBox>

#include <cmath>

NumberEdit::NumberEdit(QWidget *parent)
    : QLineEdit(parent)
    , current(qQNaN())
{
    connect(this, &QLineEdit::editingFinished, this, &NumberEdit::commit);
}

bool NumberEdit::hasValue() const
{
    return std::isfinite(current);
}

void NumberEdit::setValue(double v)
{
    current = v;
    setText(std::isfinite(v) ? QLocale().toString(v, 'g', 12) : QString());
}

QString NumberEdit::judge(const QString &text, double *v) const
{
    *v = qQNaN();
    if (text.trimmed().isEmpty())
        return allowEmpty ? QString() : tr("Введите число");
    double d = 0;
    if (!parseNumber(text, &d))
        return tr("«%1» не является числом").arg(text.trimmed().left(40));
    if (!std::isfinite(d) || std::fabs(d) > Scaling::AbsurdMagnitude)
        return tr("Число %1 вне допустимых пределов (не больше 1e12 по модулю)")
            .arg(text.trimmed().left(40));
    if (extraCheck) {
        const QString why = extraCheck(d);
        if (!why.isEmpty())
            return why;
    }
    *v = d;
    return QString();
}

void NumberEdit::commit()
{
    // The box takes the focus, which finishes the editing once more.
    if (judging)
        return;
    double v;
    const QString why = judge(text(), &v);
    if (!why.isEmpty()) {
        judging = true;
        setValue(current);
        QMessageBox::warning(this, tr("Неверное значение"), why);
        judging = false;
        return;
    }
    const bool changed = !(v == current || (std::isnan(v) && std::isnan(current)));
    current = v;
    if (changed)
        emit valueEdited(v);
}
