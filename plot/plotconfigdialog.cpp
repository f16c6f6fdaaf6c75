#include "plotconfigdialog.h"
#include "ui_graphconfigdialog.h"

#include <QDateTimeEdit>
#include <QEvent>

#include <cmath>

PlotConfigDialog::PlotConfigDialog(QWidget *parent, const PlotAxesConfig &axes, int xDecimals,
                                   int yDecimals)
    : QDialog(parent)
    , axes(axes)
    , ui(new Ui::GraphConfigDialog)
{
    ui->setupUi(this);
    // Decimals first: a spin box rounds its value to the decimals it has.
    ui->XMin->setDecimals(xDecimals);
    ui->XMax->setDecimals(xDecimals);
    ui->YMin->setDecimals(yDecimals);
    ui->YMax->setDecimals(yDecimals);
    ui->XScaleAuto->setChecked(axes.x.autoscale);
    ui->XMin->setValue(axes.x.min);
    ui->XMax->setValue(axes.x.max);
    ui->YScaleAuto->setChecked(axes.y.autoscale);
    ui->YMin->setValue(axes.y.min);
    ui->YMax->setValue(axes.y.max);
}

PlotConfigDialog::~PlotConfigDialog()
{
    delete ui;
}

void PlotConfigDialog::setXAsTime()
{
    if (xMinTime)
        return;
    const auto replace = [this](QDoubleSpinBox *spin, double seconds) {
        auto *edit = new QDateTimeEdit(this);
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm:ss.zzz"));
        edit->setSizePolicy(spin->sizePolicy());
        if (std::isfinite(seconds) && std::abs(seconds) < 1e12)
            edit->setDateTime(QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0)));
        // the layout hands back the spin box's item, which is ours to free
        delete ui->formLayout->replaceWidget(spin, edit);
        spin->hide();
        return edit;
    };
    xMinTime = replace(ui->XMin, axes.x.min);
    xMaxTime = replace(ui->XMax, axes.x.max);
}

void PlotConfigDialog::accept()
{
    axes.x.autoscale = ui->XScaleAuto->isChecked();
    axes.x.min = xMinTime ? xMinTime->dateTime().toMSecsSinceEpoch() / 1000.0 : ui->XMin->value();
    axes.x.max = xMaxTime ? xMaxTime->dateTime().toMSecsSinceEpoch() / 1000.0 : ui->XMax->value();
    axes.y.autoscale = ui->YScaleAuto->isChecked();
    axes.y.min = ui->YMin->value();
    axes.y.max = ui->YMax->value();
    QDialog::accept();
}

void PlotConfigDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
