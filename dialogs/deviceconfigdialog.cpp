#include "deviceconfigdialog.h"
#include "ui_deviceconfigdialog.h"

#include "device/apierror.h"
#include "sensorlibrarydialog.h"

#include "deviceconfig.h"
#include "filereader.h"
#include "safefilewriter.h"
#include "lastlocations.h"
#include "savedstate.h"
#include "settingsfilecheck.h"
#include "tablesviewdialog.h"
#include "taredialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

const char SettingsGroup[] = "DeviceConfigDialog";
const char ConfigFileSuffix[] = ".gm480cfg";
// A configuration file is a few kilobytes; anything far larger is not one
// and is not read into memory.
constexpr qint64 MaxConfigFileSize = 1024 * 1024;

// SINC5+SINC1 output rates per ODR code, samples per second.
const double Sinc5RatesSingle[21] = {250000, 125000, 62500, 50000, 31250, 25000, 15625,
                                     10000,  5000,   2500,  1000,  500,   397.5, 200,
                                     100.2,  59.98,  49.96, 20,    16.66, 10,    5};
const double Sinc5RatesMulti[21] = {50000, 41667, 31250, 27778, 20833, 17857, 12500,
                                    10000, 5000,  2500,  1000,  500,   397.5, 200,
                                    100.2, 59.98, 49.96, 20,    16.66, 10,    5};

const struct
{
    int code;
    double rate;
} Enh50Rates[] = {{2, 27.27}, {3, 25.00}, {5, 20.00}, {6, 16.67}};

void selectItemByData(QComboBox *box, int data)
{
    for (int i = 0; i < box->count(); ++i) {
        bool ok = false;
        if (box->itemData(i).toInt(&ok) == data && ok) {
            box->setCurrentIndex(i);
            return;
        }
    }
    box->setCurrentIndex(0);
}

QString fixed(double v, int decimals)
{
    return QLocale().toString(v, 'f', decimals);
}

const DeviceConfig::BgMeasGroup *groupOf(const QVariant &data)
{
    if (data.userType() != qMetaTypeId<const DeviceConfig::BgMeasGroup *>())
        return nullptr; // the custom set's QVariant(0)
    return data.value<const DeviceConfig::BgMeasGroup *>();
}

bool isModuleOpen(TGRV480 *hmodule)
{
    return hmodule && GRV480_IsOpened(hmodule) == 0;
}

QString moduleSerialOf(TGRV480 *hmodule)
{
    if (!isModuleOpen(hmodule))
        return QString();
    // The library's text need not be terminated within its field.
    const char *serial = hmodule->info.moduleSerial;
    return QString::fromLocal8Bit(serial, int(qstrnlen(serial, sizeof hmodule->info.moduleSerial)));
}

} // namespace

DeviceConfigDialog::DeviceConfigDialog(QWidget *parent, TGRV480 *hmodule,
                                       const DeviceConfig *config)
    : QDialog(parent)
    , ui(new Ui::DeviceConfigDialog)
    , hmodule(hmodule)
    , cfg(config ? QSharedPointer<DeviceConfig>::create(*config)
                 : QSharedPointer<DeviceConfig>::create())
{
    ui->setupUi(this);

    const bool open = isModuleOpen(hmodule);
    updateTitle();

    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    resize(SavedState::windowSize(settings.value(QStringLiteral("WidgetSize")), QSize(1000, 600)));
    settings.endGroup();
    // Not the program's folder, which an installed program cannot write to.
    lastConfigFile =
        LastLocations::proposedPath(LastLocations::Kind::Configuration, moduleSerialOf(hmodule),
                                    QDateTime(), QLatin1String(ConfigFileSuffix + 1));

    for (QAction *action : {ui->actionConfigSave, ui->actionConfigLoad}) {
        auto *button = new QToolButton(this);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        ui->buttonBox->addButton(button, QDialogButtonBox::ResetRole);
    }
    connect(ui->actionConfigSave, &QAction::triggered, this, &DeviceConfigDialog::saveToFile);
    connect(ui->actionConfigLoad, &QAction::triggered, this, &DeviceConfigDialog::loadFromFile);

    ui->multiChannelsCfg->setConfig(cfg.data());
    ui->singleCannelCfg->setConfig(cfg.data());

    ui->filterType->addItem(QStringLiteral("SINC5+SINC1"), GRV480_FILTER_SINC5_SINC1);
    ui->filterType->addItem(QStringLiteral("SINC3"), GRV480_FILTER_SINC3);
    ui->filterType->addItem(QStringLiteral("Enhanced 50/60 Hz"), GRV480_FILTER_ENH_50_60);
    for (int code = 0; code < 21; ++code)
        ui->adcOdrSinc5->addItem(QString(), code);
    for (const auto &r : Enh50Rates)
        ui->adcOdrEnh50->addItem(fixed(r.rate, 2), r.code);

    for (const DeviceConfig::BgMeasGroup *group : DeviceConfig::bgMeasGroups())
        ui->bgMeasGroup->addItem(group->displayName(), QVariant::fromValue(group));
    ui->bgMeasGroup->addItem(tr("Произвольный набор"), QVariant(0));

    // The background check boxes are never cut off or scrolled sideways.
    ui->bgMeasScroll->setMinimumWidth(ui->bgMeasContents->sizeHint().width() +
                                      ui->bgMeasScroll->verticalScrollBar()->sizeHint().width() +
                                      2 * ui->bgMeasScroll->frameWidth());
    ui->bgMeasScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    ui->adcFreqBox->setMinimum(0.01);
    ui->adcFreqBox->setMaximum(250000);
    ui->adcFreqBox->setValue(25000);

    showConfig();

    connect(ui->ISrcValue, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &DeviceConfigDialog::setISrcValue);
    connect(ui->measTimeBox, QOverload<int>::of(&QSpinBox::valueChanged), cfg.data(),
            &DeviceConfig::setMeasTime);
    connect(ui->swTimeBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), cfg.data(),
            &DeviceConfig::setSwTimeUs);
    connect(ui->adcFreqBox, &FreqConfigWidget::valueChangedFromUi, cfg.data(),
            &DeviceConfig::setAdcFreq);
    connect(ui->singleChMode, &QCheckBox::stateChanged, this, &DeviceConfigDialog::setSignleChMode);
    connect(ui->filterManualEn, &QCheckBox::stateChanged, this,
            &DeviceConfigDialog::setFilterManualEn);
    connect(ui->tareEn, &QCheckBox::stateChanged, this, &DeviceConfigDialog::setTareEn);
    connect(ui->ch16ForUrefEn, &QCheckBox::stateChanged, this, &DeviceConfigDialog::setCh16ForUref);

    const struct
    {
        QCheckBox *box;
        void (DeviceConfigDialog::*slot)();
    } bgBoxes[] = {
        {ui->bgMeasOffsEn, &DeviceConfigDialog::setBgMeasOffs},
        {ui->bgMeasUrefEn, &DeviceConfigDialog::setBgMeasUref},
        {ui->bgMeasUrefOffsEn, &DeviceConfigDialog::setBgMeasUrefOffs},
        {ui->bgMeasVadj, &DeviceConfigDialog::setBgMeasVadj},
        {ui->bgMeasUneg, &DeviceConfigDialog::setBgMeasUneg},
        {ui->bgMeasUx, &DeviceConfigDialog::setBgMeasUx},
        {ui->bgMeasUcm, &DeviceConfigDialog::setBgMeasUcm},
        {ui->bgMeasCheckOpenUneg, &DeviceConfigDialog::setBgMeasCheckOpenUneg},
        {ui->bgMeasCheckOpenUref, &DeviceConfigDialog::setBgMeasCheckOpenUref},
        {ui->bgMeasCheckOpenUx, &DeviceConfigDialog::setBgMeasCheckOpenUx},
        {ui->bgMeasCheckShortUref, &DeviceConfigDialog::setBgMeasCheckShortUref},
        {ui->bgMeasCheckShortUx, &DeviceConfigDialog::setBgMeasCheckShortUx},
    };
    for (const auto &b : bgBoxes)
        connect(b.box, &QCheckBox::stateChanged, this, b.slot);

    connect(ui->bgMeasGroup, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DeviceConfigDialog::setBgMeasGroup);
    connect(ui->shortRThresh, QOverload<double>::of(&QDoubleSpinBox::valueChanged), cfg.data(),
            &DeviceConfig::setShortCheckRTresh);
    connect(ui->cableLength, QOverload<double>::of(&QDoubleSpinBox::valueChanged), cfg.data(),
            &DeviceConfig::setCableLengt);
    connect(ui->cableCapPerUnit, QOverload<double>::of(&QDoubleSpinBox::valueChanged), cfg.data(),
            &DeviceConfig::setCableCapPerUnit);
    for (QComboBox *box : {ui->filterType, ui->adcOdrSinc5, ui->adcOdrEnh50})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &DeviceConfigDialog::setFilterManualParams);
    connect(ui->adcOdrSinc3Div, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &DeviceConfigDialog::setFilterManualParams);

    connect(cfg.data(), &DeviceConfig::adcFreqUpdated, ui->adcFreqBox, &FreqConfigWidget::setValue);
    connect(cfg.data(), &DeviceConfig::filterParamsUpdated, this,
            &DeviceConfigDialog::showFilterParams);
    connect(cfg.data(), &DeviceConfig::frameParamsChanged, this,
            &DeviceConfigDialog::showFrameParams);
    connect(cfg.data(), &DeviceConfig::singleChModeChanged, this, &DeviceConfigDialog::showSwMode);

    if (open)
        connect(ui->tareBtn, &QPushButton::clicked, this, &DeviceConfigDialog::showTareDialog);
    ui->tareBtn->setEnabled(open);
    connect(ui->showTalbesBtn, &QPushButton::clicked, this, &DeviceConfigDialog::showTablesDialog);
}

DeviceConfigDialog::~DeviceConfigDialog()
{
    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    settings.setValue(QStringLiteral("WidgetSize"), size());
    settings.setValue(QStringLiteral("LastConfigFile"), lastConfigFile);
    settings.endGroup();
    delete ui;
}

void DeviceConfigDialog::updateTitle()
{
    QString title = tr("Настройки модуля GRV480");
    const QString s = moduleSerialOf(hmodule);
    if (!s.isEmpty())
        title += QStringLiteral(", %1").arg(s);
    setWindowTitle(title);
}

void DeviceConfigDialog::accept()
{
    if (!cfg->singleChMode() && cfg->swTimeUs > cfg->swTimeResultUs) {
        QMessageBox::critical(
            this, tr("Ошибка конфигурации"),
            tr("Невозможно обеспечить установленное время коммутации при данных параметрах"));
        return;
    }
    // A configuration without channels is a legitimate idle state, but on a
    // first start it is more often an oversight: nothing would be acquired.
    if (cfg->enabledChannelCount() == 0 &&
        QMessageBox::question(this, tr("Настройки модуля GRV480"),
                              tr("Не выбран ни один канал: сбор данных не начнётся.\n"
                                 "Принять настройки без каналов?"),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;
    QDialog::accept();
}

void DeviceConfigDialog::showConfig()
{
    const DeviceConfig::BgMeasGroup *group = cfg->bgMeasGroup;
    int groupIdx = ui->bgMeasGroup->count() - 1;
    for (int i = 0; i < ui->bgMeasGroup->count(); ++i) {
        if (group && groupOf(ui->bgMeasGroup->itemData(i)) == group) {
            groupIdx = i;
            break;
        }
    }
    ui->bgMeasGroup->setCurrentIndex(groupIdx);
    showBgMeas();
    ui->multiChannelsCfg->showConfig();
    ui->singleCannelCfg->showConfig();
    showSwMode();
    ui->shortRThresh->setValue(cfg->shortRThresh);
    ui->cableLength->setValue(cfg->cableLength);
    ui->cableCapPerUnit->setValue(cfg->cableCapPerUnit);
    ui->singleChMode->setChecked(cfg->singleChMode());
    ui->ISrcValue->setValue(cfg->iSrcValue());
    ui->adcFreqBox->setValue(cfg->adcFreq);
    ui->swTimeBox->setValue(cfg->swTimeUs);
    ui->measTimeBox->setValue(int(cfg->measTime));
    ui->filterManualEn->setChecked(cfg->filterManualEn);
    ui->ch16ForUrefEn->setChecked(cfg->ch16ForUref);
    ui->tareEn->setChecked(cfg->tareCoefEn);
    showFilterParams();
    showFrameParams();
}

void DeviceConfigDialog::showBgMeas()
{
    const bool was = updating;
    updating = true;
    const bool custom = cfg->bgMeasGroup == nullptr;
    const struct
    {
        QCheckBox *box;
        bool on;
    } boxes[] = {
        {ui->bgMeasOffsEn, cfg->bgMeasOffsEn()},
        {ui->bgMeasUrefEn, cfg->bgMeasUrefEn()},
        {ui->bgMeasUrefOffsEn, cfg->bgMeasUrefOffsEn()},
        {ui->bgMeasVadj, cfg->bgMeasVadjEn()},
        {ui->bgMeasUneg, cfg->bgMeasUnegEn()},
        {ui->bgMeasUx, cfg->bgMeasUxEn()},
        {ui->bgMeasUcm, cfg->bgMeasUcmEn()},
        {ui->bgMeasCheckOpenUneg, cfg->bgMeasCheckOpenUnegEn()},
        {ui->bgMeasCheckOpenUref, cfg->bgMeasCheckOpenUrefEn()},
        {ui->bgMeasCheckOpenUx, cfg->bgMeasCheckOpenUxEn()},
        {ui->bgMeasCheckShortUref, cfg->bgMeasCheckShortUrefEn()},
        {ui->bgMeasCheckShortUx, cfg->bgMeasCheckShortUxEn()},
    };
    for (const auto &b : boxes) {
        b.box->setChecked(b.on);
        b.box->setEnabled(custom);
    }
    updating = was;
}

void DeviceConfigDialog::showSwMode()
{
    const bool single = cfg->singleChMode();
    ui->bgMeasPanel->setEnabled(!single);
    ui->swTimeBox->setEnabled(!single);
    if (single) {
        ui->chModeStack->setCurrentWidget(ui->singleCannelCfg);
        ui->singleCannelCfg->updateConfig();
    } else {
        ui->chModeStack->setCurrentWidget(ui->multiChannelsCfg);
        ui->multiChannelsCfg->updateConfig();
    }
    showBgMeas();
    const double *rates = single ? Sinc5RatesSingle : Sinc5RatesMulti;
    for (int code = 0; code < ui->adcOdrSinc5->count() && code < 21; ++code)
        ui->adcOdrSinc5->setItemText(code, fixed(rates[code], 2));
}

void DeviceConfigDialog::showFilterParams()
{
    const bool was = updating;
    // Selecting the shown filter must not be taken for the operator's choice.
    updating = true;
    const TGRV480FilterParams &fp = cfg->filterParams;
    ui->filterType->setEnabled(cfg->filterManualEn);
    ui->adcODR->setEnabled(cfg->filterManualEn);
    selectItemByData(ui->filterType, fp.type);
    ui->adcODR->setCurrentIndex(ui->filterType->currentIndex());

    const QString sincNotch = tr("%1 Гц").arg(fixed(fp.notchFreq, 2));
    switch (fp.type) {
    case GRV480_FILTER_SINC5_SINC1:
        selectItemByData(ui->adcOdrSinc5, fp.odrCode);
        ui->filterNotch->setText(sincNotch);
        break;
    case GRV480_FILTER_SINC3:
        ui->adcOdrSinc3Div->setValue(fp.odrCode);
        ui->adcOdrSinc3Val->setText(fixed(fp.odr, 2));
        ui->filterNotch->setText(sincNotch);
        break;
    case GRV480_FILTER_ENH_50_60:
        selectItemByData(ui->adcOdrEnh50, fp.odrCode);
        ui->filterNotch->setText(tr("50/60 Гц, %1 dB").arg(fixed(fp.notchDb, 0)));
        break;
    default:
        ui->filterNotch->setText(sincNotch);
        break;
    }

    ui->swResTime->setText(cfg->singleChMode() ? QString()
                                               : tr("%1 мкс").arg(fixed(cfg->swTimeResultUs, 3)));
    ui->adcFreqBox->setEnabled(!(cfg->singleChMode() && cfg->filterManualEn));
    updating = was;
}

void DeviceConfigDialog::showFrameParams()
{
    if (deferFrameParams || !hmodule)
        return;
    cfg->fillDeviceConfig(hmodule);
    const INT err = GRV480_FillRawTables(&hmodule->info, &hmodule->cfg, &hmodule->raw);
    if (err != 0) {
        if (err != shownFrameError) {
            shownFrameError = err;
            QMessageBox::critical(
                this, tr("Ошибка"),
                tr("Ошибка рассчета параметров кадра: %1").arg(apiErrorText(err)));
        }
        return;
    }
    shownFrameError = 0;
    const TGRV480RawTables &raw = hmodule->raw;
    ui->userChCnt->setValue(int(raw.unbalanceChCount));
    ui->rawMainLChCnt->setValue(int(raw.mainTableSize));
    ui->rawBgLChCnt->setValue(int(raw.bgTableSize));
    ui->rawBgStepSize->setValue(int(raw.bgStepClocks));
    ui->rawFrameSize->setValue(int(raw.frameClocks));
    ui->adcChFreq->setValue(raw.frameClocks ? cfg->adcFreq / raw.frameClocks : 0.0);
}

void DeviceConfigDialog::setFilterManualEn()
{
    cfg->setFilterManualEnabled(ui->filterManualEn->isChecked());
}

void DeviceConfigDialog::setFilterManualParams()
{
    if (updating || !cfg->filterManualEn)
        return;
    const int type = ui->filterType->currentData().toInt();
    int selector = 0;
    switch (type) {
    case GRV480_FILTER_SINC5_SINC1:
        selector = ui->adcOdrSinc5->currentData().toInt();
        break;
    case GRV480_FILTER_SINC3:
        selector = ui->adcOdrSinc3Div->value();
        break;
    case GRV480_FILTER_ENH_50_60:
        selector = ui->adcOdrEnh50->currentData().toInt();
        break;
    default:
        break;
    }
    cfg->setFilterManualParams(type, selector);
}

void DeviceConfigDialog::setISrcValue()
{
    if (updating)
        return;
    cfg->setISrcValue(ui->ISrcValue->value());
    updating = true;
    ui->ISrcValue->setValue(cfg->iSrcValue());
    updating = false;
}

void DeviceConfigDialog::setTareEn()
{
    if (!updating)
        cfg->setTareCoefEn(ui->tareEn->isChecked());
}

void DeviceConfigDialog::setCh16ForUref()
{
    if (!updating)
        cfg->setCh16ForUref(ui->ch16ForUrefEn->isChecked());
}

#define BG_MEAS_SLOT(slot, box)                                                                    \
    void DeviceConfigDialog::slot()                                                                \
    {                                                                                              \
        if (!updating)                                                                             \
            cfg->slot(ui->box->isChecked());                                                       \
    }

BG_MEAS_SLOT(setBgMeasOffs, bgMeasOffsEn)
BG_MEAS_SLOT(setBgMeasUref, bgMeasUrefEn)
BG_MEAS_SLOT(setBgMeasUrefOffs, bgMeasUrefOffsEn)
BG_MEAS_SLOT(setBgMeasVadj, bgMeasVadj)
BG_MEAS_SLOT(setBgMeasUneg, bgMeasUneg)
BG_MEAS_SLOT(setBgMeasUx, bgMeasUx)
BG_MEAS_SLOT(setBgMeasUcm, bgMeasUcm)
BG_MEAS_SLOT(setBgMeasCheckOpenUneg, bgMeasCheckOpenUneg)
BG_MEAS_SLOT(setBgMeasCheckOpenUref, bgMeasCheckOpenUref)
BG_MEAS_SLOT(setBgMeasCheckOpenUx, bgMeasCheckOpenUx)
BG_MEAS_SLOT(setBgMeasCheckShortUref, bgMeasCheckShortUref)
BG_MEAS_SLOT(setBgMeasCheckShortUx, bgMeasCheckShortUx)
#undef BG_MEAS_SLOT

void DeviceConfigDialog::setSignleChMode()
{
    if (updating)
        return;
    // The model announces the new mode before the channel editor of that mode
    // has written its channels, so the tables wait until both are done.
    deferFrameParams = true;
    cfg->setSingleChMode(ui->singleChMode->isChecked());
    deferFrameParams = false;
    showFrameParams();
}

void DeviceConfigDialog::setBgMeasGroup()
{
    cfg->setBgMeasGroup(groupOf(ui->bgMeasGroup->currentData()));
    showBgMeas();
}

void DeviceConfigDialog::showTareDialog()
{
    // The tare operations write their own configuration into the handle, so
    // the working copy goes in before and again after them.
    showFrameParams();
    TareDialog dlg(this, hmodule, cfg.data());
    dlg.exec();
    showFrameParams();
}

void DeviceConfigDialog::showTablesDialog()
{
    TablesViewDialog dlg(this, hmodule);
    dlg.exec();
}

QString DeviceConfigDialog::fileFilter() const
{
    return QStringLiteral("%1 (*%2)").arg(tr("Настройки GRV480"), QLatin1String(ConfigFileSuffix));
}

QString DeviceConfigDialog::withConfigSuffix(const QString &fileName)
{
    if (fileName.isEmpty() || !QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    return fileName + QLatin1String(ConfigFileSuffix);
}

void DeviceConfigDialog::saveToFile()
{
    QFileDialog dlg(this, tr("Сохранение настроек модуля"), lastConfigFile, fileFilter());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog itself adds the extension, so that it also asks before
    // replacing a file of the completed name.
    dlg.setDefaultSuffix(QString::fromLatin1(ConfigFileSuffix + 1));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    const QString fileName = dlg.selectedFiles().constFirst();
    if (!fileName.isEmpty())
        saveConfigFile(fileName);
}

namespace {

bool writeWhole(QFileDevice &file, const QByteArray &data)
{
    // Unbuffered, a short write shows in the count; through the buffer a full
    // disk can go unreported (QSettings and QSaveFile then "succeed" with a
    // truncated file).
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
           file.write(data) == data.size();
}

} // namespace

bool DeviceConfigDialog::saveConfigFile(const QString &name)
{
    const QString title = tr("Сохранение настроек модуля");
    const QString fileName = withConfigSuffix(name);

    QString reason;
    if (!writeConfigFile(*cfg, fileName, &reason)) {
        QMessageBox::critical(this, title,
                              tr("Ошибка записи настроек в файл") + QStringLiteral("\n") +
                                  QDir::toNativeSeparators(fileName) + QStringLiteral(": ") +
                                  reason);
        return false;
    }
    lastConfigFile = fileName;
    QMessageBox::information(this, title, tr("Настройки были успешно сохранены в файл"));
    return true;
}

bool DeviceConfigDialog::writeConfigFile(const DeviceConfig &config, const QString &fileName,
                                         QString *reason)
{
    // The text replaces the file in one rename, so a failed write leaves the
    // old file as it was.
    const QByteArray text = configText(config);
    if (text.isEmpty()) {
        if (reason)
            *reason = tr("не удалось составить текст настроек");
        return false;
    }
    SafeFileWriter file(fileName);
    if (file.open() && file.write(text) && file.commit())
        return true;
    if (reason)
        *reason = file.errorString();
    return false;
}

QByteArray DeviceConfigDialog::configText(const DeviceConfig &config)
{
    // QSettings writes only to files, and on the target itself it would merge
    // with whatever the file held and write in place. So the text is made in a
    // scratch file, copied to a second one and parsed from there (QSettings
    // keeps a file's contents cached per name), and compared value by value
    // before it is used. Empty on any failure.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return QByteArray();
    const QString name = scratch.filePath(QStringLiteral("config.ini"));
    QMap<QString, QString> values;
    {
        QSettings out(name, QSettings::IniFormat);
        config.saveSettings(out);
        out.sync();
        if (out.status() != QSettings::NoError)
            return QByteArray();
        for (const QString &key : out.allKeys())
            values.insert(key, out.value(key).toString());
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray text = file.readAll();
    const QString checkName = scratch.filePath(QStringLiteral("check.ini"));
    {
        QFile check(checkName);
        if (file.error() != QFileDevice::NoError || !writeWhole(check, text))
            return QByteArray();
    }
    QSettings back(checkName, QSettings::IniFormat);
    if (back.status() != QSettings::NoError || back.allKeys().size() != values.size())
        return QByteArray();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (back.value(it.key()).toString() != it.value())
            return QByteArray();
    }
    return text;
}

void DeviceConfigDialog::loadFromFile()
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Загрузка конфигурации модуля"),
                                                          lastConfigFile, fileFilter());
    if (!fileName.isEmpty())
        loadConfigFile(fileName);
}

DeviceConfigDialog::ConfigFileResult
DeviceConfigDialog::readConfigFile(const QString &fileName, DeviceConfig *out, QString *reason)
{
    QString unused;
    QString *why = reason ? reason : &unused;
    // Read once, without waiting on a FIFO or reading a device without end;
    // what is checked below is what QSettings parses, from a private copy.
    const FileReadResult file = readRegularFile(fileName, MaxConfigFileSize);
    if (!file.ok) {
        *why = file.error;
        return ConfigFileUnreadable;
    }
    // Not a settings file at all: no text file holds a NUL byte, and
    // QSettings would take almost anything.
    if (file.data.contains('\0')) {
        *why = tr("файл не текстовый");
        return ConfigFileUnreadable;
    }
    // A value QSettings would decode into an allocation of gigabytes makes
    // the file no configuration of ours; the file is left as it is.
    const QList<SettingsFileCheck::Entry> hostile = SettingsFileCheck::hostileEntries(file.data);
    if (!hostile.isEmpty()) {
        const SettingsFileCheck::Entry &e = hostile.constFirst();
        qWarning("Configuration file \"%s\" refused: group [%s], key \"%s\": %s",
                 qPrintable(fileName), qPrintable(e.group), qPrintable(e.key),
                 qPrintable(e.reason));
        *why = tr("недопустимое значение [%1] %2").arg(e.group, e.key);
        return ConfigFileNotConfig;
    }
    SettingsCopy copy(file.data);
    if (!copy.isValid()) {
        *why = copy.errorString();
        return ConfigFileUnreadable;
    }
    QSettings &in = *copy.settings();
    if (in.status() != QSettings::NoError) {
        *why = tr("файл не разбирается как INI");
        return ConfigFileUnreadable;
    }
    if (!DeviceConfig::hasSettings(in))
        return ConfigFileNotConfig;
    // Read apart, then taken whole.
    DeviceConfig loaded;
    loaded.loadSettings(in);
    out->assignFrom(loaded);
    return ConfigFileRead;
}

bool DeviceConfigDialog::loadConfigFile(const QString &fileName)
{
    const QString title = tr("Загрузка конфигурации модуля");
    // The working copy is shared with the channel editors, so it is filled in
    // place, never replaced.
    QString reason;
    switch (readConfigFile(fileName, cfg.data(), &reason)) {
    case ConfigFileUnreadable:
        QMessageBox::critical(this, title,
                              tr("Ошибка открытия файла") + QStringLiteral("\n") +
                                  QDir::toNativeSeparators(fileName) + QStringLiteral(": ") +
                                  reason);
        return false;
    case ConfigFileNotConfig:
        QMessageBox::critical(this, title, tr("Неверный формат файла конфигурации"));
        return false;
    case ConfigFileRead:
        break;
    }
    lastConfigFile = fileName;
    showConfig();
    if (!cfg->sensorProblems.isEmpty()) {
        // Loaded without what could not be used, and said so.
        QMessageBox::warning(this, title,
                             tr("Настройки модуля загружены из файла без части настроек "
                                "датчиков:\n%1")
                                     .arg(cfg->sensorProblems.mid(0, 16).join(QLatin1Char('\n'))));
        return true;
    }
    QMessageBox::information(this, title, tr("Настройки модуля были успешно загружены из файла"));
    return true;
}

void DeviceConfigDialog::setSensorLibrary(SensorLibrary *library, const QString &path)
{
    sensorLibrary = library;
    sensorLibraryPath = path;
    ui->multiChannelsCfg->setSensorLibrary(library);
    if (!sensorsButton && library) {
        auto *button = new QPushButton(tr("Датчики..."), this);
        ui->buttonBox->addButton(button, QDialogButtonBox::ResetRole);
        connect(button, &QPushButton::clicked, this, [this] {
            SensorLibraryDialog dlg(sensorLibrary, sensorLibraryPath, this);
            dlg.exec();
            ui->multiChannelsCfg->setSensorLibrary(sensorLibrary);
        });
        sensorsButton = button;
    }
}

void DeviceConfigDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        if (sensorsButton)
            sensorsButton->setText(tr("Датчики..."));
        ui->retranslateUi(this);
        updateTitle();
        for (int i = 0; i < ui->bgMeasGroup->count(); ++i) {
            const DeviceConfig::BgMeasGroup *group = groupOf(ui->bgMeasGroup->itemData(i));
            ui->bgMeasGroup->setItemText(i,
                                         group ? group->displayName() : tr("Произвольный набор"));
        }
        // The derived values carry units and the locale's decimal separator.
        showConfig();
    }
}

void DeviceConfigDialog::keyPressEvent(QKeyEvent *event)
{
    // Return finishes an entry; it never presses OK.
    QWidget::keyPressEvent(event);
    if (event->key() == Qt::Key_Return)
        event->accept();
}
