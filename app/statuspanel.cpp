#include "statuspanel.h"
#include "ui_statuspanel.h"

#include "condledindicator.h"
#include "deviceconfig.h"
#include "resultrules.h"

#include <cmath>

using namespace ResultRules;

namespace {

// A value the module reports as valid but that is not a number is not shown.
TGRV480MeasValue shownValue(TGRV480MeasValue v)
{
    if (!std::isfinite(v.value))
        v.valid = 0;
    return v;
}

} // namespace

StatusPanel::StatusPanel(QWidget *parent)
    : QGroupBox(parent)
    , ui(new Ui::StatusPanel)
{
    ui->setupUi(this);
    ui->uneg->setShortVisible(false);
    ui->vadj->setOpenVisible(false);
    ui->vadj->setShortVisible(false);
    ui->formLayout_2->setVerticalSpacing(2);
    ui->formLayout_3->setVerticalSpacing(2);
    ui->loadPowExcLed->setMeaning("StatusPanel",
                                  QT_TRANSLATE_NOOP("StatusPanel", "Превышение мощности нагрузки"));
}

StatusPanel::~StatusPanel()
{
    delete ui;
}

QFormLayout *StatusPanel::formLayout() const
{
    return ui->formLayout_2;
}

CondLedIndicator *StatusPanel::loadPowerLed() const
{
    return ui->loadPowExcLed;
}

void StatusPanel::setCurrentSet(const QString &text)
{
    ui->isrcSet->setText(text);
}

void StatusPanel::changeEvent(QEvent *event)
{
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}

void StatusPanel::clear(const DeviceConfig &c)
{
    ui->uref->setValueEnabled(c.bgMeasUrefEn());
    ui->uref->setOpenCheck(c.bgMeasCheckOpenUrefEn());
    ui->uref->setShortCheck(c.bgMeasCheckShortUrefEn());
    ui->uref_r->setValueEnabled(c.bgMeasUrefEn() && c.ch16ForUref);
    ui->uref_r->setOpenCheck(c.bgMeasCheckOpenUrefEn() && c.ch16ForUref);
    ui->uref_r->setShortCheck(c.bgMeasCheckShortUrefEn() && c.ch16ForUref);
    ui->rref_r->setEnabled(c.bgMeasUrefEn() && c.ch16ForUref);
    ui->pref_r->setEnabled(c.bgMeasUrefEn() && c.ch16ForUref);
    ui->uneg->setValueEnabled(c.bgMeasUnegEn());
    ui->uneg->setOpenCheck(c.bgMeasCheckOpenUnegEn());
    ui->vadj->setValueEnabled(c.bgMeasVadjEn());

    ui->loadPowExcLed->setState(LedOff);
    ui->uref->clear();
    ui->uref_r->clear();
    ui->vadj->clear();
    ui->uneg->clear();
    ui->rref->clear();
    ui->rref_r->clear();
    ui->pref_r->clear();
    ui->rrefPow->clear();
    ui->isrcRec->clear();
}

void StatusPanel::showFrameStatus(const TGRV480FrameStatus &f, const DeviceConfig &config)
{
    const double currentA = config.iSrcValue() / 1000.0;

    const TGRV480MeasValue uref = shownValue(f.uref);
    ui->uref->showValue(&uref, true, QString(), 3);
    if (f.uref.state == GRV480_MV_VALID) {
        const RefFigures ref = refFigures(f.uref.value, currentA);
        ui->rref->setText(formatFixed(ref.resistance, 3));
        ui->rrefPow->setText(formatFixed(ref.power, 3));
        const double r = bridgeResistance(f.uneg.value, f.uref.value, currentA);
        ui->isrcRec->setText(formatFixed(recommendedCurrent(r, config.ch16ForUref) * 1000.0, 3));
    } else {
        ui->rref->clear();
        ui->rrefPow->clear();
        ui->isrcRec->clear();
    }

    const TGRV480MeasValue urefR = shownValue(f.urefR);
    ui->uref_r->showValue(&urefR, true, QString(), 3);
    ui->rref_r->setEnabled(f.urefR.state != GRV480_MV_NOT_MEASURED);
    ui->pref_r->setEnabled(f.urefR.state != GRV480_MV_NOT_MEASURED);
    if (f.urefR.state == GRV480_MV_VALID) {
        const RefFigures ref = refFigures(f.urefR.value, currentA);
        ui->rref_r->setText(formatFixed(ref.resistance, 3));
        ui->pref_r->setText(formatFixed(ref.power, 3));
    } else {
        ui->rref_r->clear();
        ui->pref_r->clear();
    }

    const TGRV480MeasValue vadj = shownValue(f.vadj);
    ui->vadj->showValue(&vadj, true, QString(), 3);
    const TGRV480MeasValue uneg = shownValue(withValue(f.uneg, f.uneg.value * 1000.0));
    ui->uneg->showValue(&uneg, true, QString(), 3);

    ui->loadPowExcLed->setState((f.flags & GRV480_FRAME_LOAD_POWER_EXCEEDED) ? LedRed : LedGreen);
}
