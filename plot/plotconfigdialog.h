#ifndef PLOTCONFIGDIALOG_H
#define PLOTCONFIGDIALOG_H

#include <QDialog>

struct AxisConfig
{
    bool autoscale = true;
    double min = 0.0;
    double max = 0.0;
};

struct PlotAxesConfig
{
    AxisConfig x;
    AxisConfig y;
};

class QDateTimeEdit;

namespace Ui {
class GraphConfigDialog;
}

// Edits the automatic scaling and the fixed range of both axes of a plot.
// Values are returned as entered: a minimum above the maximum is passed on.
class PlotConfigDialog : public QDialog
{
    Q_OBJECT

public:
    PlotConfigDialog(QWidget *parent, const PlotAxesConfig &axes, int xDecimals, int yDecimals);
    ~PlotConfigDialog() override;

    // The x range is seconds since the epoch, edited as local date and time.
    void setXAsTime();

    // Valid after exec() returned QDialog::Accepted.
    PlotAxesConfig axes;

public slots:
    void accept() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    Ui::GraphConfigDialog *ui;
    QDateTimeEdit *xMinTime = nullptr;
    QDateTimeEdit *xMaxTime = nullptr;
};

#endif // PLOTCONFIGDIALOG_H
