#include "taredialog.h"
#include "ui_taredialog.h"

#include "eventlog.h"

#include "apierror.h"
#include "deviceconfig.h"
#include "tableviewsettings.h"
#include "tarechannelsdialog.h"
#include "waitcursorguard.h"
#include "savedstate.h"
#include "tarebackup.h"

#include <QEvent>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>

#include <cstring>

static const char SettingsGroup[] = "TareDialog";
static const char SizeKey[] = "WidgetSize";
static const char TableName[] = "CoefTable";
constexpr uint32_t AllChannels = 0xFFFF;

TareDialog::ApiCalls &TareDialog::apiCalls()
{
    static ApiCalls calls;
    return calls;
}

TareDialog::TareDialog(QWidget *parent, TGRV480 *handle, const DeviceConfig *config)
    : QDialog(parent)
    , ui(new Ui::TareDialog)
    , hmodule(handle)
    , coefsModel(handle)
    , cfg(QSharedPointer<DeviceConfig>::create(*config))
{
    ui->setupUi(this);
    QSettings settings;
    settings.beginGroup(SettingsGroup);
    resize(SavedState::windowSize(settings.value(SizeKey), QSize(1000, 600)));
    coefsModel.initView(ui->tareCoefTable, TableName, &settings);
    settings.endGroup();

    connect(ui->tareWriteFlashBtn, &QPushButton::clicked, this, &TareDialog::writeCoefs);
    connect(ui->tareReadFlashBtn, &QPushButton::clicked, this, &TareDialog::readCoefs);
    connect(ui->tareOffsBtn, &QPushButton::clicked, this, &TareDialog::tareOffset);
    connect(ui->tareScaleBtn, &QPushButton::clicked, this, &TareDialog::tareScale);
    connect(ui->tareRestoreBtn, &QPushButton::clicked, this, &TareDialog::restoreBackup);
}

TareDialog::~TareDialog()
{
    QSettings settings;
    settings.beginGroup(SettingsGroup);
    settings.setValue(SizeKey, size());
    TableViewSettings::instance()->saveTableView(ui->tareCoefTable, &settings);
    settings.endGroup();
    // The view goes with the form, before the model it shows.
    delete ui;
}

void TareDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}

void TareDialog::showError(QString msg, INT err)
{
    QMessageBox::critical(this, QStringLiteral("Ошибка"),
                          tr("%1. Ошибка %2: %3").arg(msg, QString::number(err), apiErrorText(err)),
                          QMessageBox::Ok);
}

void TareDialog::readCoefs()
{
    INT err;
    {
        WaitCursorGuard wait;
        err = apiCalls().readTareInfo(hmodule, AllChannels);
    }
    if (err != 0) {
        showError(tr("Не удалось прочитать тарировочные коэффициенты"), err);
        return;
    }
    coefsModel.refreshAll();
    QMessageBox::information(this, tr("Завершение операции"),
                             tr("Чтение тарировочных коэффициентов выполнено успешно"),
                             QMessageBox::Ok);
}

void TareDialog::writeCoefs()
{
    // The table refuses such values, but a record may hold one from the module
    // itself; the flash must not keep it.
    int badChannel = 0;
    if (!TareCoefsModel::recordsFinite(hmodule, &badChannel)) {
        QMessageBox::critical(this, QStringLiteral("Ошибка"),
                              tr("Не удалось записать тарировочные коэффициенты: канал %1 "
                                 "содержит недопустимое значение")
                                  .arg(badChannel + 1),
                              QMessageBox::Ok);
        return;
    }
    // The flash is read into the handle, which holds the table's coefficients;
    // those go back at once, whatever the read gave.
    TGRV480TareInfo table[GRV480_CHANNEL_COUNT];
    TGRV480TareInfo flash[GRV480_CHANNEL_COUNT];
    INT err;
    {
        WaitCursorGuard wait;
        std::memcpy(table, hmodule->tare, sizeof table);
        err = apiCalls().readTareInfo(hmodule, AllChannels);
        std::memcpy(flash, hmodule->tare, sizeof flash);
        std::memcpy(hmodule->tare, table, sizeof table);
    }
    // A calibration is never overwritten without its backup; an empty flash has
    // nothing to lose.
    if (err != 0 && err != GRV480_ERR_FLASH_EMPTY) {
        showError(tr("Не удалось прочитать тарировочные коэффициенты для резервной копии, "
                     "запись не выполнена"),
                  err);
        return;
    }
    QString backupError;
    if (err == 0
        && !TareBackup::write(moduleSerial(), flash, QDateTime::currentDateTimeUtc(), nullptr,
                           &backupError)) {
        QMessageBox::critical(this, QStringLiteral("Ошибка"),
                              tr("Не удалось сохранить резервную копию тарировочных "
                                 "коэффициентов (%1). Запись во Flash-память не выполнена.")
                                  .arg(backupError),
                              QMessageBox::Ok);
        return;
    }
    {
        WaitCursorGuard wait;
        err = apiCalls().writeTareInfo(hmodule, AllChannels);
    }
    if (err != 0) {
        showError(tr("Не удалось записать тарировочные коэффициенты"), err);
        return;
    }
    EventLog::post(EventLog::Tare, tr("Модуль %1: тарировочные коэффициенты записаны во "
                                      "Flash-память")
                                           .arg(moduleSerial()));
    QMessageBox::information(this, tr("Завершение операции"),
                             tr("Запись тарировочных коэффициентов выполнена успешно"),
                             QMessageBox::Ok);
}

QString TareDialog::moduleSerial() const
{
    const char *sn = hmodule->info.moduleSerial;
    return QString::fromLocal8Bit(sn, int(qstrnlen(sn, sizeof(hmodule->info.moduleSerial))));
}

void TareDialog::restoreBackup()
{
    const QString serial = moduleSerial();
    const QList<TareBackup::Entry> backups = TareBackup::list(serial);
    if (backups.isEmpty()) {
        QMessageBox::information(this, tr("Восстановление из резервной копии"),
                                 tr("Резервных копий коэффициентов модуля %1 нет").arg(serial),
                                 QMessageBox::Ok);
        return;
    }
    QStringList items;
    for (const TareBackup::Entry &e : backups)
        items << QLocale().toString(e.time.toLocalTime(),
                                    QStringLiteral("dd.MM.yyyy HH:mm:ss.zzz"));
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
            this, tr("Восстановление из резервной копии"),
            tr("Коэффициенты модуля %1, какими они были во Flash-памяти\n"
               "перед записью в указанное время:")
                    .arg(serial),
            items, 0, false, &ok);
    const int i = items.indexOf(chosen);
    if (!ok || i < 0)
        return;

    QString error;
    if (!TareBackup::read(backups.at(i).path, serial, hmodule->tare, &error)) {
        QMessageBox::critical(this, QStringLiteral("Ошибка"),
                              tr("Не удалось прочитать резервную копию: %1").arg(error),
                              QMessageBox::Ok);
        return;
    }
    coefsModel.refreshAll();
    QMessageBox::information(this, tr("Завершение операции"),
                             tr("Коэффициенты резервной копии от %1 загружены в таблицу. "
                                "Во Flash-память они попадут после записи.")
                                 .arg(chosen),
                             QMessageBox::Ok);
}

bool TareDialog::selectChannels()
{
    TareChannelsDialog dlg(this, cfg.data());
    if (dlg.exec() != QDialog::Accepted)
        return false;
    cfg->fillDeviceConfig(hmodule);
    return true;
}

void TareDialog::tareOffset()
{
    if (!selectChannels())
        return;
    quint32 okChannelMask = 0;
    INT err;
    {
        WaitCursorGuard wait;
        err = apiCalls().tareOffset(hmodule, AllChannels, &okChannelMask);
    }
    if (err == 0)
        EventLog::post(EventLog::Tare, tr("Модуль %1: тарировка нуля, каналы 0x%2")
                                               .arg(moduleSerial())
                                               .arg(okChannelMask, 4, 16, QLatin1Char('0')));
    showTareResult(err, okChannelMask);
}

void TareDialog::tareScale()
{
    if (!selectChannels())
        return;
    quint32 okChannelMask = 0;
    INT err;
    {
        WaitCursorGuard wait;
        err = apiCalls().initMeasParams(hmodule, GRV480_MEAS_MODE_SCALE_TARE, 0, 0);
        if (err == 0)
            err = apiCalls().tareScale(hmodule, AllChannels, &okChannelMask);
    }
    if (err == 0)
        EventLog::post(EventLog::Tare, tr("Модуль %1: тарировка масштаба, каналы 0x%2")
                                               .arg(moduleSerial())
                                               .arg(okChannelMask, 4, 16, QLatin1Char('0')));
    showTareResult(err, okChannelMask);
}

void TareDialog::showTareResult(int err, quint32 okChannelMask)
{
    if (err == 0) {
        coefsModel.refreshAll();
        QMessageBox::information(this, tr("Завершение операции"), tr("Тарировка выполнена успешно"),
                                 QMessageBox::Ok);
        return;
    }
    if (err == GRV480_ERR_TARE_PARTIAL) {
        if (okChannelMask == 0) {
            QMessageBox::critical(
                this, tr("Ошибка тарировки"),
                tr("Не удалось найти действительное значение ни для одного канала"),
                QMessageBox::Ok);
            return;
        }
        QStringList channels;
        for (int i = 0; i < GRV480_CHANNEL_COUNT; ++i) {
            if (okChannelMask & (1u << i))
                channels << QString::number(i + 1);
        }
        QMessageBox::critical(this, tr("Ошибка тарировки"),
                              tr("Не удалось найти действительное значение для всех каналов.\n"
                                 "Тарировка выполнена успешно для каналов %1")
                                  .arg(channels.join(QStringLiteral(", "))),
                              QMessageBox::Ok);
        return;
    }
    showError(tr("Не удалось выполнить тарировку"), err);
}
