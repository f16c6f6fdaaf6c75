#include "plotconfigdialog.h"
#include "ui_graphconfigdialog.h"

#include <QEvent>

PlotConfigDialog::PlotConfigDialog(QWidget *parent, const PlotAxesConfig &axes, int xDecimals,
                                   int yDecimals)
    : QDialog(parent),
      axes(axes),
      ui(new Ui::GraphConfigDialog)
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

void PlotConfigDialog::accept()
{
    axes.x.autoscale = ui->XScaleAuto->isChecked();
    axes.x.min = ui->XMin->value();
    axes.x.max = ui->XMax->value();
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
