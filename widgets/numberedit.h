#ifndef NUMBEREDIT_H
#define NUMBEREDIT_H

#include <QLineEdit>

#include <functional>

// A line edit for one number that refuses what is not a usable number where
// it is typed: a message says what is wrong, and the previous value comes
// back. Empty means "not set" (NaN) where allowed.
class NumberEdit : public QLineEdit
{
    Q_OBJECT

public:
    // Further check of a number; returns why it is refused, empty if taken.
    using Check = std::function<QString(double)>;

    explicit NumberEdit(QWidget *parent = nullptr);

    double value() const { return current; }
    bool hasValue() const;
    void setValue(double v); // NaN empties the field
    void setAllowEmpty(bool allow) { allowEmpty = allow; }
    void setCheck(Check check) { extraCheck = std::move(check); }

    // What is wrong with a text, empty when it is taken; *v gets the number.
    QString judge(const QString &text, double *v) const;

signals:
    void valueEdited(double v);

private:
    void commit();

    double current;
    bool allowEmpty = false;
    bool judging = false;
    Check extraCheck;
};

#endif // NUMBEREDIT_H
