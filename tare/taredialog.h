#ifndef TAREDIALOG_H
#define TAREDIALOG_H

/*
 * TareDialog: zero and scale tare of an open, idle module, and the module's
 * tare coefficients: shown and edited in a table over the handle's tare
 * records, written to and read from the module's flash memory.
 *
 * The dialog works on a copy of the caller's configuration; the channel
 * choice of a tare goes into the copy (and into the handle just before the
 * tare), never back to the caller. A tare overwrites the configuration held
 * in the handle: the caller writes its own back afterwards.
 *
 * Before every write to the flash, the coefficients the flash held are kept as
 * a backup (TareBackup); when they cannot be read or kept, nothing is written.
 * A backup is restored into the table only, never straight into the flash.
 *
 * Every module call blocks the GUI thread under a wait cursor, which is gone
 * again before any message box appears.
 */

#include "grv480api.h"
#include "tarecoefsmodel.h"

#include <QDialog>
#include <QSharedPointer>

class DeviceConfig;

namespace Ui {
class TareDialog;
}

class TareDialog : public QDialog
{
    Q_OBJECT

public:
    // The module API calls the dialog makes. Tests replace them to watch which
    // calls happen and to produce results the emulator cannot; everything
    // else uses the library's functions.
    struct ApiCalls
    {
        INT (*readTareInfo)(TGRV480 *, uint32_t) = GRV480_ReadTareInfo;
        INT (*writeTareInfo)(TGRV480 *, uint32_t) = GRV480_WriteTareInfo;
        INT (*tareOffset)(TGRV480 *, uint32_t, uint32_t *) = GRV480_TareOffset;
        INT (*initMeasParams)(TGRV480 *, INT, INT, INT) = GRV480_InitMeasParams;
        INT (*tareScale)(TGRV480 *, uint32_t, uint32_t *) = GRV480_TareScale;
    };
    static ApiCalls &apiCalls();

    TareDialog(QWidget *parent, TGRV480 *handle, const DeviceConfig *config);
    ~TareDialog() override;

    // The working copy the channel dialog edits.
    DeviceConfig *config() const { return cfg.data(); }

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void showError(QString msg, INT err);
    void writeCoefs();
    void readCoefs();
    void tareOffset();
    void tareScale();
    void restoreBackup();

private:
    void showTareResult(int err, quint32 okChannelMask);
    // Runs the channel dialog; true when the tare is to go ahead.
    bool selectChannels();
    QString moduleSerial() const;

    Ui::TareDialog *ui;
    TGRV480 *hmodule;
    TareCoefsModel coefsModel;
    QSharedPointer<DeviceConfig> cfg;
};

#endif // TAREDIALOG_H
