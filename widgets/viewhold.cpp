#include "viewhold.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

ViewHold::ViewHold(QMainWindow *window)
    : QObject(window)
    , holdAct(new QAction(window))
    , label(new QLabel(window))
{
    holdAct->setObjectName(QStringLiteral("actionHoldView"));
    holdAct->setCheckable(true);
    holdAct->setShortcuts(shortcuts());
    // The window's shortcut, whatever widget has the focus.
    holdAct->setShortcutContext(Qt::WindowShortcut);
    window->addAction(holdAct);
    label->setObjectName(QStringLiteral("holdLabel"));
    label->hide();
    window->statusBar()->addPermanentWidget(label);
    // The window hears of a language change; its label and action texts follow.
    window->installEventFilter(this);
    retranslate();
    connect(holdAct, &QAction::toggled, this, &ViewHold::toggled);
}

QList<QKeySequence> ViewHold::shortcuts()
{
    return {QKeySequence(Qt::Key_F8), QKeySequence(Qt::Key_Pause)};
}

bool ViewHold::isHeld() const
{
    return holdAct->isChecked();
}

void ViewHold::blockArrived(const QSharedPointer<DataBlockProcessor::DataBlock> &block)
{
    ++count;
    newest = block;
    updateLabel();
}

void ViewHold::viewCleared()
{
    newest.reset();
}

void ViewHold::toggled(bool on)
{
    count = 0;
    updateLabel();
    label->setVisible(on);
    if (on)
        return;
    const auto block = newest;
    newest.reset();
    if (block)
        emit released(block);
}

bool ViewHold::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    return QObject::eventFilter(watched, event);
}

void ViewHold::retranslate()
{
    holdAct->setText(tr("Стоп-кадр"));
    holdAct->setToolTip(tr("Стоп-кадр (%1): графики, таблица и панель состояния не меняются, "
                           "измерение и запись продолжаются")
                            .arg(shortcuts().first().toString(QKeySequence::NativeText)));
    updateLabel();
}

void ViewHold::updateLabel()
{
    label->setText(tr("Стоп-кадр: с момента остановки получено блоков: %1").arg(count));
}
