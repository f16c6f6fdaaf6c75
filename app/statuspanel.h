#ifndef STATUSPANEL_H
#define STATUSPANEL_H

#include "grv480api.h"

#include <QGroupBox>

class QFormLayout;
class CondLedIndicator;
class DeviceConfig;

namespace Ui {
class StatusPanel;
}

// The module's state in a block: reference voltage and resistance, its
// power, the recommended and the set excitation current, Vadj, U- and the
// load power lamp. The live window and the review of a recording show a
// block's frame status through one of these.
class StatusPanel : public QGroupBox
{
    Q_OBJECT

public:
    explicit StatusPanel(QWidget *parent = nullptr);
    ~StatusPanel() override;

    // Blank, with the fields the configuration does not measure greyed.
    void clear(const DeviceConfig &config);
    void showFrameStatus(const TGRV480FrameStatus &f, const DeviceConfig &config);
    // The excitation current set, mA; empty while no module is open.
    void setCurrentSet(const QString &text);

    QFormLayout *formLayout() const;
    CondLedIndicator *loadPowerLed() const;

protected:
    void changeEvent(QEvent *event) override;

private:
    Ui::StatusPanel *ui;
};

#endif // STATUSPANEL_H
