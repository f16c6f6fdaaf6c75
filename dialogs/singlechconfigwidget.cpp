#include "singlechconfigwidget.h"
#include "ui_singlechconfigwidget.h"

#include "channelsconfigwidget.h"
#include "deviceconfig.h"

#include <QEvent>

SingleChConfigWidget::SingleChConfigWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::SingleChConfigWidget)
{
    ui->setupUi(this);
    for (int i = 0; i < DeviceConfig::ChannelCount; ++i)
        ui->channelBox->addItem(QString::number(i + 1), i);
    ChannelsConfigWidget::addRangeItems(ui->rangeBox);
}

SingleChConfigWidget::~SingleChConfigWidget()
{
    delete ui;
}

QComboBox *SingleChConfigWidget::channelBox() const
{
    return ui->channelBox;
}

QComboBox *SingleChConfigWidget::rangeBox() const
{
    return ui->rangeBox;
}

void SingleChConfigWidget::setConfig(DeviceConfig *config)
{
    const bool first = !cfg;
    cfg = config;
    if (first) {
        connect(ui->channelBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &SingleChConfigWidget::updateConfig);
        connect(ui->rangeBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &SingleChConfigWidget::updateConfig);
    }
}

void SingleChConfigWidget::showConfig()
{
    if (!cfg)
        return;
    updating = true;
    for (int i = 0; i < DeviceConfig::ChannelCount; ++i) {
        const DeviceConfig::ChannelCfg &ch = cfg->channels[i];
        if (!ch.enabled)
            continue;
        const int idx = ui->channelBox->findData(i);
        ui->channelBox->setCurrentIndex(idx < 0 ? 0 : idx);
        ChannelsConfigWidget::selectRange(ui->rangeBox, ch.range);
        break;
    }
    updating = false;
}

void SingleChConfigWidget::updateConfig()
{
    if (updating || !cfg)
        return;
    const int ch = ui->channelBox->currentData().toInt();
    const int range = ui->rangeBox->currentData().toInt();
    for (int i = 0; i < DeviceConfig::ChannelCount; ++i) {
        cfg->setChannelEnabled(i, i == ch);
        cfg->setChannelRange(i, range);
    }
}

void SingleChConfigWidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        ChannelsConfigWidget::retranslateRangeItems(ui->rangeBox);
    }
}
