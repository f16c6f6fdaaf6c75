#include "runstatelabel.h"

#include <QEvent>
#include <QLocale>

namespace {

// Russian takes three forms of "channel" for 1 to 16; English two, which
// the translations of these three texts give.
QString channelCount(int n)
{
    const int lastTwo = n % 100, last = n % 10;
    if (last == 1 && lastTwo != 11)
        return RunStateLabel::tr("%1 канал").arg(n);
    if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        return RunStateLabel::tr("%1 канала").arg(n);
    return RunStateLabel::tr("%1 каналов").arg(n);
}

} // namespace

RunStateLabel::RunStateLabel(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("runStateLabel"));
    refresh();
}

void RunStateLabel::setRunState(const State &state)
{
    m_state = state;
    refresh();
}

void RunStateLabel::blockShown()
{
    if (m_state.mode != State::Acquiring)
        return;
    ++m_state.block;
    refresh();
}

QString RunStateLabel::describe(const State &s)
{
    QString text;
    switch (s.mode) {
    case State::NoModule:
        return tr("Модуль не открыт");
    case State::LinkLost:
        return tr("Связь потеряна: значения устарели; Обновить — Ctrl+Shift+R");
    case State::Idle:
        text = tr("Сбор данных остановлен");
        break;
    case State::NoChannel:
        text = tr("Ни один канал не выбран, сбор данных не идёт");
        break;
    case State::Acquiring:
        text = tr("Сбор данных: блок %1, %2 с, %3")
                   .arg(s.block)
                   .arg(QLocale().toString(s.blockSeconds, 'f', 1), channelCount(s.channels));
        break;
    }
    return s.module.isEmpty() ? text : tr("%1 — %2").arg(text, s.module);
}

void RunStateLabel::refresh()
{
    setText(describe(m_state));
    // A lost link is the one state that asks the operator to act.
    setStyleSheet(m_state.mode == State::LinkLost ? QStringLiteral("color: red; font-weight: bold;")
                                                  : QString());
}

void RunStateLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        refresh();
}
