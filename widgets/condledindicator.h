#ifndef CONDLEDINDICATOR_H
#define CONDLEDINDICATOR_H

#include <QWidget>

class QLedIndicator;

// A centred 22-pixel lamp reduced to six states:
// 0 green, 1 red, 2 off, 3 grey, 4 blue, 5 yellow (any other value is off as well).
class CondLedIndicator : public QWidget
{
    Q_OBJECT

public:
    enum State { Green = 0, Red = 1, Off = 2, Grey = 3, Blue = 4, Yellow = 5 };

    explicit CondLedIndicator(QWidget *parent = nullptr);

    void setState(int state);
    int state() const { return m_state; }
    QLedIndicator *led() const { return m_led; }

    bool eventFilter(QObject *watched, QEvent *event) override;

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QLedIndicator *m_led;
    int m_state = Off;
};

#endif // CONDLEDINDICATOR_H
