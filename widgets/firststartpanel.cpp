#include "firststartpanel.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

FirstStartPanel::FirstStartPanel(QWidget *parent)
    : QWidget(parent)
    , m_label(new QLabel(this))
    , m_button(new QPushButton(this))
{
    setObjectName(QStringLiteral("firstStartPanel"));
    m_label->setObjectName(QStringLiteral("firstStartText"));
    m_button->setObjectName(QStringLiteral("firstStartConfigure"));
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont font = m_label->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    m_label->setFont(font);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(m_label);
    layout->addWidget(m_button, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    connect(m_button, &QPushButton::clicked, this, &FirstStartPanel::configureRequested);
    retranslate();
}

void FirstStartPanel::showReason(Reason reason, const QString &serverAddress)
{
    m_reason = reason;
    m_address = serverAddress;
    retranslate();
}

QString FirstStartPanel::text() const
{
    return m_label->text();
}

void FirstStartPanel::retranslate()
{
    if (m_reason == NoServer) {
        m_label->setText(
            tr("Сервер крейтов не отвечает по адресу %1.\n"
               "Запустите сервер крейтов или, для работы без оборудования, его эмулятор: "
               "grv480-emulator --port %2\n"
               "Затем нажмите \"Обновить\" (Ctrl+Shift+R).")
                .arg(m_address, m_address.section(QLatin1Char(':'), -1)));
        m_button->hide();
    } else {
        m_label->setText(tr("Не выбран ни один канал."));
        m_button->setText(tr("Настроить модуль..."));
        m_button->show();
    }
}

void FirstStartPanel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}
