#include "condledindicator.h"

#include "qledindicator.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

CondLedIndicator::CondLedIndicator(QWidget *parent)
    : QWidget(parent)
    , m_led(new QLedIndicator(this, 22))
{
    auto *layout = new QHBoxLayout(this);
    layout->setAlignment(Qt::AlignCenter);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_led);
    // A state display, not a switch: the operator must not toggle it.
    m_led->setEnabled(false);
    m_led->installEventFilter(this);
    setState(Off);
}

void CondLedIndicator::setState(int state)
{
    // Every block sets every lamp; a repaint of eighty unchanged lamps would
    // cost more than the block's plots.
    if (state == m_state)
        return;
    m_state = state;
    QColor c1, c2;
    switch (state) {
    case Green:
        c1 = QColor(0, 255, 0);
        c2 = QColor(0, 192, 0);
        break;
    case Red:
        c1 = QColor(255, 0, 0);
        c2 = QColor(192, 0, 0);
        break;
    case Grey:
        c1 = QColor(Qt::darkGray);
        c2 = QColor(Qt::gray);
        break;
    case Blue:
        c1 = QColor(0, 0, 255);
        c2 = QColor(0, 0, 192);
        break;
    case Yellow:
        c1 = QColor(255, 230, 0);
        c2 = QColor(210, 170, 0);
        break;
    default:
        m_led->setChecked(false);
        return;
    }
    m_led->setOnColor1(c1);
    m_led->setOnColor2(c2);
    m_led->setChecked(true);
    m_led->update();
}

void CondLedIndicator::setMeaning(const char *context, const char *sourceText)
{
    m_context = context;
    m_meaning = sourceText;
}

QString CondLedIndicator::stateText(int state)
{
    switch (state) {
    case Green:
        return tr("в норме");
    case Red:
        return tr("нарушение");
    case Grey:
        return tr("не измеряется");
    case Blue:
        return tr("не определено");
    default:
        return tr("нет данных");
    }
}

QString CondLedIndicator::toolTipText() const
{
    const QString what = m_meaning ? QCoreApplication::translate(m_context, m_meaning) : toolTip();
    return what.isEmpty() ? stateText(m_state) : tr("%1: %2").arg(what, stateText(m_state));
}

bool CondLedIndicator::event(QEvent *event)
{
    // Built when asked for: the state changes with every block, the text only
    // matters when someone hovers.
    if (event->type() == QEvent::ToolTip) {
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), toolTipText(), this);
        return true;
    }
    return QWidget::event(event);
}

bool CondLedIndicator::eventFilter(QObject *watched, QEvent *event)
{
    // A disabled LED swallows presses, so the container sees them here and
    // can still offer its context menu.
    if (event->type() == QEvent::MouseButtonPress && qobject_cast<QLedIndicator *>(watched)) {
        auto *me = static_cast<QMouseEvent *>(event);
        const QPoint global = m_led->mapToGlobal(me->pos());
        QMouseEvent forwarded(me->type(), mapFromGlobal(global), global, me->button(),
                              me->buttons(), me->modifiers());
        mousePressEvent(&forwarded);
    }
    return false;
}

void CondLedIndicator::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        emit customContextMenuRequested(event->pos());
}
