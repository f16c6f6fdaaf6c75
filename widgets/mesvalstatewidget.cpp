#include "mesvalstatewidget.h"
#include "ui_mesvalstatewidget.h"

#include "condledindicator.h"

#include <QEvent>
#include <QLocale>

MesValStateWidget::MesValStateWidget(QWidget *parent)
    : QWidget(parent),
      ui(new Ui::MesValStateWidget)
{
    ui->setupUi(this);
}

MesValStateWidget::~MesValStateWidget()
{
    delete ui;
}

void MesValStateWidget::setValueEnabled(bool on)
{
    valueEnabled = on;
    ui->value->setEnabled(on);
    ui->ovLed->setState(on ? CondLedIndicator::Off : CondLedIndicator::Grey);
}

void MesValStateWidget::setOpenCheck(bool on)
{
    openCheckEnabled = on;
    ui->openLed->setState(on ? CondLedIndicator::Off : CondLedIndicator::Grey);
}

void MesValStateWidget::setShortCheck(bool on)
{
    shortCheckEnabled = on;
    ui->shortLed->setState(on ? CondLedIndicator::Off : CondLedIndicator::Grey);
}

void MesValStateWidget::setOpenVisible(bool visible)
{
    ui->openLed->setVisible(visible);
    ui->openLbl->setVisible(visible);
}

void MesValStateWidget::setShortVisible(bool visible)
{
    ui->shortLed->setVisible(visible);
    ui->shortLbl->setVisible(visible);
}

void MesValStateWidget::clear()
{
    ui->value->setText(QString());
}

void MesValStateWidget::showValue(const TGRV480MeasValue *v, bool passed, const QString &suffix,
                                  int decimals)
{
    if (!v) {
        clear();
        return;
    }
    const int s = v->state;

    if (s == GRV480_MV_FAULT || s == GRV480_MV_COND_VIOLATED) {
        ui->ovLed->setState(CondLedIndicator::Red);
    } else if (valueEnabled) {
        if (s == GRV480_MV_VALID && passed)
            ui->ovLed->setState(CondLedIndicator::Green);
        else if (s == GRV480_MV_NO_VALUE)
            ui->ovLed->setState(CondLedIndicator::Off);
        else if (s == GRV480_MV_SHORT || s == GRV480_MV_OPEN || s == GRV480_MV_UNDETERMINED)
            ui->ovLed->setState(CondLedIndicator::Blue);
        else
            ui->ovLed->setState(CondLedIndicator::Red);
    }

    ui->value->setEnabled(s != GRV480_MV_NOT_MEASURED);
    ui->value->setText(v->valid ? QLocale().toString(v->value, 'f', decimals) + suffix : QString());

    // "No value yet" says nothing about the line, so the line lamps keep their states.
    if (s == GRV480_MV_NO_VALUE)
        return;

    if (s == GRV480_MV_OPEN)
        ui->openLed->setState(CondLedIndicator::Red);
    else if (!openCheckEnabled)
        ui->openLed->setState(CondLedIndicator::Grey);
    else if (s == GRV480_MV_UNDETERMINED)
        ui->openLed->setState(CondLedIndicator::Blue);
    else
        ui->openLed->setState(CondLedIndicator::Green);

    if (s == GRV480_MV_SHORT)
        ui->shortLed->setState(CondLedIndicator::Red);
    else if (!shortCheckEnabled)
        ui->shortLed->setState(CondLedIndicator::Grey);
    else if (s == GRV480_MV_OPEN || s == GRV480_MV_UNDETERMINED)
        ui->shortLed->setState(CondLedIndicator::Blue);
    else
        ui->shortLed->setState(CondLedIndicator::Green);
}

int MesValStateWidget::rangeState() const
{
    return ui->ovLed->state();
}

int MesValStateWidget::shortState() const
{
    return ui->shortLed->state();
}

int MesValStateWidget::openState() const
{
    return ui->openLed->state();
}

QString MesValStateWidget::text() const
{
    return ui->value->text();
}

bool MesValStateWidget::isValueFieldEnabled() const
{
    return ui->value->isEnabled();
}

void MesValStateWidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
