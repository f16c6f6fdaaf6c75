#ifndef MESVALSTATEWIDGET_H
#define MESVALSTATEWIDGET_H

#include <QWidget>

#include "grv480api.h"

namespace Ui {
class MesValStateWidget;
}

// One auxiliary measured value with its range, short-circuit and
// open-circuit lamps.
class MesValStateWidget : public QWidget
{
    Q_OBJECT

public:
    explicit MesValStateWidget(QWidget *parent = nullptr);
    ~MesValStateWidget() override;

    void setValueEnabled(bool on);
    void setOpenCheck(bool on);
    void setShortCheck(bool on);
    void setOpenVisible(bool visible);
    void setShortVisible(bool visible);
    void clear();
    void showValue(const TGRV480MeasValue *v, bool passed, const QString &suffix, int decimals);

    // The lamps' states (CondLedIndicator codes) and the shown text.
    int rangeState() const;
    int shortState() const;
    int openState() const;
    QString text() const;
    bool isValueFieldEnabled() const;

protected:
    void changeEvent(QEvent *event) override;

private:
    Ui::MesValStateWidget *ui;
    bool valueEnabled = false;
    bool openCheckEnabled = false;
    bool shortCheckEnabled = false;
};

#endif // MESVALSTATEWIDGET_H
