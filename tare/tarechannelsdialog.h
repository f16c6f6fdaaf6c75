#ifndef TARECHANNELSDIALOG_H
#define TARECHANNELSDIALOG_H

#include <QDialog>

class DeviceConfig;

namespace Ui {
class TareChannelsDialog;
}

// Choice of the channels (and their ranges) that take part in a tare. The
// embedded channel widget writes every change straight into the given
// configuration, so Cancel keeps the choice; the caller tares only on Accepted.
class TareChannelsDialog : public QDialog
{
    Q_OBJECT

public:
    // config must outlive the dialog.
    TareChannelsDialog(QWidget *parent, DeviceConfig *config);
    ~TareChannelsDialog() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    Ui::TareChannelsDialog *ui;
};

#endif // TARECHANNELSDIALOG_H
