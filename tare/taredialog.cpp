#include "taredialog.h"
#include "ui_taredialog.h"

#include "eventlog.h"

#include "apierror.h"
#include "deviceconfig.h"
#include "savedstate.h"
#include "tableviewsettings.h"
#include "tarebackup.h"
#include "tarechannelsdialog.h"
#include "tarecoefdelegate.h"
#include "waitcursorguard.h"

#include <QEvent>
#include <QFileInfo>
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

    // A refused entry stays explained beside the table until a value is stored
    // or the coefficients are read anew.
    for (int c = 0; c < coefsModel.columnCount(); ++c) {
        if (auto *d = qobject_cast<TareCoefDelegate *>(ui->tareCoefTable->itemDelegateForColumn(c)))
            connect(d, &TareCoefDelegate::entryRefused, this,
                    [this](const QModelIndex &, const QString &reason) {
                        ui->coefStatusLabel->setText(reason);
                    });
    }
    connect(&coefsModel, &QAbstractItemModel::dataChanged, ui->coefStatusLabel, &QLabel::clear);

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
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        // The model's titles and channel names are asked for when painted.
        emit coefsModel.headerDataChanged(Qt::Horizontal, 0, coefsModel.columnCount() - 1);
        coefsModel.refreshAll();
    }
}

void TareDialog::showError(QString msg, INT err)
{
    QMessageBox::critical(this, tr("Ошибка"),
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
    // itself or from an old backup; the flash must not keep it, valid or not.
    int badChannel = 0;
    QString badCoef;
    if (!TareCoefsModel::recordsInRange(hmodule, &badChannel, &badCoef)) {
        QMessageBox::critical(this, tr("Ошибка"),
                              tr("Не удалось записать тарировочные коэффициенты: канал %1 "
                                 "содержит недопустимое значение (%2)")
                                  .arg(badChannel + 1)
                                  .arg(badCoef),
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
    // nothing to lose. A flash that fails the module's check is exactly the one
    // that needs rewriting: the operator decides, and the backup folder then
    // records that the old contents were lost.
    QString backupError;
    bool backedUp = true;
    if (err == 0) {
        backedUp = TareBackup::write(moduleSerial(), flash, QDateTime::currentDateTimeUtc(),
                                     nullptr, &backupError);
    } else if (err != GRV480_ERR_FLASH_EMPTY) {
        const QString flashError = apiErrorText(err);
        const QMessageBox::StandardButton answer = QMessageBox::question(
            this, tr("Запись коэф. во Flash-память"),
            tr("Не удалось прочитать тарировочные коэффициенты для резервной копии.\n"
               "Ошибка %1: %2\n\nЗаписать коэффициенты таблицы без резервной копии? "
               "Прежнее содержимое Flash-памяти будет потеряно.")
                .arg(err)
                .arg(flashError),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
        backedUp = TareBackup::writeUnreadable(
            moduleSerial(), QStringLiteral("%1: %2").arg(err).arg(flashError),
            QDateTime::currentDateTimeUtc(), nullptr, &backupError);
    }
    if (!backedUp) {
        QMessageBox::critical(this, tr("Ошибка"),
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
    QStringList skipped;
    const QList<TareBackup::Entry> backups = TareBackup::list(serial, &skipped);
    const QString skippedText =
        skipped.isEmpty()
            ? QString()
            : QLatin1Char('\n') + tr("Пропущены файлы, которые не удалось прочитать:\n%1")
                                      .arg(skipped.mid(0, 5).join(QLatin1Char('\n')));
    if (backups.isEmpty()) {
        QMessageBox::information(this, tr("Восстановление из резервной копии"),
                                 tr("Резервных копий коэффициентов модуля %1 нет").arg(serial) +
                                     skippedText,
                                 QMessageBox::Ok);
        return;
    }
    // Times may agree; the file name tells the entries apart.
    QStringList items;
    for (const TareBackup::Entry &e : backups) {
        QString item = QStringLiteral("%1   %2").arg(
            QLocale().toString(e.time.toLocalTime(), QStringLiteral("dd.MM.yyyy HH:mm:ss.zzz")),
            QFileInfo(e.path).fileName());
        if (!e.unreadable.isEmpty())
            item += tr("   (Flash-память не читалась)");
        items << item;
    }
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(this, tr("Восстановление из резервной копии"),
                              tr("Коэффициенты модуля %1, какими они были во Flash-памяти\n"
                                 "перед записью в указанное время:")
                                      .arg(serial) +
                                  skippedText,
                              items, 0, false, &ok);
    const int i = items.indexOf(chosen);
    if (!ok || i < 0)
        return;

    QString error;
    QStringList notes;
    if (!TareBackup::read(backups.at(i).path, serial, hmodule->tare, &error, &notes)) {
        QMessageBox::critical(this, tr("Ошибка"),
                              tr("Не удалось прочитать резервную копию: %1").arg(error),
                              QMessageBox::Ok);
        return;
    }
    coefsModel.refreshAll();
    QMessageBox::information(
        this, tr("Завершение операции"),
        tr("Коэффициенты резервной копии от %1 загружены в таблицу. "
           "Во Flash-память они попадут после записи.")
                .arg(chosen) +
            (notes.isEmpty() ? QString() : QStringLiteral("\n\n") + notes.join(QLatin1Char('\n'))),
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
