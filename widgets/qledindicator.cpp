#include "qledindicator.h"

#include <QPainter>
#include <QRadialGradient>
#include <QTimer>

#include <algorithm>

QLedIndicator::QLedIndicator(QWidget *parent, int size)
    : QAbstractButton(parent),
      m_onColor1(0, 255, 0),
      m_onColor2(0, 192, 0),
      m_offColor1(0, 28, 0),
      m_offColor2(0, 128, 0)
{
    setMinimumSize(size, size);
    setMaximumHeight(size);
    setCheckable(true);
}

void QLedIndicator::setOnColor1(QColor c)
{
    m_onColor1 = c;
}

void QLedIndicator::setOffColor1(QColor c)
{
    m_offColor1 = c;
}

void QLedIndicator::setOnColor2(QColor c)
{
    m_onColor2 = c;
}

void QLedIndicator::setOffColor2(QColor c)
{
    m_offColor2 = c;
}

void QLedIndicator::setBlinkInterval(int ms)
{
    m_blinkInterval = ms;
}

void QLedIndicator::blink()
{
    // Requests that arrive during a blink collapse into one further blink.
    if (m_blinking) {
        m_blinkPending = true;
        return;
    }
    m_blinking = true;
    setChecked(true);
    QTimer::singleShot(m_blinkInterval, this, &QLedIndicator::blinkOff);
}

void QLedIndicator::blinkOff()
{
    if (isChecked()) {
        // The dark phase lasts as long as the lit one, so blinks stay visible.
        setChecked(false);
        QTimer::singleShot(m_blinkInterval, this, &QLedIndicator::blinkOff);
        return;
    }
    m_blinking = false;
    if (m_blinkPending) {
        m_blinkPending = false;
        m_blinking = true;
        setChecked(true);
        QTimer::singleShot(m_blinkInterval, this, &QLedIndicator::blinkOff);
    }
}

void QLedIndicator::resizeEvent(QResizeEvent *event)
{
    Q_UNUSED(event)
    update();
}

void QLedIndicator::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const qreal scale = std::min(width(), height()) / 1000.0;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::black, 1));
    painter.translate(width() / 2, height() / 2);
    painter.scale(scale, scale);

    QRadialGradient outer(QPointF(-500, -500), 1500, QPointF(-500, -500));
    outer.setColorAt(0, QColor(224, 224, 224));
    outer.setColorAt(1, QColor(28, 28, 28));
    painter.setBrush(outer);
    painter.drawEllipse(QPointF(0, 0), 500, 500);

    QRadialGradient inner(QPointF(500, 500), 1500, QPointF(500, 500));
    inner.setColorAt(0, QColor(224, 224, 224));
    inner.setColorAt(1, QColor(28, 28, 28));
    painter.setBrush(inner);
    painter.drawEllipse(QPointF(0, 0), 450, 450);

    const QPointF lampCentre = isChecked() ? QPointF(-500, -500) : QPointF(500, 500);
    QRadialGradient lamp(lampCentre, 1500, lampCentre);
    lamp.setColorAt(0, isChecked() ? m_onColor1 : m_offColor1);
    lamp.setColorAt(1, isChecked() ? m_onColor2 : m_offColor2);
    painter.setBrush(lamp);
    painter.drawEllipse(QPointF(0, 0), 400, 400);
}
