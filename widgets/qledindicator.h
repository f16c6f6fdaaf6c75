#ifndef QLEDINDICATOR_H
#define QLEDINDICATOR_H

#include <QAbstractButton>
#include <QColor>

// A round, shaded lamp drawn with gradients; checked means lit.
class QLedIndicator : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QColor onColor1 READ onColor1 WRITE setOnColor1)
    Q_PROPERTY(QColor onColor2 READ onColor2 WRITE setOnColor2)
    Q_PROPERTY(QColor offColor1 READ offColor1 WRITE setOffColor1)
    Q_PROPERTY(QColor offColor2 READ offColor2 WRITE setOffColor2)

public:
    explicit QLedIndicator(QWidget *parent = nullptr, int size = 24);

    QColor onColor1() const { return m_onColor1; }
    QColor onColor2() const { return m_onColor2; }
    QColor offColor1() const { return m_offColor1; }
    QColor offColor2() const { return m_offColor2; }
    int blinkInterval() const { return m_blinkInterval; }
    bool isBlinking() const { return m_blinking; }

public slots:
    // The setters only store the colour: the owner repaints when it is done.
    void setOnColor1(QColor c);
    void setOffColor1(QColor c);
    void setOnColor2(QColor c);
    void setOffColor2(QColor c);
    void setBlinkInterval(int ms);
    void blink();

private slots:
    void blinkOff();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QColor m_onColor1;
    QColor m_onColor2;
    QColor m_offColor1;
    QColor m_offColor2;
    int m_blinkInterval = 200;
    bool m_blinking = false;
    bool m_blinkPending = false;
};

#endif // QLEDINDICATOR_H
