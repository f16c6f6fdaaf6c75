#include "tarechannelsdialog.h"
#include "ui_tarechannelsdialog.h"

#include <QEvent>
#include <QSettings>

static const char SettingsGroup[] = "TareChannelsDialog";
static const char SizeKey[] = "WidgetSize";

// A damaged store must not open the dialog at a size nobody can use.
static QSize storedSize(const QSettings &settings, const QSize &fallback)
{
    const QSize size = settings.value(SizeKey, fallback).toSize();
    const bool sane = size.width() >= 100 && size.height() >= 100 && size.width() <= 20000 &&
                      size.height() <= 20000;
    return sane ? size : fallback;
}

TareChannelsDialog::TareChannelsDialog(QWidget *parent, DeviceConfig *config)
    : QDialog(parent)
    , ui(new Ui::TareChannelsDialog)
{
    ui->setupUi(this);
    QSettings settings;
    settings.beginGroup(SettingsGroup);
    resize(storedSize(settings, QSize(400, 600)));
    settings.endGroup();
    ui->channelsCfg->setConfig(config);
    ui->channelsCfg->showConfig();
}

TareChannelsDialog::~TareChannelsDialog()
{
    QSettings settings;
    settings.beginGroup(SettingsGroup);
    settings.setValue(SizeKey, size());
    settings.endGroup();
    delete ui;
}

void TareChannelsDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
