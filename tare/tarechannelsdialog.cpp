#include "tarechannelsdialog.h"
#include "ui_tarechannelsdialog.h"
#include "savedstate.h"

#include <QEvent>
#include <QSettings>

static const char SettingsGroup[] = "TareChannelsDialog";
static const char SizeKey[] = "WidgetSize";

TareChannelsDialog::TareChannelsDialog(QWidget *parent, DeviceConfig *config)
    : QDialog(parent)
    , ui(new Ui::TareChannelsDialog)
{
    ui->setupUi(this);
    QSettings settings;
    settings.beginGroup(SettingsGroup);
    resize(SavedState::windowSize(settings.value(SizeKey), QSize(400, 600)));
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
